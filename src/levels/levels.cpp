#include "levels.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "../model/model.h"

// Levels are turned into gains between these bounds: far below silence, and
// +120 dB, beyond which no file written by the editor goes (the gains, their
// products and everything they feed stay finite).
static const double kFloorDb = -400.0, kLoudestDb = 120.0;
static const double kSilentGain = std::exp(kSilentDb * M_LN10 / 20);
static const float kLoudestGain = 1e6f;
// The largest error in dB that the gains of a block may carry, shared out
// among the levels that move in it.
static const double kToleranceDb = 0.008;
// Frames between two exact evaluations of a move, at most.
static const int kSpan = 128;

double RowSeconds(int row) {
  return IndexMin[row] * 60.0 + IndexSec[row] + IndexMsec[row] / 1000.0;
}

double NearestFrame(double seconds, double rate) { return std::nearbyint(seconds * rate); }

// Gain of a level in dB, 0 for silence.
static double GainOf(double db) {
  return db <= kSilentDb ? 0.0 : std::pow(10.0, std::min(db, kLoudestDb) / 20.0);
}

// Gain of a short move at the fraction x of its length: a raised cosine
// between the gains at its two ends.
static double CosineGain(double g0, double g1, double x) {
  return g0 + (g1 - g0) * (0.5 - 0.5 * std::cos(M_PI * x));
}

// Level of one move at frame k, k at or after its start.
static double MoveDb(const LevelMove& m, double k) {
  if (k >= m.start + m.ramp) return m.to;
  double x = (k - m.start) / m.ramp;
  if (x <= 0) return m.from;
  if (m.cosine) {
    double g = CosineGain(GainOf(m.from), GainOf(m.to), x);
    return g > kSilentGain ? 20 * std::log10(g) : kSilentDb;
  }
  double f = m.shape == 1.0 ? x : std::pow(x, m.shape);
  return m.from + (m.to - m.from) * f;
}

// Index of the move in force at frame k, -1 before the first.
static int MoveAt(const Level& level, double k) {
  auto it = std::upper_bound(level.moves.begin(), level.moves.end(), k,
                             [](double t, const LevelMove& m) { return t < m.start; });
  return int(it - level.moves.begin()) - 1;
}

Level BuildLevel(int slot, double rate) {
  Level level;
  const double shortest = std::max(1.0, NearestFrame(kShortestMoveSeconds, rate));
  for (int r = 0; r < NUM_ROWS; r++) {
    int e = Cell(slot, r);
    if (IndexActiveArray[r] != 1 || ChanActive[e] != 1) continue;
    LevelMove m;
    m.start = NearestFrame(RowSeconds(r) + Offset[e], rate);
    m.to = Volume[e];
    m.ramp = Ramp[e] > 0 ? NearestFrame(Ramp[e], rate) : 0.0;
    m.cosine = !(m.ramp >= shortest);
    if (m.cosine) m.ramp = shortest;
    m.shape = Shape[e] > 0 ? Shape[e] : 1.0;
    m.from = 0;
    if (!std::isfinite(m.start) || !std::isfinite(m.to) || !std::isfinite(m.ramp) ||
        !std::isfinite(m.shape))
      continue;
    level.moves.push_back(m);
  }
  // In order of start time, rows in file order when equal.
  std::stable_sort(level.moves.begin(), level.moves.end(),
                   [](const LevelMove& a, const LevelMove& b) { return a.start < b.start; });
  // A move starts from the level reached when it starts.
  for (size_t i = 1; i < level.moves.size(); i++)
    level.moves[i].from = MoveDb(level.moves[i - 1], level.moves[i].start);
  return level;
}

double LevelDbAt(const Level& level, double k) {
  int i = MoveAt(level, k);
  return i < 0 ? 0.0 : MoveDb(level.moves[i], k);
}

