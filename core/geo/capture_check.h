// A capture as the field check takes it: the figures of its camera record, and the share of each
// band's samples at 255.
#pragma once

#include <array>
#include <string>

#include "core/capture/frame_store.h"
#include "core/geo/field_check.h"

namespace taloran {

// The record's position, height, attitude, focal length and irradiance readings.
CheckedCapture CheckedFromRecord(std::string name, const MetadataRecord& record);
// The capture's footprint on the ground as positions, corners as FootprintOf gives them; nothing
// without a position fix or where FootprintOf gives none.
std::optional<std::array<GeoPoint, 4>> GroundFootprint(const MetadataRecord& record, const SensorSize& sensor);
// Red, green, blue and NIR: the share of the frame's samples at 255.
std::array<double, 4> SaturatedShares(const FrameStore& frame);

}  // namespace taloran
