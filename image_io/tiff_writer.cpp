#include "image_io/tiff_writer.h"

#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <system_error>
#include <vector>

#include "image_io/internal/tiff_tags.h"
#include "image_io/output_file.h"

namespace taloran {

namespace {

constexpr std::uint16_t kFocalPlaneCentimetre = 3;  // FocalPlaneResolutionUnit
constexpr int kRowsPerStrip = 64;                   // strips of about 86 kB of 8-bit samples

// libtiff reports through handlers; its messages are dropped, the file's own error is kept.
void Quiet(const char*, const char*, va_list) {}

struct Closer {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};

// Degrees, minutes and seconds of an angle's magnitude.
std::array<double, 3> Sexagesimal(double degrees) {
  const double a = std::abs(degrees);
  const double d = std::floor(a), m = std::floor((a - d) * 60);
  return {d, m, (a - d - m / 60) * 3600};
}

bool SetText(TIFF* tif, ttag_t tag, const std::string& text) {
  return text.empty() || TIFFSetField(tif, tag, text.c_str()) == 1;
}

// The GeoKey directory of ground control points in WGS 84 degrees: version 1.1.0 and three keys,
// model type geographic (1024 = 2), raster pixel is area (1025 = 1), geographic CRS EPSG:4326 (2048).
constexpr std::uint16_t kGeographicKeys[] = {1, 1, 0, 3, 1024, 0, 1, 2, 1025, 0, 1, 1, 2048, 0, 1, 4326};

bool SetGroundControlPoints(TIFF* tif, const std::vector<GroundControlPoint>& points) {
  if (points.empty()) return true;
  std::vector<double> tiepoints;  // I, J, K, X, Y, Z for each
  for (const GroundControlPoint& p : points) {
    tiepoints.insert(tiepoints.end(), {p.column, p.row, 0.0, p.longitudeDeg, p.latitudeDeg, 0.0});
  }
  return TIFFSetField(tif, tiff::kModelTiepoint, static_cast<std::uint16_t>(tiepoints.size()), tiepoints.data()) == 1 &&
         TIFFSetField(tif, tiff::kGeoKeyDirectory, static_cast<std::uint16_t>(std::size(kGeographicKeys)),
                      kGeographicKeys) == 1;
}

bool SetNumber(TIFF* tif, ttag_t tag, const std::optional<double>& value) {
  return !value || TIFFSetField(tif, tag, *value) == 1;
}

bool WriteExif(TIFF* tif, const TiffTags& t, const TiffImage& image, std::uint64_t& offset) {
  if (TIFFCreateEXIFDirectory(tif) != 0) return false;
  bool ok = SetText(tif, EXIFTAG_DATETIMEORIGINAL, t.dateTimeOriginal) &&
            SetText(tif, EXIFTAG_SUBSECTIMEORIGINAL, t.subSecTimeOriginal) &&
            SetText(tif, EXIFTAG_SUBSECTIME, t.subSecTimeOriginal) && SetNumber(tif, EXIFTAG_FNUMBER, t.fNumber) &&
            SetNumber(tif, EXIFTAG_FOCALLENGTH, t.focalLengthMm) &&
            SetNumber(tif, EXIFTAG_EXPOSURETIME, t.exposureTimeS) &&
            SetText(tif, EXIFTAG_IMAGEUNIQUEID, t.imageUniqueId);
  if (t.focalPlaneXResolution && t.focalPlaneYResolution) {
    ok = ok && SetNumber(tif, EXIFTAG_FOCALPLANEXRESOLUTION, t.focalPlaneXResolution) &&
         SetNumber(tif, EXIFTAG_FOCALPLANEYRESOLUTION, t.focalPlaneYResolution) &&
         TIFFSetField(tif, EXIFTAG_FOCALPLANERESOLUTIONUNIT, kFocalPlaneCentimetre) == 1 &&
         // With the focal-plane resolution, the sensor's width in pixels: what turns it into millimetres.
         TIFFSetField(tif, EXIFTAG_PIXELXDIMENSION, static_cast<std::uint32_t>(image.width)) == 1 &&
         TIFFSetField(tif, EXIFTAG_PIXELYDIMENSION, static_cast<std::uint32_t>(image.height)) == 1;
  }
  return ok && TIFFWriteCustomDirectory(tif, &offset) == 1;
}

bool WriteGps(TIFF* tif, const GpsTags& g, std::uint64_t& offset) {
  if (TIFFCreateGPSDirectory(tif) != 0) return false;
  const std::uint8_t version[4] = {2, 3, 0, 0};
  const std::array<double, 3> lat = Sexagesimal(g.latitudeDeg), lon = Sexagesimal(g.longitudeDeg);
  const std::uint8_t altitudeRef = g.altitudeM < 0 ? 1 : 0;
  return TIFFSetField(tif, GPSTAG_VERSIONID, version) == 1 &&
         TIFFSetField(tif, GPSTAG_LATITUDEREF, g.latitudeDeg < 0 ? "S" : "N") == 1 &&
         TIFFSetField(tif, GPSTAG_LATITUDE, lat.data()) == 1 &&
         TIFFSetField(tif, GPSTAG_LONGITUDEREF, g.longitudeDeg < 0 ? "W" : "E") == 1 &&
         TIFFSetField(tif, GPSTAG_LONGITUDE, lon.data()) == 1 &&
         TIFFSetField(tif, GPSTAG_ALTITUDEREF, altitudeRef) == 1 &&
         TIFFSetField(tif, GPSTAG_ALTITUDE, std::abs(g.altitudeM)) == 1 && TIFFWriteCustomDirectory(tif, &offset) == 1;
}

// Where the EXIF and GPS directories were written.
struct DirectoryPlaces {
  std::uint64_t exif = 0, gps = 0;
};

bool WriteImage(TIFF* tif, const TiffImage& image, const TiffTags& tags, bool deflate, DirectoryPlaces& places) {
  const auto bytes = static_cast<std::uint16_t>(SampleBytes(image.samples));
  const auto width = static_cast<std::uint32_t>(image.width), height = static_cast<std::uint32_t>(image.height);
  bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width) == 1 && TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height) == 1 &&
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(image.bands)) == 1 &&
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(8 * bytes)) == 1 &&
            TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT,
                         image.samples == ExportSamples::Float32 ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT) == 1 &&
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) == 1 &&
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
            TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) == 1 &&
            TIFFSetField(tif, TIFFTAG_COMPRESSION, deflate ? COMPRESSION_ADOBE_DEFLATE : COMPRESSION_NONE) == 1 &&
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(kRowsPerStrip)) == 1 &&
            SetText(tif, TIFFTAG_MAKE, tags.make) && SetText(tif, TIFFTAG_MODEL, tags.model);
  if (image.bands > 1) {  // the samples beyond the first are bands, not transparency
    const std::vector<std::uint16_t> extra(static_cast<std::size_t>(image.bands - 1), EXTRASAMPLE_UNSPECIFIED);
    ok = ok && TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(extra.size()), extra.data()) == 1;
  }
  // No predictor: on the sample flight the horizontal one (the floating-point one for floats) made
  // the deflated files 7 % (8-bit) to 17 % (16-bit, float) larger; the sensor's noise leaves
  // neighbouring samples little alike.
  if (deflate) ok = ok && TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_NONE) == 1;
  ok = ok && SetText(tif, tiff::kGdalMetadata, tags.gdalMetadata) &&
       SetGroundControlPoints(tif, tags.groundControlPoints);
  if (!tags.xmp.empty()) {
    ok = ok && TIFFSetField(tif, TIFFTAG_XMLPACKET, static_cast<std::uint32_t>(tags.xmp.size()), tags.xmp.data()) == 1;
  }
  // The EXIF and GPS directories' places are known once they are written: zero until then.
  ok = ok && TIFFSetField(tif, TIFFTAG_EXIFIFD, std::uint64_t{0}) == 1;
  if (tags.gps) ok = ok && TIFFSetField(tif, TIFFTAG_GPSIFD, std::uint64_t{0}) == 1;
  const std::size_t rowBytes = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.bands) * bytes;
  for (std::uint32_t strip = 0; ok && strip * kRowsPerStrip < height; ++strip) {
    const std::uint32_t rows = std::min<std::uint32_t>(kRowsPerStrip, height - strip * kRowsPerStrip);
    void* data = const_cast<std::uint8_t*>(image.data.data() + strip * kRowsPerStrip * rowBytes);
    ok = TIFFWriteEncodedStrip(tif, strip, data, static_cast<tmsize_t>(rows * rowBytes)) >= 0;
  }
  ok = ok && TIFFWriteDirectory(tif) == 1;
  std::uint64_t& exif = places.exif;
  std::uint64_t& gps = places.gps;
  ok = ok && WriteExif(tif, tags, image, exif);
  if (tags.gps) ok = ok && WriteGps(tif, *tags.gps, gps);
  // Back to the image's directory, now with the offsets of the other two.
  ok = ok && TIFFSetDirectory(tif, 0) == 1 && TIFFSetField(tif, TIFFTAG_EXIFIFD, exif) == 1;
  if (tags.gps) ok = ok && TIFFSetField(tif, TIFFTAG_GPSIFD, gps) == 1;
  return ok && TIFFWriteDirectory(tif) == 1;
}

