// Throwing helpers for PELRIN_CHECK, out of line to keep call sites small.
#include "core/base/panic.h"

namespace pelrin {

void panic(std::string message) { throw Panic(std::move(message)); }

void panic_at(const char* file, int line, const char* condition) {
  throw Panic(std::string("internal check failed: ") + condition + " (" + file + ":" +
              std::to_string(line) + ")");
}

}  // namespace pelrin
