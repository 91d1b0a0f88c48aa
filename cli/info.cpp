// taloran-cli info: the camera data of a capture, as text or one JSON object.
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/batch_report.h"
#include "cli/calibrate.h"
#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/shared_options.h"
#include "core/capture/camera_metadata.h"
#include "core/capture/capture_reader.h"
#include "image_io/json_text.h"
#include "run/capture_step.h"

namespace taloran {

namespace {

struct InfoArgs {
  std::string capture, calibration;
  bool json = false, fourLayer = false;
};

// The camera record; the frame is read only to tell whether the capture looks read in the wrong layout.
int Info(const std::string& capture, bool json, bool fourLayer, const std::optional<Calibration>& calibration,
         std::ostream& out, std::ostream& err) {
  const auto frame = std::make_unique_for_overwrite<FrameStore>();  // the read fills what is used
  if (const int code = ReadExit(capture, ReadCapture(capture, *frame, fourLayer ? 1 : 0), err); code != kExitOk) {
    return code;
  }
  const MetadataRecord& record = frame->metadata;
  const bool misread = LooksMisread(*frame, fourLayer);
  if (misread) err << FourLayerHintLine(capture) << '\n';
  const CameraPanel panel = DecodeCameraMetadata(record);
  std::optional<CaptureReflectance> reflectance;
  if (calibration) reflectance = ReflectanceOf(*calibration, record);
  if (json) {
    const CapturePosition position = DecodePosition(record);
    nlohmann::ordered_json object;
    for (std::size_t i = 0; i < kPanelFieldCount; ++i) object[kPanelFields[i].key] = panel.texts[i];
    object["irradiance_levels"] = panel.irradianceLevels;
    object["average_levels"] = panel.averageLevels;
    const bool fix = HasFix(position);  // without one: null, no position
    object["latitude_deg"] = fix ? nlohmann::ordered_json(Rounded(position.latitudeDeg, kDegreeDecimals)) : nullptr;
    object["longitude_deg"] = fix ? nlohmann::ordered_json(Rounded(position.longitudeDeg, kDegreeDecimals)) : nullptr;
    object["height_m"] = Rounded(position.heightM, kHeightDecimals);
    // "4-layer" where the frame looks like four stacked planes read as interleaved pixels.
    object["layout_hint"] = misread ? nlohmann::ordered_json("4-layer") : nlohmann::ordered_json();
    if (reflectance) {  // k_b = F_b x I_b(p) / I_b(i) / X(i); null for a band without reflectance
      nlohmann::ordered_json factors = nlohmann::ordered_json::array();
      for (std::size_t b = 0; b < 4; ++b) {
        factors.push_back(reflectance->available[b] ? nlohmann::ordered_json(reflectance->scales.scale[b])
                                                    : nlohmann::ordered_json());
      }
      object["reflectance_factors"] = factors;
      object["calibration_warning"] = reflectance->notes();
    }
    out << JsonText(object, 2) << '\n';
    return kExitOk;
  }
  for (std::size_t i = 0; i < kPanelFieldCount; ++i) {
    std::string label = kPanelFields[i].label;
    label.resize(std::max<std::size_t>(label.size(), 26), ' ');
    out << label << " [" << panel.texts[i] << "]\n";
  }
  out << "irradiance levels (R G B IR):";
  for (unsigned v : panel.irradianceLevels) out << ' ' << v;
  out << "\naverage levels (R G B IR):   ";
  for (unsigned v : panel.averageLevels) out << ' ' << v;
  out << '\n';
  if (reflectance) {
    out << "reflectance factors (R G B NIR): " << FourFigures(reflectance->scales.scale, 9) << '\n';
    for (const std::string* note : {&reflectance->status, &reflectance->warning}) {
      if (!note->empty()) out << *note << '\n';
    }
  }
  return kExitOk;
}

}  // namespace

CommandParts AddInfoCommand(CLI::App& command) {
  const auto a = std::make_shared<InfoArgs>();
  command.add_flag("--json", a->json, "One JSON object");
  AddFourLayer(command, a->fourLayer, "The capture is in the 4-layer layout (the camera data is the same)");
  AddCalibration(command, a->calibration, "A calibration file: adds the capture's reflectance factors");
  command.add_option("capture", a->capture, "The capture file")->required();
  return {[] {},
          [a](const CliStreams& io) {
            bool loaded = true;
            const std::optional<Calibration> calibration = CalibrationOption(a->calibration, io.err, loaded);
            if (!loaded) return kExitUsage;
            return Info(a->capture, a->json, a->fourLayer, calibration, io.out, io.err);
          }};
}

}  // namespace taloran
