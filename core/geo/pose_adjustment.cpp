#include "core/geo/pose_adjustment.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <numeric>
#include <utility>

namespace taloran {

namespace {

// A turn is solved as the move it makes this far from the camera, so that its unknown is of the
// size of the shifts' and the equations stay well scaled.
constexpr double kTurnScaleM = 100;
// A tie whose residual is above this and thrice the median residual is an outlier (a repeated
// texture, a moving shadow): it is left out and the adjustment made again, until the outliers stay the same.
constexpr double kOutlierFloorM = 0.25;
constexpr double kOutlierFactor = 3;
constexpr int kRounds = 6;
constexpr std::size_t kUnknowns = 3;  // east, north, turn x kTurnScaleM

using Block = std::array<double, kUnknowns * kUnknowns>;

// The normal equations of the ties, block by block: sparse, one block a pair of captures.
struct Normal {
  std::vector<Block> diagonal;
  std::vector<std::vector<std::pair<std::size_t, Block>>> beside;  // by row capture: (column capture, block)
  std::vector<double> right;

  explicit Normal(std::size_t n) : diagonal(n, Block{}), beside(n), right(n * kUnknowns, 0) {}

  Block& At(std::size_t row, std::size_t column) {
    if (row == column) return diagonal[row];
    for (auto& [c, block] : beside[row]) {
      if (c == column) return block;
    }
    beside[row].emplace_back(column, Block{});
    return beside[row].back().second;
  }

  // One equation: coefficients ca on capture a's unknowns, cb on b's, equal to `value`.
  void Add(std::size_t a, const std::array<double, 3>& ca, std::size_t b, const std::array<double, 3>& cb,
           double value) {
    const std::pair<std::size_t, const std::array<double, 3>*> terms[] = {{a, &ca}, {b, &cb}};
    for (const auto& [i, ci] : terms) {
      for (std::size_t r = 0; r < kUnknowns; ++r) right[i * kUnknowns + r] += (*ci)[r] * value;
      for (const auto& [j, cj] : terms) {
        Block& block = At(i, j);
        for (std::size_t r = 0; r < kUnknowns; ++r) {
          for (std::size_t c = 0; c < kUnknowns; ++c) block[r * kUnknowns + c] += (*ci)[r] * (*cj)[c];
        }
      }
    }
  }

