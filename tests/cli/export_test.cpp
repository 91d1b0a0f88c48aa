// taloran-cli export end to end: the pixels read back through libtiff against the capture's planes,
// every tag read back by exiftool, every file opened by GDAL, the capture UUIDs, and the refusals.
#include "cli/export.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "cli/cli.h"
#include "core/capture/camera_metadata.h"
#include "core/capture/capture_reader.h"
#include "image_io/calibration_file.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

int Cli(std::vector<std::string> args, std::string* err = nullptr) {
  args.insert(args.begin(), "taloran-cli");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::ostringstream out, errors;
  const int code = RunCli(static_cast<int>(argv.size()), argv.data(), out, errors);
  if (err != nullptr) *err = errors.str();
  return code;
}

// What exiftool reads from a file, as numbers where it can (-n), each tag under its group.
nlohmann::json Exif(const std::filesystem::path& file) {
  return nlohmann::json::parse(test::CommandOutput("exiftool -j -n -G1 '" + file.string() + "'")).at(0);
}

// Whether GDAL opens the file as an image of `bands` bands of `type`.
bool GdalOpens(const std::filesystem::path& file, int bands, const std::string& type) {
  const std::string info = test::CommandOutput("gdalinfo '" + file.string() + "' 2>&1");
  return info.find("Size is 1344, 759") != std::string::npos &&
         info.find("Band " + std::to_string(bands) + " Block=1344x64 Type=" + type) != std::string::npos;
}

// What a photogrammetry tool's XMP parser takes from a file, by its rules: attributes of the
// description as "@name", elements by name, an rdf:Seq joined with spaces; the band name without
// spaces, the irradiance (an element only) and the angles converted to numbers, and a conversion
// that fails loses every field read after it (CaptureUUID, Yaw).
std::map<std::string, std::string> PeerXmp(const std::filesystem::path& file) {
  const std::string xmp = test::CommandOutput("exiftool -b -XMP '" + file.string() + "'");
  std::map<std::string, std::string> raw, read;
  const std::size_t begin = xmp.find("<rdf:Description"), stop = xmp.find('>', begin);
  for (std::size_t at = xmp.find("=\"", begin); at < stop; at = xmp.find("=\"", at + 2)) {  // name="value"
    const std::size_t name = xmp.find_last_of(" \n\t", at) + 1, end = xmp.find('"', at + 2);
    raw[std::string("@").append(xmp.substr(name, at - name))] = xmp.substr(at + 2, end - at - 2);
  }
  for (std::size_t at = xmp.find("<Camera:"); at != std::string::npos; at = xmp.find("<Camera:", at + 1)) {
    const std::size_t close = xmp.find('>', at);
    const std::string name = xmp.substr(at + 1, close - at - 1);
    std::string value;
    const std::size_t next = xmp.find_first_not_of(" \n\t", close + 1);
    if (xmp.compare(next, 9, "<rdf:Seq>") == 0) {  // a list: its items joined with spaces
      const std::size_t end = xmp.find("</rdf:Seq>", next);
      for (std::size_t li = xmp.find("<rdf:li>", next); li < end; li = xmp.find("<rdf:li>", li + 1)) {
        value.append(value.empty() ? "" : " ").append(xmp.substr(li + 8, xmp.find('<', li + 8) - li - 8));
      }
    } else {
      value = xmp.substr(close + 1, xmp.find('<', close) - close - 1);
    }
    raw[name] = value;
  }
  const auto first = [&raw](std::initializer_list<const char*> names) -> std::optional<std::string> {
    for (const char* n : names)
      if (raw.count(n)) return raw[n];
    return std::nullopt;
  };
  const auto number = [](const std::string& text) {
    std::size_t used = 0;
    std::stod(text, &used);
    if (used != text.size()) throw std::invalid_argument(text);
    return text;
  };
  try {
    if (auto v = first({"Camera:BandName", "@Camera:BandName"})) read["band"] = (std::erase(*v, ' '), *v);
    if (auto v = first({"Camera:SpectralIrradiance", "Camera:Irradiance"})) read["irradiance"] = number(*v);
    if (auto v = first({"@Camera:CaptureUUID"})) read["uuid"] = *v;
    if (auto v = first({"@Camera:Yaw", "Camera:Yaw"})) read["yaw"] = number(*v);
  } catch (const std::exception&) {  // as the parser: the rest of the packet is lost
  }
  return read;
}

