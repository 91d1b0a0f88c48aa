// Memory for frame-sized buffers, taken from the kernel in 2 MiB pages where it offers them. A
// process that touches ten megabytes once (one capture through taloran-cli) otherwise spends most
// of its run in some 3,000 page faults of 4 KiB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace taloran {

// `bytes` of zeroed memory aligned to 2 MiB; throws std::bad_alloc when the system has none.
class LargeBuffer {
 public:
  explicit LargeBuffer(std::size_t bytes);
  ~LargeBuffer();
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;
  std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  std::uint8_t* data_;
  std::size_t size_;
};

// One T in large pages, for a plain record of arrays whose every byte starts at zero.
template <class T>
class LargeObject {
 public:
  LargeObject() : object_(new (memory_.data()) T) {}
  T& operator*() const { return *object_; }
  T* operator->() const { return object_; }

 private:
  LargeBuffer memory_{sizeof(T)};
  T* object_;
};

}  // namespace taloran
