// Look-ahead of the effect chains is compensated: a channel, a submix or the
// master with a look-ahead effect stays sample-aligned with everything else,
// its automation included, and a range of such a render is still an exact
// slice of the full one.
#include <gtest/gtest.h>

#include "render_support.h"
#include "testlib.h"

static const int kRate = 8000;

static double Noise(long long i, int) {
  unsigned long long z = (unsigned long long)(i + 1) * 0x9e3779b97f4a7c15ULL;
  z ^= z >> 31;
  z *= 0xbf58476d1ce4e5b9ULL;
  z ^= z >> 29;
  return (double(z % 20001) - 10000) / 80000.0;  // peak 1/8
}

// The limiter of slot on at 0 dB: it never acts on the quiet noise, so only
// its look-ahead shows.
static void Limiter(int slot) {
  Plim[slot * REC] = 1.0f;
  Plim[slot * REC + 1] = 0.0f;
}

// Two channels of the same noise, both centred and at 0 dB: the output is
// twice the noise, frame for frame, whatever carries a look-ahead.
static void ExpectAligned(const char* what) {
  std::string errors;
  ASSERT_EQ(0, RenderTo("out.wav", &errors)) << errors;
  Wav w = ReadWav("out.wav");
  ASSERT_EQ(kRate, w.frames) << what;
  for (long long i = 0; i < w.frames; i++)
    ASSERT_NEAR(2 * Noise(i, 0), w.value(i, 0), 2.5 / 8388608) << what << " frame " << i;
}

TEST(RenderLatency, EveryStageStaysAligned) {
  ScopedWorkDir dir;
  ResetModel();
  WriteWav("n.wav", kRate, 2, kRate, Noise);
  SetName(1, "n.wav");
  SetName(2, "n.wav");
  Limiter(1);
  ExpectAligned("channel 1 limited");
  SubAsn[0] = 1;
  Limiter(GroupSlot(1));
  ExpectAligned("channel 1 and submix 1 limited, channel 2 direct");
  Limiter(0);
  ExpectAligned("and the master limited");

  // A fader step at 0.5 s on the limited channel lands on frame 4000.
  SetPoint(1, 0, 0.5, -144);
  ASSERT_EQ(0, RenderTo("full.wav"));
  Wav w = ReadWav("full.wav");
  EXPECT_NEAR(2 * Noise(3999, 0), w.value(3999, 0), 2.5 / 8388608);
  EXPECT_NEAR(Noise(4000, 0), w.value(4000, 0), 2.5 / 8388608);

  // A preview of this render is its exact slice.
  PreviewOn = 1;
  PreviewArray[1] = 0.375;
  PreviewArray[3] = 0.25;
  ASSERT_EQ(0, RenderTo("part.wav"));
  Wav p = ReadWav("part.wav");
  ASSERT_EQ(kRate / 4, p.frames);
  for (long long i = 0; i < p.frames; i++)
    ASSERT_EQ(w.at(3000 + i, 1), p.at(i, 1)) << i;
}
