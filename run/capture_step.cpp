#include "run/capture_step.h"

#include "core/capture/capture_reader.h"

namespace taloran {

bool CaptureRead::whole() const { return code == kReadOk && frameBytes == kFrameFileBytes; }

std::string CaptureRead::status() const {
  if (code != kReadOk) return ReadFailureText(code);
  return whole() ? "ok" : TruncationStatus(frameBytes);
}

CaptureRead ReadWhole(const std::filesystem::path& capture, FrameStore& store, bool fourLayer) {
  const std::uint16_t code = ReadCapture(capture, store, fourLayer ? 1 : 0);
  return {code, code == kReadOk ? store.frameBytes : 0};
}

}  // namespace taloran
