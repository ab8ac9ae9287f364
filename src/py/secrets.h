// Secret scanning: the SecretMatch class and the six scanning functions.
#pragma once

#include "core/secrets/scanner.h"
#include "py/frame/entry.h"

namespace pelrin::py {

template <>
struct ClassOf<secrets::SecretMatch> {
  static ClassDef& def();
};

PyTypeObject* secret_match_type();

extern const FunctionDef kScanSecrets;
extern const FunctionDef kHasSecrets;
extern const FunctionDef kGetSecretTypes;
extern const FunctionDef kMaskSecrets;
extern const FunctionDef kListSecretPatterns;
extern const FunctionDef kScanSecretsSummary;

}  // namespace pelrin::py
