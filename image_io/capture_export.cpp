#include "image_io/capture_export.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "core/capture/camera_metadata.h"
#include "core/capture/capture_digest.h"
#include "core/geo/capture_check.h"
#include "image_io/internal/tiff_tags.h"
#include "image_io/tiff_writer.h"
#include "image_io/xmp_packet.h"

namespace taloran {

namespace {

constexpr const char* kBandNames[] = {"Red", "Green", "Blue", "NIR"};
constexpr std::size_t kBands = 4;
constexpr double kMmPerCm = 10;

// "2026:12:07 17:05:00" and its milliseconds, of the capture file's time plus the profile's offset.
std::pair<std::string, std::string> CaptureTime(const std::string& capture, double offsetS) {
  std::error_code error;
  const auto written = std::filesystem::last_write_time(capture, error);
  if (error) return {};
  const auto at =
      std::chrono::file_clock::to_sys(written) +
      std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::duration<double>(offsetS));
  const auto seconds = std::chrono::floor<std::chrono::seconds>(at);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(at - seconds).count();
  const std::time_t t = std::chrono::system_clock::to_time_t(seconds);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[32], sub[24];
  std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &utc);
  std::snprintf(sub, sizeof sub, "%03lld", static_cast<long long>(millis));
  return {text, sub};
}

// The picture's corners and centre where they lie on the ground, for GIS tools to place it by; none
// for a capture without a fix or an oblique one, which has no footprint.
std::vector<GroundControlPoint> GroundControlPoints(const MetadataRecord& record, const SensorSize& sensor) {
  const std::optional<std::array<GeoPoint, 4>> corners = GroundFootprint(record, sensor);
  if (!corners) return {};
  constexpr double kWidth = kFrameWidth, kHeight = kFrameHeight;
  const std::array<std::array<double, 2>, 4> pixels{{{0, 0}, {kWidth, 0}, {kWidth, kHeight}, {0, kHeight}}};
  std::vector<GroundControlPoint> points;
  for (std::size_t i = 0; i < corners->size(); ++i) {
    points.push_back({pixels[i][0], pixels[i][1], (*corners)[i].longitudeDeg, (*corners)[i].latitudeDeg});
  }
  // The centre: where the ground's diagonals meet, as the picture's do (a pinhole maps lines to lines).
  const GeoPoint &a = (*corners)[0], &b = (*corners)[1], &c = (*corners)[2], &d = (*corners)[3];
  const double ux = c.longitudeDeg - a.longitudeDeg, uy = c.latitudeDeg - a.latitudeDeg;
  const double vx = d.longitudeDeg - b.longitudeDeg, vy = d.latitudeDeg - b.latitudeDeg;
  const double cross = ux * vy - uy * vx;
  const double t = ((b.longitudeDeg - a.longitudeDeg) * vy - (b.latitudeDeg - a.latitudeDeg) * vx) / cross;
  points.push_back({kWidth / 2, kHeight / 2, a.longitudeDeg + t * ux, a.latitudeDeg + t * uy});
  return points;
}

// GDAL's metadata of a stack: each band's name as its description, and its irradiance.
std::string StackMetadata(const std::vector<std::string>& names, const std::vector<double>& irradiance) {
  std::vector<std::string> values;
  for (double v : irradiance) {
    char value[32];
    std::snprintf(value, sizeof value, "%.10g", v);
    values.emplace_back(value);
  }
  return tiff::BandDescriptions(names, "IRRADIANCE", values);
}

// The tags every image of a capture shares.
TiffTags CaptureTags(const ExportSettings& o, const std::string& capture, const FrameStore& frame) {
  const MetadataRecord& m = frame.metadata;
  TiffTags t;
  t.make = o.profile.make, t.model = o.profile.model;
  std::tie(t.dateTimeOriginal, t.subSecTimeOriginal) = CaptureTime(capture, o.profile.timeOffsetS);
  const CameraSettings camera = DecodeCameraSettings(m);
  if (camera.fNumber > 0) t.fNumber = camera.fNumber;
  if (camera.focalLengthMm > 0) t.focalLengthMm = camera.focalLengthMm;
  if (o.profile.sensorWidthMm && o.profile.sensorHeightMm) {
    t.focalPlaneXResolution = kFrameWidth / (*o.profile.sensorWidthMm / kMmPerCm);
    t.focalPlaneYResolution = kFrameHeight / (*o.profile.sensorHeightMm / kMmPerCm);
  }
  if (o.profile.shutterUnitS && camera.shutter != 0) t.exposureTimeS = camera.shutter * *o.profile.shutterUnitS;
  const CapturePosition p = DecodePosition(m);
  if (HasFix(p)) t.gps = GpsTags{p.latitudeDeg, p.longitudeDeg, p.heightM + o.profile.groundElevationM.value_or(0)};
  if (o.profile.sensorWidthMm && o.profile.sensorHeightMm) {
    t.groundControlPoints = GroundControlPoints(m, {*o.profile.sensorWidthMm, *o.profile.sensorHeightMm});
  }
  return t;
}

// 32 hex digits, different for each image of a capture.
std::string ImageId(const CaptureDigest& d, std::size_t image) {
  char text[40];
  std::snprintf(text, sizeof text, "%016llx%016llx",
                static_cast<unsigned long long>(d[0] ^ (image + 1) * 0x9E3779B97F4A7C15ull),
                static_cast<unsigned long long>(d[1]));
  return text;
}

}  // namespace

