// Index pictures on a fixed scale: each pixel's index value (at the VI gain, or of reflectances
// with a calibration) placed on the index's fixed range and drawn in the colour of its ramp, so
// that one colour means one value in every capture. Values beyond the range take the end colours;
// undefined pixels are black.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "core/capture/frame_store.h"
#include "core/index/index_table.h"

namespace taloran {

inline constexpr Bgr kUndefinedColour{0, 0, 0};

// The ramp step (0..kRampSteps - 1) of an index value on a fixed scale.
int FixedScaleStep(const FixedScale& scale, double value);

// The index value at which a ramp step begins.
double FixedScaleValue(const FixedScale& scale, int step);

// One per thread that renders: it holds the table of the 65,536 sample pairs' colours, made once.
class FixedScaleRenderer {
 public:
  FixedScaleRenderer();
  ~FixedScaleRenderer();
  FixedScaleRenderer(const FixedScaleRenderer&) = delete;
  FixedScaleRenderer& operator=(const FixedScaleRenderer&) = delete;

  // Renders the index `indexCode` selects into the frame's BMP buffer and returns the completed
  // target; reflectance, where given, is the capture's under a calibration. Allocates nothing.
  RenderTarget Render(FrameStore& frame, std::uint16_t indexCode, std::uint16_t viGain, const BandScales* reflectance);

 private:
  // What the pair table was last filled for; a render for the same is spared the filling.
  struct TableKey {
    std::uint16_t indexCode = 0;
    std::uint32_t factor = 0;
    std::optional<BandScales> reflectance;
    bool operator==(const TableKey& other) const;
  };
  std::optional<TableKey> filled_;
  std::unique_ptr<std::array<std::uint32_t, 65'536>> colours_;  // per pair, packed blue | green << 8 | red << 16
};

}  // namespace taloran
