#include "image_io/large_buffer.h"

#include <sys/mman.h>

namespace taloran {

namespace {
constexpr std::size_t kLargePage = std::size_t{2} << 20;
std::size_t Rounded(std::size_t bytes) { return (bytes + kLargePage - 1) / kLargePage * kLargePage; }
}  // namespace

// Maps one large page more than asked, keeps the aligned part, and asks for large pages on it;
// where the kernel declines, the memory is the same, only slower to touch.
LargeBuffer::LargeBuffer(std::size_t bytes) : size_(bytes) {
  const std::size_t size = Rounded(bytes);
  void* mapped = mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = (start + kLargePage - 1) / kLargePage * kLargePage;
  if (aligned > start) munmap(mapped, aligned - start);
  if (const std::uintptr_t tail = start + kLargePage - aligned; tail > 0) {
    munmap(reinterpret_cast<void*>(aligned + size), tail);
  }
  data_ = reinterpret_cast<std::uint8_t*>(aligned);
  madvise(data_, size, MADV_HUGEPAGE);
}

LargeBuffer::~LargeBuffer() { munmap(data_, Rounded(size_)); }

}  // namespace taloran
