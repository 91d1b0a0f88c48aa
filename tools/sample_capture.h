// Capture files built in memory: the synthetic field scenes of the sample generator, and the
// hand-made captures of the tests. Both use the one encoder, so a test capture is laid out
// exactly like a sample.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/capture/frame_store.h"
#include "tools/sample_flight.h"

namespace taloran {

// One frame in file order: row 0 is the top row, as the camera stores it.
struct CaptureImage {
  std::vector<std::uint8_t> red = std::vector<std::uint8_t>(kFramePixels);
  std::vector<std::uint8_t> green = std::vector<std::uint8_t>(kFramePixels);
  std::vector<std::uint8_t> blue = std::vector<std::uint8_t>(kFramePixels);
  std::vector<std::uint8_t> nir = std::vector<std::uint8_t>(kFramePixels);
  MetadataRecord metadata{};
};

// Where the encoder puts things: the directory right behind the camera block, the frame after it.
inline constexpr std::uint32_t kSampleIfdOffset = 80;
inline constexpr std::uint32_t kSamplePixelOffset = 212;
inline constexpr std::size_t kSampleFileSize = kSamplePixelOffset + 4 * kFramePixels;

// A big-endian TIFF file image of the frame, interleaved or in the 4-layer layout.
std::vector<std::uint8_t> EncodeCapture(const CaptureImage& image, bool fourLayer);

// A plausible field seen from above: crop rows bright in NIR and dark in red, bare soil, a track,
// a pond and a shadow, with camera data to match. Each seed gives another scene.
CaptureImage FieldScene(unsigned seed);

// What can go wrong in a flight's capture, for the samples and the tests of the field check.
struct FlightTrouble {
  double light = 1.0;      // below 1 under a cloud: the scene and the irradiance readings both
  bool saturated = false;  // a bright roof drives every band to 255 over 2 % of the frame
  bool noFix = false;      // the receiver had no fix: latitude and longitude 0
  // What the record says less where the camera was: a receiver's and a compass's errors. The frame
  // is seen from where the camera was; the record holds the planned place and heading plus these.
  PlanePoint positionErrorM{};
  double headingErrorDeg = 0;
  // A reference camera for the tests: no sensor noise, and each pixel the mean of its area's ground
  // (2 x 2 points) rather than the ground at its centre, so that the frames do not alias the rows.
  bool noiseless = false;
};

// The flight's field without noise or light: the levels of red, green, blue and NIR at metres east
// and north of the design's centre, as every capture sees them (the tests' ground truth).
std::array<double, 4> FlightGroundLevels(double east, double north, const std::optional<TrialPlots>& trial = {});

// One capture of a planned flight over a single field that every capture sees a part of, seen
// straight down from `position` with the design's camera; `seed` varies the noise and settings.
CaptureImage FlightScene(const PlannedCapture& capture, const FlightDesign& design, unsigned seed,
                         const FlightTrouble& trouble = {});

// Where the reference panel lies in PanelScene's picture (left, top, width, height in pixels, the
// top row first, as taloran-cli calibrate --area takes it) and its reflectance in every band.
inline constexpr int kPanelArea[4] = {622, 330, 100, 100};
inline constexpr double kPanelReflectance = 0.5;

// The reference panel on the ground before take-off, seen from a few metres up under the flight's
// sky: a grey panel of even reflectance on bare soil, as a person calibrates from.
CaptureImage PanelScene(const FlightDesign& design);

// Writes the bytes to `path`; false with `error` set when it cannot.
bool WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes, std::string& error);

}  // namespace taloran