// The samples of a one-page TIFF as libtiff decodes them, rows from the top.
std::vector<std::uint8_t> Pixels(const std::filesystem::path& file, std::uint16_t& bands, std::uint16_t& bits) {
  std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(file.c_str(), "r"), TIFFClose);
  std::vector<std::uint8_t> data;
  if (!tif) return data;
  std::uint32_t width = 0, height = 0;
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
  TIFFGetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &bands);
  TIFFGetField(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
  const auto line = static_cast<std::size_t>(TIFFScanlineSize64(tif.get()));
  data.resize(line * height);
  for (std::uint32_t row = 0; row < height; ++row) TIFFReadScanline(tif.get(), data.data() + row * line, row);
  return data;
}

struct ExportTest : ::testing::Test {
  test::TempDir dir;
  std::vector<std::string> captures = {dir.Write("a.tif", EncodeCapture(FieldScene(1), false)).string(),
                                       dir.Write("b.tif", EncodeCapture(FieldScene(2), false)).string()};
  std::filesystem::path out = dir.path() / "out";
  std::unique_ptr<FrameStore> frame = test::NewFrameStore();
  const Plane& Band(std::size_t b) const {
    return *std::array{&frame->red, &frame->green, &frame->blue, &frame->nir}[b];
  }
};

constexpr const char* kBandNames[] = {"Red", "Green", "Blue", "NIR"};

