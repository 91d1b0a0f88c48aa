// The capture reader: one camera TIFF file into the four planes and the camera record.
//
// Accepted layout (big-endian values, offsets from the start of the file; no tag but StripOffsets
// is looked at, and neither the byte-order mark nor the magic number is checked):
//
//   offset        size       content
//   0             4          byte-order mark, magic 42            (not read)
//   4             4          IFD offset                           (2^31 or more: result 255)
//   8             72         camera data                          -> record bytes 0..71
//   IFD           2          entry count n; n x 12 is taken modulo 65,536
//   IFD + 2 + 12k 12         tag, type, count, value              the first tag 273 gives P
//   P - 4         4          camera data                          -> record bytes 72..75
//   P             4,080,384  the frame, top row first:
//                              interleaved: 759 rows of 1344 pixels red, green, blue, NIR
//                              4-layer:     four planes of 759 x 1344, blue, green, red, NIR
//
// Offsets are signed 32-bit: a position that comes out negative is a failed seek. Reads past the
// end of the file enter the big-endian values as -1 and the record as 0xFF, exactly as a byte-wise
// reader sees them; frame bytes that the file does not supply are 0. All or nothing: only a read
// that returns 0 changes the planes or the record. The frame is dealt into the planes as it is
// read, through a chunk on the stack: a read holds no state, so reads into different planes may
// run on different threads.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/capture/frame_store.h"

namespace taloran {

inline constexpr std::uint16_t kReadOk = 0;
inline constexpr std::uint16_t kReadCannotOpen = 1;  // missing, not a regular file, or unopenable
inline constexpr std::uint16_t kReadSeekFailed = 255;

inline constexpr std::size_t kFrameFileBytes = 4 * kFramePixels;  // 4,080,384
inline constexpr std::size_t kRowFileBytes = 4 * kFrameWidth;     // 5,376 in the interleaved layout
inline constexpr std::uint16_t kStripOffsetsTag = 273;

// Reads the capture at `path` (fourLayer non-zero: the 4-layer layout); returns 0, 1 or 255.
std::uint16_t ReadCapture(const std::filesystem::path& path, Plane& blue, Plane& green, Plane& red, Plane& nir,
                          std::uint16_t fourLayer, MetadataRecord& metadata);

// The same into the planes and record of `frame`, which then tells how many frame bytes the file
// supplied (a file cut short still reads: its missing bytes are 0).
std::uint16_t ReadCapture(const std::filesystem::path& path, FrameStore& frame, std::uint16_t fourLayer);

// Whether a capture read whole: every one of its 4,080,384 frame bytes came from the file.
inline bool FrameComplete(const FrameStore& frame) { return frame.frameBytes == kFrameFileBytes; }

// Whether planes read as interleaved pixels look like a 4-layer capture read without its layout:
// each "pixel" then holds four neighbouring samples of one plane, so a pixel's NIR lies nearer the
// next pixel's red than that pixel's NIR (measured on field captures: about 0.5 times as far, where
// a capture read in its own layout has its bands some 9 times farther apart than neighbours).
bool LooksLikeFourLayer(const FrameStore& frame);

// "truncated (1,999,992 of 4,080,384 frame bytes)": what reports say of a capture cut short.
std::string TruncationStatus(std::size_t frameBytes);

// What a person is told of a failed read: "Tif file not found" for 1, "Unknown error" otherwise.
const char* ReadFailureText(std::uint16_t result);

// Only the camera record of the capture at `path`, without reading the frame; returns the code a
// full read would (and changes `metadata` only where that is 0).
std::uint16_t ReadCaptureMetadata(const std::filesystem::path& path, MetadataRecord& metadata);

// The same on a stream already open for binary reading (left open); returns 0 or 255.
// `frameBytes`, where given, receives the frame bytes the file supplied.
std::uint16_t ReadCaptureFrom(std::FILE* file, Plane& blue, Plane& green, Plane& red, Plane& nir,
                              std::uint16_t fourLayer, MetadataRecord& metadata, std::size_t* frameBytes = nullptr);

// Deals one frame from the start of `frame` into the planes, bottom row first.
void SeparatePlanes(const std::uint8_t* frame, Plane& blue, Plane& green, Plane& red, Plane& nir,
                    std::uint16_t fourLayer);

}  // namespace taloran
