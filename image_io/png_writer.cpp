#include "image_io/png_writer.h"

#include <libdeflate.h>

#include <cstring>
#include <new>

#include "core/render/render.h"

namespace taloran {

namespace {

constexpr std::size_t kLine = 3 * kFrameWidth;    // 4,032 bytes of RGB
constexpr std::size_t kFilteredLine = 1 + kLine;  // the filter byte first
constexpr std::size_t kFilteredSize = kFilteredLine * kFrameHeight;
constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kChunkOverhead = 12;  // length, type, CRC
constexpr std::size_t kIhdrSize = 13;
constexpr int kLevel = 1;

std::uint8_t* PutBe32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) *at++ = static_cast<std::uint8_t>(value >> (24 - 8 * i));
  return at;
}

// Writes the chunk whose `length` data bytes already stand at at + 8; returns the end.
std::uint8_t* CloseChunk(std::uint8_t* at, const char (&type)[5], std::size_t length) {
  PutBe32(at, static_cast<std::uint32_t>(length));
  std::memcpy(at + 4, type, 4);
  const auto crc = static_cast<std::uint32_t>(libdeflate_crc32(0, at + 4, 4 + length));
  return PutBe32(at + 8 + length, crc);
}

// PNG line y is BMP line 758 - y, its bytes turned from blue-green-red to red-green-blue; with
// Up, each byte less the byte above it (modulo 256).
void FilterLines(const BmpBuffer& bmp, PngFilter filter, std::uint8_t* out) {
  const std::uint8_t* pixels = bmp.data() + kBmpHeaderSize;
  for (std::size_t y = 0; y < static_cast<std::size_t>(kFrameHeight); ++y, out += kFilteredLine) {
    const std::uint8_t* line = pixels + (kFrameHeight - 1 - y) * kLine;
    const bool up = filter == PngFilter::Up && y > 0;
    out[0] = static_cast<std::uint8_t>(up ? PngFilter::Up : PngFilter::None);
    std::uint8_t* rgb = out + 1;
    if (up) {
      const std::uint8_t* above = line + kLine;  // bottom-up: the line above comes after
      for (std::size_t i = 0; i < kLine; i += 3) {
        rgb[i] = static_cast<std::uint8_t>(line[i + 2] - above[i + 2]);
        rgb[i + 1] = static_cast<std::uint8_t>(line[i + 1] - above[i + 1]);
        rgb[i + 2] = static_cast<std::uint8_t>(line[i] - above[i]);
      }
    } else {
      for (std::size_t i = 0; i < kLine; i += 3) {
        rgb[i] = line[i + 2];
        rgb[i + 1] = line[i + 1];
        rgb[i + 2] = line[i];
      }
    }
  }
}

}  // namespace

PngFilter FilterForView(std::uint16_t viewMode) { return viewMode < kViewIndex ? PngFilter::Up : PngFilter::None; }

void PngEncoder::FreeCompressor::operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }

namespace {
libdeflate_compressor* NewCompressor() {
  libdeflate_compressor* c = libdeflate_alloc_compressor(kLevel);
  if (c == nullptr) throw std::bad_alloc();
  return c;
}
}  // namespace

PngEncoder::PngEncoder()
    : compressor_(NewCompressor()),
      filtered_(kFilteredSize),
      file_(sizeof(kSignature) + 3 * kChunkOverhead + kIhdrSize +
            libdeflate_zlib_compress_bound(compressor_.get(), kFilteredSize)) {}

std::span<const std::uint8_t> PngEncoder::Encode(const BmpBuffer& bmp, PngFilter filter) {
  FilterLines(bmp, filter, filtered_.data());
  std::uint8_t* at = file_.data();
  std::memcpy(at, kSignature, sizeof(kSignature));
  at += sizeof(kSignature);

  std::uint8_t* ihdr = at + 8;
  ihdr = PutBe32(ihdr, kFrameWidth);
  ihdr = PutBe32(ihdr, kFrameHeight);
  const std::uint8_t format[] = {8, 2, 0, 0, 0};  // 8 bits, RGB, deflate, adaptive filters, no interlace
  std::memcpy(ihdr, format, sizeof(format));
  at = CloseChunk(at, "IHDR", kIhdrSize);

  const std::size_t room = file_.size() - static_cast<std::size_t>(at - file_.data()) - 2 * kChunkOverhead;
  const std::size_t compressed =
      libdeflate_zlib_compress(compressor_.get(), filtered_.data(), kFilteredSize, at + 8, room);
  at = CloseChunk(at, "IDAT", compressed);  // the bound guarantees room: never 0
  at = CloseChunk(at, "IEND", 0);
  return {file_.data(), static_cast<std::size_t>(at - file_.data())};
}

}  // namespace taloran