// Each band file holds the band's samples top line first, and the tags a stitcher reads.
TEST_F(ExportTest, BandFilesHoldTheSamplesAndTheTags) {
  const std::string profile = (dir.path() / "camera.json").string();
  std::ofstream(profile) << R"({"make": "Acme", "model": "Quad", "sensor_width_mm": 6.72, "sensor_height_mm": 3.795,
    "shutter_unit_s": 0.00001, "bands": {"red": {"central_wavelength_nm": 650, "fwhm_nm": 16},
    "green": {"central_wavelength_nm": 560, "fwhm_nm": 27}, "blue": {"central_wavelength_nm": 475, "fwhm_nm": 32},
    "nir": {"central_wavelength_nm": 842, "fwhm_nm": 57}}})";
  ASSERT_EQ(Cli({"export", "--camera", profile, "-o", out.string(), captures[0], captures[1]}), 0);
  std::string uuids[2];
  for (std::size_t c = 0; c < 2; ++c) {
    ASSERT_EQ(ReadCapture(captures[c], *frame, 0), kReadOk);
    const CapturePosition at = DecodePosition(frame->metadata);
    const CameraPanel panel = DecodeCameraMetadata(frame->metadata);
    for (std::size_t b = 0; b < 4; ++b) {
      SCOPED_TRACE(std::string(1, "ab"[c]) + " " + kBandNames[b]);
      const std::filesystem::path file = out / (std::string(1, "ab"[c]) + "_" + kBandNames[b] + ".tif");
      std::uint16_t bands = 0, bits = 0;
      const std::vector<std::uint8_t> pixels = Pixels(file, bands, bits);
      ASSERT_EQ(pixels.size(), kFramePixels);
      EXPECT_EQ(bands, 1);
      EXPECT_EQ(bits, 8);
      for (std::size_t y : {0u, 100u, 758u}) {  // file row y is plane line 758 - y
        EXPECT_TRUE(std::equal(pixels.begin() + static_cast<std::ptrdiff_t>(y * kFrameWidth),
                               pixels.begin() + static_cast<std::ptrdiff_t>((y + 1) * kFrameWidth),
                               Band(b).begin() + static_cast<std::ptrdiff_t>((758 - y) * kFrameWidth)));
      }
      EXPECT_TRUE(GdalOpens(file, 1, "Byte"));
      const nlohmann::json t = Exif(file);
      EXPECT_EQ(t["IFD0:Make"], "Acme");
      EXPECT_EQ(t["IFD0:Model"], "Quad");
      EXPECT_NEAR(t["GPS:GPSLatitude"].get<double>(), at.latitudeDeg, 1e-7);
      EXPECT_NEAR(t["GPS:GPSLongitude"].get<double>(), at.longitudeDeg, 1e-7);
      EXPECT_NEAR(t["GPS:GPSAltitude"].get<double>(), at.heightM, 1e-9);
      EXPECT_EQ(t["GPS:GPSVersionID"], "2 3 0 0");
      EXPECT_NEAR(t["ExifIFD:FocalPlaneXResolution"].get<double>(), 2000, 1e-6);  // 1344 px / 0.672 cm
      EXPECT_TRUE(t.contains("ExifIFD:ExposureTime") && t.contains("ExifIFD:DateTimeOriginal"));
      EXPECT_EQ(t["XMP-Camera:BandName"], kBandNames[b]);
      EXPECT_EQ(t["XMP-Camera:RigCameraIndex"], b);
      EXPECT_EQ(t["XMP-Camera:Irradiance"], panel.irradianceLevels[b]);
      constexpr int kWavelengths[] = {650, 560, 475, 842};
      EXPECT_EQ(t["XMP-Camera:CentralWavelength"], kWavelengths[b]);
      EXPECT_EQ(t["XMP-Camera:Yaw"], at.headingDeg);
      const std::string uuid = t["XMP-Camera:CaptureUUID"];
      if (b == 0) uuids[c] = uuid;
      EXPECT_EQ(uuid, uuids[c]);  // the four bands of a capture share it
      // Rationals from the decimal value (2.8, not 2.799999952); the image's size beside the focal plane's.
      EXPECT_EQ(t["ExifIFD:FNumber"].get<double>(), DecodeCameraSettings(frame->metadata).fNumber);
      EXPECT_EQ(t["ExifIFD:ExifImageWidth"], 1344);
      EXPECT_EQ(t["ExifIFD:SubSecTime"], t["ExifIFD:SubSecTimeOriginal"]);
      if (c == 0) {  // as a photogrammetry tool's parser reads the band's XMP
        const std::map<std::string, std::string> peer = PeerXmp(file);
        EXPECT_EQ(peer.at("band"), kBandNames[b]);
        EXPECT_EQ(std::stod(peer.at("irradiance")), panel.irradianceLevels[b]);
        EXPECT_EQ(peer.at("uuid"), uuid);
      }
    }
  }
  EXPECT_NE(uuids[0], uuids[1]);
  ASSERT_EQ(Cli({"export", "-o", (dir.path() / "again").string(), captures[0]}), 0);  // the same bytes, the same UUID
  EXPECT_EQ(Exif(dir.path() / "again" / "a_NIR.tif")["XMP-Camera:CaptureUUID"], uuids[0]);
}

