#include "res/dialog_templates.h"

namespace taloran::res {

namespace {

using K = ControlKind;
constexpr int S = kIdStatic;
constexpr unsigned kLabel = kGroup;
constexpr unsigned kEditStyle = kTabStop | kReadOnly | kBorder;

constexpr ControlTemplate kMainControls[] = {
    {kIdOk, K::DefaultPushButton, "OK", 565, 513, 50, 14, kTabStop},
    {kIdCancel, K::PushButton, "Cancel", 618, 513, 50, 14, kTabStop},
    {kFileName, K::Edit, "", 87, 15, 493, 14, kEditStyle},
    {S, K::Label, "Tiff file name:", 29, 19, 47, 8, kLabel},
    {kSearchFile, K::PushButton, "Search Tif file", 586, 14, 102, 16, kTabStop},
    {S, K::GroupBox, "Control", 14, 37, 114, 220, 0},
    {S, K::GroupBox, "Output", 19, 45, 109, 103, 0},
    {kRawRed, K::Radio, "Raw red", 25, 58, 43, 10, 0},
    {kRawGreen, K::Radio, "Raw green", 25, 71, 50, 15, 0},
    {kRawBlue, K::Radio, "Raw blue", 25, 88, 46, 10, 0},
    {kRawNir, K::Radio, "Raw NIR", 25, 101, 44, 10, 0},
    {kColourImage, K::Radio, "Color Image ", 24, 114, 58, 10, 0},
    {kViOut, K::Radio, "VI out", 24, 128, 35, 10, 0},
    {S, K::GroupBox, "NDVI type", 23, 344, 101, 50, 0},
    {kBandRed, K::Radio, "R-NIR", 26, 356, 35, 10, 0},
    {kBandGreen, K::Radio, "G-NIR", 26, 369, 35, 10, 0},
    {kBandBlue, K::Radio, "B-NIR", 26, 381, 34, 10, 0},
    {kRedSlider, K::Trackbar, "", 48, 196, 46, 12, kTabStop},
    {kGreenSlider, K::Trackbar, "", 48, 211, 45, 12, kTabStop},
    {kViSlider, K::Trackbar, "", 48, 240, 46, 12, kTabStop},
    {kBlueSlider, K::Trackbar, "", 48, 225, 45, 12, kTabStop},
    {S, K::Label, "R-Gain", 23, 197, 23, 8, kLabel},
    {S, K::Label, "G-Gain", 23, 211, 23, 8, kLabel},
    {S, K::Label, "VI-Gain", 21, 241, 24, 8, kLabel},
    {S, K::Label, "B-Gain", 25, 226, 22, 8, kLabel},
    {S, K::Bitmap, "", 1074, 433, 101, 44, kSunken | kBorder},
    {S, K::Label, "Revision 5.1", 1113, 492, 40, 8, kLabel},
    {kRedGainText, K::Edit, "", 97, 195, 20, 12, kEditStyle},
    {kGreenGainText, K::Edit, "", 97, 210, 20, 12, kEditStyle},
    {kBlueGainText, K::Edit, "", 97, 224, 20, 12, kEditStyle},
    {kViGainText, K::Edit, "", 97, 239, 20, 12, kEditStyle},
    {kFourLayer, K::CheckBox, "Input format 4-layer tif", 1079, 414, 90, 10, kTabStop},
    {kPicture, K::Picture, "", 135, 38, 898, 470, kGroup | kBorder},
    {kPrevious, K::PushButton, "<- Previous", 695, 16, 63, 14, kTabStop},
    {kNext, K::PushButton, "Next ->", 760, 16, 62, 14, kTabStop},
    {S, K::GroupBox, "meta data", 1039, 42, 168, 468, 0},
    {S, K::GroupBox, "irradience sensor", 1047, 55, 147, 72, 0},
    {kBrightnessEdit, K::Edit, "", 1127, 70, 61, 13, kEditStyle},
    {S, K::Label, "Brightness:", 1057, 72, 63, 12, kLabel},
    {S, K::Label, "Red", 1061, 91, 28, 9, kLabel},
    {S, K::Label, "Green", 1127, 91, 28, 9, kLabel},
    {S, K::Label, "Blue ", 1061, 108, 28, 9, kLabel},
    {S, K::Label, "IR", 1127, 108, 28, 9, kLabel},
    {kIrradianceRedEdit, K::Edit, "", 1083, 91, 32, 12, kEditStyle},
    {kIrradianceGreenEdit, K::Edit, "", 1157, 91, 32, 12, kEditStyle},
    {kIrradianceIrEdit, K::Edit, "", 1157, 107, 32, 12, kEditStyle},
    {kIrradianceBlueEdit, K::Edit, "", 1083, 108, 32, 12, kEditStyle},
    {S, K::GroupBox, "GPS data", 1049, 131, 146, 101, 0},
    {kLongitudeEdit, K::Edit, "", 1119, 161, 71, 12, kEditStyle},
    {kLatitudeEdit, K::Edit, "", 1119, 143, 73, 12, kEditStyle},
    {S, K::Label, "latitude", 1059, 146, 25, 8, kLabel},
    {S, K::Label, "Longitude", 1055, 162, 32, 8, kLabel},
    {kLonHemisphereEdit, K::Edit, "", 1091, 161, 19, 12, kEditStyle},
    {kLatHemisphereEdit, K::Edit, "", 1090, 142, 19, 12, kEditStyle},
    {S, K::Label, "Compas heading", 1057, 181, 57, 8, kLabel},
    {kHeadingEdit, K::Edit, "", 1119, 179, 71, 12, kEditStyle},
    {S, K::Label, "Pitch", 1059, 198, 20, 9, kLabel},
    {S, K::Label, "Roll", 1137, 198, 21, 9, kLabel},
    {kRollEdit, K::Edit, "", 1155, 196, 32, 12, kEditStyle},
    {kPitchEdit, K::Edit, "", 1083, 198, 32, 12, kEditStyle},
    {S, K::Label, "Heigth", 1059, 215, 20, 9, kLabel},
    {kHeightEdit, K::Edit, "", 1083, 215, 32, 12, kEditStyle},
    {S, K::GroupBox, "Others", 1053, 235, 145, 165, 0},
    {S, K::Label, "Temperature degree C", 1059, 247, 87, 9, kLabel},
    {kTemperatureEdit, K::Edit, "", 1153, 245, 32, 12, kEditStyle},
    {S, K::Label, "Shutter speed", 1059, 263, 87, 9, kLabel},
    {S, K::Label, "Gain", 1059, 277, 66, 9, kLabel},
    {S, K::Label, "Average Red Level Image", 1059, 290, 92, 9, kLabel},
    {S, K::Label, "Average Green Level Image", 1059, 305, 93, 9, kLabel},
    {S, K::Label, "Average Blue Level Image", 1059, 320, 93, 9, kLabel},
    {S, K::Label, "Average IR Level Image", 1059, 335, 84, 9, kLabel},
    {kCameraGainEdit, K::Edit, "", 1153, 275, 32, 12, kEditStyle},
    {kShutterEdit, K::Edit, "", 1153, 260, 32, 12, kEditStyle},
    {kAvgRedEdit, K::Edit, "", 1153, 290, 32, 12, kEditStyle},
    {kAvgBlueEdit, K::Edit, "", 1153, 320, 32, 12, kEditStyle},
    {kAvgGreenEdit, K::Edit, "", 1153, 305, 32, 12, kEditStyle},
    {kAvgIrEdit, K::Edit, "", 1153, 335, 32, 12, kEditStyle},
    {S, K::Label, "Frame rate (fps)", 1061, 351, 81, 9, kLabel},
    {S, K::Label, "F-stop", 1061, 365, 84, 9, kLabel},
    {S, K::Label, "Focal Length", 1061, 381, 81, 9, kLabel},
    {kFStopEdit, K::Edit, "", 1153, 365, 32, 12, kEditStyle},
    {kFrameRateEdit, K::Edit, "", 1153, 350, 32, 12, kEditStyle},
    {kFocalLengthEdit, K::Edit, "", 1153, 380, 32, 12, kEditStyle},
    {kAutoCorrection, K::CheckBox, "Auto correction", 26, 153, 66, 10, kTabStop},
    {kIrradianceSource, K::Radio, "Irradience sensor", 41, 166, 73, 10, 0},
    {kCameraWbSource, K::Radio, "Camera wb", 41, 180, 54, 10, 0},
    {S, K::GroupBox, "Vegetation Index", 14, 260, 113, 138, 0},
    {kNdvi, K::Radio, "NDVI", 22, 273, 32, 10, 0},
    {kEvi, K::Radio, "EVI", 66, 273, 27, 10, 0},
    {kRvi, K::Radio, "RVI", 22, 287, 27, 10, 0},
    {kGrvi, K::Radio, "GRVI", 66, 287, 32, 10, 0},
    {kIpvi, K::Radio, "IPVI", 22, 301, 29, 10, 0},
    {kSipi, K::Radio, "SIPI", 66, 300, 29, 10, 0},
    {kOsavi, K::Radio, "OSAVI", 22, 315, 37, 10, 0},
    {kCi, K::Radio, "CI", 66, 314, 23, 10, 0},
    {kDvi, K::Radio, "DVI", 22, 329, 27, 10, 0},
    {kGi, K::Radio, "GI", 66, 328, 23, 10, 0},
    {kStatusText, K::Edit, "", 307, 513, 251, 12, kEditStyle},
    {kSpeedEdit, K::Edit, "", 1155, 214, 32, 12, kEditStyle},
    {S, K::Label, "Speed", 1129, 216, 20, 9, kLabel},
};

constexpr ControlTemplate kAboutControls[] = {
    {S, K::Icon, "", 14, 14, 20, 20, 0},
    {S, K::Label, "Taloran, Version 1.0", 42, 14, 114, 8, kLabel | kNoPrefix},
    {S, K::Label, "Vegetation index viewer", 42, 26, 114, 8, kLabel | kNoPrefix},
    {kIdOk, K::DefaultPushButton, "OK", 113, 41, 50, 14, kTabStop | kGroup},
};

}  // namespace

const DialogTemplate kMainDialog{kMainDialogId, "Taloran", 1221, 541, 8, kMainControls};
const DialogTemplate kAboutDialog{kAboutDialogId, "About Taloran", 170, 62, 8, kAboutControls};

const ControlTemplate* FindControl(const DialogTemplate& dialog, int id) {
  for (const ControlTemplate& c : dialog.controls) {
    if (c.id == id && id != kIdStatic) return &c;
  }
  return nullptr;
}

std::vector<int> RadioGroupOf(const DialogTemplate& dialog, int id) {
  const auto& controls = dialog.controls;
  std::size_t at = 0;
  while (at < controls.size() && !(controls[at].id == id && controls[at].kind == ControlKind::Radio)) ++at;
  if (at == controls.size()) return {};
  std::size_t first = at;  // back to the control that starts the group
  while (first > 0 && (controls[first].style & kGroup) == 0) --first;
  std::vector<int> group;
  for (std::size_t i = first; i < controls.size(); ++i) {
    if (i > first && (controls[i].style & kGroup) != 0) break;
    if (controls[i].kind == ControlKind::Radio) group.push_back(controls[i].id);
  }
  return group;
}

std::vector<int> TabOrder(const DialogTemplate& dialog) {
  std::vector<int> order;
  for (const ControlTemplate& c : dialog.controls) {
    if ((c.style & kTabStop) != 0) order.push_back(c.id);
  }
  return order;
}

std::string_view TrimmedCaption(std::string_view caption) {
  while (caption.ends_with(' ')) caption.remove_suffix(1);
  return caption;
}

}  // namespace taloran::res
