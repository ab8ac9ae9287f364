// A list of vectors in one buffer.
#include "core/similarity/vector_list.h"

#include <algorithm>

#include "core/base/panic.h"

namespace pelrin::similarity {

VectorList VectorList::view(const float* data, std::size_t rows, std::size_t cols) {
  VectorList list;
  list.view_ = data;
  list.offsets_.resize(rows + 1);
  for (std::size_t i = 0; i <= rows; ++i) list.offsets_[i] = i * cols;
  return list;
}

float* VectorList::append_row(std::size_t n) {
  PELRIN_CHECK(view_ == nullptr);
  const std::size_t start = owned_.size();
  owned_.resize(start + n);
  offsets_.push_back(start + n);
  return owned_.data() + start;
}

void VectorList::append_row(std::span<const float> values) {
  float* out = append_row(values.size());
  std::copy(values.begin(), values.end(), out);
}

void VectorList::pop_row() {
  PELRIN_CHECK(view_ == nullptr && size() > 0);
  offsets_.pop_back();
  owned_.resize(offsets_.back());
}

void VectorList::reserve(std::size_t rows, std::size_t values) {
  offsets_.reserve(rows + 1);
  owned_.reserve(values);
}

}  // namespace pelrin::similarity
