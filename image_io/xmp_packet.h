// The XMP packet of an exported band image, in the camera namespace the photogrammetry tools match
// literally (http://pix4d.com/camera/1.0/, prefix Camera), as those tools' parsers read it: single
// values as attributes of the rdf:Description, but the irradiance as an element (the parsers look for
// it only there). A band image's fields are of its one band. A stack's per-band names, irradiances
// and wavelengths go into our own namespace as one text each, never a list in the camera namespace:
// a parser that converts a camera field to a number would fail on a list and drop the whole packet
// (the stack's band names are also in the file's GDAL metadata). What is not known is left out.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace taloran {

inline constexpr const char* kCameraNamespace = "http://pix4d.com/camera/1.0/";
inline constexpr const char* kTaloranNamespace = "https://taloran.org/xmp/1.0/";

struct CameraXmp {
  std::vector<std::string> bandNames;  // one band image: its name; a stack: the bands in order
  std::string rigName;
  std::optional<int> rigCameraIndex;
  std::string captureUuid;
  std::optional<double> yaw, pitch, roll;
  std::vector<double> irradiance;                             // per band, as bandNames
  std::vector<double> centralWavelengthNm, wavelengthFwhmNm;  // per band, or empty
  std::string calibrationFile;                                // with a calibration
  std::vector<double> reflectanceFactors;                     // per band, as applied
  std::string altitudeReference;  // what GPSAltitude is above: "sea level" or "take-off ground"
};

std::string XmpPacket(const CameraXmp& xmp);

// A packet of our own namespace's fields alone, as attributes: a map's captures and settings.
std::string TaloranXmpPacket(const std::vector<std::pair<std::string, std::string>>& fields);

}  // namespace taloran
