// Arrays of a million and more small records (the figures of a converted map), left
// uninitialised: each record is written once when the array is filled, so nothing is written
// twice and no page is touched before it is needed.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace picmap::ogr {

// Memory for n records of `bytes` each, released with std::free.
void* AllocateRecords(size_t n, size_t bytes);

template <class T>
class LargeArray {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

 public:
  LargeArray() = default;
  // Room for n records, not set.
  explicit LargeArray(size_t n) : data_(static_cast<T*>(AllocateRecords(n, sizeof(T)))), size_(n) {}

  size_t size() const { return size_; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }
  T* begin() { return data_.get(); }
  T* end() { return data_.get() + size_; }
  const T* begin() const { return data_.get(); }
  const T* end() const { return data_.get() + size_; }
  // Keeps the first n records (n not above the size); the memory stays.
  void resize_down(size_t n) { size_ = n; }
  void swap(LargeArray& other) noexcept {
    data_.swap(other.data_);
    std::swap(size_, other.size_);
  }

 private:
  struct Free {
    void operator()(T* p) const { std::free(p); }
  };
  std::unique_ptr<T[], Free> data_;
  size_t size_ = 0;
};

}  // namespace picmap::ogr
