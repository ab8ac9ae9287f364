// The one way py/ files include the C API: first include of every py/ file.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#if PY_VERSION_HEX < 0x030D0000
#error "pelrin_native needs CPython 3.13 or later"
#endif
