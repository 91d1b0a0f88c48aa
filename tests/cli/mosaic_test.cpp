// taloran-cli mosaic against the sample generator's ground truth: a flight of two lines of three
// captures over the generated field, mapped; the map's pixels are the field's levels where the
// GeoTIFF's own georeferencing and our UTM grid (held against PROJ) put them, and GDAL places it.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <tuple>

#include "cli/cli.h"
#include "core/capture/capture_reader.h"
#include "core/geo/capture_check.h"
#include "core/geo/mosaic_geometry.h"
#include "core/geo/plot_shape.h"
#include "core/geo/utm.h"
#include "core/index/colour_maps.h"
#include "core/index/fixed_scale.h"
#include "core/index/index_table.h"
#include "run/field_map.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

int Cli(std::vector<std::string> args) {
  args.insert(args.begin(), "taloran-cli");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int code = RunCli(static_cast<int>(argv.size()), argv.data(), out, err);
  EXPECT_EQ(code, 0) << err.str();
  return code;
}

// A map's pixels through libtiff, `bytes` a pixel, rows from the top.
std::vector<std::uint8_t> ReadMap(const std::string& map, std::size_t bytes, std::uint32_t& width,
                                  std::uint32_t& height) {
  std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(map.c_str(), "r"), TIFFClose);
  if (!tif) return {};
  std::uint32_t tileWidth = 0, tileHeight = 0;
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width), TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
  TIFFGetField(tif.get(), TIFFTAG_TILEWIDTH, &tileWidth), TIFFGetField(tif.get(), TIFFTAG_TILELENGTH, &tileHeight);
  std::vector<std::uint8_t> pixels(std::size_t{width} * height * bytes),
      tile(static_cast<std::size_t>(TIFFTileSize(tif.get())));
  for (std::uint32_t ty = 0; ty < height; ty += tileHeight) {  // the whole map, tile by tile
    for (std::uint32_t tx = 0; tx < width; tx += tileWidth) {
      TIFFReadTile(tif.get(), tile.data(), tx, ty, 0, 0);
      for (std::uint32_t y = ty; y < std::min(height, ty + tileHeight); ++y) {
        std::copy_n(tile.data() + (y - ty) * tileWidth * bytes, std::min(width - tx, tileWidth) * bytes,
                    pixels.data() + (std::size_t{y} * width + tx) * bytes);
      }
    }
  }
  return pixels;
}

// A flight of two lines of three captures over the generated field, written to `dir` as f1.tif..f6.tif
// with the camera profile, each capture's troubles from `trouble`.
FlightDesign WriteSmallFlight(test::TempDir& dir, const FlightTrouble& trouble = {}) {
  FlightDesign design;
  design.lines = 2, design.perLine = 3;
  const std::vector<PlannedCapture> flight = PlanFlight(design);
  for (unsigned n = 1; n <= flight.size(); ++n) {
    std::string name = "f";
    name.append(std::to_string(n)).append(".tif");
    dir.Write(name, EncodeCapture(FlightScene(flight[n - 1], design, n, trouble), false));
  }
  std::ofstream(dir.path() / "camera.json") << R"({"sensor_width_mm": 6.72, "sensor_height_mm": 3.795})";
  return design;
}

