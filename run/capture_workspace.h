// One capture through taloran-cli: read it, render a view as the viewer shows it, encode the
// picture. A workspace holds all the memory for that (its own frame store, PNG encoder and
// statistics memory), so the batch's workers each take one and never share a buffer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

#include "core/capture/frame_store.h"
#include "core/index/fixed_scale.h"
#include "core/render/render.h"
#include "core/stats/index_statistics.h"
#include "image_io/large_buffer.h"
#include "image_io/png_writer.h"

namespace taloran {

struct ViewChoice {
  std::uint16_t mode = kViewIndex;
  std::uint16_t index = kIndexNdvi;  // IndexCode, band included
};

enum class ImageFormat { Bmp, Png };

class CaptureWorkspace {
 public:
  FrameStore& store() { return *store_; }
  // Made on first use, so that a run that needs neither never touches their memory.
  PngEncoder& png();
  StatisticsWorkspace& statistics();

  // Bytes for an exported image, at least `size` of them, not cleared; grown on first use and kept.
  std::span<std::uint8_t> scratch(std::size_t size);

  // ReadCapture into this workspace's planes and record; returns its code.
  std::uint16_t Read(const std::filesystem::path& capture, bool fourLayer);
  // Renders the view into the BMP buffer; the colour view with its channel gains, as the viewer
  // shows it after a gain change. With fixedScale an index view is drawn on its fixed scale, of
  // the reflectances where given.
  void Render(const ViewChoice& view, const GainSet& gains, bool fixedScale = false,
              const BandScales* reflectance = nullptr);
  // The file bytes of the rendered picture; valid until the next Render or Encode.
  std::span<const std::uint8_t> Encode(ImageFormat format, const ViewChoice& view);

 private:
  LargeObject<FrameStore> store_;
  std::optional<PngEncoder> png_;
  std::optional<StatisticsWorkspace> statistics_;
  std::optional<FixedScaleRenderer> fixedScale_;
  std::unique_ptr<std::uint8_t[]> scratch_;
  std::size_t scratchSize_ = 0;
};

}  // namespace taloran
