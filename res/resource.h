// Resource and control ids of the dialogs, as the templates and all handlers name them.
#pragma once

namespace taloran::res {

inline constexpr int kIdStatic = -1;  // labels, boxes and the bitmap: no id of their own
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

inline constexpr int kAboutDialogId = 100;
inline constexpr int kAboutMenuStringId = 101;
inline constexpr int kMainDialogId = 102;
inline constexpr int kAppIconId = 128;
inline constexpr int kLogoBitmapId = 130;
inline constexpr int kAboutCommand = 0x0010;  // system command: any id that masked with 0xFFF0 is 16

inline constexpr int kFileName = 1000;
inline constexpr int kSearchFile = 1001;
inline constexpr int kRawRed = 1002;
inline constexpr int kRawGreen = 1003;
inline constexpr int kRawBlue = 1004;
inline constexpr int kRawNir = 1005;
inline constexpr int kColourImage = 1006;
inline constexpr int kViOut = 1007;
inline constexpr int kBandRed = 1008;
inline constexpr int kBandGreen = 1009;
inline constexpr int kBandBlue = 1010;
inline constexpr int kRedSlider = 1011;
inline constexpr int kGreenSlider = 1012;
inline constexpr int kViSlider = 1013;
inline constexpr int kBlueSlider = 1014;
inline constexpr int kRedGainText = 1015;
inline constexpr int kGreenGainText = 1016;
inline constexpr int kBlueGainText = 1017;
inline constexpr int kViGainText = 1018;
inline constexpr int kFourLayer = 1020;
inline constexpr int kPicture = 1023;
inline constexpr int kNext = 1025;
inline constexpr int kPrevious = 1026;
// The metadata panel's edits.
inline constexpr int kBrightnessEdit = 1027;
inline constexpr int kIrradianceRedEdit = 1028;
inline constexpr int kIrradianceGreenEdit = 1029;
inline constexpr int kIrradianceIrEdit = 1030;
inline constexpr int kIrradianceBlueEdit = 1031;
inline constexpr int kLongitudeEdit = 1032;
inline constexpr int kLatitudeEdit = 1033;
inline constexpr int kLonHemisphereEdit = 1034;
inline constexpr int kLatHemisphereEdit = 1035;
inline constexpr int kHeadingEdit = 1036;
inline constexpr int kRollEdit = 1037;
inline constexpr int kPitchEdit = 1038;
inline constexpr int kHeightEdit = 1039;
inline constexpr int kTemperatureEdit = 1040;
inline constexpr int kCameraGainEdit = 1041;
inline constexpr int kShutterEdit = 1042;
inline constexpr int kAvgRedEdit = 1043;
inline constexpr int kAvgBlueEdit = 1044;
inline constexpr int kAvgGreenEdit = 1045;
inline constexpr int kAvgIrEdit = 1046;
inline constexpr int kFStopEdit = 1047;
inline constexpr int kFrameRateEdit = 1048;
inline constexpr int kFocalLengthEdit = 1049;
inline constexpr int kSpeedEdit = 1050;
inline constexpr int kFirstMetadataEdit = kBrightnessEdit;
inline constexpr int kLastMetadataEdit = kSpeedEdit;
inline constexpr int kAutoCorrection = 1054;
inline constexpr int kIrradianceSource = 1055;
inline constexpr int kCameraWbSource = 1056;
inline constexpr int kNdvi = 1057;
inline constexpr int kEvi = 1058;
inline constexpr int kRvi = 1059;
inline constexpr int kGrvi = 1060;
inline constexpr int kIpvi = 1061;
inline constexpr int kSipi = 1062;
inline constexpr int kOsavi = 1063;
inline constexpr int kCi = 1064;
inline constexpr int kDvi = 1065;
inline constexpr int kGi = 1066;
inline constexpr int kStatusText = 1067;

}  // namespace taloran::res
