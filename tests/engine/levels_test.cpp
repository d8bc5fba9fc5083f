// The fader levels that the engine renders and the editor draws: where a
// point's time lands, and the gains of a block against the exact level of
// every frame.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "levels/levels.h"
#include "model/model.h"

namespace {

// A point of slot at row r (the row put in use) at min:sec + msec.
void Point(int slot, int r, float min, float sec, float msec, float volume, float ramp = 0,
           float shape = 1, float offset = 0) {
  IndexActiveArray[r] = 1;
  IndexMin[r] = min, IndexSec[r] = sec, IndexMsec[r] = msec;
  int e = Cell(slot, r);
  ChanActive[e] = 1;
  Volume[e] = volume, Ramp[e] = ramp, Shape[e] = shape, Offset[e] = offset;
}

// Times held as float land on the nearest frame, the way the files give
// them (seconds with three decimals) or split into their fields.
TEST(Levels, TimesLandOnTheNearestFrame) {
  const struct { float min, sec, msec, offset; double frame; } cases[] = {
      {0, 1.1f, 0, 0, 52800},     {0, 0.3f, 0, 0, 14400},   {1, 1.005f, 0, 0, 2928240},
      {0, 61.005f, 0, 0, 2928240}, {1, 1, 5, 0, 2928240},    {0, 1, 0, 0.1f, 52800},
      {0, 0.3f, 0, -0.2f, 4800},  {0, 0, 0, -1.1f, -52800},
  };
  for (const auto& c : cases) {
    ClearInternalArrays();
    Point(1, 0, c.min, c.sec, c.msec, -6, 0, 1, c.offset);
    Level l = BuildLevel(1, 48000);
    ASSERT_EQ(1u, l.moves.size());
    EXPECT_EQ(c.frame, l.moves[0].start) << c.min << " " << c.sec << " " << c.msec;
    // The short move: still 0 dB on its first frame, moving on the next.
    EXPECT_EQ(0.0, LevelDbAt(l, c.frame));
    EXPECT_LT(LevelDbAt(l, c.frame + 1), 0.0);
  }
}

// A short move is a raised cosine in gain over 5 ms from the point's frame,
// its shape not applied; a ramp of 5 ms or more keeps its shape.
TEST(Levels, ShortMovesAreRaisedCosinesInGain) {
  ClearInternalArrays();
  Point(1, 0, 0, 1, 0, -144, 0.002f, 4);  // 2 ms: the shortest move, 240 frames
  Point(1, 1, 0, 2, 0, -20, 0, 1);
  Point(1, 2, 0, 3, 0, 6, 0.005f, 2);       // 5 ms: 240 frames, shape 2
  Level l = BuildLevel(1, 48000);
  ASSERT_EQ(3u, l.moves.size());
  const double g20 = std::pow(10, -1.0);
  const struct { double k, gain; } at[] = {
      {48000 + 60, 0.5 + 0.5 * std::cos(M_PI / 4)}, {48000 + 120, 0.5},
      {48000 + 240, 0}, {96000 + 120, g20 / 2}, {96000 + 240, g20}};
  for (const auto& a : at)
    EXPECT_NEAR(a.gain ? 20 * std::log10(a.gain) : kSilentDb, LevelDbAt(l, a.k), 1e-9) << a.k;
  EXPECT_NEAR(-20 + 26 * 0.25, LevelDbAt(l, 144000 + 120), 1e-9);
  EXPECT_EQ(144000 + 240, LevelEndFrame(l));
}

// Dense automation: the gains of a block are within 0.01 dB of the exact
// level of every frame, for every shape the editor allows (0.125 to 8),
// moves that take over mid-ramp, silence, VCAs; blocks cut anywhere give the
// very same gains.
TEST(Levels, BlockGainsFollowTheExactCurve) {
  const float shapes[] = {0.125f, 0.2f, 0.5f, 0.9f, 1, 1.1f, 2, 3, 5.5f, 8};
  const int rate = 48000;
  for (float shape : shapes) {
    ClearInternalArrays();
    // Channel 1: ramps of every length through the whole range, each taken
    // over by the next; VCAs 1 and 2 moving across them.
    const struct { float t, volume, ramp; } points[] = {
        {0.0f, -144, 0.3f}, {0.25f, 12, 0.05f}, {0.31f, -60, 0.004f}, {0.4f, -3, 0.6f},
        {0.7f, -144, 0.2f}, {0.95f, 0, 0}, {1.0f, -30, 0.011f}, {1.02f, 6, 0.5f}};
    int r = 0;
    for (const auto& p : points) Point(1, r++, 0, p.t, 0, p.volume, p.ramp, shape);
    Point(VcaSlot(1), r++, 0, 0.1f, 0, -24, 0.8f, 1 / shape);
    Point(VcaSlot(2), r++, 0, 0.6f, 0, 9, 0.7f, shape);
    VcaAsn[0] = VcaAsn[1] = 1;
    int slots[1 + NUM_VCAS];
    int count = ChannelLevelSlots(1, slots);
    ASSERT_EQ(3, count);
    std::vector<Level> owned;
    for (int j = 0; j < count; j++) owned.push_back(BuildLevel(slots[j], rate));
    for (int used = 1; used <= count; used++) {
      std::vector<const Level*> ls;
      for (int j = 0; j < used; j++) ls.push_back(&owned[j]);
      const long long frames = long(1.6 * rate);
      // Two cuts into blocks: 4096 frames from 0, and odd sizes from 1000.
      std::vector<float> a(frames, -1), b(frames, -1);
      auto Fill = [&](std::vector<float>& out, long long from, int size) {
        for (long long k = from; k < frames; k += size) {
          int n = int(std::min<long long>(size, frames - k));
          if (LevelGains(ls.data(), used, k, n, &out[k]))
            std::fill(&out[k] + 1, &out[k] + n, out[k]);
        }
      };
      Fill(a, 0, 4096);
      Fill(b, 1000, 777);
      double worst = 0;
      for (long long k = 1000; k < frames; k++) {
        ASSERT_EQ(a[k], b[k]) << "shape " << shape << " frame " << k;
        double exact = SumDbAt(ls.data(), used, double(k));
        if (std::fabs(exact - kSilentDb) < 0.01) continue;
        if (exact < kSilentDb) {
          ASSERT_EQ(0.0f, a[k]) << "shape " << shape << " frame " << k;
          continue;
        }
        worst = std::max(worst, std::fabs(20 * std::log10(a[k]) - exact));
      }
      EXPECT_LE(worst, 0.01) << "shape " << shape << ", " << used << " levels";
    }
  }
}

}  // namespace
