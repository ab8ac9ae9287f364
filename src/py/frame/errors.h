// Python exceptions of the calling conventions, and the panic guard.
#pragma once

#include "py/python.h"

#include <exception>
#include <new>
#include <utility>

#include "core/base/panic.h"
#include "core/base/result.h"

namespace pelrin::py {

// TypeError "'T' object is not an instance of 'U'" (T the qualified type name
// of `given`), or "'None' is not an instance of 'U'" for None.
void set_conversion_error(PyObject* given, const char* expected);

// TypeError refusing a str where a list is expected.
void set_str_as_list_error();

// Adds the note "while processing 'NAME'" to the exception being raised; if
// that fails the exception is kept without the note.
void add_processing_note(const char* name);

// Raises a core Error as the Python exception of its kind.
void raise_error(const Error& error);

// The InternalPanic class (a BaseException), created once per process; a
// borrowed reference, or nullptr with an exception set.
PyObject* internal_panic_type();

// Raises InternalPanic with `message`, or a fixed text when it is null.
void raise_internal_panic(const char* message);

// Runs body (which returns a new reference or nullptr with an exception set)
// and turns anything thrown into the right Python exception: Panic and other
// C++ exceptions into InternalPanic, allocation failure into MemoryError.
template <class Body>
PyObject* guarded(Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (const Panic& p) {
    raise_internal_panic(p.what());
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    raise_internal_panic(e.what());
  } catch (...) {
    raise_internal_panic(nullptr);
  }
  return nullptr;
}

// The same for slots returning int (-1 on error).
template <class Body>
int guarded_int(Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (const Panic& p) {
    raise_internal_panic(p.what());
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    raise_internal_panic(e.what());
  } catch (...) {
    raise_internal_panic(nullptr);
  }
  return -1;
}

}  // namespace pelrin::py
