// The first half of every per-capture step of a run: the capture read into a frame store, and
// whether it is whole. A step does its work on a whole capture only; of any other it reports why not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "core/capture/frame_store.h"

namespace taloran {

struct CaptureRead {
  std::uint16_t code = 0;       // ReadCapture's result
  std::size_t frameBytes = 0;   // the frame bytes the file holds, where the capture was read
  bool changed = false;         // the file changed while it was read: its frame may mix two captures
  bool looksFourLayer = false;  // read whole as interleaved pixels, it looks like a 4-layer capture

  // Read, and every frame byte there.
  bool whole() const;
  // Why the capture is not whole ("truncated (1,999,992 of 4,080,384 frame bytes)", "changed while
  // read"); "ok" when it is.
  std::string status() const;
};

// Why `capture` did not read (ReadCapture's `code` not 0), for a person: the system's reason it
// cannot be opened ("Permission denied", "No such file or directory"), "not a regular file",
// "empty (0 bytes)", or what makes it no capture of this camera ("not a capture of this camera: 3
// samples a pixel, a capture has 4 interleaved"); "" where nothing more is known.
std::string ReadProblem(const std::filesystem::path& capture, std::uint16_t code);

// Whether `path` is a file export or mosaic wrote (a little-endian TIFF with XMP in our namespace).
bool WrittenByExport(const std::filesystem::path& path);

// Reads `capture` into `store`, and tells whether the file changed meanwhile (its size, times or
// inode before and after the read differ): a capture copied onto while a run reads it is not taken.
// "x.tif: Unknown error (empty (0 bytes))": a capture's `status` as a person is told it, with
// ReadProblem's reason where the read failed with `code`.
std::string ReadFailureLine(const std::filesystem::path& capture, const std::string& status, std::uint16_t code);

// Whether `store`, read from a whole capture in the interleaved layout (`fourLayer` false), looks
// like a 4-layer capture read without its layout, whose figures would all be wrong.
bool LooksMisread(const FrameStore& store, bool fourLayer);

// "warning: x.tif looks like four stacked planes: --four-layer may be needed": what a command says
// of such a capture on its error stream.
std::string FourLayerHintLine(const std::filesystem::path& capture);

// `meanwhile`, where given, runs between the first look at the file and its read: what a copy onto
// the file at that moment does (the tests' way to be there).
CaptureRead ReadWhole(const std::filesystem::path& capture, FrameStore& store, bool fourLayer,
                      const std::function<void()>& meanwhile = {});

}  // namespace taloran
