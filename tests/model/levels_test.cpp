// The fader automation's levels (src/levels), the one evaluator that the
// engine renders with and the Automation window draws, at hand-computed
// times. Times are at least 5 ms after a step, so the minimum move is over.
#include <cmath>

#include <gtest/gtest.h>

#include "levels/levels.h"
#include "testlib.h"
#include "model/model.h"

namespace {

const double kRate = 48000;

struct Case {
  const char* what;
  void (*setup)();
  double seconds, db;
};

const Case kCases[] = {
  // -6 dB over 2 s from 1 s, straight in dB.
  {"one point, before", [] { SetPoint(1, 1, 1, -6, 2); }, 0.5, 0},
  {"one point, halfway", [] { SetPoint(1, 1, 1, -6, 2); }, 2, -3},
  {"one point, after", [] { SetPoint(1, 1, 1, -6, 2); }, 9, -6},
  // Shape 2: half the ramp gives a quarter of the move.
  {"shape 2, halfway", [] { SetPoint(1, 1, 1, -8, 2, 0, 2); }, 2, -2},
  // A ramp of 0 is there 5 ms after its time.
  {"ramp 0", [] { SetPoint(1, 1, 1, -6, 0); }, 1.1, -6},
  // -12 over 2 s from 1 s; at 2 s (-6 reached) a move back to 0 over 1 s.
  {"overlap, first move", [] { SetPoint(1, 1, 1, -12, 2); SetPoint(1, 2, 2, 0, 1); }, 1.5, -3},
  {"overlap, second from -6", [] { SetPoint(1, 1, 1, -12, 2); SetPoint(1, 2, 2, 0, 1); }, 2.5, -3},
  {"overlap, end", [] { SetPoint(1, 1, 1, -12, 2); SetPoint(1, 2, 2, 0, 1); }, 4, 0},
  // Row at 2 s, offset -0.5: the move runs 1.5 .. 2.5 s.
  {"negative offset, before", [] { SetPoint(1, 1, 2, -10, 1, -0.5f); }, 1.4, 0},
  {"negative offset, halfway", [] { SetPoint(1, 1, 2, -10, 1, -0.5f); }, 2, -5},
};

TEST(Levels, HandComputedLevels) {
  for (const Case& c : kCases) {
    ClearInternalArrays();
    c.setup();
    Level level = BuildLevel(1, kRate);
    EXPECT_NEAR(LevelDbAt(level, c.seconds * kRate), c.db, 1e-4) << c.what;
  }
}

// Channel 1 at -3 dB and its VCA 1 at -6 dB from 0 s: -9 dB together; a
// silent VCA silences the channel.
TEST(Levels, VcaAddsToItsChannels) {
  ClearInternalArrays();
  SetPoint(1, 0, 0, -3, 0);
  SetPoint(VcaSlot(1), 0, 0, -6, 0);
  VcaAsn[(1 - 1) * 8 + 0] = 1;
  int slots[1 + NUM_VCAS];
  ASSERT_EQ(ChannelLevelSlots(1, slots), 2);
  EXPECT_EQ(slots[1], VcaSlot(1));
  Level own = BuildLevel(1, kRate), vca = BuildLevel(VcaSlot(1), kRate);
  const Level* both[] = {&own, &vca};
  EXPECT_NEAR(SumDbAt(both, 2, 1 * kRate), -9, 1e-6);
  SetPoint(VcaSlot(1), 1, 2, -144, 0);
  vca = BuildLevel(VcaSlot(1), kRate);
  EXPECT_EQ(SumDbAt(both, 2, 3 * kRate), kSilentDb);
}

// A point's start for the handles: the row's time plus its offset, only
// where the row is in use and "auto" is on.
TEST(Levels, PointStarts) {
  ClearInternalArrays();
  SetPoint(4, 3, 2, -10, 1, -0.5f);
  double s = 0;
  EXPECT_TRUE(LevelPointAt(4, 3, &s));
  EXPECT_DOUBLE_EQ(s, 1.5);
  EXPECT_FALSE(LevelPointAt(5, 3, &s));
  IndexActiveArray[3] = 0;
  EXPECT_FALSE(LevelPointAt(4, 3, &s));
  EXPECT_FALSE(LevelPointAt(NUM_SLOTS, 0, &s));
}

}  // namespace
