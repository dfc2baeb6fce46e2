#include "model/curve_fit.h"

#include <algorithm>
#include <cmath>

#include "model/tone_curve.h"

namespace tonalis {
namespace {

constexpr int32_t kLowest = 0;
constexpr int32_t kHighest = 10000;

// The input of entry i, in percent.
double InputOf(int i) { return static_cast<double>(i) * 100.0 / 255.0; }

// basis[i][j]: the natural spline through the control inputs with 1 at
// point j and 0 at every other, at input i. The spline is linear in its
// values, so any set of points gives sum_j basis[i][j] * value_j (before
// the limit to 0..100 and the table's rounding). Worked out in double: it
// only finds a starting point for the search, which then goes through the
// real table.
using Basis = std::array<std::array<double, kPointCount>, kIdealSize>;

Basis MakeBasis() {
  constexpr int n = kPointCount;
  std::array<double, n> x{};
  for (int j = 0; j < n; ++j) x[j] = ControlInputs[j];
  Basis basis{};
  for (int unit = 0; unit < n; ++unit) {
    std::array<double, n> y{}, y2{}, diag{}, rhs{};
    y[unit] = 1.0;
    // Tridiagonal system for the inner second derivatives; y2 is 0 at the ends.
    for (int j = 1; j < n - 1; ++j) {
      diag[j] = 2.0 * (x[j + 1] - x[j - 1]);
      rhs[j] = 6.0 * ((y[j + 1] - y[j]) / (x[j + 1] - x[j]) - (y[j] - y[j - 1]) / (x[j] - x[j - 1]));
    }
    for (int j = 2; j < n - 1; ++j) {
      const double h = x[j] - x[j - 1];
      const double m = h / diag[j - 1];
      diag[j] -= m * h;
      rhs[j] -= m * rhs[j - 1];
    }
    for (int j = n - 2; j >= 1; --j) y2[j] = (rhs[j] - (x[j + 1] - x[j]) * y2[j + 1]) / diag[j];
    for (int i = 0; i < kIdealSize; ++i) {
      const double t = InputOf(i);
      int k = 0;
      while (k < n - 2 && t > x[k + 1]) ++k;
      const double w = x[k + 1] - x[k];
      const double b = (t - x[k]) / w;
      const double a = 1.0 - b;
      basis[i][unit] = a * y[k] + b * y[k + 1] +
                       ((a * a * a - a) * y2[k] + (b * b * b - b) * y2[k + 1]) * w * w / 6.0;
    }
  }
  return basis;
}

const Basis& SplineBasis() {
  static const Basis basis = MakeBasis();
  return basis;
}

// The least-squares points for `ideal`, in percent, ignoring the limits.
std::array<double, kPointCount> LeastSquares(const IdealCurve& ideal) {
  constexpr int n = kPointCount;
  const Basis& basis = SplineBasis();
  std::array<std::array<double, n + 1>, n> m{};  // normal equations, right side last
  for (int i = 0; i < kIdealSize; ++i) {
    for (int r = 0; r < n; ++r) {
      for (int c = 0; c < n; ++c) m[r][c] += basis[i][r] * basis[i][c];
      m[r][n] += basis[i][r] * ideal[i];
    }
  }
  // Gaussian elimination; the matrix is symmetric positive definite.
  for (int p = 0; p < n; ++p) {
    for (int r = p + 1; r < n; ++r) {
      const double f = m[r][p] / m[p][p];
      for (int c = p; c <= n; ++c) m[r][c] -= f * m[p][c];
    }
  }
  std::array<double, n> v{};
  for (int p = n - 1; p >= 0; --p) {
    double s = m[p][n];
    for (int c = p + 1; c < n; ++c) s -= m[p][c] * v[c];
    v[p] = s / m[p][p];
  }
  return v;
}

struct Score {
  double maxGap = 0.0;
  double squares = 0.0;
  bool operator<(const Score& o) const {
    return maxGap < o.maxGap || (maxGap == o.maxGap && squares < o.squares);
  }
};

Score ScoreOf(const ToneCurve& curve, const IdealCurve& ideal) {
  const IdealCurve got = CurveSamples(curve);
  Score s;
  for (int i = 0; i < kIdealSize; ++i) {
    const double gap = std::fabs(got[i] - ideal[i]);
    s.maxGap = std::max(s.maxGap, gap);
    s.squares += gap * gap;
  }
  return s;
}

}  // namespace

IdealCurve CurveSamples(const ToneCurve& curve) {
  const std::array<int32_t, kTableSize> table = TransferTable(curve);
  IdealCurve samples{};
  for (int i = 0; i < kIdealSize; ++i)
    samples[i] = static_cast<double>(25500 - table[kTableSize - 1 - i]) / 255.0;
  return samples;
}

double MaxGap(const ToneCurve& curve, const IdealCurve& ideal) {
  return ScoreOf(curve, ideal).maxGap;
}

CurveFit FitCurve(const IdealCurve& wanted) {
  IdealCurve ideal{};
  for (int i = 0; i < kIdealSize; ++i) {
    const double v = wanted[i];
    ideal[i] = std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 100.0);
  }

  ToneCurve curve{};
  curve.gamma = kUnset;
  const std::array<double, kPointCount> start = LeastSquares(ideal);
  for (int j = 0; j < kPointCount; ++j) {
    const double hundredths = std::round(start[j] * 100.0);
    curve.points[j] = static_cast<int32_t>(std::clamp(hundredths, double{kLowest}, double{kHighest}));
  }
  Score best = ScoreOf(curve, ideal);

  // Tries moving the points `first` .. `first + count - 1` by `delta`
  // together; keeps the move when it scores better.
  auto tryMove = [&](int first, int count, int32_t delta) {
    ToneCurve next = curve;
    for (int j = first; j < first + count; ++j) {
      const int32_t moved = std::clamp(next.points[j] + delta, kLowest, kHighest);
      if (moved == next.points[j]) return false;
      next.points[j] = moved;
    }
    const Score s = ScoreOf(next, ideal);
    if (!(s < best)) return false;
    curve = next;
    best = s;
    return true;
  };

  // Integer coordinate descent with shrinking steps: single points first,
  // then neighbouring pairs, which get past the spots where the largest gap
  // sits between two points and neither can lower it alone.
  for (int32_t step = 256; step >= 1; step /= 2) {
    for (bool improved = true; improved;) {
      improved = false;
      for (int count = 1; count <= 2; ++count) {
        for (int first = 0; first + count <= kPointCount; ++first) {
          for (int32_t delta : {step, -step}) {
            while (tryMove(first, count, delta)) improved = true;
          }
        }
      }
    }
  }
  return {curve, best.maxGap};
}

}  // namespace tonalis