TEST(Mosaic, PaintsTheFieldWhereItLies) {
  test::TempDir dir;
  const FlightDesign design = WriteSmallFlight(dir);
  const std::vector<PlannedCapture> flight = PlanFlight(design);
  const std::string map = (dir.path() / "map.tif").string();
  ASSERT_EQ(Cli({"mosaic", "--no-progress", "-o", map, dir.path().string()}), 0);

  // The map's grid as its GeoTIFF tags give it, and its pixels through libtiff.
  std::uint32_t width = 0, height = 0;
  const std::vector<std::uint8_t> pixels = ReadMap(map, 5, width, height);
  ASSERT_FALSE(pixels.empty());
  const nlohmann::json info = nlohmann::json::parse(test::CommandOutput("gdalinfo -json '" + map + "'"));
  const double left = info["geoTransform"][0], pixel = info["geoTransform"][1], top = info["geoTransform"][3];
  const std::string wkt = info["coordinateSystem"]["wkt"];
  ASSERT_NE(wkt.find("ID[\"EPSG\",32631]]"), std::string::npos);  // the flight's UTM zone, 31 north
  const UtmZone zone(31, false);
  const LocalPlane plane(design.centre);
  // And the NDVI map of the same flight, on the same grid.
  const std::string ndviMap = (dir.path() / "ndvi.tif").string();
  ASSERT_EQ(Cli({"mosaic", "--no-progress", "--index", "ndvi", "-o", ndviMap, dir.path().string()}), 0);
  std::uint32_t ndviWidth = 0, ndviHeight = 0;
  const std::vector<std::uint8_t> ndvi = ReadMap(ndviMap, sizeof(float), ndviWidth, ndviHeight);
  ASSERT_EQ(ndviWidth, width);
  // Its overviews are of floats (the floating-point predictor): each pixel the mean of the values of
  // its 2 x 2 block that are not NaN, NaN where all four are, as GDAL reads them.
  EXPECT_EQ(
      test::CommandOutput("/usr/bin/python3 -c \"from osgeo import gdal; import numpy as n; "
                          "d = gdal.Open('" +
                          ndviMap +
                          "'); b = d.GetRasterBand(1); m = b.ReadAsArray(); o = b.GetOverview(0).ReadAsArray(); "
                          "h, w = m.shape[0] // 2 * 2, m.shape[1] // 2 * 2; "
                          "q = m[:h, :w].reshape(h // 2, 2, w // 2, 2).swapaxes(1, 2).reshape(h // 2, w // 2, 4); "
                          "e = n.full(q.shape[:2], n.nan, n.float32); f = ~n.isnan(q).all(2); "
                          "e[f] = n.nanmean(q[f], 1); "
                          "print(n.allclose(o[:h // 2, :w // 2], e, atol=1e-6, equal_nan=True))\" 2>/dev/null"),
      "True\n");

  std::mt19937 random(7);  // 32-bit draws
  // And under a calibration without irradiance correction: reflectance = factor x level, x 32,768.
  const std::string cal = (dir.path() / "cal.json").string(), rhoMap = (dir.path() / "rho.tif").string();
  std::ofstream(cal)
      << R"({"version": 1, "panel": {"capture": "p.tif", "area": [1, 1, 9, 9], "reflectance": [0.5, 0.5, 0.5, 0.5]},
    "exposure": "none", "irradiance": false, "black": [0, 0, 0, 0], "factors": [0.004, 0.005, 0.00625, 0.005],
    "panel_irradiance": [1870, 2285, 2475, 1670], "panel_exposure": 1, "panel_mean_dn": [125, 100, 80, 100],
    "panel_cv": [0.01, 0.01, 0.01, 0.01]})";
  ASSERT_EQ(Cli({"mosaic", "--no-progress", "--calibration", cal, "-o", rhoMap, dir.path().string()}), 0);
  std::uint32_t rhoWidth = 0, rhoHeight = 0;
  const std::vector<std::uint8_t> rho = ReadMap(rhoMap, 10, rhoWidth, rhoHeight);
  ASSERT_EQ(rhoWidth, width);
  constexpr double kFactors[] = {0.004, 0.005, 0.00625, 0.005};

  // And the quick look: NDVI in its fixed scale's colours.
  const std::string look = (dir.path() / "look.tif").string();
  ASSERT_EQ(Cli({"mosaic", "--no-progress", "--colour", "-o", look, dir.path().string()}), 0);
  std::uint32_t lookWidth = 0, lookHeight = 0;
  const std::vector<std::uint8_t> colours = ReadMap(look, 4, lookWidth, lookHeight);
  ASSERT_EQ(lookWidth, width);
  const FixedScale& ndviScale = FindIndex("ndvi")->fixedScale;

  std::vector<double> errors, ndviErrors;
  std::size_t painted = 0;
  for (int k = 0; k < 3000; ++k) {
    const auto x = static_cast<std::uint32_t>(random() % width), y = static_cast<std::uint32_t>(random() % height);
    const std::uint8_t* px = pixels.data() + (std::size_t{y} * width + x) * 5;
    if (px[4] != 255) continue;
    ++painted;
    const GeoPoint at = zone.Inverse({left + (x + 0.5) * pixel, top - (y + 0.5) * pixel});
    const PlanePoint p = plane.Forward(at);
    const std::array<double, 4> truth = FlightGroundLevels(p.east, p.north);
    errors.push_back(std::abs(px[3] - truth[3]));  // NIR: the band with most contrast
    float value = 0;
    std::memcpy(&value, ndvi.data() + (std::size_t{y} * width + x) * sizeof(float), sizeof value);
    ndviErrors.push_back(std::abs(value - (truth[3] - truth[0]) / (truth[3] + truth[0])));
    const Bgr c = RampColour(ndviScale.ramp, FixedScaleStep(ndviScale, value));
    const std::uint8_t* seen = colours.data() + (std::size_t{y} * width + x) * 4;
    EXPECT_EQ((std::array{seen[0], seen[1], seen[2], seen[3]}),
              (std::array<std::uint8_t, 4>{c.red, c.green, c.blue, 255}));
    std::uint16_t reflectance[5];
    std::memcpy(reflectance, rho.data() + (std::size_t{y} * width + x) * 10, sizeof reflectance);
    EXPECT_EQ(reflectance[4], 65'535);
    for (std::size_t b = 0; b < 4; ++b) {  // the 8-bit map rounds the level the reflectance is of
      EXPECT_NEAR(reflectance[b], kFactors[b] * px[b] * 32'768, kFactors[b] * 0.5 * 32'768 + 1) << b;
    }
  }
  ASSERT_GT(painted, 1500u);
  std::sort(errors.begin(), errors.end());
  // The frames' noise (2.6 and 4.9 levels measured); a map 0.3 m (4 pixels) off gives 23 and 66.
  EXPECT_LT(errors[errors.size() / 2], 6.0);
  EXPECT_LT(errors[errors.size() * 3 / 4], 10.0);
  std::sort(ndviErrors.begin(), ndviErrors.end());
  EXPECT_LT(ndviErrors[ndviErrors.size() / 2], 0.03);

  // GDAL puts the map where the captures were taken: each position lies on a painted pixel.
  for (const PlannedCapture& c : flight) {
    char where[160];
    std::snprintf(where, sizeof where, "gdallocationinfo -valonly -b 5 -wgs84 '%s' %.9f %.9f", map.c_str(),
                  c.position.longitudeDeg, c.position.latitudeDeg);
    EXPECT_EQ(test::CommandOutput(where), "255\n");
  }
  // A cloud optimized GeoTIFF by GDAL's own validation, every tile's leader and trailer read, with
  // overviews by 2 down to under 512 pixels whose pixels are the means of the map's.
  EXPECT_EQ(test::CommandOutput("/usr/bin/python3 /usr/lib/python3/dist-packages/osgeo_utils/samples/"
                                "validate_cloud_optimized_geotiff.py --full-check=yes '" +
                                map + "'")
                .rfind(map + " is a valid cloud optimized GeoTIFF\n", 0),
            0u);
  const std::string structure = test::CommandOutput("gdalinfo '" + map + "'");
  EXPECT_NE(structure.find("LAYOUT=COG"), std::string::npos);
  EXPECT_NE(structure.find("PREDICTOR=2"), std::string::npos);
  const std::string overview = test::CommandOutput(
      "/usr/bin/python3 -c \"from osgeo import gdal; d = gdal.Open('" + map +
      "'); b = d.GetRasterBand(4); o = b.GetOverview(0); print(o.XSize, o.YSize, b.GetOverviewCount(), "
      "b.GetOverview(b.GetOverviewCount() - 1).XSize <= 512, b.ReadAsArray(100, 100, 2, 2).mean(), "
      "o.ReadAsArray(50, 50, 1, 1)[0][0])\"");
  double mapMean = 0, overviewLevel = 0;
  int overviewWidth = 0, overviewHeight = 0, count = 0;
  char smallest[8] = {};
  ASSERT_EQ(std::sscanf(overview.c_str(), "%d %d %d %7s %lf %lf", &overviewWidth, &overviewHeight, &count, smallest,
                        &mapMean, &overviewLevel),
            6)
      << overview;
  EXPECT_EQ(overviewWidth, static_cast<int>((width + 1) / 2));
  EXPECT_EQ(overviewHeight, static_cast<int>((height + 1) / 2));
  EXPECT_STREQ(smallest, "True");
  EXPECT_NEAR(overviewLevel, mapMean, 0.5);
}

