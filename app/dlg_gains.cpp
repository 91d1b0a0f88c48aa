// Gain sliders, gain texts and automatic correction from the irradiance sensor or the camera's
// white balance.
#include <algorithm>

#include "app/dialog_ids.h"
#include "app/taloran_dlg.h"
#include "core/capture/frame_store.h"
#include "core/index/render_view.h"

namespace taloran {

using namespace ids;

std::string CTaloranDlg::FormatGain(std::uint16_t gain) {
  if (gain > kGainMax) return "150";
  std::string text(3, ' ');
  const int hundreds = gain / 100, tens = gain / 10 % 10;
  if (hundreds != 0) text[0] = static_cast<char>('0' + hundreds);
  if (hundreds != 0 || tens != 0) text[1] = static_cast<char>('0' + tens);
  text[2] = static_cast<char>('0' + gain % 10);
  return text;
}

void CTaloranDlg::SetGainControls(bool red, bool green, bool blue, bool vi) {
  const bool enabled[] = {red, green, blue, vi};
  for (std::size_t i = 0; i < 4; ++i) {
    view_.Enable(kSliders[i], enabled[i]);
    view_.Enable(kGainTexts[i], enabled[i]);
  }
}

void CTaloranDlg::EnableColourGains() { SetGainControls(true, true, true, false); }
void CTaloranDlg::EnableIndexGain() { SetGainControls(false, false, false, true); }
void CTaloranDlg::DisableGains() { SetGainControls(false, false, false, false); }

void CTaloranDlg::SetUpGainSliders() {
  for (int slider : kSliders) {
    view_.SetSliderRange(slider, 1, kGainMax, false);
    view_.SetSliderPos(slider, 50, true);
  }
  for (std::size_t i = 0; i < 4; ++i) {
    GainTexts[i] = FormatGain(50);
    view_.SetText(kGainTexts[i], GainTexts[i]);
  }
  Gains = GainSet{50, 50, 50, 50};
}

void CTaloranDlg::OnHScroll(int id) {
  const auto slider = std::find(kSliders.begin(), kSliders.end(), id);
  if (slider == kSliders.end()) return;
  const auto index = static_cast<std::size_t>(slider - kSliders.begin());
  view_.BeginWaitCursor();
  const auto gain = static_cast<std::uint16_t>(std::clamp(view_.SliderPos(id), 0, int{kGainMax}));
  std::uint16_t* gains[] = {&Gains.red, &Gains.green, &Gains.blue, &Gains.vi};
  *gains[index] = gain;
  GainTexts[index] = FormatGain(gain);
  view_.SetText(kGainTexts[index], GainTexts[index]);
  view_.EndWaitCursor();
  if (ImageShown == 1) {
    ApplyGain(static_cast<int>(index) + 1);
    view_.LoadPicture(frame_.bmp, static_cast<int>(kBmpFileSize));
  }
}

void CTaloranDlg::OnAutoCorrection() {
  AutoCorrection = view_.IsChecked(kAutoCorrection) ? 1 : 0;
  const bool picture = ViewMode == kViewColour || ViewMode == kViewIndex;
  if (AutoCorrection != 0) {
    DisableGains();
    view_.Enable(kIrradianceSource, picture);
    view_.Enable(kCameraWbSource, picture);
  } else {
    view_.Enable(kIrradianceSource, false);
    view_.Enable(kCameraWbSource, false);
    if (ViewMode == kViewColour)
      EnableColourGains();
    else if (ViewMode == kViewIndex)
      EnableIndexGain();
    else
      DisableGains();
  }
  ApplyCorrection(true);
}

void CTaloranDlg::OnCorrectionSource(std::uint16_t source) {
  CorrectionSource = source;
  ApplyCorrection(true);
}

namespace {
// reference x scale / level, truncated and capped at 150; a product stays below 2^24.
std::uint16_t CorrectionGain(std::uint32_t reference, std::uint32_t scale, std::uint32_t level) {
  return static_cast<std::uint16_t>(std::min<std::uint32_t>(reference * scale / level, kGainMax));
}
}  // namespace

// The gains that the correction state asks for, then what they change: the colour channels of a
// shown colour picture, or a new index picture. When the caller renders afresh right after
// (RenderAndShow, without refresh), re-rendering here would be overwritten, so only a refresh does.
void CTaloranDlg::ApplyCorrection(bool refresh) {
  if (AutoCorrection == 1) {
    Gains.green = 50;
    if (CorrectionSource == 1) {
      for (std::uint16_t& reading : IrradianceLevels) reading = std::max<std::uint16_t>(reading, 1);
      const auto [red, green, blue, nir] = IrradianceLevels;
      Gains.red = CorrectionGain(green, 50, red);
      Gains.blue = CorrectionGain(green, 50, blue);
      Gains.vi = CorrectionGain(green, 50, nir);
    } else {
      // A level of 0 counts as 1, as a zero irradiance reading does.
      const auto level = [this](std::size_t i) { return std::max<std::uint32_t>(AverageLevels[i], 1); };
      const std::uint32_t green = AverageLevels[1];
      Gains.red = CorrectionGain(green, 50, level(0));
      Gains.blue = CorrectionGain(green, 33, level(2));
      Gains.vi = CorrectionGain(green, 15, level(3));
    }
  } else if (ViewMode == kViewIndex) {
    Gains.vi = static_cast<std::uint16_t>(view_.SliderPos(kViSlider));
  } else {
    Gains.red = static_cast<std::uint16_t>(view_.SliderPos(kRedSlider));
    Gains.green = static_cast<std::uint16_t>(view_.SliderPos(kGreenSlider));
    Gains.blue = static_cast<std::uint16_t>(view_.SliderPos(kBlueSlider));
    Gains.vi = static_cast<std::uint16_t>(view_.SliderPos(kViSlider));
  }
  if (refresh) {
    if (ViewMode == kViewIndex) {
      ApplyGain(4);
    } else if (ViewMode == kViewColour) {
      for (int channel = 1; channel <= 3; ++channel) ApplyGain(channel);
    }
    view_.LoadPicture(frame_.bmp, static_cast<int>(kBmpFileSize));
  }
  ShowGainTexts();
}

void CTaloranDlg::ShowGainTexts() {
  const std::uint16_t gains[] = {Gains.red, Gains.green, Gains.blue, Gains.vi};
  for (std::size_t i : {std::size_t{3}, std::size_t{0}, std::size_t{1}, std::size_t{2}}) {  // VI, red, green, blue
    GainTexts[i] = FormatGain(gains[i]);
    view_.SetText(kGainTexts[i], GainTexts[i]);
  }
}

void CTaloranDlg::ApplyGain(int channel) {
  const Plane* planes[] = {&frame_.red, &frame_.green, &frame_.blue};
  if (channel >= 1 && channel <= 3) {
    ApplyChannelGain(static_cast<std::uint16_t>(channel), Gains, *planes[channel - 1], frame_.bmp);
  } else if (channel == 4) {
    RerenderView();
  }
}

bool CTaloranDlg::PaintIndex() {
  return ViewMode >= kViewIndex && painter_ != nullptr && painter_->PaintIndex(frame_, IndexCode, Gains.vi);
}

void CTaloranDlg::RepaintIndexPicture() {
  if (ImageShown != 1 || ViewMode < kViewIndex) return;
  RerenderView();
  view_.LoadPicture(frame_.bmp, static_cast<int>(kBmpFileSize));
}

void CTaloranDlg::RerenderView() {
  if (PaintIndex()) return;
  RenderTarget target;
  target.bmp = &frame_.bmp;
  RenderFrame(FrameRequest(frame_, ViewMode, IndexCode, Gains), target);
}

}  // namespace taloran
