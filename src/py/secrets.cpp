// Secret scanning: descriptors, docstrings and the SecretMatch class.
#include "py/secrets.h"

#include <string>

namespace pelrin::py {
namespace {

using secrets::SecretMatch;

PyObject* secret_match_repr(PyObject* self) {
  return guarded([&]() -> PyObject* {
    Borrow<SecretMatch, false> b(self);
    if (!b.ok()) return nullptr;
    const SecretMatch& m = b.get();
    const std::string s = "SecretMatch(type='" + m.secret_type + "', severity='" + m.severity +
                          "', line=" + std::to_string(m.line_number) + ")";
    return str_from_utf8(s);
  });
}

const PropertyDef kSecretMatchProperties[] = {
    read_only<&SecretMatch::secret_type>("secret_type"),
    read_only<&SecretMatch::matched_text>("matched_text"),
    read_only<&SecretMatch::severity>("severity"),
    read_only<&SecretMatch::start>("start"),
    read_only<&SecretMatch::end>("end"),
    read_only<&SecretMatch::line_number>("line_number"),
};
const PyType_Slot kSecretMatchSlots[] = {
    {Py_tp_repr, reinterpret_cast<void*>(&secret_match_repr)},
};
const ClassSpec kSecretMatchSpec{"SecretMatch",
                                 "Secret match result",
                                 nullptr,
                                 nullptr,
                                 sizeof(Object<SecretMatch>),
                                 &dealloc_object<SecretMatch>,
                                 {},
                                 kSecretMatchProperties,
                                 kSecretMatchSlots};

// The summary's outer dict has a fixed key order and mixed value types.
Owned scan_secrets_summary_py(std::string_view text) {
  const secrets::SecretSummary s = secrets::scan_secrets_summary(text);
  return {keyed_dict({"total_matches", "has_secrets", "by_type", "by_severity"}, s.total_matches,
                     s.total_matches > 0, s.by_type, s.by_severity)};
}

// A lone surrogate is one character but has no UTF-8 form: refused as a
// str that cannot be encoded is, with the interpreter's UnicodeEncodeError.
Owned mask_secrets_py(std::string_view text, char32_t mask_char, std::uint64_t visible_chars) {
  if (mask_char >= 0xD800 && mask_char <= 0xDFFF) {
    PyObject* s = PyUnicode_FromOrdinal(static_cast<int>(mask_char));
    if (s != nullptr) {
      if (PyUnicode_AsUTF8AndSize(s, nullptr) != nullptr) {
        PyErr_SetString(PyExc_ValueError, "mask_char cannot be encoded in UTF-8");
      }
      Py_DECREF(s);
    }
    add_processing_note("mask_char");
    return {nullptr};
  }
  return {to_python(secrets::mask_secrets(text, mask_char, visible_chars))};
}

constexpr Param kTextParam[] = {{"text"}};
constexpr Signature kScanSig{"scan_secrets", nullptr, kTextParam, "Scan text for secrets"};
constexpr Signature kHasSig{"has_secrets", nullptr, kTextParam,
                            "Check if text contains any secrets"};
constexpr Signature kTypesSig{"get_secret_types", nullptr, kTextParam,
                              "Get list of secret types found in text"};
constexpr Param kMaskParams[] = {{"text"}, {"mask_char", "*"}, {"visible_chars", 4}};
constexpr Signature kMaskSig{"mask_secrets", nullptr, kMaskParams,
                             "Mask secrets in text with asterisks"};
constexpr Signature kListSig{
    "list_secret_patterns", nullptr, {}, "Get all available secret pattern names"};
constexpr Signature kSummarySig{"scan_secrets_summary", nullptr, kTextParam,
                                "Scan and return summary statistics"};

}  // namespace

ClassDef& ClassOf<secrets::SecretMatch>::def() {
  static ClassDef d(kSecretMatchSpec);
  return d;
}

PyTypeObject* secret_match_type() { return class_type<secrets::SecretMatch>(); }

const FunctionDef kScanSecrets = function<&secrets::scan_secrets, kScanSig>();
const FunctionDef kHasSecrets = function<&secrets::has_secrets, kHasSig>();
const FunctionDef kGetSecretTypes = function<&secrets::get_secret_types, kTypesSig>();
const FunctionDef kMaskSecrets = function<&mask_secrets_py, kMaskSig>();
const FunctionDef kListSecretPatterns = noargs_function<&secrets::list_secret_patterns, kListSig>();
const FunctionDef kScanSecretsSummary = function<&scan_secrets_summary_py, kSummarySig>();

}  // namespace pelrin::py
