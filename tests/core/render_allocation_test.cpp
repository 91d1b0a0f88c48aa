// A render must not allocate: every view and gain pass runs with the global allocator counted.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#include "core/index/render_view.h"
#include "core/render/render.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace taloran {
namespace {

TEST(RenderAllocation, NoViewIndexOrGainPassAllocates) {
  const auto frame = std::make_unique<FrameStore>();  // made before the count starts
  FrameStore& s = *frame;
  const GainSet gains{120, 7, 150, 99};
  RenderTarget target;
  target.bmp = &s.bmp;
  const std::uint16_t codes[] = {kIndexNdvi, kIndexNdvi | 1, kIndexEvi, kIndexRvi, kIndexGrvi, kIndexIpvi,
                                 kIndexSipi, kIndexOsavi,    kIndexCi,  kIndexDvi, kIndexGi};
  RenderFrame(FrameRequest(s, kViewIndex, kIndexEvi, gains), target);  // warm every one-time set-up
  const long before = allocations;
  for (std::uint16_t mode = 0; mode <= kViewColour; ++mode) RenderFrame(FrameRequest(s, mode, 0, gains), target);
  for (std::uint16_t code : codes) RenderFrame(FrameRequest(s, kViewIndex, code, gains), target);
  for (std::uint16_t channel = 1; channel <= 3; ++channel) ApplyChannelGain(channel, gains, s.red, s.bmp);
  EXPECT_EQ(allocations - before, 0);
}

}  // namespace
}  // namespace taloran
