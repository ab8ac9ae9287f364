// Conversion of vectors and lists of vectors: direct list reads, buffers,
// and the general sequence rule.
#include "py/vector_convert.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

namespace pelrin::py {
namespace {

using similarity::VectorList;

// The element type of a buffer format we read directly: 'f' or 'd', with at
// most a native or little-endian prefix; 0 for anything else.
char native_float_format(const char* format) {
  if (format == nullptr) return 0;
  if (*format == '@' || *format == '=' || *format == '<') {
    if (*format != '@' && std::endian::native != std::endian::little) return 0;
    ++format;
  }
  if ((format[0] == 'f' || format[0] == 'd') && format[1] == '\0') return format[0];
  return 0;
}

// A memoryview of o when it is a C-contiguous float32/float64 buffer of
// `ndim` dimensions, else nullptr with no exception set.
PyObject* float_buffer(PyObject* o, int ndim, char& kind) {
  if (!PyObject_CheckBuffer(o) || PyBytes_Check(o) || PyByteArray_Check(o)) return nullptr;
  PyObject* mv = PyMemoryView_FromObject(o);
  if (mv == nullptr) {
    PyErr_Clear();  // an exporter that refuses: the sequence rule decides
    return nullptr;
  }
  const Py_buffer* view = PyMemoryView_GET_BUFFER(mv);
  kind = native_float_format(view->format);
  const Py_ssize_t want = kind == 'f' ? 4 : 8;
  if (kind == 0 || view->ndim != ndim || view->itemsize != want ||
      !PyBuffer_IsContiguous(view, 'C')) {
    Py_DECREF(mv);
    return nullptr;
  }
  return mv;
}

void copy_floats(const void* src, char kind, std::size_t n, float* dst) {
  if (kind == 'f') {
    std::memcpy(dst, src, n * sizeof(float));
  } else {
    const auto* d = static_cast<const double*>(src);
    for (std::size_t i = 0; i < n; ++i) dst[i] = static_cast<float>(d[i]);
  }
}

// Exact list or tuple of exact floats and ints: -1 when an item needs the
// general rule (nothing appended), 0 on a conversion error, 1 when done.
// Ints are read by the interpreter's own conversion, which runs no Python
// code, so the container cannot change under us.
int append_direct(PyObject* o, VectorList& out) {
  const bool is_list = PyList_CheckExact(o);
  const Py_ssize_t n = is_list ? PyList_GET_SIZE(o) : PyTuple_GET_SIZE(o);
  PyObject* const* items = PySequence_Fast_ITEMS(o);
  float* dst = out.append_row(static_cast<std::size_t>(n));
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = items[i];
    if (PyFloat_CheckExact(item)) {
      dst[i] = static_cast<float>(PyFloat_AS_DOUBLE(item));
    } else if (PyLong_CheckExact(item)) {
      const double v = PyLong_AsDouble(item);
      if (v == -1.0 && PyErr_Occurred()) {
        out.pop_row();
        return 0;
      }
      dst[i] = static_cast<float>(v);
    } else {
      out.pop_row();
      return -1;
    }
  }
  return 1;
}

}  // namespace

bool append_vector(PyObject* o, VectorList& out, KeepAlive& keep) {
  if (PyList_CheckExact(o) || PyTuple_CheckExact(o)) {
    const int r = append_direct(o, out);
    if (r >= 0) return r == 1;
  } else {
    char kind = 0;
    if (PyObject* mv = float_buffer(o, 1, kind)) {
      const Py_buffer* view = PyMemoryView_GET_BUFFER(mv);
      const auto n = static_cast<std::size_t>(view->shape[0]);
      copy_floats(view->buf, kind, n, out.append_row(n));
      Py_DECREF(mv);
      return true;
    }
  }
  std::vector<float> values;
  if (!Converter<std::vector<float>>::convert(o, values, keep)) return false;
  out.append_row(values);
  return true;
}

bool convert_vector_list(PyObject* o, VectorList& out, KeepAlive& keep) {
  out = VectorList();
  if (!PyList_CheckExact(o) && !PyTuple_CheckExact(o)) {
    char kind = 0;
    if (PyObject* mv = float_buffer(o, 2, kind)) {
      const Py_buffer* view = PyMemoryView_GET_BUFFER(mv);
      const auto rows = static_cast<std::size_t>(view->shape[0]);
      const auto cols = static_cast<std::size_t>(view->shape[1]);
      if (kind == 'f') {
        out = VectorList::view(static_cast<const float*>(view->buf), rows, cols);
        keep.keep(mv);  // holds the export for the whole call
        return true;
      }
      out.reserve(rows, rows * cols);
      const auto* src = static_cast<const double*>(view->buf);
      for (std::size_t r = 0; r < rows; ++r) {
        copy_floats(src + r * cols, kind, cols, out.append_row(cols));
      }
      Py_DECREF(mv);
      return true;
    }
  }
  if (!check_sequence(o)) return false;
  const Py_ssize_t hint = length_hint(o);
  // Rows usually share one length: room for hint rows like the first saves
  // the buffer's regrowth.
  std::size_t values_hint = 0;
  if (hint > 0 && (PyList_CheckExact(o) || PyTuple_CheckExact(o))) {
    PyObject* first = PySequence_Fast_ITEMS(o)[0];
    if (PyList_CheckExact(first) || PyTuple_CheckExact(first)) {
      values_hint = static_cast<std::size_t>(hint) * static_cast<std::size_t>(Py_SIZE(first));
    }
  }
  // Only a hint (the first row may be the one long row), so it is capped and
  // a refused reservation is no error.
  constexpr std::size_t kMaxValuesHint = std::size_t{1} << 27;
  try {
    out.reserve(static_cast<std::size_t>(hint), std::min(values_hint, kMaxValuesHint));
  } catch (const std::bad_alloc&) {
  }
  return for_each_item(o, [&](PyObject* item) {
    const bool ok = append_vector(item, out, keep);
    Py_DECREF(item);
    return ok;
  });
}

PyObject* ToPython<similarity::VectorList>::convert(const similarity::VectorList& v) {
  PyObject* rows = PyList_New(static_cast<Py_ssize_t>(v.size()));
  if (rows == nullptr) return nullptr;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const std::span<const float> r = v[i];
    PyObject* row = PyList_New(static_cast<Py_ssize_t>(r.size()));
    if (row == nullptr) {
      Py_DECREF(rows);
      return nullptr;
    }
    PyList_SET_ITEM(rows, static_cast<Py_ssize_t>(i), row);
    for (std::size_t j = 0; j < r.size(); ++j) {
      PyObject* f = PyFloat_FromDouble(static_cast<double>(r[j]));
      if (f == nullptr) {
        Py_DECREF(rows);
        return nullptr;
      }
      PyList_SET_ITEM(row, static_cast<Py_ssize_t>(j), f);
    }
  }
  return rows;
}

}  // namespace pelrin::py
