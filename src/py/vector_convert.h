// Conversion of vectors and lists of vectors at the boundary.
//
// A vector parameter follows the list-of-float32 rule, a list of vectors the
// list-of-list-of-float32 rule, with two faster ways in that give the same
// values:
//   - exact lists and tuples whose items are exact floats or ints are read
//     directly, without the per-item protocol calls;
//   - an object exposing a C-contiguous buffer of float32 or float64 in
//     native byte order (a NumPy array, array.array('f'/'d'), a memoryview),
//     1-D for a vector or 2-D for a list of vectors, is read straight from
//     memory; float64 values are rounded to float32 as the list rule rounds
//     them. A float32 list of vectors is used in place, without a copy, for
//     the duration of the call (the export keeps the buffer from being
//     resized; a buffer that another thread writes during a call that runs
//     without the interpreter lock gives unspecified numbers, as in NumPy).
// Every other object (other buffer formats, strided buffers) takes the
// general sequence rule.
#pragma once

#include "py/python.h"

#include <span>

#include "core/similarity/vector_list.h"
#include "py/frame/convert.h"
#include "py/frame/to_python.h"

namespace pelrin::py {

// A list of float32 parameter read by the rules above.
struct FloatVector {
  similarity::VectorList row;  // exactly one row
  std::span<const float> span() const noexcept { return row[0]; }
};

// Appends o, converted by the vector rule, as one row of `out`; false with a
// Python exception set on failure (out unchanged).
bool append_vector(PyObject* o, similarity::VectorList& out, KeepAlive& keep);

// Converts o by the list-of-vectors rule into `out`.
bool convert_vector_list(PyObject* o, similarity::VectorList& out, KeepAlive& keep);

template <>
struct Converter<FloatVector> {
  static bool convert(PyObject* o, FloatVector& out, KeepAlive& keep) {
    out.row = similarity::VectorList();
    return append_vector(o, out.row, keep);
  }
};

template <>
struct Converter<similarity::VectorList> {
  static bool convert(PyObject* o, similarity::VectorList& out, KeepAlive& keep) {
    return convert_vector_list(o, out, keep);
  }
};

// A list of vectors becomes a list of lists of floats.
template <>
struct ToPython<similarity::VectorList> {
  static PyObject* convert(const similarity::VectorList& v);
};

}  // namespace pelrin::py
