#include "match/phase_correlation.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <mutex>
#include <numbers>
#include <vector>

namespace taloran {

namespace {

// FFTW's planner keeps global state: plans are made one at a time.
std::mutex planner;

// Where a window's spectrum has no energy the phase is undefined: such terms count as nothing.
constexpr float kSilentSpectrum = 1e-12f;

template <typename T>
struct FftwFree {
  void operator()(T* p) const { fftwf_free(p); }
};
template <typename T>
using FftwArray = std::unique_ptr<T[], FftwFree<T>>;

template <typename T>
FftwArray<T> Allocate(std::size_t count) {
  return FftwArray<T>(static_cast<T*>(fftwf_malloc(count * sizeof(T))));
}

std::size_t SpectrumSize(int side) { return static_cast<std::size_t>(side) * static_cast<std::size_t>(side / 2 + 1); }
std::size_t WindowSize(int side) { return static_cast<std::size_t>(side) * static_cast<std::size_t>(side); }

// The peak's place between samples. A pure shift of d makes the surface a sampled Dirichlet kernel,
// about sinc(x - d): from the peak c0 and its larger neighbour c1 the fraction is c1 / (c1 + c0)
// toward that neighbour (the parabola through three samples is off by up to a fifth of a pixel).
double Fraction(double before, double at, double after) {
  if (at <= 0) return 0;
  const double side = after > before ? 1 : -1, next = std::max(std::max(before, after), 0.0);
  return side * next / (next + at);
}

}  // namespace

struct CorrelationWork::Buffers {
  FftwArray<float> a, b;
  FftwArray<fftwf_complex> fa, fb;
};

CorrelationWork::CorrelationWork(int side) : buffers_(std::make_unique<Buffers>()) {
  buffers_->a = Allocate<float>(WindowSize(side));
  buffers_->b = Allocate<float>(WindowSize(side));
  buffers_->fa = Allocate<fftwf_complex>(SpectrumSize(side));
  buffers_->fb = Allocate<fftwf_complex>(SpectrumSize(side));
}

CorrelationWork::~CorrelationWork() = default;

struct PhaseCorrelator::Plans {
  fftwf_plan forward = nullptr, inverse = nullptr;
  std::vector<float> taper;  // the Hann window, so that the windows' edges do not correlate
};

PhaseCorrelator::PhaseCorrelator(int side) : side_(side), plans_(std::make_unique<Plans>()) {
  CorrelationWork work(side);
  CorrelationWork::Buffers& b = work.buffers();
  {
    const std::lock_guard lock(planner);
    plans_->forward = fftwf_plan_dft_r2c_2d(side, side, b.a.get(), b.fa.get(), FFTW_ESTIMATE);
    plans_->inverse = fftwf_plan_dft_c2r_2d(side, side, b.fa.get(), b.a.get(), FFTW_ESTIMATE);
  }
  std::vector<float> hann(static_cast<std::size_t>(side));
  for (int i = 0; i < side; ++i) {
    hann[static_cast<std::size_t>(i)] =
        static_cast<float>(0.5 - 0.5 * std::cos(2 * std::numbers::pi * (i + 0.5) / side));
  }
  plans_->taper.resize(WindowSize(side));
  for (std::size_t y = 0; y < hann.size(); ++y) {
    for (std::size_t x = 0; x < hann.size(); ++x) plans_->taper[y * hann.size() + x] = hann[y] * hann[x];
  }
}

PhaseCorrelator::~PhaseCorrelator() {
  const std::lock_guard lock(planner);
  fftwf_destroy_plan(plans_->forward);
  fftwf_destroy_plan(plans_->inverse);
}

CorrelationShift PhaseCorrelator::Shift(std::span<const float> reference, std::span<const float> moved,
                                        CorrelationWork& work) const {
  CorrelationWork::Buffers& b = work.buffers();
  const std::size_t n = WindowSize(side_);
  // Each window less its mean, tapered.
  const auto prepare = [&](std::span<const float> from, float* to) {
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += from[i];
    const auto mean = static_cast<float>(sum / static_cast<double>(n));
    for (std::size_t i = 0; i < n; ++i) to[i] = (from[i] - mean) * plans_->taper[i];
  };
  prepare(reference, b.a.get());
  prepare(moved, b.b.get());
  fftwf_execute_dft_r2c(plans_->forward, b.a.get(), b.fa.get());
  fftwf_execute_dft_r2c(plans_->forward, b.b.get(), b.fb.get());
  // conj(A) B / |conj(A) B|: a pure shift d leaves exp(-2 pi i k d / side), whose inverse is a spike at d.
  for (std::size_t k = 0; k < SpectrumSize(side_); ++k) {
    const std::complex<float> a(b.fa[k][0], b.fa[k][1]), m(b.fb[k][0], b.fb[k][1]);
    std::complex<float> cross = std::conj(a) * m;
    const float magnitude = std::abs(cross);
    cross = magnitude > kSilentSpectrum ? cross / magnitude : 0.0f;
    b.fa[k][0] = cross.real(), b.fa[k][1] = cross.imag();
  }
  fftwf_execute_dft_c2r(plans_->inverse, b.fa.get(), b.a.get());
  const float* surface = b.a.get();
  const std::size_t best = static_cast<std::size_t>(std::max_element(surface, surface + n) - surface);
  const int side = side_;
  const int px = static_cast<int>(best % static_cast<std::size_t>(side));
  const int py = static_cast<int>(best / static_cast<std::size_t>(side));
  const auto at = [&](int x, int y) {
    return static_cast<double>(surface[static_cast<std::size_t>((y + side) % side) * static_cast<std::size_t>(side) +
                                       static_cast<std::size_t>((x + side) % side)]);
  };
  const double top = at(px, py);
  CorrelationShift shift;
  shift.dx = (px > side / 2 ? px - side : px) + Fraction(at(px - 1, py), top, at(px + 1, py));
  shift.dy = (py > side / 2 ? py - side : py) + Fraction(at(px, py - 1), top, at(px, py + 1));
  shift.peak = top / static_cast<double>(n);  // the inverse transform is not normalised
  return shift;
}

}  // namespace taloran
