// The render of a mix read from its three files with the editor's readers:
// what each file says reaches the output.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>

#include "render_support.h"
#include "testlib.h"

TEST(RenderFiles, ThreeFilesReachTheOutput) {
  ScopedWorkDir dir;
  mkdir("wav", 0755);
  mkdir("out", 0755);
  auto Constant = [](const char* name, double v, int channels) {
    WriteWav(name, 8000, channels, 8000, [v](long long, int) { return v; });
  };
  Constant("wav/one.wav", 0.25, 2);
  Constant("wav/two.wav", 0.125, 2);
  Constant("wav/three.wav", 0.0625, 1);
  Constant("wav/four.wav", 0.5, 2);
  WriteFileBytes("faders.txt",
                 "FileMix\n\n"
                 "subname\t2\tBus\nsub\t2\t3\n\n"
                 "p\t3\t-100\n\n"
                 "t\t0\t0.000\t0\n"
                 "v\t1\t-6.02\n"
                 "v\tG\t2\t-6.02\n\n"
                 "t\t0\t0.500\t0\n"
                 "v\tM\t-144.00\n"
                 "ofs\t0.250\n"
                 "end\n");
  WriteFileBytes("tracks.txt",
                 "1 one.wav +\n2 two.wav +\n3 three.wav +\n4 four.wav off\nend\n");
  WriteFileBytes("prefs.txt",
                 "pre\toff\nhead\t0.100\ntail\t0.200\nwavdir\twav\nmixdir\tout\npan\t0.0\n"
                 "outbits\t16\ndither\t0\nend\n");
  std::vector<std::string> errors;
  ASSERT_TRUE(LoadMixFiles(&errors));
  RenderOptions o;
  RenderReport r;
  ASSERT_EQ(0, RenderModel(o, &r, &errors)) << (errors.empty() ? "" : errors[0]);
  EXPECT_EQ("out/FileMix.wav", r.output);
  Wav w = ReadWav("out/FileMix.wav");
  ASSERT_TRUE(w.ok);
  EXPECT_EQ(16, w.bits);
  EXPECT_EQ(800 + 8000 + 1600, w.frames);
  EXPECT_EQ(0, w.at(799, 0));
  // Channel 1 at -6.02 dB, channel 2 at 0 dB, channel 3 (mono, pan law 0:
  // balance, hard left) through submix 2 at -6.02 dB; channel 4 muted.
  double left = 0.25 * std::pow(10, -6.02 / 20) + 0.125 + 0.0625 * std::pow(10, -6.02 / 20);
  double right = 0.25 * std::pow(10, -6.02 / 20) + 0.125;
  EXPECT_NEAR(left, w.value(800 + 100, 0), 1.0 / 32768);
  EXPECT_NEAR(right, w.value(800 + 100, 1), 1.0 / 32768);
  // The master drops to silence at 0.5 + 0.25 s.
  EXPECT_NE(0, w.at(800 + 5999, 0));
  EXPECT_EQ(0, w.at(800 + 6000, 0));

  // A solo in tracks.txt: only channel 2 sounds.
  WriteFileBytes("tracks.txt",
                 "1 one.wav +\n2 two.wav ++\n3 three.wav +\n4 four.wav off\nend\n");
  ASSERT_TRUE(LoadMixFiles(&errors));
  o.output = "solo.wav";
  ASSERT_EQ(0, RenderModel(o, &r, &errors));
  w = ReadWav("solo.wav");
  EXPECT_NEAR(0.125, w.value(800 + 100, 0), 1.0 / 32768);
  EXPECT_NEAR(0.125, w.value(800 + 100, 1), 1.0 / 32768);
}
