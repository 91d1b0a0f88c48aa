// The exit codes of taloran-cli.
#pragma once

namespace taloran {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNotFound = 1;     // the capture cannot be opened
inline constexpr int kExitUnreadable = 2;   // the capture's directory leads outside the file
inline constexpr int kExitCannotWrite = 3;  // an output file cannot be written
inline constexpr int kExitSomeUnread = 4;   // batch: some captures could not be read
inline constexpr int kExitNotOk = 5;        // check: the flight will not stitch as it is
inline constexpr int kExitUsage = 64;
inline constexpr int kExitNoInput =
    66;  // batch, export: the inputs name no capture         // bad arguments, or a calibration file that is refused
inline constexpr int kExitPanelRefused = 65;  // calibrate: the panel cannot calibrate

}  // namespace taloran
