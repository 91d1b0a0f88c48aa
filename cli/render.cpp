// taloran-cli render: one view of a capture, as the viewer shows it, to a .bmp or .png file.
#include <algorithm>
#include <ostream>

#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/shared_options.h"
#include "core/capture/capture_reader.h"
#include "image_io/output_file.h"
#include "run/capture_step.h"
#include "run/output_rules.h"

namespace taloran {

namespace {

struct RenderArgs {
  std::string capture, view = "color", band = "red", gains = "50,50,50,50", output, calibration;
  bool fourLayer = false, fixedScale = false;
};

bool EndsWith(std::string text, const char* ending) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text.ends_with(ending);
}

int Render(const RenderArgs& a, const CliStreams& io) {
  bool loaded = true;
  const std::optional<Calibration> calibration = CalibrationOption(a.calibration, io.err, loaded);
  if (!loaded) return kExitUsage;
  const ViewChoice view = ChosenView(a.view, a.band);
  if (calibration && view.mode < kViewIndex) {
    io.err << "--calibration: the view must be an index (the pictures of raw bands are of samples)\n";
    return kExitUsage;
  }
  if (const auto refusal = RefusedOutputs({{a.output, "-o"}}, {a.capture})) {
    io.err << *refusal << '\n';
    return kExitUsage;
  }
  CaptureWorkspace work;
  if (const int code = ReadExit(a.capture, work.Read(a.capture, a.fourLayer), io.err); code != kExitOk) return code;
  if (LooksMisread(work.store(), a.fourLayer)) io.err << FourLayerHintLine(a.capture) << '\n';
  if (!FrameComplete(work.store())) {
    io.err << a.capture << ": " << TruncationStatus(work.store().frameBytes) << "; the missing part is drawn black\n";
  }
  std::optional<CaptureReflectance> reflectance;
  if (calibration) {
    reflectance = ReflectanceOf(*calibration, work.store().metadata);
    for (const std::string* note : {&reflectance->status, &reflectance->warning}) {
      if (!note->empty()) io.err << a.capture << ": " << *note << '\n';
    }
  }
  work.Render(view, ParsedGains(a.gains), a.fixedScale || calibration, reflectance ? &reflectance->scales : nullptr);
  const ImageFormat format = EndsWith(a.output, ".png") ? ImageFormat::Png : ImageFormat::Bmp;
  if (!WriteWholeFile(a.output, work.Encode(format, view))) {
    io.err << "Cannot write " << a.output << '\n';
    return kExitCannotWrite;
  }
  return kExitOk;
}

}  // namespace

CommandParts AddRenderCommand(CLI::App& command) {
  const auto a = std::make_shared<RenderArgs>();
  AddFourLayer(command, a->fourLayer, "The capture is in the 4-layer layout");
  AddView(command, a->view, "")->required();
  AddBand(command, a->band);
  AddGains(command, a->gains);
  AddOutput(command, a->output, "The output file, ending in .bmp or .png")->required();
  AddCalibration(command, a->calibration,
                 "A calibration file: an index view is drawn on its fixed scale from reflectances");
  command.add_flag("--fixed-scale", a->fixedScale, "Draw an index view on its fixed range and ramp");
  command.add_option("capture", a->capture, "The capture file")->required();
  return {[a] {
            ParsedGains(a->gains);
            if (!EndsWith(a->output, ".bmp") && !EndsWith(a->output, ".png"))
              throw CLI::ValidationError("--output", "must end in .bmp or .png");
          },
          [a](const CliStreams& io) { return Render(*a, io); }};
}

}  // namespace taloran