// The decimal value as a rational of a power of ten, as a person reads it (2.8 as 28/10); libtiff
// stores rationals through a float (11744051/4194304). Beyond six decimals the value is rounded.
std::array<std::uint32_t, 2> DecimalRational(double value) {
  constexpr int kMostDecimals = 6;
  constexpr double kClose = 1e-7;  // nearer than this to a value of fewer decimals is that value
  const double magnitude = std::abs(value);
  double scale = 1;
  for (int k = 0; k < kMostDecimals && std::abs(std::round(magnitude * scale) / scale - magnitude) > kClose; ++k) {
    scale *= 10;
  }
  return {static_cast<std::uint32_t>(std::llround(magnitude * scale)), static_cast<std::uint32_t>(scale)};
}

// Writes `values` over the rationals of the directory at `directory` (a little-endian file), each
// tag's values in order; false where the file cannot be read or written.
bool WriteRationals(int fd, std::uint64_t directory, const std::map<std::uint16_t, std::vector<double>>& values) {
  constexpr std::uint16_t kRational = 5;
  constexpr std::size_t kEntryBytes = 12;
  const auto at = [](std::uint64_t offset) { return static_cast<off_t>(offset); };
  std::uint16_t entries = 0;
  if (directory == 0 || pread(fd, &entries, sizeof entries, at(directory)) != sizeof entries) return directory == 0;
  for (std::uint16_t i = 0; i < entries; ++i) {
    std::uint8_t entry[kEntryBytes];
    if (pread(fd, entry, sizeof entry, at(directory + 2 + i * kEntryBytes)) != sizeof entry) return false;
    std::uint16_t tag = 0, type = 0;
    std::uint32_t count = 0, offset = 0;
    std::memcpy(&tag, entry, 2), std::memcpy(&type, entry + 2, 2);
    std::memcpy(&count, entry + 4, 4), std::memcpy(&offset, entry + 8, 4);
    const auto found = values.find(tag);
    if (type != kRational || found == values.end() || found->second.size() != count) continue;
    std::vector<std::uint32_t> words;
    for (double v : found->second) {
      const std::array<std::uint32_t, 2> r = DecimalRational(v);
      words.insert(words.end(), r.begin(), r.end());
    }
    const auto bytes = static_cast<ssize_t>(words.size() * sizeof(std::uint32_t));
    if (pwrite(fd, words.data(), static_cast<std::size_t>(bytes), at(offset)) != bytes) return false;
  }
  return true;
}

