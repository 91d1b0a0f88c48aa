#include "tools/sample_capture.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <optional>

#include "core/capture/camera_metadata.h"
#include "core/geo/footprint.h"

namespace taloran {

namespace {

void PutBe(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
  }
}

struct Entry {
  std::uint16_t tag;
  std::uint16_t type;  // 3 SHORT, 4 LONG; a SHORT value sits in the first two value bytes
  std::uint32_t value;
};

}  // namespace

std::vector<std::uint8_t> EncodeCapture(const CaptureImage& image, bool fourLayer) {
  std::vector<std::uint8_t> out(kSampleFileSize, 0);
  out[0] = 'M';
  out[1] = 'M';
  PutBe(out, 2, 42, 2);
  PutBe(out, 4, kSampleIfdOffset, 4);
  std::copy_n(image.metadata.begin(), 72, out.begin() + 8);

  const Entry entries[] = {
      {256, 3, kFrameWidth},
      {257, 3, kFrameHeight},
      {258, 3, 8},
      {259, 3, 1},
      {262, 3, 2},
      {273, 4, kSamplePixelOffset},
      {277, 3, 4},
      {278, 3, kFrameHeight},
      {279, 4, 4 * kFramePixels},
      {284, 3, fourLayer ? 2u : 1u},
  };
  std::size_t at = kSampleIfdOffset;
  PutBe(out, at, std::size(entries), 2);
  at += 2;
  for (const Entry& e : entries) {
    PutBe(out, at, e.tag, 2);
    PutBe(out, at + 2, e.type, 2);
    PutBe(out, at + 4, 1, 4);
    if (e.type == 3)
      PutBe(out, at + 8, e.value, 2);
    else
      PutBe(out, at + 8, e.value, 4);
    at += 12;
  }
  PutBe(out, at, 0, 4);  // no next directory
  std::copy_n(image.metadata.begin() + 72, 4, out.begin() + kSamplePixelOffset - 4);

  std::uint8_t* frame = out.data() + kSamplePixelOffset;
  if (fourLayer) {
    const std::vector<std::uint8_t>* planes[] = {&image.blue, &image.green, &image.red, &image.nir};
    for (std::size_t i = 0; i < 4; ++i) std::copy(planes[i]->begin(), planes[i]->end(), frame + i * kFramePixels);
  } else {
    for (std::size_t j = 0; j < kFramePixels; ++j) {
      frame[4 * j] = image.red[j];
      frame[4 * j + 1] = image.green[j];
      frame[4 * j + 2] = image.blue[j];
      frame[4 * j + 3] = image.nir[j];
    }
  }
  return out;
}

namespace {

struct Reflectance {
  double red, green, blue, nir;
};

// Typical 8-bit levels of each surface under a clear sky.
constexpr Reflectance kCrop{38, 82, 34, 205};
constexpr Reflectance kSparseCrop{70, 95, 55, 160};
constexpr Reflectance kSoil{125, 102, 80, 135};
constexpr Reflectance kTrack{172, 163, 150, 168};
constexpr Reflectance kWater{22, 42, 64, 12};
constexpr Reflectance kTree{30, 62, 28, 180};
constexpr Reflectance kRoof{150, 92, 78, 110};

class Noise {
 public:
  explicit Noise(unsigned seed) : state_(seed * 2654435761u + 1) {}
  double Next() {  // -1 .. 1
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<double>(state_ >> 8) / double(1 << 23) - 1.0;
  }