// The captures' footprints as the mosaic's --json report gives them, by file name.
std::map<std::string, Footprint> ReportedFootprints(const std::string& json) {
  std::map<std::string, Footprint> footprints;
  const nlohmann::json report = nlohmann::json::parse(json);
  for (const nlohmann::json& c : report["captures"]) {
    Footprint f{};
    for (std::size_t k = 0; k < f.size(); ++k) f[k] = {c["footprint"][k][0], c["footprint"][k][1]};
    footprints[c["file"]] = f;
  }
  return footprints;
}

// The root mean square distance between matching points after the similarity transform (shift, turn
// and scale) that brings `placed` nearest to `truth` (least squares, in complex numbers).
double SimilarityResidual(const std::vector<PlanePoint>& placed, const std::vector<PlanePoint>& truth) {
  using Complex = std::complex<double>;
  Complex meanP = 0, meanT = 0;
  const auto n = static_cast<double>(placed.size());
  for (std::size_t i = 0; i < placed.size(); ++i) {
    meanP += Complex(placed[i].east, placed[i].north) / n, meanT += Complex(truth[i].east, truth[i].north) / n;
  }
  Complex cross = 0;
  double norm = 0;
  for (std::size_t i = 0; i < placed.size(); ++i) {
    const Complex p = Complex(placed[i].east, placed[i].north) - meanP,
                  t = Complex(truth[i].east, truth[i].north) - meanT;
    cross += std::conj(p) * t, norm += std::norm(p);
  }
  const Complex scaleTurn = cross / norm;
  double squares = 0;
  for (std::size_t i = 0; i < placed.size(); ++i) {
    const Complex p = Complex(placed[i].east, placed[i].north) - meanP,
                  t = Complex(truth[i].east, truth[i].north) - meanT;
    squares += std::norm(scaleTurn * p - t);
  }
  return std::sqrt(squares / n);
}