double LevelEndFrame(const Level& level) {
  double end = 0;
  for (const LevelMove& m : level.moves) end = std::max(end, m.start + m.ramp);
  return end;
}

int ChannelLevelSlots(int n, int* slots) {
  int count = 0;
  slots[count++] = n;
  for (int v = 1; v <= NUM_VCAS; v++)
    if (VcaAsn[(n - 1) * 8 + v - 1] == 1) slots[count++] = VcaSlot(v);
  return count;
}

double SumDbAt(const Level* const* levels, int count, double k) {
  double db = 0;
  for (int j = 0; j < count; j++) {
    double d = LevelDbAt(*levels[j], k);
    if (d <= kSilentDb) return kSilentDb;
    db += d;
  }
  return db;
}

// ------------------------------------------------------ gains of a block
//
// Each level multiplies its gains into the block's. A move is cut into
// cells of kSpan frames from its start, and each cell into spans over which
// the gain, taken exactly at both ends of the span, is interpolated in a
// straight line: short enough that the level stays within the tolerance of
// the exact curve (its bend in dB, and the bend of the gain over a span in
// which it changes by some dB). The cuts depend on the move alone, never on
// where a block begins, so that any range of a render is an exact slice of
// the whole. No power is taken per frame, but in the short moves.

static void MulConstant(float* g, int n, double gain) {
  float c = float(gain);
  for (int i = 0; i < n; i++) g[i] = std::min(g[i] * c, kLoudestGain);
}

// Frames over which a straight line in dB stays within tol dB of a curve
// whose second derivative is at most m dB per frame squared.
static int SpanForBend(double m, double tol) {
  if (!(m * (kSpan * kSpan) > 8 * tol)) return kSpan;
  double h = std::sqrt(8 * tol / m);
  return h >= kSpan ? kSpan : h < 1 ? 1 : int(h);
}

// Frames over which a straight line in gain stays within tol dB of a level
// that goes straight in dB at up to m dB a frame: the line's error is about
// 20 / ln 10 x (m h ln 10 / 20)^2 / 8 dB.
static int SpanForSlope(double m, double tol) {
  if (!(m * m * (kSpan * kSpan) * 0.014391 > tol)) return kSpan;
  double h = std::sqrt(tol / 0.014391) / m;
  return h >= kSpan ? kSpan : h < 1 ? 1 : int(h);
}

// Multiplies g[0..n) by the gains of frames j .. j + n of move m (frames
// from its start, all inside it).
static void MulMove(const LevelMove& m, double j, int n, float* g, double tol) {
  const double R = m.ramp, d = m.to - m.from, s = m.shape;
  if (m.cosine) {
    double g0 = GainOf(m.from), g1 = GainOf(m.to);
    for (int i = 0; i < n; i++) {
      double v = CosineGain(g0, g1, (j + i) / R);
      g[i] = std::min(g[i] * float(v > kSilentGain ? v : 0.0), kLoudestGain);
    }
    return;
  }
  // The level is from + d x^s, x = k / R: its first and second derivatives
  // in frames are d s x^(s-1) / R and d s (s - 1) x^(s - 2) / R^2, each
  // monotonic in x, so their larger values at the two ends of a span bound
  // them over the span.
  const double k1 = std::fabs(d * s), k2 = std::fabs(d * s * (s - 1)) / (R * R);
  const double inf = std::numeric_limits<double>::infinity();
  // The ends of the spans in single precision (some 1e-5 dB at most).
  auto Power = [&](double k) { return s == 1.0 ? k / R : double(powf(float(k / R), float(s))); };
  auto Span = [&](double k, double xs) {
    double slope = k > 0 ? k1 * xs / k : s < 1 ? inf : s == 1 ? k1 / R : 0.0;
    double bend = k2 == 0 ? 0.0 : k > 0 ? k2 * xs / ((k / R) * (k / R)) : s < 2 ? inf : s == 2 ? k2 : 0.0;
    return std::min(SpanForBend(bend, tol / 2), SpanForSlope(slope, tol / 2));
  };
  auto Gain = [&](double xs) {
    double db = std::max(kFloorDb, std::min(kLoudestDb, m.from + d * xs));
    return double(expf(float(db * (M_LN10 / 20))));
  };
  const double last = j + n;  // the frame after the last one wanted
  double a = std::floor(j / kSpan) * kSpan;  // the cell of frame j
  double xs = Power(a), ga = Gain(xs);
  while (a < last) {
    double cellEnd = std::min(std::floor(a / kSpan) * kSpan + kSpan, R);
    int h = std::min(Span(a, xs), int(cellEnd - a));
    double xs2 = Power(a + h);
    int h2 = Span(a + h, xs2);
    if (h2 < h) h = h2, xs2 = Power(a + h);
    double gb = Gain(xs2), step = (gb - ga) / h;
    const int base = int(a - j);  // g[base + i] is frame a + i
    const int from = int(std::max(a, j) - a), to = int(std::min(a + h, last) - a);
    // In single precision, which the gains are (some 1e-6 dB).
    const float fa = float(ga), fstep = float(step), silent = float(kSilentGain);
    float* gb0 = g + base;
    for (int i = from; i < to; i++) {
      float v = fa + fstep * float(i);
      gb0[i] = std::min(gb0[i] * (v > silent ? v : 0.0f), kLoudestGain);
    }
    a += h, xs = xs2, ga = gb;
  }
}

