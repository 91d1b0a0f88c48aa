// How far one picture of the ground is shifted against another: phase correlation (the peak of the
// normalised cross-power spectrum) over square windows, to a tenth of a pixel.
//
// Threading: a PhaseCorrelator is immutable once made (FFTW's planner runs under a lock in the
// constructor); Shift may be called from several threads at once, each with a CorrelationWork of its own.
#pragma once

#include <memory>
#include <span>

namespace taloran {

struct CorrelationShift {
  double dx = 0, dy = 0;  // columns right, rows down
  double peak = 0;        // about 1 for two pictures of one ground, near 0 for pictures that do not match
};

// A thread's buffers for Shift.
class CorrelationWork {
 public:
  explicit CorrelationWork(int side);
  ~CorrelationWork();
  CorrelationWork(const CorrelationWork&) = delete;
  CorrelationWork& operator=(const CorrelationWork&) = delete;
  struct Buffers;
  Buffers& buffers() { return *buffers_; }

 private:
  std::unique_ptr<Buffers> buffers_;
};

class PhaseCorrelator {
 public:
  // Windows of side x side values, side even.
  explicit PhaseCorrelator(int side);
  ~PhaseCorrelator();
  PhaseCorrelator(const PhaseCorrelator&) = delete;
  PhaseCorrelator& operator=(const PhaseCorrelator&) = delete;
  int side() const { return side_; }

  // The shift of `moved` against `reference` (moved(x, y) shows reference(x - dx, y - dy)), each
  // side x side values a row after another; within half a side either way.
  CorrelationShift Shift(std::span<const float> reference, std::span<const float> moved, CorrelationWork& work) const;

 private:
  int side_;
  struct Plans;
  std::unique_ptr<Plans> plans_;
};

}  // namespace taloran