  void Multiply(const std::vector<double>& x, std::vector<double>& y) const {
    const auto add = [&](std::size_t row, std::size_t column, const Block& block) {
      for (std::size_t r = 0; r < kUnknowns; ++r) {
        double sum = 0;
        for (std::size_t c = 0; c < kUnknowns; ++c) sum += block[r * kUnknowns + c] * x[column * kUnknowns + c];
        y[row * kUnknowns + r] += sum;
      }
    };
    std::fill(y.begin(), y.end(), 0.0);
    for (std::size_t i = 0; i < diagonal.size(); ++i) {
      add(i, i, diagonal[i]);
      for (const auto& [j, block] : beside[i]) add(i, j, block);
    }
  }
};

double Dot(const std::vector<double>& a, const std::vector<double>& b) {
  return std::inner_product(a.begin(), a.end(), b.begin(), 0.0);
}

// Conjugate gradients with the diagonal as preconditioner. The equations are singular (a shift or
// turn of everything changes no tie); from nought the iteration stays off that null space.
std::vector<double> Solve(const Normal& normal) {
  const std::size_t n = normal.right.size();
  std::vector<double> x(n, 0), r = normal.right, z(n), p(n), q(n), inverse(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double d = normal.diagonal[i / kUnknowns][(i % kUnknowns) * (kUnknowns + 1)];
    inverse[i] = d > 0 ? 1 / d : 0;
  }
  const double stop = 1e-24 * std::max(Dot(r, r), 1e-300);
  for (std::size_t i = 0; i < n; ++i) z[i] = inverse[i] * r[i];
  p = z;
  double rz = Dot(r, z);
  for (std::size_t iteration = 0; iteration < 20 * n + 100 && Dot(r, r) > stop; ++iteration) {
    normal.Multiply(p, q);
    const double pq = Dot(p, q);
    if (pq <= 0) break;
    const double alpha = rz / pq;
    for (std::size_t i = 0; i < n; ++i) x[i] += alpha * p[i], r[i] -= alpha * q[i];
    for (std::size_t i = 0; i < n; ++i) z[i] = inverse[i] * r[i];
    const double next = Dot(r, z);
    for (std::size_t i = 0; i < n; ++i) p[i] = z[i] + next / rz * p[i];
    rz = next;
  }
  return x;
}

std::size_t Root(std::vector<std::size_t>& parent, std::size_t i) {
  while (parent[i] != i) i = parent[i] = parent[parent[i]];
  return i;
}

}  // namespace

PlanePoint CorrectionAt(const PoseCorrection& c, PlanePoint centre, PlanePoint p) {
  const double turn = c.turnDeg * std::numbers::pi / 180;
  return {c.eastM - turn * (p.north - centre.north), c.northM + turn * (p.east - centre.east)};
}

PoseAdjustment AdjustPoses(const PoseCaptures& captures, const std::vector<PoseTie>& ties) {
  const std::size_t n = captures.centres.size();
  PoseAdjustment out;
  out.corrections.assign(n, {});
  out.residualM.assign(ties.size(), 0);
  out.used.assign(ties.size(), 1);
  out.tied.assign(n, 0);
  out.beyondLimit.assign(n, 0);
  for (int round = 0; round < kRounds; ++round) {
    const auto kept = [&](std::size_t t) {
      return out.used[t] != 0 && out.beyondLimit[ties[t].a] == 0 && out.beyondLimit[ties[t].b] == 0;
    };
    std::fill(out.tied.begin(), out.tied.end(), 0);
    Normal normal(n);
    std::vector<std::size_t> parent(n);
    std::iota(parent.begin(), parent.end(), 0);
    for (std::size_t t = 0; t < ties.size(); ++t) {
      if (!kept(t)) continue;
      const PoseTie& tie = ties[t];
      const PlanePoint ca = captures.centres[tie.a], cb = captures.centres[tie.b];
      // k_a(p) - k_b(p) = shift, with k(p) = (east, north) + turn x R90 (p - centre).
      normal.Add(tie.a, {1, 0, -(tie.at.north - ca.north) / kTurnScaleM}, tie.b,
                 {-1, 0, (tie.at.north - cb.north) / kTurnScaleM}, tie.shift.east);
      normal.Add(tie.a, {0, 1, (tie.at.east - ca.east) / kTurnScaleM}, tie.b,
                 {0, -1, -(tie.at.east - cb.east) / kTurnScaleM}, tie.shift.north);
      out.tied[tie.a] = out.tied[tie.b] = 1;
      parent[Root(parent, tie.a)] = Root(parent, tie.b);
    }
    const std::vector<double> x = Solve(normal);
    std::fill(out.corrections.begin(), out.corrections.end(), PoseCorrection{});
    for (std::size_t i = 0; i < n; ++i) {
      if (out.tied[i] == 0) continue;
      out.corrections[i] = {x[i * kUnknowns], x[i * kUnknowns + 1],
                            x[i * kUnknowns + 2] / kTurnScaleM * 180 / std::numbers::pi};
    }
    // The anchor, group by group of captures the ties join: no mean turn, then no mean shift.
    std::vector<std::vector<std::size_t>> groups(n);
    for (std::size_t i = 0; i < n; ++i) {
      if (out.tied[i] != 0) groups[Root(parent, i)].push_back(i);
    }
    for (const std::vector<std::size_t>& group : groups) {
      if (group.empty()) continue;
      const auto count = static_cast<double>(group.size());
      double turn = 0, east = 0, north = 0;
      for (std::size_t i : group) {
        turn += out.corrections[i].turnDeg / count;
        east += captures.centres[i].east / count, north += captures.centres[i].north / count;
      }
      // Turning every capture about one point changes no tie: take the mean turn away so.
      const PoseCorrection common{0, 0, turn};
      for (std::size_t i : group) {
        const PlanePoint move = CorrectionAt(common, {east, north}, captures.centres[i]);
        out.corrections[i].eastM -= move.east, out.corrections[i].northM -= move.north;
        out.corrections[i].turnDeg -= turn;
      }
      double meanEast = 0, meanNorth = 0;
      for (std::size_t i : group)
        meanEast += out.corrections[i].eastM / count, meanNorth += out.corrections[i].northM / count;
      for (std::size_t i : group) out.corrections[i].eastM -= meanEast, out.corrections[i].northM -= meanNorth;
    }
    // Residuals, outliers and captures moved too far: another round where any is found.
    std::vector<double> residuals;
    for (std::size_t t = 0; t < ties.size(); ++t) {
      const PoseTie& tie = ties[t];
      const PlanePoint ka = CorrectionAt(out.corrections[tie.a], captures.centres[tie.a], tie.at);
      const PlanePoint kb = CorrectionAt(out.corrections[tie.b], captures.centres[tie.b], tie.at);
      out.residualM[t] = std::hypot(ka.east - kb.east - tie.shift.east, ka.north - kb.north - tie.shift.north);
      if (kept(t)) residuals.push_back(out.residualM[t]);
    }
    bool again = false;
    if (round + 1 == kRounds) break;  // the last round's solution stands
    if (!residuals.empty()) {
      std::nth_element(residuals.begin(), residuals.begin() + static_cast<std::ptrdiff_t>(residuals.size() / 2),
                       residuals.end());
      // Judged again every round against the latest solution: a tie an outlier's pull made look
      // bad comes back once the outlier is out.
      const double limit = std::max(kOutlierFloorM, kOutlierFactor * residuals[residuals.size() / 2]);
      for (std::size_t t = 0; t < ties.size(); ++t) {
        const char use = out.residualM[t] <= limit ? 1 : 0;
        again = again || use != out.used[t];
        out.used[t] = use;
      }
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (out.tied[i] == 0 || out.beyondLimit[i] != 0) continue;
      for (const PlanePoint& corner : captures.corners[i]) {
        const PlanePoint move = CorrectionAt(out.corrections[i], captures.centres[i], corner);
        if (std::hypot(move.east, move.north) > captures.limitM[i]) out.beyondLimit[i] = 1, again = true;
      }
    }
    if (!again) break;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (out.beyondLimit[i] != 0) out.corrections[i] = {}, out.tied[i] = 0;
  }
  const auto beyond = static_cast<std::size_t>(std::count(out.beyondLimit.begin(), out.beyondLimit.end(), 1));
  if (2 * beyond > n) {
    out.gaveUp = true;
    std::fill(out.corrections.begin(), out.corrections.end(), PoseCorrection{});
  }
  return out;
}

}  // namespace taloran
