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
inline constexpr int kFirstMetadataEdit = 1027;
inline constexpr int kLastMetadataEdit = 1050;
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
