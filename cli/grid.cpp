// taloran-cli grid: a field trial's layout as plots in GeoJSON, ids R01C01.. row by row: rows advance
// along --angle (clockwise from north), columns to the right of it, from the corner at --origin.
#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/shared_options.h"
#include "core/geo/plot_grid.h"
#include "image_io/output_file.h"
#include "image_io/plot_layer.h"

namespace taloran {

namespace {

struct GridArgs {
  std::vector<double> origin, plot, alley{0, 0};
  unsigned rows = 0, columns = 0;
  double angleDeg = 0;
  std::string output;
};

int Grid(const GridArgs& a, const CliStreams& io) {
  const PlotGridLayout layout{
      {a.origin[0], a.origin[1]}, a.rows, a.columns, a.plot[0], a.plot[1], a.alley[0], a.alley[1], a.angleDeg};
  if (const auto failure = WriteWholeFileOrWhy(a.output, GridGeoJson(GridPlots(layout)))) {
    io.err << *failure << '\n';
    return kExitCannotWrite;
  }
  io.err << "Plots: " << a.output << ", " << a.rows * a.columns << " plots of " << a.plot[0] << " x " << a.plot[1]
         << " m\n";
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
