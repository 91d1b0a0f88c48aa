// PNG files of the rendered BMP, through libdeflate: several times faster than zlib at the same
// ratio, which is what keeps a PNG render within a few tens of milliseconds.
//
// The picture is written top line first as 8-bit RGB in one IDAT chunk. Photographs (the grey and
// colour views) take the Up filter, the false-colour index views none: measured on field captures,
// each choice compresses best for its kind at libdeflate level 1 (colour frame 31 ms, NDVI 4 ms).
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "core/capture/frame_store.h"
#include "image_io/large_buffer.h"

struct libdeflate_compressor;

namespace taloran {

enum class PngFilter : std::uint8_t { None = 0, Up = 2 };

// The filter for a view: Up for the grey and colour views, none for the index views.
PngFilter FilterForView(std::uint16_t viewMode);

class PngEncoder {
 public:
  PngEncoder();

  // The PNG file of the BMP's picture; valid until the next call.
  std::span<const std::uint8_t> Encode(const BmpBuffer& bmp, PngFilter filter);

 private:
  struct FreeCompressor {
    void operator()(libdeflate_compressor* c) const;
  };
  std::unique_ptr<libdeflate_compressor, FreeCompressor> compressor_;
  LargeBuffer filtered_;  // the filtered lines, as the zlib stream takes them
  LargeBuffer file_;      // signature, IHDR, IDAT, IEND
};

}  // namespace taloran