// Records with a receiver's error (1.5 m each way) and a compass's (1 degree, the record's whole
// degrees): refinement puts every capture back within a ground pixel of the others, as the frames
// were seen, and at least five times nearer than the records place them.
TEST(MosaicRefinement, UndoesPositionAndHeadingErrors) {
  test::TempDir dir;
  const FlightDesign design;
  const std::vector<PlannedCapture> flight = PlanFlight(design);
  std::mt19937 random(11);
  std::normal_distribution<double> position(0, 1.5), heading(0, 1);
  std::vector<MosaicCamera> truth;
  std::vector<std::string> names;
  for (unsigned n = 1; n <= flight.size(); ++n) {
    FlightTrouble trouble;
    trouble.positionErrorM = {position(random), position(random)};
    trouble.headingErrorDeg = heading(random);
    const CaptureImage image = FlightScene(flight[n - 1], design, n, trouble);
    names.emplace_back("f").append(std::to_string(100 + n)).append(".tif");
    dir.Write(names.back(), EncodeCapture(image, false));
    // Where the camera was: the record's height and attitude, the planned place and heading.
    MetadataRecord record = image.metadata;
    const CheckedCapture told = CheckedFromRecord(names.back(), record);
    PutPosition(record, flight[n - 1].position, told.heightM, flight[n - 1].headingDeg);
    const CheckedCapture c = CheckedFromRecord(names.back(), record);
    truth.push_back({c.position, c.heightM, c.headingDeg, c.pitchDeg, c.rollDeg, c.focalLengthMm});
  }
  std::ofstream(dir.path() / "camera.json") << R"({"sensor_width_mm": 6.72, "sensor_height_mm": 3.795})";
  const MosaicGeometry seen(truth, kSampleSensor, 0.071);
  std::vector<PlanePoint> truthCorners;
  for (std::size_t i = 0; i < truth.size(); ++i) {
    const Footprint f = *seen.FootprintOf(i);
    truthCorners.insert(truthCorners.end(), f.begin(), f.end());
  }
  const auto residual = [&](const std::vector<std::string>& options) {
    std::vector<std::string> args{"taloran-cli",      "mosaic", "--no-progress",
                                  "--json",           "-o",     (dir.path() / "map.tif").string(),
                                  dir.path().string()};
    args.insert(args.begin() + 2, options.begin(), options.end());
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    EXPECT_EQ(RunCli(static_cast<int>(argv.size()), argv.data(), out, err), 0) << err.str();
    const std::map<std::string, Footprint> placed = ReportedFootprints(out.str());
    std::vector<PlanePoint> corners;
    for (const std::string& name : names) corners.insert(corners.end(), placed.at(name).begin(), placed.at(name).end());
    return SimilarityResidual(corners, truthCorners) / 0.071;  // in ground pixels
  };
  const double refined = residual({}), placedByGps = residual({"--no-refine"});
  EXPECT_LE(refined, 1.0);
  EXPECT_GE(placedByGps, 5 * refined);
  std::printf("residual after the best similarity: %.2f ground pixels refined, %.2f as recorded\n", refined,
              placedByGps);
}