// A calibrated stack: four 16-bit samples a pixel, reflectance x 32,768, the bands listed in order.
TEST_F(ExportTest, ACalibratedStackHoldsReflectances) {
  const std::string cal = (dir.path() / "cal.json").string();
  ASSERT_EQ(Cli({"calibrate", "--area", "100,600,10,10", "--reflectance", "0.5", "-o", cal, captures[0]}), 0);
  ASSERT_EQ(Cli({"export", "--layout", "stack", "--compress", "deflate", "--calibration", cal, "-o", out.string(),
                 captures[1]}),
            0);
  Calibration calibration;
  ASSERT_FALSE(ReadCalibrationFile(cal, calibration));
  ASSERT_EQ(ReadCapture(captures[1], *frame, 0), kReadOk);
  const CaptureReflectance k = ReflectanceOf(calibration, frame->metadata);
  std::uint16_t bands = 0, bits = 0;
  const std::vector<std::uint8_t> pixels = Pixels(out / "b.tif", bands, bits);
  ASSERT_EQ(pixels.size(), kFramePixels * 8);
  EXPECT_EQ(bands, 4);
  EXPECT_EQ(bits, 16);
  for (std::size_t j : {0u, 12'345u, 1'020'095u}) {  // top-down pixel j is plane pixel (758 - y) x 1344 + x
    const std::size_t plane = (758 - j / kFrameWidth) * kFrameWidth + j % kFrameWidth;
    for (std::size_t b = 0; b < 4; ++b) {
      std::uint16_t got = 0;
      std::memcpy(&got, pixels.data() + 8 * j + 2 * b, 2);
      EXPECT_EQ(got, std::lround(k.scales.scale[b] * Band(b)[plane] * 32'768)) << j << " " << kBandNames[b];
    }
  }
  EXPECT_TRUE(GdalOpens(out / "b.tif", 4, "UInt16"));
  const nlohmann::json t = Exif(out / "b.tif");
  EXPECT_EQ(t["XMP-Taloran:BandNames"], "Red Green Blue NIR");
  EXPECT_EQ(t["XMP-Taloran:Calibration"], "cal.json");
}

TEST_F(ExportTest, RefusalsComeBeforeAnyFile) {
  const std::string profile = (dir.path() / "camera.json").string();
  std::ofstream(profile) << R"({"sensor_width_mm": -1})";
  std::string err;
  EXPECT_EQ(Cli({"export", "--camera", profile, "-o", out.string(), captures[0]}, &err), kExitUsage);
  EXPECT_NE(err.find("camera.json: sensor_width_mm: not a number above 0"), std::string::npos) << err;
  std::filesystem::create_directories(dir.path() / "other");
  std::filesystem::copy_file(captures[0], dir.path() / "other" / "a.tif");
  EXPECT_EQ(Cli({"export", "-o", out.string(), captures[0], (dir.path() / "other" / "a.tif").string()}, &err),
            kExitUsage);
  EXPECT_NE(err.find("would both write"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out));
}

// Shards writing into one folder keep a journal each, so each resumes alone whatever the other did;
// a run that finished every capture leaves no journal, one with failures keeps it.
TEST_F(ExportTest, ShardsIntoOneFolderEachResumeTheirOwn) {
  const std::string broken = dir.Write("c.tif", {}).string();  // position 2: the first shard's
  const auto shard = [&](const char* k, bool resume) {
    std::vector<std::string> args{"export", "--shard", k, "-o", out.string(), captures[0], captures[1], broken};
    if (resume) args.push_back("--resume");
    return Cli(args);
  };
  ASSERT_EQ(shard("1/2", false), kExitSomeUnread);
  ASSERT_EQ(shard("2/2", false), kExitOk);
  EXPECT_TRUE(std::filesystem::exists(out / ".taloran-export.1-of-2.journal"));
  EXPECT_FALSE(std::filesystem::exists(out / ".taloran-export.2-of-2.journal")) << "a finished run keeps no journal";
  const auto first = std::filesystem::last_write_time(out / "a_NIR.tif");
  EXPECT_EQ(shard("1/2", true), kExitSomeUnread);
  EXPECT_EQ(std::filesystem::last_write_time(out / "a_NIR.tif"), first) << "a finished capture was written again";
}

// Inputs that name no capture are no success: a message and exit 66, and nothing written.
TEST_F(ExportTest, NothingToDoIsNoSuccess) {
  std::filesystem::create_directories(dir.path() / "empty");
  std::string err;
  EXPECT_EQ(Cli({"export", "-o", out.string(), (dir.path() / "empty").string()}, &err), kExitNoInput);
  EXPECT_NE(err.find("No captures in"), std::string::npos) << err;
  EXPECT_EQ(Cli({"batch", "-o", out.string(), (dir.path() / "empty").string()}, &err), kExitNoInput);
  EXPECT_FALSE(std::filesystem::exists(out));
}

// Band images exported into the flight's folder are no captures: every command leaves them out with
// a note and answers as it does over the captures alone, and export writes them again.
TEST_F(ExportTest, CommandsSkipTheBandImagesExportWroteBesideTheCaptures) {
  const std::string folder = dir.path().string();
  const std::vector<std::vector<std::string>> commands = {
      {"batch", "--no-progress", "--format", "none", "--stats", (dir.path() / "s.csv").string(), folder},
      {"check", "--no-progress", folder},
      {"export", "--no-progress", "--layout", "stack", "-o", (out / "stack").string(), folder},
      {"export", "--no-progress", "-o", folder, folder}};
  std::vector<int> before;
  for (const auto& command : commands) before.push_back(Cli(command));
  ASSERT_EQ(before.back(), 0);  // now the folder holds a_Red.tif ... b_NIR.tif beside a.tif and b.tif
  for (std::size_t i = 0; i < commands.size(); ++i) {
    SCOPED_TRACE(commands[i][0]);
    std::string err;
    EXPECT_EQ(Cli(commands[i], &err), before[i]) << err;
    EXPECT_NE(err.find("Skipped 8 files that export or mosaic wrote, no captures: "), std::string::npos) << err;
    EXPECT_NE(err.find(" and 5 more"), std::string::npos) << err;
  }
  std::ifstream csv(dir.path() / "s.csv");
  std::string line;
  std::size_t rows = 0;
  while (std::getline(csv, line)) ++rows;
  EXPECT_EQ(rows, 1 + captures.size());
}

// A stack with a profile that knows the sensor and the ground: GDAL names its bands, a peer parser
// keeps the capture's UUID and yaw, GPSAltitude is above sea level, and gdalwarp places the picture
// by its ground control points with its centre on the position of a capture taken straight down.
TEST_F(ExportTest, GisToolsNameAndPlaceAStack) {
  const std::string profile = (dir.path() / "camera.json").string();
  std::ofstream(profile) << R"({"sensor_width_mm": 6.72, "sensor_height_mm": 3.795, "ground_elevation_m": 12.5})";
  const FlightDesign design;
  captures[0] = dir.Write("n.tif", EncodeCapture(FlightScene(PlanFlight(design)[0], design, 1), false)).string();
  ASSERT_EQ(Cli({"export", "--layout", "stack", "--camera", profile, "-o", out.string(), captures[0]}), 0);
  const std::filesystem::path stack = out / "n.tif";
  const nlohmann::json info = nlohmann::json::parse(test::CommandOutput("gdalinfo -json '" + stack.string() + "'"));
  for (std::size_t b = 0; b < 4; ++b) EXPECT_EQ(info["bands"][b]["description"], kBandNames[b]);
  const std::map<std::string, std::string> peer = PeerXmp(stack);
  EXPECT_TRUE(peer.count("uuid") && peer.count("yaw") && !peer.count("band"));
  ASSERT_EQ(ReadCapture(captures[0], *frame, 0), kReadOk);
  const CapturePosition at = DecodePosition(frame->metadata);
  const nlohmann::json t = Exif(stack);
  EXPECT_NEAR(t["GPS:GPSAltitude"].get<double>(), at.heightM + 12.5, 1e-9);
  EXPECT_EQ(t["XMP-Taloran:AltitudeReference"], "sea level");

  const int zone = static_cast<int>(std::floor((at.longitudeDeg + 180) / 6)) + 1;
  const std::string utm = std::string("EPSG:326").append(std::to_string(zone));
  const std::string warped = (dir.path() / "warped.tif").string();
  ASSERT_EQ(std::system(("gdalwarp -q -t_srs " + utm + " '" + stack.string() + "' '" + warped + "'").c_str()), 0);
  const nlohmann::json placed = nlohmann::json::parse(test::CommandOutput("gdalinfo -json '" + warped + "'"));
  char where[96];
  std::snprintf(where, sizeof where, "echo %.10f %.10f | ", at.longitudeDeg, at.latitudeDeg);
  std::istringstream position(test::CommandOutput(where + ("gdaltransform -s_srs EPSG:4326 -t_srs " + utm)));
  double east = 0, north = 0;
  position >> east >> north;
  const double pixel = placed["geoTransform"][1].get<double>();
  EXPECT_LT(std::hypot(placed["cornerCoordinates"]["center"][0].get<double>() - east,
                       placed["cornerCoordinates"]["center"][1].get<double>() - north),
            pixel);
}

// The position files name every exported image where its own GPS tags place it, and COLMAP's local
// metres keep the distance PROJ measures between the captures.
TEST_F(ExportTest, PositionFilesPlaceEveryExportedImage) {
  const std::string geo = (out / "geo.txt").string();
  ASSERT_EQ(Cli({"export", "--geo-file", geo, "-o", out.string(), captures[0], captures[1]}), 0);
  std::ifstream odm(geo), colmap(ReferenceFileOf(geo));
  std::string line;
  std::getline(odm, line);
  EXPECT_EQ(line, "EPSG:4326");
  std::vector<std::array<double, 4>> placed;  // longitude, latitude, east, north
  for (std::size_t k = 0; k < 8; ++k) {
    std::string name, reference;
    double lon = 0, lat = 0, east = 0, north = 0, up = 0;
    ASSERT_TRUE(odm >> name >> lon >> lat && std::getline(odm, line) && colmap >> reference >> east >> north >> up);
    EXPECT_EQ(reference, name);
    const nlohmann::json t = Exif(out / name);
    EXPECT_NEAR(t["GPS:GPSLongitude"].get<double>(), lon, 1e-8) << name;
    EXPECT_NEAR(t["GPS:GPSLatitude"].get<double>(), lat, 1e-8) << name;
    placed.push_back({lon, lat, east, north});
  }
  // The geodesic distance from the first capture to the second: PROJ's equidistant projection about it.
  const auto& a = placed.front();
  const auto& b = placed.back();
  char command[256];
  std::snprintf(command, sizeof command,
                "echo %.10f %.10f | gdaltransform -s_srs EPSG:4326 -t_srs '+proj=aeqd +datum=WGS84 +lon_0=%.10f "
                "+lat_0=%.10f'",
                b[0], b[1], a[0], a[1]);
  std::istringstream projected(test::CommandOutput(command));
  double x = 0, y = 0;
  projected >> x >> y;
  EXPECT_GT(std::hypot(x, y), 1.0);
  EXPECT_NEAR(std::hypot(b[2] - a[2], b[3] - a[3]), std::hypot(x, y), 0.01);
}

// COLMAP takes the focal length in pixels from the EXIF: focal length over pixel pitch, 8.5 mm over
// 5 um for the bundled profile. Run where COLMAP is installed (the set-up does not install it).
TEST_F(ExportTest, ColmapFindsTheFocalLength) {
  if (std::system("command -v colmap > /dev/null 2>&1") != 0) GTEST_SKIP() << "colmap is not installed";
  const std::string profile = (dir.path() / "camera.json").string();
  std::ofstream(profile) << R"({"sensor_width_mm": 6.72, "sensor_height_mm": 3.795})";
  ASSERT_EQ(Cli({"export", "--camera", profile, "-o", out.string(), captures[0]}), 0);
  std::filesystem::create_directories(dir.path() / "nir");
  std::filesystem::copy(out / "a_NIR.tif", dir.path() / "nir" / "a_NIR.tif");
  const std::string log =
      test::CommandOutput("colmap feature_extractor --database_path '" + (dir.path() / "db.db").string() +
                          "' --image_path '" + (dir.path() / "nir").string() + "' 2>&1");
  const std::size_t focal = log.find("Focal Length:");
  ASSERT_TRUE(focal != std::string::npos && log.find("px (EXIF)", focal) != std::string::npos) << log;
  EXPECT_NEAR(std::stod(log.substr(focal + 13)), 1700, 17);
}

}  // namespace
}  // namespace taloran
