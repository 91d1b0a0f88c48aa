// The main dialog's state and handlers, apart from any window system: everything it shows or reads
// goes through a DialogView, so every handler runs the same under the Qt window and in the tests.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "app/dialog_view.h"
#include "core/capture/camera_metadata.h"
#include "core/render/render.h"

namespace taloran {

// Draws index pictures another way than the renderers' own colours (the fixed scale).
class IndexPainter {
 public:
  virtual ~IndexPainter() = default;
  // Paints the index picture into the frame's BMP buffer; false to leave it to the renderers.
  virtual bool PaintIndex(FrameStore& frame, std::uint16_t indexCode, std::uint16_t viGain) = 0;
};

class CTaloranDlg {
 public:
  // The dialog reads captures into `frame` and renders from it; both outlive it.
  CTaloranDlg(DialogView& view, FrameStore& frame);

  // The capture read last and its picture as rendered.
  const FrameStore& Frame() const { return frame_; }

  // Start-up: the menu item, "Raw red", gains 50, sliders and correction disabled.
  void OnInitDialog();
  // A click on button, radio or checkbox `id` (for an automatic radio or checkbox, after the window
  // has set its check mark).
  void OnCommand(int id);
  // A move of slider `id`, whatever the kind of move.
  void OnHScroll(int id);
  // A command of the window's menu: the about box for any id that masked with 0xFFF0 is 16.
  void OnSysCommand(int command);
  // OK: the controls are read back into the members; the window then closes.
  void OnOk();

  // Reads `path` as if it had been chosen with "Search Tif file" (the viewer's command line).
  void OpenCapture(const std::string& path);

  // A step through the current capture's folder: "<- Previous", "Next ->", and the first and last
  // capture of the listing (read, and a failure reported, as the buttons read).
  enum class Step { Previous, Next, First, Last };
  void OnStep(Step step);
  // Reads the current capture again, as "Search Tif file" reads a chosen one; nothing without one.
  void Reload();

  // Index pictures are painted by `painter` where it takes them (none: the renderers' colours);
  // it outlives the dialog. RepaintIndexPicture shows the index picture again after it changed.
  void SetIndexPainter(IndexPainter* painter) { painter_ = painter; }
  void RepaintIndexPicture();

  // The viewer's state, as its handlers keep it.
  std::uint16_t ImageShown = 0;
  std::uint16_t CorrectionSource = 0;
  std::array<std::uint16_t, 4> IrradianceLevels{};  // red, green, blue, NIR
  std::array<std::uint8_t, 4> AverageLevels{};      // red, green, blue, NIR
  std::string FileNameText;
  std::array<std::string, 4> GainTexts;  // red, green, blue, VI
  std::string CurrentPath;
  std::uint16_t FourLayerInput = 0;
  GainSet Gains{0, 0, 0, 0};
  std::uint16_t ViewMode = kViewRed;
  std::uint16_t IndexCode = 0;
  std::array<int, 4> SliderPositions{};  // red, green, blue, VI
  int FourLayerCheck = 0;
  std::array<std::string, 24> MetadataTexts;  // in res::kMetadataEdits order, the speed edit last
  int AutoCorrection = 0;
  std::string StatusText;

  // Beside the dialog's own state: the capture the frame store holds, that is the path of the
  // last read that succeeded ("" before one), which the window's title and recent list name.
  std::string LoadedPath;
  // `read` is called after each read that succeeded, once the frame store holds the new capture
  // (the same capture read again included); one listener, replaced by the next.
  void OnCaptureRead(std::function<void()> read) { captureRead_ = std::move(read); }
  // `failed` is called after each read that failed, with the reader's result, once its message was
  // shown; the frame store still holds LoadedPath's capture.
  void OnReadFailed(std::function<void(std::uint16_t result)> failed) { readFailed_ = std::move(failed); }

  // The gain text of a gain: three characters, leading zeros blank, 150 for anything above.
  static std::string FormatGain(std::uint16_t gain);

 private:
  // Output and index selection.
  enum class RadioMode { Channel, Index };
  void RefreshIndexRadios(RadioMode mode);
  void ResetOutputRadios();
  void OnRawChannel(std::uint16_t mode);
  void OnColourImage();
  void OnViOut();
  void OnIndexRadio(int id);
  void OnNdvi();
  void OnBand(int id);
  void RunIndexHandler();
  void SetStatus(const std::string& text);

  // Gains and correction.
  void EnableColourGains();
  void EnableIndexGain();
  void DisableGains();
  void SetGainControls(bool red, bool green, bool blue, bool vi);
  void SetUpGainSliders();
  void OnAutoCorrection();
  void OnCorrectionSource(std::uint16_t source);
  void ApplyCorrection(bool refresh);
  void ApplyGain(int channel);
  void RerenderView();
  void ShowGainTexts();

  // Files and navigation.
  void OnSearchFile();
  void OnFourLayer();
  std::uint16_t ReadCurrent();
  bool ReportRead(std::uint16_t result);
  void ShowCurrentCapture();
  void RenderAndShow();

  // The metadata panel.
  // Decodes the record and keeps its readings for correction; the panel is shown from the result.
  CameraPanel StoreCorrectionLevels();
  void ShowCameraMetadata(const CameraPanel& panel);

  void DoDataExchange(bool save);

  // Renders the index view with the painter where it takes it; true where it did.
  bool PaintIndex();

  DialogView& view_;
  FrameStore& frame_;
  IndexPainter* painter_ = nullptr;
  std::function<void()> captureRead_;
  std::function<void(std::uint16_t)> readFailed_;
};

}  // namespace taloran
