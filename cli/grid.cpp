// taloran-cli grid: a field trial's layout as plots in GeoJSON, ids R01C01.. row by row: rows advance
// along --angle (clockwise from north), columns to the right of it, from the corner at --origin.
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <numbers>

#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/shared_options.h"
#include "core/geo/local_plane.h"
#include "image_io/json_text.h"
#include "image_io/output_file.h"

namespace taloran {

namespace {

struct GridArgs {
  std::vector<double> origin, plot, alley{0, 0};
  unsigned rows = 0, columns = 0;
  double angleDeg = 0;
  std::string output;
};

// Coordinates as GeoJSON keeps them: nine decimals of a degree, a tenth of a millimetre.
double Degrees(double value) { return std::round(value * 1e9) / 1e9; }

int Grid(const GridArgs& a, const CliStreams& io) {
  const GeoPoint origin{a.origin[0], a.origin[1]};
  const LocalPlane plane(origin);
  const double turn = a.angleDeg * std::numbers::pi / 180;
  // Rows advance along the angle, columns across it to the right.
  const PlanePoint along{std::sin(turn), std::cos(turn)}, across{std::cos(turn), -std::sin(turn)};
  const double width = a.plot[0], length = a.plot[1];
  nlohmann::ordered_json features = nlohmann::ordered_json::array();
  for (unsigned r = 0; r < a.rows; ++r) {
    for (unsigned c = 0; c < a.columns; ++c) {
      const double u0 = c * (width + a.alley[0]), v0 = r * (length + a.alley[1]);
      nlohmann::ordered_json ring = nlohmann::ordered_json::array();
      for (const auto& [u, v] : {std::pair{u0, v0},
                                 {u0 + width, v0},
                                 {u0 + width, v0 + length},
                                 {u0, v0 + length},
                                 {u0, v0}}) {  // counter-clockwise, as RFC 7946 asks
        const GeoPoint p = plane.Inverse({u * across.east + v * along.east, u * across.north + v * along.north});
        ring.push_back({Degrees(p.longitudeDeg), Degrees(p.latitudeDeg)});
      }
      char id[32];
      std::snprintf(id, sizeof id, "R%02uC%02u", r + 1, c + 1);
      features.push_back({{"type", "Feature"},
                          {"properties", {{"id", id}, {"row", r + 1}, {"column", c + 1}}},
                          {"geometry", {{"type", "Polygon"}, {"coordinates", {ring}}}}});
    }
  }
  const nlohmann::ordered_json collection{{"type", "FeatureCollection"}, {"features", features}};
  if (const auto failure = WriteWholeFileOrWhy(a.output, JsonText(collection) + "\n")) {
    io.err << *failure << '\n';
    return kExitCannotWrite;
  }
  io.err << "Plots: " << a.output << ", " << a.rows * a.columns << " plots of " << width << " x " << length << " m\n";
  return kExitOk;
}

}  // namespace

CommandParts AddGridCommand(CLI::App& command) {
  const auto a = std::make_shared<GridArgs>();
  command.add_option("--origin", a->origin, "LAT,LON: the outer corner of plot R01C01")
      ->required()
      ->delimiter(',')
      ->expected(2)
      ->check(CLI::Range(-180.0, 180.0));
  command.add_option("--rows", a->rows, "Rows of plots")->required()->check(CLI::Range(1u, 9999u));
  command.add_option("--columns", a->columns, "Plots in a row")->required()->check(CLI::Range(1u, 9999u));
  command.add_option("--plot", a->plot, "WIDTH,LENGTH in metres: across a row, and along the rows")
      ->required()
      ->delimiter(',')
      ->expected(2)
      ->check(CLI::PositiveNumber);
  command.add_option("--alley", a->alley, "X,Y in metres between plots across and along (default 0,0)")
      ->delimiter(',')
      ->expected(2)
      ->check(CLI::NonNegativeNumber);
  command.add_option("--angle", a->angleDeg, "The direction the rows advance, degrees clockwise from north")
      ->check(CLI::Range(-360.0, 360.0));
  AddOutput(command, a->output, "The plots, GeoJSON in longitude and latitude")->required();
  return {[a] {
            if (std::abs(a->origin[0]) > 90) throw CLI::ValidationError("--origin", "a latitude beyond 90 degrees");
          },
          [a](const CliStreams& io) { return Grid(*a, io); }};
}

}  // namespace taloran