 private:
  std::uint32_t state_;
};

std::uint8_t Level(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

void PutCameraData(CaptureImage& image, unsigned seed) {
  MetadataRecord& m = image.metadata;
  auto be = [&m](std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
      m[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
  };
  be(13, 52, 1);                 // 52 degrees north
  be(14, 5 + seed, 1);           // minutes
  be(15, 1234 + 811 * seed, 2);  // 1/10,000 minute
  be(17, 5, 2);                  // 5 degrees east
  be(19, 30, 1);
  be(20, 4321 + 97 * seed, 2);
  be(22, 123 + 10 * seed, 2);                             // speed, tenths
  be(25, 61'250 + 900 * seed, 3);                         // brightness
  be(28, 185, 2);                                         // 18.5 degrees C
  be(30, 87 + 90 * seed, 2);                              // heading
  be(32, 1215, 2);                                        // 121.5 m
  m[34] = static_cast<std::uint8_t>(seed % 2 ? 3 : 254);  // pitch +3 or -2
  m[35] = static_cast<std::uint8_t>(seed % 3 ? 1 : 255);  // roll +1 or -1
  m[38] = seed % 2 ? 0x40 : 0x00;                         // average levels as stored, or less the IR level
  m[52] = 85;                                             // focal length 8.5
  m[54] = 25;                                             // 2.5 frames per second
  m[55] = 28;                                             // F-stop 2.8
  be(59, 1830 + 40 * seed, 2);                            // irradiance red, green, blue, IR
  be(61, 2260 + 25 * seed, 2);
  be(63, 2475, 2);
  be(65, 1610 + 60 * seed, 2);
  be(72, (1000u + 125 * seed) << 4, 2);         // shutter speed in the top 12 bits
  m[75] = static_cast<std::uint8_t>(4 + seed);  // camera gain

  const std::vector<std::uint8_t>* planes[] = {&image.red, &image.green, &image.blue, &image.nir};
  std::uint32_t averages[4];
  for (int c = 0; c < 4; ++c) {
    std::uint64_t sum = 0;
    for (std::uint8_t v : *planes[c]) sum += v;
    averages[c] = static_cast<std::uint32_t>(sum / kFramePixels);
  }
  // Stored with the IR level added where every sum fits a byte, else as they are, so that the
  // panel shows each channel's own average, IR included, either way.
  bool fits = true;
  for (int c = 0; c < 3; ++c) fits = fits && averages[c] + averages[3] <= 255;
  if (!fits) m[38] |= 0x40;
  const bool lessIr = (m[38] & 0x40) == 0;
  for (int c = 0; c < 3; ++c) {
    m[68 + static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(averages[c] + (lessIr ? averages[3] : 0));
  }
  m[71] = static_cast<std::uint8_t>(averages[3]);
}

}  // namespace

CaptureImage FieldScene(unsigned seed) {
  CaptureImage image;
  Noise noise(seed);
  const double tilt = 0.18 + 0.07 * seed;           // direction of the crop rows
  const double trackAt = 0.30 + 0.12 * (seed % 3);  // where the track crosses, as a fraction
  const double pondX = 1010 - 180.0 * (seed % 4), pondY = 560 - 90.0 * (seed % 3);
  for (int y = 0; y < kFrameHeight; ++y) {
    for (int x = 0; x < kFrameWidth; ++x) {
      Reflectance r = kSoil;
      const double across = x * std::cos(tilt) + y * std::sin(tilt);
      const bool cropField = x < kFrameWidth * (0.55 + 0.05 * seed) || y > kFrameHeight * 0.72;
      if (cropField) {
        const double row = std::sin(across / 7.0);  // a crop row every 44 pixels
        r = row > -0.2 ? kCrop : kSoil;
        if (y < kFrameHeight * 0.3 && x > kFrameWidth * 0.25) r = row > 0.3 ? kSparseCrop : kSoil;
      }
      const double trackDistance = std::abs(x - kFrameWidth * trackAt - 0.35 * y);
      if (trackDistance < 14) r = kTrack;
      const double dx = (x - pondX) / 150.0, dy = (y - pondY) / 85.0;
      if (dx * dx + dy * dy < 1.0) r = kWater;
      double light = 1.0 + 0.04 * noise.Next();
      if (x > 140 && x < 330 && y > 90 && y < 300 + 0.3 * x) light *= 0.42;  // a hedge's shadow
      const auto at = static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x);
      image.red[at] = Level(r.red * light + 3 * noise.Next());
      image.green[at] = Level(r.green * light + 3 * noise.Next());
      image.blue[at] = Level(r.blue * light + 3 * noise.Next());
      image.nir[at] = Level(r.nir * light + 4 * noise.Next());
    }
  }
  PutCameraData(image, seed);
  return image;
}

namespace {

// A smooth value noise in -1..1 over the ground: random values at the corners of `cell`-metre
// squares, blended between them. The same place always gives the same value.
double GroundNoise(double east, double north, double cell, std::uint32_t salt) {
  const double x = east / cell, y = north / cell;
  const double fx = std::floor(x), fy = std::floor(y);
  const auto corner = [salt](double cx, double cy) {
    std::uint32_t h = static_cast<std::uint32_t>(static_cast<std::int32_t>(cx)) * 73856093u ^
                      static_cast<std::uint32_t>(static_cast<std::int32_t>(cy)) * 19349663u ^ salt * 83492791u;
    h ^= h >> 13, h *= 0x5bd1e995u, h ^= h >> 15;
    return static_cast<double>(h & 0xFFFFu) / 32767.5 - 1.0;
  };
  const auto smooth = [](double t) { return t * t * (3 - 2 * t); };
  const double u = smooth(x - fx), v = smooth(y - fy);
  const double top = corner(fx, fy) + u * (corner(fx + 1, fy) - corner(fx, fy));
  const double bottom = corner(fx, fy + 1) + u * (corner(fx + 1, fy + 1) - corner(fx, fy + 1));
  return top + v * (bottom - top);
}

Reflectance Scaled(Reflectance r, double k) { return {r.red * k, r.green * k, r.blue * k, r.nir * k}; }

// The field every capture of a flight sees, by metres east and north of the flight's centre: crop
// rows running about north-east that curve and vary in vigour, bare patches, a farm track, a pond,
// a hedge of trees and a barn, with texture at every scale from half a metre to a hundred, so that
// no two places look alike.
Reflectance GroundAt(double east, double north, const std::optional<TrialPlots>& trial) {
  const double bend = 4.0 * GroundNoise(east, north, 60, 1);                   // rows wander by metres over the field
  const double rows = std::sin((east * 0.707 + north * 0.707 + bend) / 0.12);  // a row every 75 cm
  const double vigour = 0.5 + 0.5 * GroundNoise(east, north, 25, 2);
  Reflectance r = rows > 0.6 - 0.9 * vigour ? kCrop : kSoil;
  if (north > 35 && east < -20) r = rows > 0.3 ? kSparseCrop : kSoil;
  if (GroundNoise(east, north, 9, 3) > 0.55) r = kSoil;  // bare patches
  if (std::abs(east - 0.25 * north - 18 - 3 * GroundNoise(0, north, 40, 4)) < 2.5) r = kTrack;
  const double dx = (east + 45) / 14, dy = (north + 22) / 9;
  if (dx * dx + dy * dy < 1.0) r = kWater;
  // A hedge of trees along the north edge, crowns 3 to 5 m across at uneven spacing.
  const double along = east + 100, slot = std::floor(along / 7);
  const double crown = 1.5 + GroundNoise(slot, 0, 1, 5), centre = slot * 7 + 3.5 + 2 * GroundNoise(slot, 1, 1, 6);
  if (std::hypot(along - centre, north - 62) < crown) r = kTree;
  if (east > 40 && east < 58 && north > -60 && north < -48) r = kRoof;  // a barn
  if (trial) {                                                          // a plot's crop, else its alleys' soil
    const double u = east - trial->cornerEastM, v = north - trial->cornerNorthM;
    const double pitchX = trial->widthM + trial->alleyXM, pitchY = trial->lengthM + trial->alleyYM;
    const double column = std::floor(u / pitchX), row = std::floor(v / pitchY);
    if (column >= 0 && column < trial->columns && row >= 0 && row < trial->rows) {
      const bool inPlot = u - column * pitchX < trial->widthM && v - row * pitchY < trial->lengthM;
      const std::array<double, 4> p = TrialPlotLevels(static_cast<int>(row), static_cast<int>(column));
      r = inPlot ? Reflectance{p[0], p[1], p[2], p[3]} : kSoil;
    }
  }
  const double grain = 1.0 + 0.12 * GroundNoise(east, north, 0.6, 7) + 0.08 * GroundNoise(east, north, 3, 8);
  return Scaled(r, grain);
}

}  // namespace

CaptureImage PanelScene(const FlightDesign& design) {
  CaptureImage image;
  Noise noise(99);
  constexpr double kPanelLevel = 255 * kPanelReflectance;  // the flight's levels are reflectance x 255
  for (int y = 0; y < kFrameHeight; ++y) {
    for (int x = 0; x < kFrameWidth; ++x) {
      const bool panel = x >= kPanelArea[0] && x < kPanelArea[0] + kPanelArea[2] && y >= kPanelArea[1] &&
                         y < kPanelArea[1] + kPanelArea[3];
      const Reflectance r = panel ? Reflectance{kPanelLevel, kPanelLevel, kPanelLevel, kPanelLevel}
                                  : Scaled(kSoil, 1.0 + 0.1 * GroundNoise(x / 40.0, y / 40.0, 1, 9));
      const double light = panel ? 1.0 + 0.005 * noise.Next() : 1.0 + 0.04 * noise.Next();
      const double grain = panel ? 1.0 : 3.0;  // the panel is even; the soil is not
      const auto i = static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x);
      image.red[i] = Level(r.red * light + grain * noise.Next());
      image.green[i] = Level(r.green * light + grain * noise.Next());
      image.blue[i] = Level(r.blue * light + grain * noise.Next());
      image.nir[i] = Level(r.nir * light + grain * noise.Next());
    }
  }
  PutCameraData(image, 1);
  PutPosition(image.metadata, design.centre, 2.0, 0);  // held over the panel beside the take-off point
  PutAttitude(image.metadata, 0, 0);
  PutFocalLength(image.metadata, design.focalLengthMm);
  PutIrradiance(image.metadata, {1850, 2280, 2475, 1640});  // the flight's clear sky
  return image;
}

std::array<double, 4> TrialPlotLevels(int row, int column) {
  // From a thin stand to a dense one: red falls and NIR rises with the plot's vigour, 0..1 in 37 steps.
  const double vigour = static_cast<double>((row * 7 + column * 11) % 37) / 36;
  return {kSparseCrop.red + vigour * (kCrop.red - kSparseCrop.red) + 10 * (1 - vigour),
          kSparseCrop.green + vigour * (kCrop.green - kSparseCrop.green),
          kSparseCrop.blue + vigour * (kCrop.blue - kSparseCrop.blue),
          kSparseCrop.nir + vigour * (kCrop.nir - kSparseCrop.nir)};
}

std::array<double, 4> FlightGroundLevels(double east, double north, const std::optional<TrialPlots>& trial) {
  const Reflectance r = GroundAt(east, north, trial);
  return {r.red, r.green, r.blue, r.nir};
}

CaptureImage FlightScene(const PlannedCapture& capture, const FlightDesign& design, unsigned seed,
                         const FlightTrouble& trouble) {
  CaptureImage image;
  Noise noise(seed);
  // The pose the record will hold (height, pitch and roll vary from capture to capture), read back
  // as any reader decodes it: the frame is the ground seen through that camera.
  const double heightM = design.heightM + 0.1 * (seed % 7) - 0.3;
  const double pitchDeg = seed % 3 == 0 ? 1 : 0, rollDeg = seed % 4 == 0 ? -1 : 0;
  MetadataRecord posed{};
  PutPosition(posed, capture.position, heightM, capture.headingDeg);
  PutAttitude(posed, pitchDeg, rollDeg);
  const CapturePosition recorded = DecodePosition(posed);
  const CameraSettings attitude = DecodeCameraSettings(posed);
  const CameraPose pose{LocalPlane(design.centre).Forward({recorded.latitudeDeg, recorded.longitudeDeg}),
                        recorded.heightM,
                        recorded.headingDeg,
                        attitude.pitchDeg,
                        attitude.rollDeg,
                        design.focalLengthMm};
  const PictureToGround toGround(pose, design.sensor);
  for (int y = 0; y < kFrameHeight; ++y) {
    for (int x = 0; x < kFrameWidth; ++x) {
      Reflectance r = kWater;
      if (!trouble.noiseless) {
        if (const std::optional<PlanePoint> ground = toGround({x + 0.5, y + 0.5}))
          r = GroundAt(ground->east, ground->north, design.trial);
      } else {  // a pixel gathers the light of its whole area: the mean of 2 x 2 points
        r = {0, 0, 0, 0};
        for (const double sy : {0.25, 0.75}) {
          for (const double sx : {0.25, 0.75}) {
            const std::optional<PlanePoint> ground = toGround({x + sx, y + sy});
            const Reflectance g = ground ? GroundAt(ground->east, ground->north, design.trial) : kWater;
            r = {r.red + g.red / 4, r.green + g.green / 4, r.blue + g.blue / 4, r.nir + g.nir / 4};
          }
        }
      }
      const double grain = trouble.noiseless ? 0 : 1;
      const double light = trouble.light * (1.0 + grain * 0.04 * noise.Next());
      const auto i = static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x);
      const bool roof = trouble.saturated && x > 900 && x < 1100 && y > 200 && y < 320;
      image.red[i] = roof ? 255 : Level(r.red * light + grain * 3 * noise.Next());
      image.green[i] = roof ? 255 : Level(r.green * light + grain * 3 * noise.Next());
      image.blue[i] = roof ? 255 : Level(r.blue * light + grain * 3 * noise.Next());
      image.nir[i] = roof ? 255 : Level(r.nir * light + grain * 4 * noise.Next());
    }
  }
  PutCameraData(image, seed);
  MetadataRecord& m = image.metadata;
  const LocalPlane plane(capture.position);
  const GeoPoint told = plane.Inverse(trouble.positionErrorM);
  PutPosition(m, trouble.noFix ? GeoPoint{0, 0} : told, heightM, capture.headingDeg + trouble.headingErrorDeg);
  PutAttitude(m, pitchDeg, rollDeg);
  PutFocalLength(m, design.focalLengthMm);
  const double sky = trouble.light * (1.0 + 0.01 * noise.Next());
  PutIrradiance(m, {static_cast<unsigned>(1850 * sky), static_cast<unsigned>(2280 * sky),
                    static_cast<unsigned>(2475 * sky), static_cast<unsigned>(1640 * sky)});
  m[72] = static_cast<std::uint8_t>((1200u + 8 * (seed % 5)) >> 4);  // shutter speed in the top 12 bits
  m[73] = static_cast<std::uint8_t>(((1200u + 8 * (seed % 5)) << 4) & 0xF0);
  m[75] = 6;  // camera gain
  return image;
}

bool WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes, std::string& error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) {
    error = "cannot write " + path.string();
    return false;
  }
  return true;
}

}  // namespace taloran