// Every rational the EXIF and GPS directories hold, written again from its decimal value.
bool WriteDecimalRationals(const std::filesystem::path& file, const DirectoryPlaces& places, const TiffTags& t) {
  std::map<std::uint16_t, std::vector<double>> exif;
  for (const auto& [tag, value] :
       {std::pair{EXIFTAG_EXPOSURETIME, t.exposureTimeS}, std::pair{EXIFTAG_FNUMBER, t.fNumber},
        std::pair{EXIFTAG_FOCALLENGTH, t.focalLengthMm},
        std::pair{EXIFTAG_FOCALPLANEXRESOLUTION, t.focalPlaneXResolution},
        std::pair{EXIFTAG_FOCALPLANEYRESOLUTION, t.focalPlaneYResolution}}) {
    if (value) exif[static_cast<std::uint16_t>(tag)] = {*value};
  }
  std::map<std::uint16_t, std::vector<double>> gps;
  if (t.gps) {
    const std::array<double, 3> lat = Sexagesimal(t.gps->latitudeDeg), lon = Sexagesimal(t.gps->longitudeDeg);
    gps[GPSTAG_LATITUDE] = {lat.begin(), lat.end()};
    gps[GPSTAG_LONGITUDE] = {lon.begin(), lon.end()};
    gps[GPSTAG_ALTITUDE] = {std::abs(t.gps->altitudeM)};
  }
  const int fd = open(file.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = WriteRationals(fd, places.exif, exif) && WriteRationals(fd, places.gps, gps);
  return close(fd) == 0 && ok;
}

}  // namespace

