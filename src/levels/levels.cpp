#include "levels.h"

#include <algorithm>
#include <cmath>

#include "../model/model.h"

double RowSeconds(int row) {
  return IndexMin[row] * 60.0 + IndexSec[row] + IndexMsec[row] / 1000.0;
}

// Level of one move at frame k, k at or after its start.
static double MoveDb(const LevelMove& m, double k) {
  if (m.ramp <= 0 || k >= m.start + m.ramp) return m.to;
  double x = (k - m.start) / m.ramp;
  if (x <= 0) return m.from;
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
  for (int r = 0; r < NUM_ROWS; r++) {
    int e = Cell(slot, r);
    if (IndexActiveArray[r] != 1 || ChanActive[e] != 1) continue;
    LevelMove m;
    m.start = (RowSeconds(r) + Offset[e]) * rate;
    m.to = Volume[e];
    m.ramp = Ramp[e] > 0 ? Ramp[e] * rate : 0.0;
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

static float DbToGain(double db) {
  return db <= kSilentDb ? 0.0f : float(std::pow(10.0, db / 20.0));
}

bool LevelGains(const Level* const* levels, int count, long long k0, int n, float* gain) {
  double a = double(k0), last = double(k0 + n - 1);
  bool constant = true;
  for (int j = 0; j < count && constant; j++) {
    const Level& l = *levels[j];
    if (l.moves.empty()) continue;
    int i = MoveAt(l, a);
    if (i + 1 < int(l.moves.size()) && l.moves[i + 1].start <= last) constant = false;
    else if (i >= 0 && l.moves[i].ramp > 0 && a < l.moves[i].start + l.moves[i].ramp)
      constant = false;
  }
  if (constant) {
    gain[0] = DbToGain(SumDbAt(levels, count, a));
    return true;
  }
  // Some level moves inside the block: exact per frame.
  for (int s = 0; s < n; s++) gain[s] = DbToGain(SumDbAt(levels, count, double(k0 + s)));
  return false;
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