std::vector<std::filesystem::path> ExportPaths(const ExportSettings& o, const std::string& capture) {
  const std::string stem = std::filesystem::path(capture).stem().string();
  if (o.layout == ExportLayout::Stack) return {o.outDir / (stem + ".tif")};
  std::vector<std::filesystem::path> paths;
  for (const char* band : kBandNames) paths.push_back(o.outDir / (stem + "_" + band + ".tif"));
  return paths;
}

std::size_t ExportBufferBytes(const ExportSettings& o) {
  const ExportSamples samples = o.samples.value_or(o.calibration ? ExportSamples::Uint16 : ExportSamples::Uint8);
  return kFramePixels * (o.layout == ExportLayout::Stack ? kBands : 1) * SampleBytes(samples);
}

std::optional<ExportFailure> ExportCaptureFiles(const ExportSettings& o, const std::string& capture,
                                                const FrameStore& frame, std::span<std::uint8_t> buffer) {
  std::optional<CaptureReflectance> reflectance;
  if (o.calibration) {
    reflectance = ReflectanceOf(*o.calibration, frame.metadata);
    if (!reflectance->complete()) return ExportFailure{capture + ": " + reflectance->status, false};
  }
  const ExportSamples samples = o.samples.value_or(o.calibration ? ExportSamples::Uint16 : ExportSamples::Uint8);
  const bool calibrated = reflectance && samples != ExportSamples::Uint8;
  const BandScales* scales = calibrated ? &reflectance->scales : nullptr;

  TiffTags tags = CaptureTags(o, capture, frame);
  const CaptureDigest digest = DigestOf(frame);
  const CameraPanel panel = DecodeCameraMetadata(frame.metadata);
  CameraXmp xmp;
  xmp.rigName = o.profile.model;
  xmp.captureUuid = UuidText(digest);
  xmp.yaw = DecodePosition(frame.metadata).headingDeg;
  const CameraSettings camera = DecodeCameraSettings(frame.metadata);
  xmp.pitch = camera.pitchDeg, xmp.roll = camera.rollDeg;
  xmp.altitudeReference = o.profile.groundElevationM ? "sea level" : "take-off ground";
  if (calibrated) xmp.calibrationFile = o.calibrationName;

  const std::size_t bytes = SampleBytes(samples);
  const std::vector<std::filesystem::path> paths = ExportPaths(o, capture);
  const bool stack = o.layout == ExportLayout::Stack;
  const std::size_t bands = stack ? kBands : 1;
  for (std::size_t image = 0; image < paths.size(); ++image) {
    CameraXmp x = xmp;
    for (std::size_t k = 0; k < bands; ++k) {
      const std::size_t b = stack ? k : image;
      WriteBandSamples(frame, b, samples, scales, buffer.data() + k * bytes, bands * bytes);
      x.bandNames.push_back(kBandNames[b]);
      x.irradiance.push_back(panel.irradianceLevels[b]);
      if (o.profile.centralWavelengthNm[b]) x.centralWavelengthNm.push_back(*o.profile.centralWavelengthNm[b]);
      if (o.profile.fwhmNm[b]) x.wavelengthFwhmNm.push_back(*o.profile.fwhmNm[b]);
      if (calibrated) x.reflectanceFactors.push_back(reflectance->scales.scale[b]);
    }
    if (x.centralWavelengthNm.size() != bands) x.centralWavelengthNm.clear();  // only where every band has one
    if (x.wavelengthFwhmNm.size() != bands) x.wavelengthFwhmNm.clear();
    if (!stack) x.rigCameraIndex = static_cast<int>(image);
    tags.xmp = XmpPacket(x);
    if (stack) tags.gdalMetadata = StackMetadata(x.bandNames, x.irradiance);
    tags.imageUniqueId = ImageId(digest, image);
    const TiffImage tiff{
        kFrameWidth, kFrameHeight, static_cast<int>(bands), samples, {buffer.data(), kFramePixels * bands * bytes}};
    if (const auto failure = WriteTiff(paths[image], tiff, tags, o.deflate)) return ExportFailure{*failure, true};
  }
  return std::nullopt;
}

std::vector<PlacedImage> PlacedImages(const ExportSettings& o, const std::string& capture,
                                      const MetadataRecord& record) {
  const CapturePosition p = DecodePosition(record);
  if (!HasFix(p)) return {};
  const CameraSettings camera = DecodeCameraSettings(record);
  std::vector<PlacedImage> placed;
  for (const std::filesystem::path& file : ExportPaths(o, capture)) {
    placed.push_back({file.filename().string(),
                      {p.latitudeDeg, p.longitudeDeg},
                      p.heightM + o.profile.groundElevationM.value_or(0),
                      p.headingDeg,
                      camera.pitchDeg,
                      camera.rollDeg});
  }
  return placed;
}

bool ExportFinished(const ExportSettings& o, const std::string& capture) {
  const int bands = o.layout == ExportLayout::Stack ? static_cast<int>(kBands) : 1;
  const std::vector<std::filesystem::path> paths = ExportPaths(o, capture);
  return std::all_of(paths.begin(), paths.end(),
                     [&](const std::filesystem::path& p) { return TiffFinished(p, kFrameWidth, kFrameHeight, bands); });
}

}  // namespace taloran
