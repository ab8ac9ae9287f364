// A list of 32-bit float vectors stored back to back in one buffer.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace pelrin::similarity {

// Rows of any lengths, contiguous and in order: row i occupies
// [offset(i), offset(i + 1)) of one float buffer, so rows of equal length d
// sit at a constant stride d. The buffer is owned, or (see view) borrowed
// from memory that outlives the list.
class VectorList {
 public:
  VectorList() : offsets_{0} {}

  // Rows rows x cols floats at `data`, not copied; the memory must stay valid
  // and unchanged while the list is used.
  static VectorList view(const float* data, std::size_t rows, std::size_t cols);

  // A new owned row of n floats, returned for the caller to fill (valid until
  // the next append).
  float* append_row(std::size_t n);
  void append_row(std::span<const float> values);
  // Drops the last owned row.
  void pop_row();
  void reserve(std::size_t rows, std::size_t values);

  std::size_t size() const noexcept { return offsets_.size() - 1; }
  bool empty() const noexcept { return size() == 0; }
  std::size_t row_size(std::size_t i) const noexcept { return offsets_[i + 1] - offsets_[i]; }
  const float* row_data(std::size_t i) const noexcept { return data() + offsets_[i]; }
  std::span<const float> operator[](std::size_t i) const noexcept {
    return {row_data(i), row_size(i)};
  }
  std::size_t offset(std::size_t i) const noexcept { return offsets_[i]; }
  const float* data() const noexcept { return view_ != nullptr ? view_ : owned_.data(); }
  // The owned buffer, for filling rows made by append_row(n).
  float* mutable_data() noexcept { return owned_.data(); }
  std::size_t total_values() const noexcept { return offsets_.back(); }

 private:
  std::vector<float> owned_;
  std::vector<std::size_t> offsets_;  // size() + 1 entries, starting at 0
  const float* view_ = nullptr;
};

}  // namespace pelrin::similarity