std::optional<std::string> WriteTiff(const std::filesystem::path& path, const TiffImage& image, const TiffTags& tags,
                                     bool deflate) {
  static const bool quiet = (TIFFSetErrorHandler(Quiet), TIFFSetWarningHandler(Quiet), true);
  (void)quiet;
  int made = 0;
  const std::optional<TemporaryFile> temporary = MakeTemporaryBeside(path, made);
  if (!temporary) return CannotWrite(path, made);
  const std::filesystem::path& partial = temporary->name;
  errno = 0;
  std::unique_ptr<TIFF, Closer> tif(TIFFFdOpen(temporary->descriptor, partial.c_str(), "wl"));
  const auto failed = [&](int error) {
    tif.reset();
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
    return "Cannot write " + path.string() + (error != 0 ? ": " + std::string(std::strerror(error)) : std::string());
  };
  if (!tif) {
    const int error = errno;
    close(temporary->descriptor);
    return failed(error);
  }
  errno = 0;
  tiff::RegisterExtraTags(tif.get());
  DirectoryPlaces places;
  if (!WriteImage(tif.get(), image, tags, deflate, places)) return failed(errno);
  TIFF* raw = tif.release();
  errno = 0;
  TIFFClose(raw);  // flushes; a full disk shows here
  if (errno != 0) return failed(errno);
  if (!WriteDecimalRationals(partial, places, tags)) return failed(errno);
  return RenameIntoPlace(partial, path);
}

bool TiffFinished(const std::filesystem::path& path, int width, int height, int bands) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return false;
  std::unique_ptr<TIFF, Closer> tif(TIFFOpen(path.c_str(), "r"));
  std::uint32_t w = 0, h = 0;
  std::uint16_t samples = 0;
  if (!tif || TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w) != 1 ||
      TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h) != 1 ||
      TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples) != 1) {
    return false;
  }
  if (w != static_cast<std::uint32_t>(width) || h != static_cast<std::uint32_t>(height) || samples != bands)
    return false;
  const tstrip_t last = TIFFNumberOfStrips(tif.get()) - 1;
  const std::uint64_t end = TIFFGetStrileOffset(tif.get(), last) + TIFFGetStrileByteCount(tif.get(), last);
  return end <= size;
}

}  // namespace taloran
