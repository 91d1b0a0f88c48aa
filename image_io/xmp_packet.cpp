#include "image_io/xmp_packet.h"

#include <cstdio>

namespace taloran {

namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

// A field is an attribute of the description, or an element of it with one value.
struct Fields {
  std::string attributes, elements;
  void Attribute(const char* name, const std::string& value) {
    if (!value.empty()) attributes += std::string("\n    ") + name + "=\"" + Escaped(value) + "\"";
  }
  void Attribute(const char* name, const std::optional<double>& value) {
    if (value) Attribute(name, Number(*value));
  }
  void Element(const char* name, const std::string& value) {
    if (!value.empty()) elements += std::string("   <") + name + ">" + Escaped(value) + "</" + name + ">\n";
  }
};

// Values as one text, separated by spaces: "650 560 475 842".
std::string Joined(const std::vector<double>& values) {
  std::string text;
  for (double v : values) text.append(text.empty() ? "" : " ").append(Number(v));
  return text;
}

std::string Joined(const std::vector<std::string>& values) {
  std::string text;
  for (const std::string& v : values) text.append(text.empty() ? "" : " ").append(v);
  return text;
}

// The packet around the description's attributes and elements.
std::string Packet(const Fields& f) {
  return std::string("<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n") +
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n <rdf:RDF "
         "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n" +
         "  <rdf:Description rdf:about=\"\"\n    xmlns:Camera=\"" + kCameraNamespace + "\"\n    xmlns:Taloran=\"" +
         kTaloranNamespace + "\"" + f.attributes + ">\n" + f.elements +
         "  </rdf:Description>\n </rdf:RDF>\n</x:xmpmeta>\n" + "<?xpacket end=\"w\"?>";
}

}  // namespace

std::string TaloranXmpPacket(const std::vector<std::pair<std::string, std::string>>& fields) {
  Fields f;
  for (const auto& [name, value] : fields) f.Attribute(("Taloran:" + name).c_str(), value);
  return Packet(f);
}

std::string XmpPacket(const CameraXmp& x) {
  Fields f;
  const bool band = x.bandNames.size() == 1;
  if (band) {
    f.Attribute("Camera:BandName", x.bandNames[0]);
    if (!x.irradiance.empty()) f.Element("Camera:Irradiance", Number(x.irradiance[0]));
    if (!x.centralWavelengthNm.empty()) f.Attribute("Camera:CentralWavelength", x.centralWavelengthNm[0]);
    if (!x.wavelengthFwhmNm.empty()) f.Attribute("Camera:WavelengthFWHM", x.wavelengthFwhmNm[0]);
  } else {
    f.Attribute("Taloran:BandNames", Joined(x.bandNames));
    f.Attribute("Taloran:Irradiance", Joined(x.irradiance));
    f.Attribute("Taloran:CentralWavelength", Joined(x.centralWavelengthNm));
    f.Attribute("Taloran:WavelengthFWHM", Joined(x.wavelengthFwhmNm));
  }
  f.Attribute("Camera:RigName", x.rigName);
  if (x.rigCameraIndex) f.Attribute("Camera:RigCameraIndex", std::to_string(*x.rigCameraIndex));
  f.Attribute("Camera:CaptureUUID", x.captureUuid);
  f.Attribute("Camera:Yaw", x.yaw);
  f.Attribute("Camera:Pitch", x.pitch);
  f.Attribute("Camera:Roll", x.roll);
  f.Attribute("Taloran:AltitudeReference", x.altitudeReference);
  if (!x.calibrationFile.empty()) {
    f.Attribute("Taloran:Calibration", x.calibrationFile);
    f.Attribute("Taloran:ReflectanceFactors", Joined(x.reflectanceFactors));
  }
  return Packet(f);
}

}  // namespace taloran
