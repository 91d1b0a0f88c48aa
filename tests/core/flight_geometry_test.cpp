// The flight's geometry against independent references: footprints against a pinhole built from
// rotated camera axes, the local plane against PROJ's geodesics and projection, overlap on flights
// whose design overlap is known, and each rule of the field check on a capture made to break it.
#include <geodesic.h>
#include <gtest/gtest.h>
#include <proj.h>

#include <cmath>
#include <numbers>
#include <numeric>

#include "core/capture/camera_metadata.h"
#include "core/geo/capture_check.h"
#include "core/geo/check_report.h"
#include "core/geo/field_check.h"
#include "core/geo/utm.h"
#include "tools/sample_capture.h"
#include "tools/sample_flight.h"

namespace taloran {
namespace {

constexpr double kDeg = std::numbers::pi / 180;
constexpr double kHeight = 120, kFocal = 8.5;
constexpr SensorSize kSensor{6.72, 3.795};
constexpr double kHalfWidth = kHeight * 3.36 / kFocal;     // 47.435 m across the track
constexpr double kHalfLength = kHeight * 1.8975 / kFocal;  // 26.788 m along it

struct V {
  double n, e, d;
};
V Rotate(V v, V k, double angle) {  // Rodrigues: v about the unit axis k
  const V cross{k.e * v.d - k.d * v.e, k.d * v.n - k.n * v.d, k.n * v.e - k.e * v.n};
  const double dot = k.n * v.n + k.e * v.e + k.d * v.d, c = std::cos(angle), s = std::sin(angle);
  return {v.n * c + cross.n * s + k.n * dot * (1 - c), v.e * c + cross.e * s + k.e * dot * (1 - c),
          v.d * c + cross.d * s + k.d * dot * (1 - c)};
}

// The camera's axes turned one after the other: heading about down, pitch about the turned right
// axis, roll about the turned forward axis; each corner's ray meets the ground at the height.
Footprint PinholeCorners(double heading, double pitch, double roll) {
  V f{1, 0, 0}, r{0, 1, 0}, d{0, 0, 1};
  f = Rotate(f, d, heading * kDeg), r = Rotate(r, d, heading * kDeg);
  f = Rotate(f, r, pitch * kDeg), d = Rotate(d, r, pitch * kDeg);
  r = Rotate(r, f, roll * kDeg), d = Rotate(d, f, roll * kDeg);
  const double corners[4][2] = {{1.8975, -3.36}, {1.8975, 3.36}, {-1.8975, 3.36}, {-1.8975, -3.36}};
  Footprint out;
  for (int i = 0; i < 4; ++i) {
    const V ray{corners[i][0] * f.n + corners[i][1] * r.n + kFocal * d.n,
                corners[i][0] * f.e + corners[i][1] * r.e + kFocal * d.e,
                corners[i][0] * f.d + corners[i][1] * r.d + kFocal * d.d};
    out[static_cast<std::size_t>(i)] = {kHeight * ray.e / ray.d, kHeight * ray.n / ray.d};
  }
  return out;
}

struct FootprintRow {
  const char* name;
  double heading, pitch, roll;
  std::optional<PlanePoint> topLeft;  // worked by hand where the camera looks straight down
};

TEST(Footprint, CornersMatchAnIndependentPinhole) {
  const double s = std::sqrt(0.5);
  const FootprintRow rows[] = {
      {"nadir, heading 0", 0, 0, 0, PlanePoint{-kHalfWidth, kHalfLength}},
      {"nadir, heading 90", 90, 0, 0, PlanePoint{kHalfLength, kHalfWidth}},
      {"nadir, heading 225", 225, 0, 0,
       PlanePoint{-s * kHalfLength + s * kHalfWidth, -s * kHalfLength - s * kHalfWidth}},
      {"pitch 5", 0, 5, 0, std::nullopt},
      {"roll 5", 0, 0, 5, std::nullopt},
      {"pitch -5 roll 5 heading 225", 225, -5, 5, std::nullopt},
      {"at the oblique limit", 90, 10, -10, std::nullopt},
  };
  for (const FootprintRow& row : rows) {
    SCOPED_TRACE(row.name);
    const auto f = FootprintOf({{0, 0}, kHeight, row.heading, row.pitch, row.roll, kFocal}, kSensor);
    ASSERT_TRUE(f.has_value());
    const Footprint want = PinholeCorners(row.heading, row.pitch, row.roll);
    const double tolerance = 0.005 * 2 * kHalfWidth;
    for (std::size_t c = 0; c < 4; ++c) {
      EXPECT_NEAR((*f)[c].east, want[c].east, tolerance) << "corner " << c;
      EXPECT_NEAR((*f)[c].north, want[c].north, tolerance) << "corner " << c;
    }
    if (row.topLeft) {
      EXPECT_NEAR((*f)[0].east, row.topLeft->east, 1e-6);
      EXPECT_NEAR((*f)[0].north, row.topLeft->north, 1e-6);
    }
  }
  // Nose up looks ahead: the footprint moves along the heading.
  EXPECT_GT((*FootprintOf({{0, 0}, kHeight, 0, 5, 0, kFocal}, kSensor))[0].north, kHalfLength);
  EXPECT_FALSE(FootprintOf({{0, 0}, kHeight, 0, 10.5, 0, kFocal}, kSensor).has_value());
  EXPECT_FALSE(FootprintOf({{0, 0}, kHeight, 0, 0, -11, kFocal}, kSensor).has_value());
  EXPECT_FALSE(FootprintOf({{0, 0}, 0, 0, 0, 0, kFocal}, kSensor).has_value());
}

// Footprints on the ground from a record, in every hemisphere: each corner lies as far from the
// camera as the pinhole says, by PROJ's geodesic, and on the side the heading puts it.
TEST(Footprint, GroundCornersHoldInEveryHemisphere) {
  geod_geodesic g;
  geod_init(&g, 6378137, 1 / 298.257223563);
  for (const GeoPoint at :
       {GeoPoint{52.14, 5.51}, GeoPoint{-35.3, 149.1}, GeoPoint{40.4, -3.7}, GeoPoint{-22.9, -43.2}}) {
    SCOPED_TRACE(::testing::Message() << at.latitudeDeg << ", " << at.longitudeDeg);
    MetadataRecord record{};
    PutPosition(record, at, kHeight, 0);
    PutFocalLength(record, kFocal);
    const GeoPoint camera{CheckedFromRecord("", record).position};
    const auto corners = GroundFootprint(record, kSensor);
    ASSERT_TRUE(corners.has_value());
    double distance, azimuth1, azimuth2;
    geod_inverse(&g, camera.latitudeDeg, camera.longitudeDeg, (*corners)[0].latitudeDeg, (*corners)[0].longitudeDeg,
                 &distance, &azimuth1, &azimuth2);
    EXPECT_NEAR(distance, std::hypot(kHalfWidth, kHalfLength), 0.005 * 2 * kHalfWidth);
    EXPECT_NEAR(azimuth1, -std::atan2(kHalfWidth, kHalfLength) / kDeg, 0.1);  // north-west of it
  }
}

// The plane's distances are PROJ's geodesic ones and its places PROJ's azimuthal equidistant ones,
// within a flight's reach, at two latitudes.
TEST(LocalPlane, AgreesWithProj) {
  geod_geodesic g;
  geod_init(&g, 6378137, 1 / 298.257223563);
  PJ_CONTEXT* context = proj_context_create();
  for (const GeoPoint centre : {GeoPoint{52.1394, 5.5075}, GeoPoint{-35.3, 149.1}}) {
    SCOPED_TRACE(centre.latitudeDeg);
    const LocalPlane plane(centre);
    const std::string definition = "+proj=aeqd +ellps=WGS84 +lat_0=" + std::to_string(centre.latitudeDeg) +
                                   " +lon_0=" + std::to_string(centre.longitudeDeg);
    PJ* aeqd = proj_create(context, definition.c_str());
    ASSERT_NE(aeqd, nullptr);
    const GeoPoint points[] = {{centre.latitudeDeg + 0.009, centre.longitudeDeg},
                               {centre.latitudeDeg, centre.longitudeDeg + 0.014},
                               {centre.latitudeDeg - 0.007, centre.longitudeDeg - 0.011},
                               {centre.latitudeDeg + 0.004, centre.longitudeDeg - 0.013}};
    for (const GeoPoint a : points) {
      const PlanePoint p = plane.Forward(a);
      const PJ_COORD q =
          proj_trans(aeqd, PJ_FWD, proj_coord(proj_torad(a.longitudeDeg), proj_torad(a.latitudeDeg), 0, 0));
      const double reach = std::hypot(q.xy.x, q.xy.y);
      EXPECT_NEAR(p.east, q.xy.x, 0.0005 * reach);
      EXPECT_NEAR(p.north, q.xy.y, 0.0005 * reach);
      const GeoPoint back = plane.Inverse(p);
      EXPECT_NEAR(back.latitudeDeg, a.latitudeDeg, 1e-8);
      EXPECT_NEAR(back.longitudeDeg, a.longitudeDeg, 1e-8);
      for (const GeoPoint b : points) {
        double distance, a1, a2;
        geod_inverse(&g, a.latitudeDeg, a.longitudeDeg, b.latitudeDeg, b.longitudeDeg, &distance, &a1, &a2);
        const PlanePoint pb = plane.Forward(b);
        EXPECT_NEAR(std::hypot(pb.east - p.east, pb.north - p.north), distance, 0.001 * distance + 1e-6);
      }
    }
    proj_destroy(aeqd);
  }
  proj_context_destroy(context);
}

// The UTM grid is PROJ's EPSG:326zz / 327zz to a millimetre, there and back, across a zone and at
// its edges, north and south.
TEST(UtmZone, AgreesWithProj) {
  PJ_CONTEXT* context = proj_context_create();
  const GeoPoint points[] = {{52.1394, 5.5075}, {-35.3, 149.1}, {0.5, 3.0},
                             {70.2, 32.99},     {-54.8, -68.3}, {1e-7, 179.99}};
  for (const GeoPoint at : points) {
    SCOPED_TRACE(testing::Message() << at.latitudeDeg << " " << at.longitudeDeg);
    const UtmZone zone(at);
    const std::string epsg = std::string("EPSG:").append(std::to_string(zone.Epsg()));
    PJ* utm = proj_create_crs_to_crs(context, "EPSG:4326", epsg.c_str(), nullptr);
    ASSERT_NE(utm, nullptr);
    const double centralMeridian = zone.zone() * 6.0 - 183;
    for (const double longitude : {at.longitudeDeg, centralMeridian - 2.99, centralMeridian, centralMeridian + 2.99}) {
      const GeoPoint p{at.latitudeDeg, longitude};
      const PJ_COORD q = proj_trans(utm, PJ_FWD, proj_coord(p.latitudeDeg, p.longitudeDeg, 0, 0));
      const UtmPoint u = zone.Forward(p);
      EXPECT_NEAR(u.easting, q.xy.x, 0.001);
      EXPECT_NEAR(u.northing, q.xy.y, 0.001);
      const GeoPoint back = zone.Inverse(u);
      EXPECT_NEAR(back.latitudeDeg, p.latitudeDeg, 1e-9);
      EXPECT_NEAR(back.longitudeDeg, p.longitudeDeg, 1e-9);
    }
    proj_destroy(utm);
  }
  proj_context_destroy(context);
}

// Where a ground point shows in the picture is the footprint's ray casting undone: each corner of
// the footprint falls on its corner of the picture, for every heading and a tilted aircraft.
TEST(Footprint, PicturePointsUndoTheFootprint) {
  const SensorSize sensor{6.72, 3.795};
  const PicturePoint corners[] = {{0, 0}, {1344, 0}, {1344, 759}, {0, 759}};
  for (const double heading : {0.0, 37.0, 90.0, 271.5}) {
    for (const auto& [pitch, roll] : {std::pair{0.0, 0.0}, std::pair{4.0, -3.0}, std::pair{-9.5, 9.5}}) {
      SCOPED_TRACE(testing::Message() << heading << " " << pitch << " " << roll);
      const CameraPose pose{{12, -30}, 119.8, heading, pitch, roll, 8.5};
      const std::optional<Footprint> footprint = FootprintOf(pose, sensor);
      ASSERT_TRUE(footprint);
      for (std::size_t i = 0; i < 4; ++i) {
        const std::optional<PicturePoint> p = PicturePointOf(pose, sensor, (*footprint)[i]);
        ASSERT_TRUE(p);
        EXPECT_NEAR(p->column, corners[i].column, 1e-6);
        EXPECT_NEAR(p->row, corners[i].row, 1e-6);
      }
    }
  }
}

// A sample capture's record gives its own frame's average levels, IR included, whichever way the
// record stores them.
TEST(SampleFlight, RecordsGiveTheirFramesAverageLevels) {
  const FlightDesign design;
  const std::vector<PlannedCapture> flight = PlanFlight(design);
  for (unsigned seed = 1; seed <= 4; ++seed) {
    const CaptureImage image = FlightScene(flight[seed], design, seed);
    const CameraPanel panel = DecodeCameraMetadata(image.metadata);
    const std::vector<std::uint8_t>* planes[] = {&image.red, &image.green, &image.blue, &image.nir};
    for (std::size_t c = 0; c < 4; ++c) {
      const std::uint64_t sum = std::accumulate(planes[c]->begin(), planes[c]->end(), std::uint64_t{0});
      EXPECT_EQ(panel.averageLevels[c], sum / kFramePixels) << seed << " " << c;
    }
  }
}

// A flight as planned, every capture's record as the design says (no attitude, no noise).
std::vector<CheckedCapture> Flown(const FlightDesign& design) {
  std::vector<CheckedCapture> captures;
  for (const PlannedCapture& p : PlanFlight(design)) {
    CheckedCapture c;
    c.name = "c";
    c.name += std::to_string(captures.size() + 1);
    c.name += ".tif";
    c.fix = true, c.position = p.position, c.heightM = design.heightM, c.headingDeg = p.headingDeg;
    c.focalLengthMm = design.focalLengthMm, c.irradiance = {1850, 2280, 2475, 1640};
    c.saturatedShare = std::array<double, 4>{};
    captures.push_back(c);
  }
  return captures;
}

struct DesignRow {
  const char* name;
  FlightDesign design;
};

TEST(FieldCheck, OverlapOfAPlannedFlightIsItsDesign) {
  FlightDesign south;
  south.centre = {-35.3, 149.1}, south.forwardOverlap = 0.8, south.sideOverlap = 0.7, south.lineHeadingDeg = 0;
  south.lines = 4, south.perLine = 10;
  FlightDesign diagonal;
  diagonal.centre = {40.4, -3.7}, diagonal.forwardOverlap = 0.6, diagonal.sideOverlap = 0.3;
  diagonal.lineHeadingDeg = 225, diagonal.heightM = 80;
  const DesignRow rows[] = {
      {"the samples' design", FlightDesign{}}, {"south, heading 0", south}, {"west, heading 225", diagonal}};
  for (const DesignRow& row : rows) {
    SCOPED_TRACE(row.name);
    const FieldCheck c = CheckFlight(Flown(row.design), row.design.sensor);
    EXPECT_EQ(c.overlap.lines.size(), static_cast<std::size_t>(row.design.lines));
    EXPECT_NEAR(*c.forwardMedian, row.design.forwardOverlap, 0.02);
    EXPECT_NEAR(*c.forwardLow, row.design.forwardOverlap, 0.02);
    EXPECT_NEAR(*c.sideMedian, row.design.sideOverlap, 0.02);
    EXPECT_NEAR(*c.sideLow, row.design.sideOverlap, 0.02);
    EXPECT_LT(c.coverage.gapShare, 0.001);
  }
}

struct RuleRow {
  const char* name;
  std::function<void(std::vector<CheckedCapture>&, FlightDesign&)> breakIt;
  const char* verdictSays;
};

TEST(FieldCheck, EachRuleFiresOnACaptureMadeToBreakIt) {
  const RuleRow rows[] = {
      {"as planned", [](auto&, auto&) {}, "OK to stitch"},
      {"no fix",
       [](auto& c, auto&) {
         c[5].fix = false, c[5].position = {0, 0};
       },
       "no position fix in c6.tif"},
      {"cloud", [](auto& c, auto&) { c[9].irradiance[3] *= 0.6; }, "c10.tif under a cloud (NIR irradiance 40 %"},
      {"saturated", [](auto& c, auto&) { (*c[2].saturatedShare)[1] = 0.015; }, "c3.tif saturated (1.5 % of green"},
      {"higher", [](auto& c, auto&) { c[12].heightM *= 1.12; }, "c13.tif 12 % above the flight's median height"},
      {"oblique", [](auto& c, auto&) { c[20].rollDeg = 12; }, "c21.tif oblique"},
      {"forward", [](auto&, auto& d) { d.forwardOverlap = 0.5; }, "forward overlap 50 % at the 10th percentile"},
      {"side", [](auto&, auto& d) { d.sideOverlap = 0.4; }, "side overlap 40 % at the 10th percentile"},
      {"unreadable", [](auto& c, auto&) { c[0].unreadable = "Unknown error"; }, "c1.tif could not be read"},
      {"gap", [](auto& c, auto& d) { d.sideOverlap = 0.1, d.forwardOverlap = 0.5, c[11].rollDeg = c[12].rollDeg = 30; },
       "gaps over"},
  };
  for (const RuleRow& row : rows) {
    SCOPED_TRACE(row.name);
    FlightDesign design;
    std::vector<CheckedCapture> captures = Flown(design);
    row.breakIt(captures, design);
    if (design.forwardOverlap != FlightDesign{}.forwardOverlap || design.sideOverlap != FlightDesign{}.sideOverlap) {
      std::vector<CheckedCapture> again = Flown(design);
      for (std::size_t i = 0; i < again.size(); ++i) again[i].rollDeg = captures[i].rollDeg;
      captures = again;
    }
    const FieldCheck c = CheckFlight(captures, design.sensor);
    EXPECT_NE(c.verdict.find(row.verdictSays), std::string::npos) << c.verdict;
    EXPECT_EQ(c.ok, std::string(row.verdictSays) == kVerdictOk);
  }
  std::vector<CheckedCapture> twice = Flown(FlightDesign{});
  twice[4].position = twice[3].position;
  EXPECT_EQ(CheckFlight(twice, std::nullopt).duplicates, 1u);
}

// The pairs below the overlap limits are named, each by its two captures, in the report too.
TEST(FieldCheck, NamesThePairsBelowTheOverlapLimits) {
  FlightDesign design;
  design.forwardOverlap = 0.5;  // every forward pair below 60 %, every side pair above 50 %
  const std::vector<CheckedCapture> captures = Flown(design);
  const FieldCheck c = CheckFlight(captures, design.sensor);
  const std::vector<LowOverlap> low = LowOverlaps(c);
  ASSERT_EQ(low.size(), c.overlap.forward.size());
  for (const LowOverlap& l : low) {
    EXPECT_STREQ(l.kind, "forward");
    EXPECT_LT(l.share, kForwardOverlapNeeded);
    EXPECT_NEAR(l.share, 0.5, 0.06);
    EXPECT_EQ(l.pair.second, l.pair.first + 1) << "consecutive captures of a line";
  }
  EXPECT_EQ(LowOverlapText(low.front(), captures).substr(0, 17), "forward overlap 5");
  EXPECT_NE(LowOverlapText(low.front(), captures).find(" between c1.tif and c2.tif"), std::string::npos);
  std::vector<std::string> paths;
  for (const CheckedCapture& k : captures) paths.push_back(k.name);
  const std::string report = FieldCheckReport(c, captures, paths, std::vector<std::string>(captures.size()));
  EXPECT_NE(report.find("Below the limit: forward overlap"), std::string::npos) << report;
  EXPECT_NE(report.find("covered by fewer than two footprints"), std::string::npos) << report;
}

}  // namespace
}  // namespace taloran
