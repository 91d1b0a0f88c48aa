// Opening captures: the file dialog, the previous and next capture of the folder, the input
// layout, and the two steps that end every one of them (render and show, then the panel).
#include <algorithm>

#include "app/dialog_ids.h"
#include "app/taloran_dlg.h"
#include "core/capture/capture_reader.h"
#include "core/capture/folder_listing.h"
#include "core/capture/frame_store.h"
#include "core/index/render_view.h"

namespace taloran {

using namespace ids;

namespace {

constexpr const char* kFilterDescription = "Tif files(.tif)";

}  // namespace

void CTaloranDlg::OpenCapture(const std::string& path) {
  view_.SetText(kFileName, path);
  CurrentPath = path;
  if (ReportRead(ReadCurrent())) ShowCurrentCapture();
}

void CTaloranDlg::OnSearchFile() {
  const std::vector<std::string> chosen = view_.ChooseFiles(kFilterDescription, kCapturePattern);
  if (chosen.empty()) return;  // cancelled: nothing changes
  OpenCapture(chosen.front());
}

void CTaloranDlg::OnFourLayer() {
  FourLayerCheck = view_.IsChecked(kFourLayer) ? 1 : 0;
  FourLayerInput = FourLayerCheck != 0 ? 1 : 0;
  // With nothing shown, or nothing opened yet, the layout applies to the next read.
  if (ImageShown == 0 || CurrentPath.empty()) return;
  if (ReportRead(ReadCurrent())) RenderAndShow();
}

// Previous and Next walk the folder's listing, wrapping at both ends. A current file that is gone
// (deleted, say, while it was shown) steps to its neighbours by name: the first name after it, the
// last before it. A current name that is there but not listed steps to the last entry (Previous)
// or the first (Next); an empty listing leaves everything as it is. First and Last need only the
// folder.
void CTaloranDlg::OnStep(Step step) {
  if (CurrentPath.empty()) return;
  const std::string folder = FolderOf(CurrentPath);
  const std::vector<std::string> names = view_.ListFolder(folder, kCapturePattern);
  if (names.empty()) return;
  std::string chosen = step == Step::First ? names.front() : names.back();
  if (step == Step::Next || step == Step::Previous) {
    auto after = names.end(), before = names.end();  // the neighbours, where there are any
    if (const std::optional<std::string> current = view_.FindFileName(CurrentPath)) {
      const auto at = std::find(names.begin(), names.end(), *current);
      if (at != names.end()) after = at + 1, before = at;
    } else {
      const std::string gone = NameOf(CurrentPath);
      after = std::upper_bound(names.begin(), names.end(), gone, ListedBefore);
      before = std::lower_bound(names.begin(), names.end(), gone, ListedBefore);
    }
    if (step == Step::Next) chosen = after == names.end() ? names.front() : *after;
    if (step == Step::Previous)
      chosen = before == names.end() || before == names.begin() ? names.back() : *(before - 1);
  }
  CurrentPath = folder + chosen;
  view_.SetText(kFileName, CurrentPath);
  if (ReportRead(ReadCurrent())) ShowCurrentCapture();
}

void CTaloranDlg::Reload() {
  if (!CurrentPath.empty()) OpenCapture(CurrentPath);
}

std::uint16_t CTaloranDlg::ReadCurrent() {
  const std::uint16_t result = ReadCapture(CurrentPath, frame_, FourLayerInput);
  if (result != kReadOk) return result;
  LoadedPath = CurrentPath;
  if (captureRead_) captureRead_();
  return result;
}

// A failed read says why and renders nothing: the picture and the panel keep the capture shown.
bool CTaloranDlg::ReportRead(std::uint16_t result) {
  if (result == kReadOk) return true;
  view_.MessageBox(ReadFailureText(result));
  if (readFailed_) readFailed_(result);
  return false;
}

void CTaloranDlg::ShowCurrentCapture() {
  if (CurrentPath.empty()) {
    ImageShown = 0;
    view_.MessageBox("Please enter a file name");
    return;
  }
  const CameraPanel panel = StoreCorrectionLevels();  // the first picture's automatic gains use them
  RenderAndShow();
  ShowCameraMetadata(panel);
}

void CTaloranDlg::RenderAndShow() {
  ApplyCorrection(false);
  ImageShown = 1;
  if (PaintIndex()) {
    view_.LoadPicture(frame_.bmp, static_cast<int>(kBmpFileSize));
    return;
  }
  // The colour picture carries the gains its texts show.
  const RenderTarget target = RenderAsShown(frame_, ViewMode, IndexCode, Gains);
  view_.LoadPicture(frame_.bmp, target.byteSize + static_cast<int>(kBmpHeaderSize));
}

}  // namespace taloran
