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

// A field of one value is an attribute, of several an rdf:Seq element.
struct Fields {
  std::string attributes, elements;
  void Add(const char* name, const std::vector<std::string>& values) {
    if (values.empty()) return;
    if (values.size() == 1) {
      attributes += std::string("\n    ") + name + "=\"" + Escaped(values[0]) + "\"";
      return;
    }
    elements += std::string("   <") + name + ">\n    <rdf:Seq>\n";
    for (const std::string& v : values) elements += "     <rdf:li>" + Escaped(v) + "</rdf:li>\n";
    elements += std::string("    </rdf:Seq>\n   </") + name + ">\n";
  }
  void Add(const char* name, const std::vector<double>& values) {
    std::vector<std::string> texts;
    for (double v : values) texts.push_back(Number(v));
    Add(name, texts);
  }
  void Add(const char* name, const std::optional<double>& value) {
    if (value) Add(name, std::vector<double>{*value});
  }
};

}  // namespace

std::string XmpPacket(const CameraXmp& x) {
  Fields f;
  f.Add("Camera:BandName", x.bandNames);
  if (!x.rigName.empty()) f.Add("Camera:RigName", std::vector<std::string>{x.rigName});
  if (x.rigCameraIndex) f.Add("Camera:RigCameraIndex", std::vector<std::string>{std::to_string(*x.rigCameraIndex)});
  if (!x.captureUuid.empty()) f.Add("Camera:CaptureUUID", std::vector<std::string>{x.captureUuid});
  f.Add("Camera:Yaw", x.yaw);
  f.Add("Camera:Pitch", x.pitch);
  f.Add("Camera:Roll", x.roll);
  f.Add("Camera:Irradiance", x.irradiance);
  f.Add("Camera:CentralWavelength", x.centralWavelengthNm);
  f.Add("Camera:WavelengthFWHM", x.wavelengthFwhmNm);
  if (!x.calibrationFile.empty()) {
    f.Add("Taloran:Calibration", std::vector<std::string>{x.calibrationFile});
    std::vector<std::string> factors;  // one text, so that a single band's factor stays a list of one
    std::string joined;
    for (double v : x.reflectanceFactors) {
      if (!joined.empty()) joined += ' ';
      joined += Number(v);
    }
    factors.push_back(joined);
    f.Add("Taloran:ReflectanceFactors", factors);
  }
  return std::string("<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n") +
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n <rdf:RDF "
         "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n" +
         "  <rdf:Description rdf:about=\"\"\n    xmlns:Camera=\"" + kCameraNamespace + "\"\n    xmlns:Taloran=\"" +
         kTaloranNamespace + "\"" + f.attributes + ">\n" + f.elements +
         "  </rdf:Description>\n </rdf:RDF>\n</x:xmpmeta>\n" + "<?xpacket end=\"w\"?>";
}

}  // namespace taloran
