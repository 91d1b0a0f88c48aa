// Output, index and NDVI-band selection: ViewMode, IndexCode, the radios' check marks and enabled
// states, and the status line.
#include "app/dialog_ids.h"
#include "app/taloran_dlg.h"

namespace taloran {

using namespace ids;

namespace {
const IndexRadio* IndexRadioOfBits(std::uint16_t bits) {
  for (const IndexRadio& radio : kIndexRadios) {
    if (radio.bit == bits) return &radio;
  }
  return nullptr;  // no single index
}
}  // namespace

void CTaloranDlg::SetStatus(const std::string& text) {
  StatusText = text;
  view_.SetText(kStatusText, StatusText);
}

void CTaloranDlg::RefreshIndexRadios(RadioMode mode) {
  for (int id : {kBandRed, kBandGreen, kBandBlue}) view_.SetCheck(id, false);
  for (const IndexRadio& radio : kIndexRadios) view_.SetCheck(radio.id, false);
  const bool index = mode == RadioMode::Index;
  const bool ndvi = (IndexCode & kIndexNdvi) != 0;
  for (int id : {kBandRed, kBandGreen, kBandBlue}) view_.Enable(id, index && ndvi);
  for (const IndexRadio& radio : kIndexRadios) view_.Enable(radio.id, index);
  if (!index) return;
  if (const IndexRadio* radio = IndexRadioOfBits(IndexCode & kIndexBitsMask)) view_.SetCheck(radio->id, true);
  // The remembered band stays checked, and disabled, while another index is shown.
  const int band = kBandRadios[IndexCode & kBandMask];
  for (int id : {kBandRed, kBandGreen, kBandBlue}) view_.SetCheck(id, id == band);
}

void CTaloranDlg::ResetOutputRadios() {
  view_.SetCheck(kRawRed, true);
  for (int id = kRawGreen; id <= kBandBlue; ++id) view_.SetCheck(id, false);
  for (const IndexRadio& radio : kIndexRadios) view_.SetCheck(radio.id, false);
  RefreshIndexRadios(RadioMode::Channel);
  DisableGains();
  ViewMode = kViewRed;
}

void CTaloranDlg::OnRawChannel(std::uint16_t mode) {
  ViewMode = mode;
  RefreshIndexRadios(RadioMode::Channel);
  RenderAndShow();
  view_.Enable(kIrradianceSource, false);
  view_.Enable(kCameraWbSource, false);
  DisableGains();
  SetStatus(kChannelStatus[mode]);
}

void CTaloranDlg::OnColourImage() {
  ViewMode = kViewColour;
  RefreshIndexRadios(RadioMode::Channel);
  RenderAndShow();
  if (AutoCorrection != 0)
    DisableGains();
  else
    EnableColourGains();
  view_.Enable(kIrradianceSource, AutoCorrection != 0);
  view_.Enable(kCameraWbSource, AutoCorrection != 0);
  SetStatus(kChannelStatus[kViewColour]);
}

void CTaloranDlg::OnViOut() {
  ViewMode = kViewIndex;
  if (IndexRadioOfBits(IndexCode & kIndexBitsMask) == nullptr) IndexCode = kIndexNdvi;
  RunIndexHandler();
  if (AutoCorrection != 0)
    DisableGains();
  else
    EnableIndexGain();
  view_.Enable(kIrradianceSource, AutoCorrection != 0);
  view_.Enable(kCameraWbSource, AutoCorrection != 0);
  view_.SetText(kStatusText, StatusText);
}

void CTaloranDlg::RunIndexHandler() {
  const IndexRadio* radio = IndexRadioOfBits(IndexCode & kIndexBitsMask);
  if (radio == nullptr || radio->id == kNdvi)
    OnNdvi();
  else
    OnIndexRadio(radio->id);
}

void CTaloranDlg::OnIndexRadio(int id) {
  for (const IndexRadio& radio : kIndexRadios) {
    if (radio.id != id) continue;
    IndexCode = static_cast<std::uint16_t>((IndexCode & 0x000F) | radio.bit);
    RefreshIndexRadios(RadioMode::Index);
    RenderAndShow();
    SetStatus(radio.status);
  }
}

void CTaloranDlg::OnNdvi() {
  IndexCode = static_cast<std::uint16_t>((IndexCode & 0x000F) | kIndexNdvi);
  RefreshIndexRadios(RadioMode::Index);
  OnBand(kBandRadios[IndexCode & kBandMask]);
  SetStatus(kNdviStatus[IndexCode & kBandMask]);
}

void CTaloranDlg::OnBand(int id) {
  const auto band = static_cast<std::uint16_t>(id - kBandRed);  // 0 red, 1 green, 2 blue
  IndexCode = static_cast<std::uint16_t>(kIndexNdvi | band);
  view_.SetCheck(kNdvi, true);
  view_.SetCheck(kViOut, true);
  SetStatus(kNdviStatus[band]);
  RenderAndShow();
}

}  // namespace taloran
