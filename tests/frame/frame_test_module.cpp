// A test-only extension exposing one callable per parameter type and one
// class per class kind, so the calling conventions can be tested from Python.
#include "py/python.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <variant>
#include <vector>

#include "core/base/ordered_map.h"
#include "core/base/panic.h"
#include "core/base/result.h"
#include "core/platform/worker_pool.h"
#include "py/frame/enum.h"
#include "py/frame/registry.h"

namespace pelrin::frame_test {

struct Counter {
  std::uint64_t count = 0;
  std::string label;
};

struct Sealed {
  std::string tag;
};

enum class Color { kRed = 0, kGreen = 1, kBlue = 2 };

}  // namespace pelrin::frame_test

namespace pelrin::py {
template <>
struct ClassOf<frame_test::Counter> {
  static ClassDef& def();
};
template <>
struct ClassOf<frame_test::Sealed> {
  static ClassDef& def();
};
template <>
struct EnumOf<frame_test::Color> {
  static EnumDef& def();
};
}  // namespace pelrin::py

namespace pelrin::frame_test {
namespace {

using namespace pelrin::py;

// ---- one function per parameter type: each returns what it received ----

std::string_view echo_str(std::string_view v) { return v; }
std::string echo_string(const std::string& v) { return v; }
std::uint32_t echo_char(char32_t v) { return static_cast<std::uint32_t>(v); }
std::uint64_t echo_u64(std::uint64_t v) { return v; }
std::int64_t echo_i64(std::int64_t v) { return v; }
std::uint32_t echo_u32(std::uint32_t v) { return v; }
std::uint8_t echo_u8(std::uint8_t v) { return v; }
std::int8_t echo_i8(std::int8_t v) { return v; }
double echo_f64(double v) { return v; }
float echo_f32(float v) { return v; }
bool echo_bool(bool v) { return v; }
std::vector<std::string_view> echo_list_str(std::vector<std::string_view> v) { return v; }
std::vector<float> echo_list_f32(const std::vector<float>& v) { return v; }
std::vector<std::vector<std::uint32_t>> echo_list_list_u32(
    std::vector<std::vector<std::uint32_t>> v) {
  return v;
}
std::vector<std::uint32_t> echo_bytes(const std::vector<std::uint8_t>& v) {
  return {v.begin(), v.end()};
}
OrderedMap<std::string_view, std::uint64_t> echo_dict(
    const absl::flat_hash_map<std::string_view, std::uint64_t>& v) {
  OrderedMap<std::string_view, std::uint64_t> out;
  for (const auto& [k, n] : v) out.emplace(k, n);
  std::sort(out.entries.begin(), out.entries.end());
  return out;
}
Py_ssize_t dict_len(DictObject d) { return PyDict_Size(d.dict); }
std::tuple<std::string_view, std::uint32_t> echo_tuple(
    std::tuple<std::string_view, std::uint32_t> v) {
  return v;
}
std::pair<double, bool> echo_pair(std::pair<double, bool> v) { return v; }
std::optional<std::uint64_t> echo_optional(std::optional<std::uint64_t> v) { return v; }
std::optional<std::vector<std::string_view>> echo_optional_list(
    std::optional<std::vector<std::string_view>> v) {
  return v;
}

std::tuple<std::uint64_t, std::int64_t, std::string, std::optional<std::string>, bool, double>
defaults(std::uint64_t a, std::int64_t b, std::string c, std::optional<std::string> d, bool e,
         double f) {
  return {a, b, std::move(c), std::move(d), e, f};
}
std::uint64_t three(std::uint64_t a, std::uint64_t b, std::uint64_t c) { return a + b + c; }
const char* no_arguments() { return "ok"; }
std::vector<bool> flags(std::uint64_t n) {
  std::vector<bool> v(static_cast<std::size_t>(n));
  for (std::size_t i = 0; i < v.size(); i += 2) v[i] = true;
  return v;
}
OrderedMap<std::string, std::variant<std::int64_t, double, std::string, bool>> mixed() {
  OrderedMap<std::string, std::variant<std::int64_t, double, std::string, bool>> m;
  m.emplace("z", std::int64_t{-1});
  m.emplace("a", 0.5);
  m.emplace("m", std::string("text"));
  m.emplace("b", true);
  return m;
}

// ---- failures ----

std::uint64_t panic_now(std::string_view message) { throw Panic(std::string(message)); }
std::uint64_t throw_unknown() { throw 42; }
Status error_kind(std::string_view kind) {
  if (kind == "value") return Error::value("bad value");
  if (kind == "type") return Error::type("bad type");
  if (kind == "overflow") return Error::overflow("too big");
  if (kind == "runtime") return Error::runtime("busy");
  if (kind == "key") return Error::key("missing");
  if (kind == "index") return Error::index("out of range");
  if (kind == "os") return Error::os(2, "No such file or directory", "/nonexistent");
  return {};
}

// ---- the worker pool ----

std::vector<std::uint64_t> pool_squares(std::uint64_t n) {
  auto r = platform::parallel_map(static_cast<std::size_t>(n), [](std::size_t i) {
    return static_cast<std::uint64_t>(i) * static_cast<std::uint64_t>(i);
  });
  return std::move(r).value();
}
std::uint64_t pool_panic(std::uint64_t n, std::uint64_t at) {
  platform::parallel_for(static_cast<std::size_t>(n),
                         [at](std::size_t i) { PELRIN_CHECK(i != at); });
  return n;
}
Result<std::vector<std::uint64_t>> pool_error(std::uint64_t n, std::uint64_t at) {
  return platform::parallel_map(static_cast<std::size_t>(n),
                                [at](std::size_t i) -> Result<std::uint64_t> {
                                  if (i == at)
                                    return Error::value("item " + std::to_string(i) + " failed");
                                  return static_cast<std::uint64_t>(i);
                                });
}
std::uint64_t pool_threads() { return platform::worker_count(); }
double sum_released(const std::vector<float>& v) {
  double s = 0;
  for (float x : v) s += x;
  return s;
}

// ---- classes ----

Counter counter_new(std::uint64_t start) { return Counter{start, ""}; }
std::string counter_repr(const Counter& c) { return "Counter(" + std::to_string(c.count) + ")"; }
std::uint64_t counter_add(Counter& c, std::uint64_t amount) { return c.count += amount; }
std::uint64_t counter_get(const Counter& c) { return c.count; }
void counter_merge(Counter& c, const Counter& other) { c.count += other.count; }
std::uint64_t counter_peek_with(const Counter& c, Counter& other) { return c.count + other.count; }
std::uint64_t take_counter(const Counter& c) { return c.count; }
std::uint64_t sum_counters(std::vector<Counter> cs) {
  std::uint64_t s = 0;
  for (const auto& c : cs) s += c.count;
  return s;
}
Counter clone_counter(const Counter& c) { return c; }
std::uint64_t sum_borrowed(const InstanceList<Counter>& cs) {
  std::uint64_t s = 0;
  for (const Counter* c : cs.items()) s += c->count;
  return s;
}
std::uint64_t counter_add_all(Counter& c, const InstanceList<Counter>& others) {
  for (const Counter* o : others.items()) c.count += o->count;
  return c.count;
}
Sealed make_sealed(std::string tag) { return Sealed{std::move(tag)}; }
std::int64_t color_value(Color c) { return static_cast<std::int64_t>(c); }
Color color_of(std::int64_t v) { return static_cast<Color>(v); }

#define SIG(name, params, doc) constexpr Signature k_##name{#name, nullptr, params, doc};

constexpr Param kValue[] = {{"value"}};
SIG(echo_str, kValue, "Echo a str.")
SIG(echo_string, kValue, "")
SIG(echo_char, kValue, "")
SIG(echo_u64, kValue, "")
SIG(echo_i64, kValue, "")
SIG(echo_u32, kValue, "")
SIG(echo_u8, kValue, "")
SIG(echo_i8, kValue, "")
SIG(echo_f64, kValue, "")
SIG(echo_f32, kValue, "")
SIG(echo_bool, kValue, "")
SIG(echo_list_str, kValue, "")
SIG(echo_list_f32, kValue, "")
SIG(echo_list_list_u32, kValue, "")
SIG(echo_bytes, kValue, "")
SIG(echo_dict, kValue, "")
SIG(dict_len, kValue, "")
SIG(echo_tuple, kValue, "")
SIG(echo_pair, kValue, "")
SIG(echo_optional, kValue, "")
SIG(echo_optional_list, kValue, "")
constexpr Param kDefaults[] = {{"a"},       {"b", 1},  {"c", "x'y"}, {"d", kNoneDefault},
                               {"e", true}, {"f", 0.5}};
SIG(defaults, kDefaults, "Parameters with every kind of default.")
constexpr Param kThree[] = {{"a"}, {"b"}, {"c"}};
constexpr Param kShown[] = {{"value", "{}", ShownAs{"..."}}};
std::string_view shown_default(std::string_view v) { return v; }
SIG(shown_default, kShown, "")
SIG(three, kThree, "")
SIG(no_arguments, std::span<const Param>{}, "Takes nothing.")
constexpr Param kMessage[] = {{"message"}};
SIG(panic_now, kMessage, "")
SIG(throw_unknown, std::span<const Param>{}, "")
constexpr Param kKind[] = {{"kind"}};
SIG(error_kind, kKind, "")
constexpr Param kN[] = {{"n"}};
SIG(flags, kN, "")
SIG(mixed, std::span<const Param>{}, "")
SIG(pool_squares, kN, "")
constexpr Param kNAt[] = {{"n"}, {"at"}};
SIG(pool_panic, kNAt, "")
SIG(pool_error, kNAt, "")
SIG(pool_threads, std::span<const Param>{}, "")
SIG(sum_released, kValue, "")
constexpr Param kCounter[] = {{"counter"}};
SIG(take_counter, kCounter, "")
constexpr Param kCounters[] = {{"counters"}};
SIG(sum_counters, kCounters, "")
SIG(clone_counter, kCounter, "")
SIG(sum_borrowed, kCounters, "")
constexpr Param kTag[] = {{"tag"}};
SIG(make_sealed, kTag, "")
constexpr Param kColor[] = {{"color"}};
SIG(color_value, kColor, "")
SIG(color_of, kValue, "")

constexpr Param kStart[] = {{"start", 0}};
constexpr Signature kCounterNew{"__new__", "Counter", kStart, "A counter with a label."};
constexpr Param kAmount[] = {{"amount", 1}};
constexpr Signature kCounterAdd{"add", "Counter", kAmount, "Add to the count."};
constexpr Signature kCounterGet{"get", "Counter", {}, "The count."};
constexpr Param kOther[] = {{"other"}};
constexpr Signature kCounterMerge{"merge", "Counter", kOther, ""};
constexpr Signature kCounterPeekWith{"peek_with", "Counter", kOther, ""};
constexpr Param kOthers[] = {{"others"}};
constexpr Signature kCounterAddAll{"add_all", "Counter", kOthers, ""};

const MethodDef kCounterMethods[] = {
    method<&counter_add, kCounterAdd>(),        method<&counter_get, kCounterGet>(),
    method<&counter_merge, kCounterMerge>(),    method<&counter_peek_with, kCounterPeekWith>(),
    method<&counter_add_all, kCounterAddAll>(),
};
const PropertyDef kCounterProperties[] = {
    read_only<&Counter::count>("count", "The count."),
    read_write<&Counter::label, &Counter::label>("label", "A writable label."),
};
const PyType_Slot kCounterSlots[] = {
    {Py_tp_repr, reinterpret_cast<void*>(&unary_slot<&counter_repr>)}};
const ClassSpec kCounterSpec{"Counter",
                             "A counter with a label.",
                             &kCounterNew,
                             &constructor_entry<&counter_new, kCounterNew>,
                             sizeof(Object<Counter>),
                             &dealloc_object<Counter>,
                             kCounterMethods,
                             kCounterProperties,
                             kCounterSlots};

const PropertyDef kSealedProperties[] = {read_only<&Sealed::tag>("tag")};
const ClassSpec kSealedSpec{"Sealed", "Made only by make_sealed.", nullptr,
                            nullptr,  sizeof(Object<Sealed>),      &dealloc_object<Sealed>,
                            {},       kSealedProperties,           {}};

const EnumMember kColors[] = {{"Red", "red", 0}, {"Green", "green", 1}, {"Blue", "blue", 2}};
const char* color_text(const EnumValue& v) { return v.member->text; }
constexpr Signature kColorText{"text", "Color", {}, "The member's text."};
const MethodDef kColorMethods[] = {method<&color_text, kColorText>()};

const FunctionDef kFunctions[] = {
    function<&echo_str, k_echo_str>(),
    function<&echo_string, k_echo_string>(),
    function<&echo_char, k_echo_char>(),
    function<&echo_u64, k_echo_u64>(),
    function<&echo_i64, k_echo_i64>(),
    function<&echo_u32, k_echo_u32>(),
    function<&echo_u8, k_echo_u8>(),
    function<&echo_i8, k_echo_i8>(),
    function<&echo_f64, k_echo_f64>(),
    function<&echo_f32, k_echo_f32>(),
    function<&echo_bool, k_echo_bool>(),
    function<&echo_list_str, k_echo_list_str>(),
    function<&echo_list_f32, k_echo_list_f32>(),
    function<&echo_list_list_u32, k_echo_list_list_u32>(),
    function<&echo_bytes, k_echo_bytes>(),
    function<&echo_dict, k_echo_dict>(),
    function<&dict_len, k_dict_len>(),
    function<&echo_tuple, k_echo_tuple>(),
    function<&echo_pair, k_echo_pair>(),
    function<&echo_optional, k_echo_optional>(),
    function<&echo_optional_list, k_echo_optional_list>(),
    function<&defaults, k_defaults>(),
    function<&three, k_three>(),
    function<&shown_default, k_shown_default>(),
    noargs_function<&no_arguments, k_no_arguments>(),
    function<&flags, k_flags>(),
    function<&mixed, k_mixed>(),
    function<&panic_now, k_panic_now>(),
    function<&throw_unknown, k_throw_unknown>(),
    function<&error_kind, k_error_kind>(),
    function<&pool_squares, k_pool_squares>(),
    function<&pool_panic, k_pool_panic>(),
    function<&pool_error, k_pool_error>(),
    function<&pool_threads, k_pool_threads>(),
    function<&sum_released, k_sum_released, CallFlags{.release_gil = true}>(),
    function<&take_counter, k_take_counter>(),
    function<&sum_counters, k_sum_counters>(),
    function<&clone_counter, k_clone_counter>(),
    function<&sum_borrowed, k_sum_borrowed>(),
    function<&make_sealed, k_make_sealed>(),
    function<&color_value, k_color_value>(),
    function<&color_of, k_color_of>(),
};

PyTypeObject* counter_type() { return class_type<Counter>(); }
PyTypeObject* sealed_type() { return class_type<Sealed>(); }
PyTypeObject* color_type() { return EnumOf<Color>::def().type(); }

int exec_module(PyObject* module) {
  std::vector<Row> rows = {class_row("Counter", &counter_type), class_row("Sealed", &sealed_type),
                           class_row("Color", &color_type)};
  for (const FunctionDef& f : kFunctions) rows.push_back(function_row(f));
  return register_rows(module, rows);
}

PyModuleDef_Slot kSlots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_module)},
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
    {0, nullptr},
};

PyModuleDef kModule = {PyModuleDef_HEAD_INIT,
                       "_pelrin_frame_test",
                       "Calling-convention test module.",
                       0,
                       nullptr,
                       kSlots,
                       nullptr,
                       nullptr,
                       nullptr};

}  // namespace
}  // namespace pelrin::frame_test

namespace pelrin::py {
ClassDef& ClassOf<frame_test::Counter>::def() {
  static ClassDef d(frame_test::kCounterSpec);
  return d;
}
ClassDef& ClassOf<frame_test::Sealed>::def() {
  static ClassDef d(frame_test::kSealedSpec);
  return d;
}
EnumDef& EnumOf<frame_test::Color>::def() {
  static EnumDef d("Color", "A test enumeration.", frame_test::kColors, frame_test::kColorMethods);
  return d;
}
}  // namespace pelrin::py

extern "C" __attribute__((visibility("default"))) PyObject* PyInit__pelrin_frame_test() {
  return PyModuleDef_Init(&pelrin::frame_test::kModule);
}
