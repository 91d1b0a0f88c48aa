#include "app/taloran_dlg.h"

#include "app/dialog_ids.h"
#include "res/dialog_templates.h"

namespace taloran {

using namespace ids;

CTaloranDlg::CTaloranDlg(DialogView& view, FrameStore& frame) : view_(view), frame_(frame) {}

void CTaloranDlg::OnInitDialog() {
  DoDataExchange(false);
  view_.AppendMenuItem(kAboutCommand, kAboutMenuText);
  ResetOutputRadios();
  SetUpGainSliders();
  view_.Enable(kIrradianceSource, false);
  view_.Enable(kCameraWbSource, false);
  view_.SetCheck(kCameraWbSource, false);
  view_.SetCheck(kIrradianceSource, true);
  CorrectionSource = 1;
}

void CTaloranDlg::OnSysCommand(int command) {
  if ((command & 0xFFF0) == kAboutCommand) view_.ShowAbout();
}

void CTaloranDlg::OnOk() { DoDataExchange(true); }

void CTaloranDlg::OnCommand(int id) {
  switch (id) {
    case kSearchFile:
      return OnSearchFile();
    case kFourLayer:
      return OnFourLayer();
    case kPrevious:
      return OnStep(Step::Previous);
    case kNext:
      return OnStep(Step::Next);
    case kRawRed:
      return OnRawChannel(kViewRed);
    case kRawGreen:
      return OnRawChannel(kViewGreen);
    case kRawBlue:
      return OnRawChannel(kViewBlue);
    case kRawNir:
      return OnRawChannel(kViewNir);
    case kColourImage:
      return OnColourImage();
    case kViOut:
      return OnViOut();
    case kBandRed:
    case kBandGreen:
    case kBandBlue:
      return OnBand(id);
    case kNdvi:
      return OnNdvi();
    case kAutoCorrection:
      return OnAutoCorrection();
    case kIrradianceSource:
      return OnCorrectionSource(1);
    case kCameraWbSource:
      return OnCorrectionSource(0);
    case kIdOk:
      return OnOk();
    default:
      if (id >= kEvi && id <= kGi) OnIndexRadio(id);
  }
}

void CTaloranDlg::DoDataExchange(bool save) {
  auto text = [this, save](int id, std::string& member) {
    if (save)
      member = view_.Text(id);
    else
      view_.SetText(id, member);
  };
  auto check = [this, save](int id, int& member) {
    if (save)
      member = view_.IsChecked(id) ? 1 : 0;
    else
      view_.SetCheck(id, member != 0);
  };
  text(kFileName, FileNameText);
  for (std::size_t i = 0; i < 4; ++i) text(kGainTexts[i], GainTexts[i]);
  for (std::size_t i = 0; i < 4; ++i) {
    if (save)
      SliderPositions[i] = view_.SliderPos(kSliders[i]);
    else
      view_.SetSliderPos(kSliders[i], SliderPositions[i], true);
  }
  check(kFourLayer, FourLayerCheck);
  for (std::size_t i = 0; i < kMetadataEdits.size(); ++i) text(kMetadataEdits[i].id, MetadataTexts[i]);
  check(kAutoCorrection, AutoCorrection);
  text(kStatusText, StatusText);
}

}  // namespace taloran
