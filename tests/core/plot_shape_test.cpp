// Plot shapes against cases made by hand: what is no valid polygon and why, which points a plot
// with a hole holds, less an inset from its edges, and the figures of values worked out by hand.
#include "core/geo/plot_shape.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "core/geo/plot_grid.h"

namespace taloran {
namespace {

PlotRing Square(double west, double south, double side) {
  return {{west, south}, {west + side, south}, {west + side, south + side}, {west, south + side}, {west, south}};
}

TEST(PlotShape, NamesWhatIsNoValidPolygon) {
  struct Row {
    const char* what;
    PlotShape shape;
    const char* problem;  // nullptr: valid
  };
  const Row rows[] = {
      {"square", {{Square(0, 0, 10)}}, nullptr},
      {"square with a hole", {{Square(0, 0, 10), Square(4, 4, 2)}}, nullptr},
      {"bow tie", {{{{0, 0}, {10, 10}, {10, 0}, {0, 10}, {0, 0}}}}, "ring 1 of part 1 crosses itself"},
      {"open ring", {{{{0, 0}, {10, 0}, {10, 10}, {0, 10}}}}, "ring 1 of part 1 is not closed"},
      {"triangle without its closing point",
       {{{{0, 0}, {10, 0}, {0, 10}}}},
       "ring 1 of part 1 has fewer than 4 positions"},
      {"a line there and back", {{{{0, 0}, {10, 0}, {5, 0}, {0, 0}}}}, "ring 1 of part 1 has no area"},
      {"second part bad",
       {{Square(0, 0, 1)}, {{{0, 0}, {1, 1}, {1, 0}, {0, 1}, {0, 0}}}},
       "ring 1 of part 2 crosses itself"},
      {"nothing", {}, "it has no polygon"},
  };
  for (const Row& row : rows) {
    const std::optional<std::string> problem = InvalidPlot(row.shape);
    EXPECT_EQ(problem.value_or("valid"), row.problem != nullptr ? row.problem : "valid") << row.what;
  }
}

TEST(PlotShape, HoldsItsInsideLessHolesAndInset) {
  const PlotShape plot{{Square(0, 0, 10), Square(4, 4, 2)}, {Square(20, 0, 2)}};
  struct Row {
    PlanePoint p;
    double inset;
    bool held;
  };
  const Row rows[] = {
      {{1, 1}, 0, true},   {{5, 5}, 0, false},     // in the hole
      {{3.5, 5}, 0, true}, {{3.5, 5}, 1, false},   // half a metre from the hole's edge
      {{9.5, 5}, 0, true}, {{9.5, 5}, 1, false},   // half a metre from the outer edge
      {{21, 1}, 0, true},  {{21, 1}, 1.5, false},  // the second part, narrower than twice the inset
      {{15, 5}, 0, false}, {{-1, 5}, 0, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(PlotHolds(plot, row.p, row.inset), row.held)
        << row.p.east << "," << row.p.north << " inset " << row.inset;
  }
}

TEST(PlotShape, FiguresOfValues) {
  // 1..10: mean 5.5, variance 8.25, percentiles linear between order statistics (numpy's default).
  const std::optional<PlotFigures> f = FiguresOf({10, 9, 8, 7, 6, 5, 4, 3, 2, 1});
  ASSERT_TRUE(f.has_value());
  EXPECT_EQ(f->count, 10u);
  EXPECT_DOUBLE_EQ(f->mean, 5.5);
  EXPECT_DOUBLE_EQ(f->median, 5.5);
  EXPECT_DOUBLE_EQ(f->sd, std::sqrt(8.25));
  EXPECT_DOUBLE_EQ(f->p10, 1.9);
  EXPECT_DOUBLE_EQ(f->p90, 9.1);
  EXPECT_FALSE(FiguresOf({}).has_value());
}

// The grid's handles sit on its plots' outer corners, at any angle and size: R01C01's first
// corner, the first row's last plot's second, the last plot's third, the last row's first plot's
// fourth; and the plots are the size asked (their sides' lengths on the ground).
TEST(PlotGrid, CornersAreThePlotsOuterCorners) {
  struct Row {
    unsigned rows, columns;
    double width, length, alleyX, alleyY, angle;
  };
  for (const Row& r : {Row{1, 1, 3, 6, 0, 0, 0}, Row{4, 6, 3, 6, 0.5, 1, 15}, Row{20, 30, 1, 1.6, 0.4, 0.5, -120},
                       Row{3, 2, 10, 2, 0, 3, 271}}) {
    const PlotGridLayout layout{{52.1394, 5.5075}, r.rows, r.columns, r.width, r.length, r.alleyX, r.alleyY, r.angle};
    const LocalPlane plane(layout.origin);
    const std::vector<GridPlot> plots = GridPlots(layout);
    ASSERT_EQ(plots.size(), std::size_t{r.rows} * r.columns);
    const std::array<PlanePoint, 4> corners = GridCorners(layout, plane);
    const GridPlot* ends[] = {&plots.front(), &plots[r.columns - 1], &plots.back(), &plots[plots.size() - r.columns]};
    for (std::size_t k = 0; k < corners.size(); ++k) {
      const PlanePoint p = plane.Forward(ends[k]->ring[k]);
      EXPECT_NEAR(p.east, corners[k].east, 1e-3) << r.angle << " corner " << k;
      EXPECT_NEAR(p.north, corners[k].north, 1e-3) << r.angle << " corner " << k;
    }
    const PlanePoint a = plane.Forward(plots.back().ring[0]), b = plane.Forward(plots.back().ring[1]);
    const PlanePoint c = plane.Forward(plots.back().ring[2]);
    EXPECT_NEAR(std::hypot(b.east - a.east, b.north - a.north), r.width, 1e-3) << r.angle;
    EXPECT_NEAR(std::hypot(c.east - b.east, c.north - b.north), r.length, 1e-3) << r.angle;
    EXPECT_EQ(plots.back().id, (r.rows < 10 ? "R0" : "R") + std::to_string(r.rows) + (r.columns < 10 ? "C0" : "C") +
                                   std::to_string(r.columns));
  }
}

}  // namespace
}  // namespace taloran
