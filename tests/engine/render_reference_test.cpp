// The plain mix against sox as the reference: four stereo sources of
// different lengths at 0 dB, centred, no effect, dither off, 24 bits.
#include <gtest/gtest.h>

#include <cstdlib>

#include "render_support.h"
#include "testlib.h"

TEST(RenderReference, PlainMixEqualsSoxWithinOneLsb) {
  ScopedWorkDir dir;
  const char* make[] = {
      "sox -q -n -r 48000 -b 24 -c 2 s1.wav synth 1.5 sine 220 sine 330 vol 0.2",
      "sox -q -n -r 48000 -b 24 -c 2 s2.wav synth 0.75 square 97 sine 1250 vol 0.15",
      "sox -q -n -r 48000 -b 24 -c 2 s3.wav synth 2.25 pinknoise pinknoise vol 0.2",
      "sox -q -n -r 48000 -b 24 -c 2 s4.wav synth 1.2 sawtooth 55 triangle 440 vol 0.2",
      "sox -q -D -m -v 1 s1.wav -v 1 s2.wav -v 1 s3.wav -v 1 s4.wav -b 24 ref.wav",
  };
  for (const char* cmd : make) ASSERT_EQ(0, system(cmd)) << cmd;
  ResetModel();
  for (int n = 1; n <= 4; n++) SetName(n, ("s" + std::to_string(n) + ".wav").c_str());
  std::string errors;
  ASSERT_EQ(0, RenderTo("out.wav", &errors)) << errors;
  Wav ref = ReadWav("ref.wav"), out = ReadWav("out.wav");
  ASSERT_TRUE(ref.ok && out.ok);
  EXPECT_EQ(48000 * 9 / 4, out.frames);  // the longest source
  ASSERT_EQ(ref.frames, out.frames);
  ASSERT_EQ(24, out.bits);
  int worst = 0;
  long long loud = 0;
  for (size_t i = 0; i < ref.lsb.size(); i++) {
    worst = std::max(worst, std::abs(ref.lsb[i] - out.lsb[i]));
    loud += std::abs(ref.lsb[i]) > 100000;
  }
  EXPECT_LE(worst, 1);
  EXPECT_GT(loud, 10000);  // the comparison is not one of silences
}
