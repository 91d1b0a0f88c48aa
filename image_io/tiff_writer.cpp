#include "image_io/tiff_writer.h"

#include <tiffio.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <system_error>
#include <vector>

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

bool SetNumber(TIFF* tif, ttag_t tag, const std::optional<double>& value) {
  return !value || TIFFSetField(tif, tag, *value) == 1;
}

bool WriteExif(TIFF* tif, const TiffTags& t, std::uint64_t& offset) {
  if (TIFFCreateEXIFDirectory(tif) != 0) return false;
  bool ok = SetText(tif, EXIFTAG_DATETIMEORIGINAL, t.dateTimeOriginal) &&
            SetText(tif, EXIFTAG_SUBSECTIMEORIGINAL, t.subSecTimeOriginal) &&
            SetNumber(tif, EXIFTAG_FNUMBER, t.fNumber) && SetNumber(tif, EXIFTAG_FOCALLENGTH, t.focalLengthMm) &&
            SetNumber(tif, EXIFTAG_EXPOSURETIME, t.exposureTimeS) &&
            SetText(tif, EXIFTAG_IMAGEUNIQUEID, t.imageUniqueId);
  if (t.focalPlaneXResolution && t.focalPlaneYResolution) {
    ok = ok && SetNumber(tif, EXIFTAG_FOCALPLANEXRESOLUTION, t.focalPlaneXResolution) &&
         SetNumber(tif, EXIFTAG_FOCALPLANEYRESOLUTION, t.focalPlaneYResolution) &&
         TIFFSetField(tif, EXIFTAG_FOCALPLANERESOLUTIONUNIT, kFocalPlaneCentimetre) == 1;
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

bool WriteImage(TIFF* tif, const TiffImage& image, const TiffTags& tags, bool deflate) {
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
  if (deflate) ok = ok && TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_NONE) == 1;
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
  std::uint64_t exif = 0, gps = 0;
  ok = ok && WriteExif(tif, tags, exif);
  if (tags.gps) ok = ok && WriteGps(tif, *tags.gps, gps);
  // Back to the image's directory, now with the offsets of the other two.
  ok = ok && TIFFSetDirectory(tif, 0) == 1 && TIFFSetField(tif, TIFFTAG_EXIFIFD, exif) == 1;
  if (tags.gps) ok = ok && TIFFSetField(tif, TIFFTAG_GPSIFD, gps) == 1;
  return ok && TIFFWriteDirectory(tif) == 1;
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
  if (!WriteImage(tif.get(), image, tags, deflate)) return failed(errno);
  TIFF* raw = tif.release();
  errno = 0;
  TIFFClose(raw);  // flushes; a full disk shows here
  if (errno != 0) return failed(errno);
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