// Multiplies gain[0..n) by the gains of level from frame k0.
static void MulLevel(const Level& l, long long k0, int n, float* gain, double tol) {
  const int count = int(l.moves.size());
  for (int i = 0; i < n;) {
    double k = double(k0 + i);
    int m = MoveAt(l, k);
    double end = double(k0 + n);
    if (m + 1 < count) end = std::min(end, l.moves[m + 1].start);
    if (m < 0) {  // 0 dB before the first move
      i += int(end - k);
      continue;
    }
    const LevelMove& mv = l.moves[m];
    double rampEnd = mv.start + mv.ramp;
    if (k >= rampEnd) {
      MulConstant(gain + i, int(end - k), GainOf(mv.to));
      i += int(end - k);
      continue;
    }
    int len = int(std::min(end, rampEnd) - k);
    MulMove(mv, k - mv.start, len, gain + i, tol);
    i += len;
  }
}

bool LevelGains(const Level* const* levels, int count, long long k0, int n, float* gain) {
  double a = double(k0), last = double(k0 + n - 1);
  bool constant = true;
  for (int j = 0; j < count && constant; j++) {
    const Level& l = *levels[j];
    if (l.moves.empty()) continue;
    int i = MoveAt(l, a);
    if ((i + 1 < int(l.moves.size()) && l.moves[i + 1].start <= last) ||
        (i >= 0 && a < l.moves[i].start + l.moves[i].ramp))
      constant = false;
  }
  // Every level multiplies its gains in (a level that does not move, the
  // same product as the frames of a block where another one does).
  const int frames = constant ? 1 : n;
  std::fill(gain, gain + frames, 1.0f);
  for (int j = 0; j < count; j++) MulLevel(*levels[j], k0, frames, gain, kToleranceDb / count);
  if (count > 1)  // the sum at -144 dB or below is silence too
    for (int i = 0; i < frames; i++) gain[i] = gain[i] > float(kSilentGain) ? gain[i] : 0.0f;
  return constant;
}

bool LevelPointAt(int slot, int row, double* start_seconds) {
  if (slot < 0 || slot >= NUM_SLOTS || row < 0 || row >= NUM_ROWS) return false;
  int e = Cell(slot, row);
  if (IndexActiveArray[row] != 1 || ChanActive[e] != 1) return false;
  double s = RowSeconds(row) + Offset[e];
  if (!std::isfinite(s)) return false;
  *start_seconds = s;
  return true;
}