// Noiseless frames of a flight with exact poses, mapped: the map's pixels are the ground's levels
// where the map's own georeferencing puts them (offsets measured patch by patch against the ground
// drawn on the map's grid), and the painted area is the union of the footprints the report gives,
// to a pixel.
TEST(MosaicAcceptance, ExactPosesGiveTheGroundItsLevelsPlaceAndCoverage) {
  test::TempDir dir;
  FlightTrouble reference;
  reference.noiseless = true;
  const FlightDesign design = WriteSmallFlight(dir, reference);
  const std::string map = (dir.path() / "map.tif").string();
  std::vector<const char*> argv{"taloran-cli", "mosaic", "--no-progress", "--json", "-o", map.c_str()};
  const std::string folder = dir.path().string();
  argv.push_back(folder.c_str());
  std::ostringstream out, err;
  ASSERT_EQ(RunCli(static_cast<int>(argv.size()), argv.data(), out, err), 0) << err.str();
  const std::map<std::string, Footprint> footprints = ReportedFootprints(out.str());
  std::uint32_t width = 0, height = 0;
  const std::vector<std::uint8_t> pixels = ReadMap(map, 5, width, height);
  const nlohmann::json info = nlohmann::json::parse(test::CommandOutput("gdalinfo -json '" + map + "'"));
  const double left = info["geoTransform"][0], pixel = info["geoTransform"][1], top = info["geoTransform"][3];
  const UtmZone zone(31, false);
  const LocalPlane plane(design.centre);
  const auto at = [&](std::uint32_t x, std::uint32_t y) { return (std::size_t{y} * width + x) * 5; };
  const auto painted = [&](std::uint32_t x, std::uint32_t y) { return pixels[at(x, y) + 4] == 255; };
  const auto truth = [&](double x, double y) {  // the ground over the map pixel about (x, y), as the frames gather it
    std::array<double, 4> sum{};
    for (const double sy : {-0.25, 0.25}) {
      for (const double sx : {-0.25, 0.25}) {
        const PlanePoint p = plane.Forward(zone.Inverse({left + (x + sx) * pixel, top - (y + sy) * pixel}));
        const std::array<double, 4> g = FlightGroundLevels(p.east, p.north);
        for (std::size_t b = 0; b < 4; ++b) sum[b] += g[b] / 4;
      }
    }
    return sum;
  };

  // Levels: the ground's, to the resampling. The rows are crop and soil with sharp edges every 10
  // pixels, which no bilinear map of another grid's pixels keeps at their edges: the median is held
  // to a level and three pixels in four to two.
  std::vector<double> errors;
  for (std::uint32_t y = 1; y + 1 < height; y += 5) {
    for (std::uint32_t x = 1; x + 1 < width; x += 5) {
      if (!painted(x, y) || !painted(x - 1, y - 1) || !painted(x + 1, y + 1)) continue;
      const std::array<double, 4> t = truth(x + 0.5, y + 0.5);
      for (std::size_t b = 0; b < 4; ++b) errors.push_back(std::abs(pixels[at(x, y) + b] - t[b]));
    }
  }
  ASSERT_GT(errors.size(), 100'000u);
  std::sort(errors.begin(), errors.end());
  EXPECT_LE(errors[errors.size() / 2], 1.0);
  EXPECT_LE(errors[errors.size() * 3 / 4], 2.0);
  std::printf("level errors: median %.1f, 75 %% %.1f, 95 %% %.1f\n", errors[errors.size() / 2],
              errors[errors.size() * 3 / 4], errors[errors.size() * 95 / 100]);

  // Place: on a grid of patches, the shift of the ground (a quarter pixel at a time, a pixel either
  // way) that matches the map best, by the sum of squared NIR differences.
  constexpr std::uint32_t kPatch = 192, kStep = 9;
  std::vector<double> offsets;
  for (std::uint32_t py = 0; py + kPatch <= height; py += kPatch) {
    for (std::uint32_t px = 0; px + kPatch <= width; px += kPatch) {
      std::vector<std::pair<std::uint32_t, std::uint32_t>> points;
      for (std::uint32_t y = py; y < py + kPatch; y += kStep) {
        for (std::uint32_t x = px; x < px + kPatch; x += kStep) {
          if (painted(x, y)) points.emplace_back(x, y);
        }
      }
      if (points.size() < kPatch / kStep * kPatch / kStep) continue;  // wholly painted patches only
      double best = INFINITY, bestShift = 0;
      for (int oy = -4; oy <= 4; ++oy) {
        for (int ox = -4; ox <= 4; ++ox) {
          double squares = 0;
          for (const auto& [x, y] : points) {
            const double d = pixels[at(x, y) + 3] - truth(x + 0.5 + ox / 4.0, y + 0.5 + oy / 4.0)[3];
            squares += d * d;
          }
          if (squares < best) best = squares, bestShift = std::hypot(ox / 4.0, oy / 4.0);
        }
      }
      offsets.push_back(bestShift);
    }
  }
  ASSERT_GE(offsets.size(), 12u);
  std::sort(offsets.begin(), offsets.end());
  EXPECT_LE(offsets[offsets.size() / 2], 0.5);
  EXPECT_LE(offsets.back(), 1.0);
  std::printf("offsets on %zu patches: median %.2f, largest %.2f pixels\n", offsets.size(), offsets[offsets.size() / 2],
              offsets.back());

  // Coverage: painted exactly where some reported footprint holds the pixel's centre, except within
  // a pixel of a footprint's edge.
  const auto holds = [&](double x, double y) {
    const double e = left + x * pixel, n = top - y * pixel;
    for (const auto& [name, f] : footprints) {
      bool in = true;
      for (std::size_t k = 0; k < f.size() && in; ++k) {  // counter-clockwise or clockwise: same side of all edges
        const PlanePoint a = f[k], b = f[(k + 1) % f.size()];
        const double cross = (b.east - a.east) * (n - a.north) - (b.north - a.north) * (e - a.east);
        const PlanePoint c = f[(k + 2) % f.size()];
        const double side = (b.east - a.east) * (c.north - a.north) - (b.north - a.north) * (c.east - a.east);
        in = cross * side >= 0;
      }
      if (in) return true;
    }
    return false;
  };
  std::size_t wrong = 0;
  for (std::uint32_t y = 0; y < height; y += 2) {
    for (std::uint32_t x = 0; x < width; x += 2) {
      const bool in = holds(x + 0.5, y + 0.5);
      if (in == painted(x, y)) continue;
      const bool nearEdge = holds(x - 0.5, y + 0.5) != in || holds(x + 1.5, y + 0.5) != in ||
                            holds(x + 0.5, y - 0.5) != in || holds(x + 0.5, y + 1.5) != in;
      wrong += !nearEdge;
    }
  }
  EXPECT_EQ(wrong, 0u);
}

// A strip TIFF's one band of 16-bit samples (as gdal_rasterize writes it), rows from the top.
std::vector<std::uint16_t> ReadMask(const std::string& path, std::uint32_t& width, std::uint32_t& height) {
  std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(path.c_str(), "r"), TIFFClose);
  if (!tif) return {};
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width), TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
  std::vector<std::uint16_t> mask(std::size_t{width} * height);
  for (std::uint32_t y = 0; y < height; ++y) TIFFReadScanline(tif.get(), mask.data() + std::size_t{y} * width, y);
  return mask;
}

