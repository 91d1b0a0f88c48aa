// A capture's fingerprint: 128 bits from its camera record and its four planes, the same for the
// same bytes on any machine and different for any two captures in practice (not a cryptographic
// hash). Exports tie a capture's band images together with it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/capture/frame_store.h"

namespace taloran {

using CaptureDigest = std::array<std::uint64_t, 2>;

// The digest of the record and the planes the reader filled.
CaptureDigest DigestOf(const FrameStore& frame);

// The digest as a UUID text of 32 hex digits in 8-4-4-4-12 groups, marked as a name-based (version 8) UUID.
std::string UuidText(const CaptureDigest& digest);

}  // namespace taloran