// taloran-cli grid lays out a trial over the mapped field and plots measures it; the reference is
// GDAL's own: the plots reprojected by ogr2ogr and burnt onto the map's grid by gdal_rasterize
// (a pixel is a plot's where its centre lies in it), NDVI by plain division over those pixels.
TEST(Plots, MeasureWhatGdalRasterisesOnTheMap) {
  test::TempDir dir;
  const FlightDesign design = WriteSmallFlight(dir);
  const std::string map = (dir.path() / "map.tif").string(), plots = (dir.path() / "plots.geojson").string();
  ASSERT_EQ(Cli({"mosaic", "--no-progress", "-o", map, dir.path().string()}), 0);
  const GeoPoint origin = LocalPlane(design.centre).Inverse({-22, -12});
  char originText[64];
  std::snprintf(originText, sizeof originText, "%.9f,%.9f", origin.latitudeDeg, origin.longitudeDeg);
  constexpr int kRows = 3, kColumns = 5;
  ASSERT_EQ(Cli({"grid", "--origin", originText, "--rows", std::to_string(kRows), "--columns", std::to_string(kColumns),
                 "--plot", "3,6", "--alley", "0.5,1", "--angle", "15", "-o", plots}),
            0);
  // A bow tie after the grid: named and skipped, exit 4.
  nlohmann::ordered_json layer = nlohmann::ordered_json::parse(std::ifstream(plots));  // the file's order kept
  layer["features"].push_back(nlohmann::ordered_json::parse(R"({"type": "Feature", "properties": {"id": "bowtie"},
    "geometry": {"type": "Polygon", "coordinates": [[[5.5070, 52.1390], [5.5072, 52.1392], [5.5072, 52.1390],
    [5.5070, 52.1392], [5.5070, 52.1390]]]}})"));
  std::ofstream(plots) << layer.dump();
  const std::string csv = (dir.path() / "plots.csv").string();
  std::vector<const char*> argv{"taloran-cli",   "plots",     "--plots", plots.c_str(),
                                "--from-mosaic", map.c_str(), "-o",      csv.c_str()};
  std::ostringstream out, err;
  EXPECT_EQ(RunCli(static_cast<int>(argv.size()), argv.data(), out, err), 4);
  EXPECT_NE(err.str().find("Skipped plot bowtie: not a valid polygon: ring 1 of part 1 crosses itself"),
            std::string::npos)
      << err.str();

  // GDAL's rasterisation of the plots, numbered 1.. in file order, on the map's grid.
  const nlohmann::json info = nlohmann::json::parse(test::CommandOutput("gdalinfo -json '" + map + "'"));
  const double left = info["geoTransform"][0], pixel = info["geoTransform"][1], top = info["geoTransform"][3];
  std::uint32_t width = 0, height = 0;
  const std::vector<std::uint8_t> pixels = ReadMap(map, 5, width, height);
  const std::string utm = (dir.path() / "plots_utm.geojson").string(), mask = (dir.path() / "mask.tif").string();
  char extent[160];
  std::snprintf(extent, sizeof extent, "%.6f %.6f %.6f %.6f", left, top - height * pixel, left + width * pixel, top);
  test::CommandOutput("ogr2ogr -t_srs EPSG:32631 -sql \"SELECT *, (\\\"row\\\" - 1) * " + std::to_string(kColumns) +
                      " + \\\"column\\\" AS n FROM plots WHERE \\\"row\\\" > 0\" '" + utm + "' '" + plots + "'");
  test::CommandOutput("gdal_rasterize -q -a n -init 0 -ot UInt16 -te " + std::string(extent) + " -tr " +
                      std::to_string(pixel) + " " + std::to_string(pixel) + " '" + utm + "' '" + mask + "'");
  std::uint32_t maskWidth = 0, maskHeight = 0;
  const std::vector<std::uint16_t> burnt = ReadMask(mask, maskWidth, maskHeight);
  ASSERT_EQ(maskWidth, width);
  ASSERT_EQ(maskHeight, height);
  std::vector<std::size_t> count(kRows * kColumns + 1, 0);
  std::vector<double> sum(count.size(), 0);
  for (std::size_t i = 0; i < burnt.size(); ++i) {
    if (burnt[i] == 0) continue;
    ++count[burnt[i]];
    const std::uint8_t* p = pixels.data() + i * 5;
    const bool saturated = p[0] == 255 || p[1] == 255 || p[2] == 255 || p[3] == 255;
    if (p[4] == 255 && !saturated && p[3] + p[0] > 0) sum[burnt[i]] += static_cast<double>(p[3] - p[0]) / (p[3] + p[0]);
  }
  std::ifstream rows(csv);
  std::string line;
  std::getline(rows, line);
  EXPECT_EQ(line.rfind("id,source,pixels,covered_share,saturated,ndvi_mean,ndvi_median,ndvi_sd,ndvi_p10,ndvi_p90,"
                       "ndvi_undefined",
                       0),
            0u);
  for (int n = 1; n <= kRows * kColumns; ++n) {
    ASSERT_TRUE(std::getline(rows, line));
    char id[16];
    std::snprintf(id, sizeof id, "R%02dC%02d,", (n - 1) / kColumns + 1, (n - 1) % kColumns + 1);
    EXPECT_EQ(line.rfind(id, 0), 0u) << line;
    std::size_t ours = 0;
    double covered = 0, mean = 0;
    ASSERT_EQ(std::sscanf(line.c_str() + std::strlen(id), "map.tif,%zu,%lf,%*d,%lf", &ours, &covered, &mean), 3)
        << line;
    EXPECT_EQ(ours, count[static_cast<std::size_t>(n)]) << id;  // a pixel is in a plot by the same rule
    EXPECT_NEAR(static_cast<double>(ours) * pixel * pixel, 3 * 6, 0.02 * 3 * 6) << id;  // the grid's 3 x 6 m plots
    EXPECT_DOUBLE_EQ(covered, 1.0) << id;
    EXPECT_NEAR(mean, sum[static_cast<std::size_t>(n)] / static_cast<double>(count[static_cast<std::size_t>(n)]), 1e-6)
        << id;
  }
  EXPECT_FALSE(std::getline(rows, line));  // the bow tie has no row
  rows.close();

  // The same plots from a GeoPackage on the UTM grid: the same table to the byte. From a shapefile
  // on Europe's equal-area grid (EPSG:3035, read through OGR in longitude and latitude), whose round
  // trip through PROJ moves a corner by a few tenths of a millimetre: a boundary pixel or two.
  const auto tableOf = [](const std::string& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  const auto rowsOf = [&](const std::string& file) {
    std::vector<std::pair<long, double>> read;
    std::istringstream in(tableOf(file));
    std::string row;
    std::getline(in, row);
    while (std::getline(in, row)) {
      long count = 0;
      double ndvi = 0;
      EXPECT_EQ(std::sscanf(row.c_str(), "%*[^,],%*[^,],%ld,%*f,%*d,%lf", &count, &ndvi), 2) << row;
      read.emplace_back(count, ndvi);
    }
    return read;
  };
  for (const auto& [name, format, crs] :
       {std::tuple{"plots.gpkg", "GPKG", "EPSG:32631"}, {"plots.shp", "ESRI Shapefile", "EPSG:3035"}}) {
    const std::string converted = (dir.path() / name).string(), table = converted + ".csv";
    test::CommandOutput("ogr2ogr -f '" + std::string(format) + "' -t_srs " + crs + " '" + converted + "' '" + plots +
                        "'");
    std::vector<const char*> args{"taloran-cli",   "plots",     "--plots", converted.c_str(),
                                  "--from-mosaic", map.c_str(), "-o",      table.c_str()};
    std::ostringstream out3, err3;
    EXPECT_EQ(RunCli(static_cast<int>(args.size()), args.data(), out3, err3), 4) << err3.str();
    if (std::string(crs) == "EPSG:32631") {
      EXPECT_EQ(tableOf(table), tableOf(csv)) << name;
      continue;
    }
    const auto ours = rowsOf(csv), theirs = rowsOf(table);
    ASSERT_EQ(theirs.size(), ours.size()) << name;
    for (std::size_t n = 0; n < ours.size(); ++n) {
      EXPECT_LE(std::abs(theirs[n].first - ours[n].first), 2) << name << " row " << n;
      EXPECT_NEAR(theirs[n].second, ours[n].second, 1e-3) << name << " row " << n;
    }
  }

  // The same plots in the captures themselves: each in the frame that holds it whole, its own pixels.
  // The reference: every pixel of that frame, its centre through the camera model onto the grid, in
  // the plot by the winding number; and the generator's ground, NDVI over the plot on a 10 cm grid.
  const std::string inCaptures = (dir.path() / "captures.csv").string();
  std::vector<const char*> again{"taloran-cli", "plots", "--plots", plots.c_str(), "-o", inCaptures.c_str()};
  const std::string folder = dir.path().string();
  again.push_back(folder.c_str());
  std::ostringstream out2, err2;
  EXPECT_EQ(RunCli(static_cast<int>(again.size()), again.data(), out2, err2), 4) << err2.str();
  std::ostringstream quiet;
  std::vector<std::string> paths;
  for (unsigned n = 1; n <= 6; ++n) {
    std::string name = "f";
    name.append(std::to_string(n)).append(".tif");
    paths.push_back((dir.path() / name).string());
  }
  FieldMapPlan plan = PlanFieldMap(paths, FieldMapSettings{kSampleSensor, 0, false, false, 1, false}, quiet);
  const UtmZone zone(31, false);
  const LocalPlane ground(design.centre);
  std::ifstream captureRows(inCaptures);
  std::getline(captureRows, line);
  const nlohmann::json features = nlohmann::json::parse(std::ifstream(plots))["features"];
  for (int n = 0; n < kRows * kColumns; ++n) {
    ASSERT_TRUE(std::getline(captureRows, line));
    char source[32] = {};
    std::size_t pixels = 0;
    double mean = 0;
    ASSERT_EQ(std::sscanf(line.c_str() + 7, "%31[^,],%zu,%*f,%*d,%lf", source, &pixels, &mean), 3) << line;
    const auto at = std::find_if(paths.begin(), paths.end(), [&](const std::string& p) { return p.ends_with(source); });
    ASSERT_NE(at, paths.end()) << line;  // measured in a capture
    const auto i = static_cast<std::size_t>(at - paths.begin());
    std::vector<PlanePoint> ring;
    for (const auto& c : features[static_cast<std::size_t>(n)]["geometry"]["coordinates"][0]) {
      const UtmPoint u = zone.Forward({c[1].get<double>(), c[0].get<double>()});
      ring.push_back({u.easting, u.northing});
    }
    const auto winding = [&](PlanePoint p) {
      int w = 0;
      for (std::size_t k = 0; k + 1 < ring.size(); ++k) {
        const PlanePoint a = ring[k], b = ring[k + 1];
        const double side = (b.east - a.east) * (p.north - a.north) - (p.east - a.east) * (b.north - a.north);
        if (a.north <= p.north && b.north > p.north && side > 0) ++w;
        if (a.north > p.north && b.north <= p.north && side < 0) --w;
      }
      return w != 0;
    };
    auto frame = test::NewFrameStore();
    ASSERT_EQ(ReadCapture(*at, *frame, 0), kReadOk);
    std::size_t count = 0, defined = 0;
    double sum = 0;
    for (int y = 0; y < kFrameHeight; ++y) {
      for (int x = 0; x < kFrameWidth; ++x) {
        const std::optional<PlanePoint> g = plan.geometry->GroundOf(i, {x + 0.5, y + 0.5});
        if (!g || !winding(*g)) continue;
        ++count;
        const std::size_t k =
            static_cast<std::size_t>(kFrameHeight - 1 - y) * kFrameWidth + static_cast<std::size_t>(x);
        const int nir = frame->nir[k], red = frame->red[k];
        if (nir + red > 0) sum += static_cast<double>(nir - red) / (nir + red), ++defined;
      }
    }
    EXPECT_EQ(pixels, count) << line;
    EXPECT_NEAR(mean, sum / static_cast<double>(defined), 1e-6) << line;
    double truth = 0;
    std::size_t points = 0;
    const PlaneBox box = BoxOf({{ring}});
    for (double e = box.west; e < box.east; e += 0.1) {
      for (double north = box.south; north < box.north; north += 0.1) {
        if (!winding({e, north})) continue;
        const PlanePoint q = ground.Forward(zone.Inverse({e, north}));
        const std::array<double, 4> t = FlightGroundLevels(q.east, q.north);
        truth += (t[3] - t[0]) / (t[3] + t[0]), ++points;
      }
    }
    EXPECT_NEAR(mean, truth / static_cast<double>(points), 0.02) << line;
  }
}

}  // namespace
}  // namespace taloran
