// Fader automation, VCAs, pan laws, routing, solo and mute, measured on the
// rendered file: constant sources make every gain readable sample by sample.
#include <gtest/gtest.h>

#include <cmath>

#include "render_support.h"
#include "testlib.h"

static const int kRate = 8000;

static double Db(double x) { return 20 * std::log10(std::fabs(x)); }

// A stereo source of constant value v (both sides), seconds long.
static void Constant(const char* name, double v, double seconds, int channels = 2) {
  WriteWav(name, kRate, channels, (long long)(seconds * kRate), [v](long long, int) { return v; });
}

TEST(RenderLevels, RampShapeOffsetAndTakeOver) {
  ScopedWorkDir dir;
  ResetModel();
  Constant("a.wav", 0.5, 4);
  SetName(1, "a.wav");
  SetPoint(1, 0, 0, -12, 2);  // 0 -> -12 dB over 2 s
  ASSERT_EQ(0, RenderTo("out.wav"));
  Wav w = ReadWav("out.wav");
  ASSERT_TRUE(w.ok);
  EXPECT_EQ(4 * kRate, w.frames);
  EXPECT_NEAR(0.0, Db(w.value(0, 0) / 0.5), 0.01);
  EXPECT_NEAR(-6.0, Db(w.value(1 * kRate, 0) / 0.5), 0.01);
  EXPECT_NEAR(-12.0, Db(w.value(2 * kRate, 1) / 0.5), 0.01);
  EXPECT_NEAR(-12.0, Db(w.value(3 * kRate, 0) / 0.5), 0.01);

  // Shape 2: half of the ramp gives a quarter of the move.
  Shape[Cell(1, 0)] = 2;
  ASSERT_EQ(0, RenderTo("out.wav"));
  w = ReadWav("out.wav");
  EXPECT_NEAR(-3.0, Db(w.value(1 * kRate, 0) / 0.5), 0.01);

  // Offset 0.5 s shifts the whole move.
  Shape[Cell(1, 0)] = 1;
  Offset[Cell(1, 0)] = 0.5;
  ASSERT_EQ(0, RenderTo("out.wav"));
  w = ReadWav("out.wav");
  EXPECT_NEAR(0.0, Db(w.value(kRate / 2, 0) / 0.5), 0.01);
  EXPECT_NEAR(-6.0, Db(w.value(3 * kRate / 2, 0) / 0.5), 0.01);
  EXPECT_NEAR(-12.0, Db(w.value(5 * kRate / 2, 0) / 0.5), 0.01);

  // A point at 1 s (ramp 1 s back to 0 dB) takes over from the -6 dB reached.
  Offset[Cell(1, 0)] = 0;
  SetPoint(1, 1, 1.0, 0, 1);
  ASSERT_EQ(0, RenderTo("out.wav"));
  w = ReadWav("out.wav");
  EXPECT_NEAR(-6.0, Db(w.value(1 * kRate, 0) / 0.5), 0.01);
  EXPECT_NEAR(-3.0, Db(w.value(3 * kRate / 2, 0) / 0.5), 0.01);
  EXPECT_NEAR(0.0, Db(w.value(2 * kRate, 0) / 0.5), 0.01);
  EXPECT_NEAR(0.0, Db(w.value(3 * kRate, 0) / 0.5), 0.01);
}

TEST(RenderLevels, StepsVcaSilenceAndRowsInUse) {
  ScopedWorkDir dir;
  ResetModel();
  Constant("a.wav", 0.5, 2);
  SetName(1, "a.wav");
  SetPoint(1, 0, 0.5, -6);  // at once at 0.5 s
  ASSERT_EQ(0, RenderTo("out.wav"));
  Wav w = ReadWav("out.wav");
  EXPECT_EQ(0.5, w.value(kRate / 2 - 1, 0));  // before its point: 0 dB
  EXPECT_NEAR(-6.0, Db(w.value(kRate / 2, 0) / 0.5), 0.001);

  // VCA 1 at -6 dB lowers its member by 6 dB more; an unassigned VCA nothing.
  SetPoint(VcaSlot(1), 1, 0, -6);
  SetPoint(VcaSlot(2), 1, 0, -20);
  VcaAsn[0 * 8 + 0] = 1;
  ASSERT_EQ(0, RenderTo("out.wav"));
  w = ReadWav("out.wav");
  EXPECT_NEAR(-6.0, Db(w.value(10, 0) / 0.5), 0.001);
  EXPECT_NEAR(-12.0, Db(w.value(kRate, 1) / 0.5), 0.001);

  // -144 dB is silence, whatever the VCA adds; a point on a row not in use
  // does not count.
  VcaAsn[0] = 0;
  SetPoint(1, 2, 1.0, -144);
  SetPoint(1, 3, 1.5, -20);
  IndexActiveArray[3] = 0;
  ASSERT_EQ(0, RenderTo("out.wav"));
  w = ReadWav("out.wav");
  EXPECT_EQ(0, w.at(kRate + 1, 0));
  EXPECT_EQ(0, w.at(2 * kRate - 1, 1));

  // The master and a submix fader act too, in dB on top of the channel.
  ResetModel();
  SetName(1, "a.wav");
  SubAsn[0] = 1;
  SetPoint(GroupSlot(1), 0, 0, -6);
  SetPoint(0, 0, 0, -3);
  ASSERT_EQ(0, RenderTo("out.wav"));
  w = ReadWav("out.wav");
  EXPECT_NEAR(-9.0, Db(w.value(100, 0) / 0.5), 0.001);
}

TEST(RenderLevels, LastMoveSetsTheLength) {
  ScopedWorkDir dir;
  ResetModel();
  Constant("a.wav", 0.25, 1);
  SetName(1, "a.wav");
  SetPoint(0, 0, 1.0, -10, 0.5, 0.25);  // the master's move ends at 1.75 s
  ASSERT_EQ(0, RenderTo("out.wav"));
  EXPECT_EQ(7 * kRate / 4, ReadWav("out.wav").frames);
}

// Pan of a mono source: p the pan, law the pan law; the two gains measured.
static void MonoPan(float p, float law, double* l, double* r) {
  ResetModel();
  Constant("m.wav", 0.5, 0.1, 1);
  SetName(1, "m.wav");
  Pan[1] = p;
  PanlawStore = law;
  ASSERT_EQ(0, RenderTo("out.wav"));
  Wav w = ReadWav("out.wav");
  *l = w.value(10, 0) / 0.5;
  *r = w.value(10, 1) / 0.5;
}

TEST(RenderPan, LawsAndBalance) {
  ScopedWorkDir dir;
  double l, r;
  MonoPan(0, 3, &l, &r);
  EXPECT_NEAR(-3.0, Db(l), 0.02);
  EXPECT_NEAR(-3.0, Db(r), 0.02);
  MonoPan(-100, 3, &l, &r);
  EXPECT_NEAR(1.0, l, 1e-6);
  EXPECT_EQ(0.0, r);
  MonoPan(100, 4.5, &l, &r);
  EXPECT_EQ(0.0, l);
  EXPECT_NEAR(1.0, r, 1e-6);
  for (float p : {-60.0f, 0.0f, 35.0f}) {  // 6 dB law: the gains sum to 1
    MonoPan(p, 6, &l, &r);
    EXPECT_NEAR(1.0, l + r, 1e-6) << p;
  }
  MonoPan(0, 6, &l, &r);
  EXPECT_NEAR(-6.0, Db(l), 0.03);
  MonoPan(30, 3, &l, &r);  // constant power
  EXPECT_NEAR(1.0, l * l + r * r, 1e-6);
  MonoPan(-50, 0, &l, &r);  // law 0: balance
  EXPECT_NEAR(1.0, l, 1e-6);
  EXPECT_NEAR(0.5, r, 1e-6);

  // A stereo source is balanced: p > 0 lowers the left side only.
  ResetModel();
  Constant("s.wav", 0.5, 0.1);
  SetName(1, "s.wav");
  Pan[1] = 25;
  ASSERT_EQ(0, RenderTo("out.wav"));
  Wav w = ReadWav("out.wav");
  EXPECT_NEAR(0.375, w.value(5, 0), 1e-6);
  EXPECT_NEAR(0.5, w.value(5, 1), 1e-6);
}

// Three stereo channels of distinct constant levels: 1/4, 1/8, 1/16, so the
// output tells which of them sound.
static void ThreeChannels() {
  ResetModel();
  const char* names[] = {"c1.wav", "c2.wav", "c3.wav"};
  for (int i = 0; i < 3; i++) {
    Constant(names[i], 0.25 / (1 << i), 0.1);
    SetName(i + 1, names[i]);
  }
}
static double Left() { return ReadWav("out.wav").value(20, 0); }

TEST(RenderRouting, SubmixesSoloAndMute) {
  ScopedWorkDir dir;
  ThreeChannels();
  ASSERT_EQ(0, RenderTo("out.wav"));
  EXPECT_DOUBLE_EQ(0.4375, Left());

  // Channel 1 in submixes 1 and 2 sounds through both.
  SubAsn[0 * 8 + 0] = SubAsn[0 * 8 + 1] = 1;
  ASSERT_EQ(0, RenderTo("out.wav"));
  EXPECT_DOUBLE_EQ(0.6875, Left());
  Pan[GroupSlot(2)] = 100;  // the submix's pan is a balance
  ASSERT_EQ(0, RenderTo("out.wav"));
  Wav w = ReadWav("out.wav");
  EXPECT_DOUBLE_EQ(0.4375, w.value(20, 0));
  EXPECT_DOUBLE_EQ(0.6875, w.value(20, 1));
  Pan[GroupSlot(2)] = 0;

  // Mute of a submix silences what goes through it only.
  MuteArray[GroupSlot(1)] = 1;
  ASSERT_EQ(0, RenderTo("out.wav"));
  EXPECT_DOUBLE_EQ(0.4375, Left());
  MuteArray[GroupSlot(2)] = 1;
  ASSERT_EQ(0, RenderTo("out.wav"));
  EXPECT_DOUBLE_EQ(0.1875, Left());
  MuteArray[GroupSlot(1)] = MuteArray[GroupSlot(2)] = 0;

  // Solo of submix 2: submix 1 and the directly routed channels 2, 3 are silent.
  SubAsn[0 * 8 + 0] = 1;
  SubAsn[2 * 8 + 0] = 1;  // channel 3 to submix 1
  SoloArray[GroupSlot(2)] = 1;
  ASSERT_EQ(0, RenderTo("out.wav"));
  EXPECT_DOUBLE_EQ(0.25, Left());
  SoloArray[GroupSlot(2)] = 0;

  // Input solo: only the soloed channels sound; a muted channel is silent.
  ThreeChannels();
  SoloArray[2] = SoloArray[3] = 1;
  ASSERT_EQ(0, RenderTo("out.wav"));
  EXPECT_DOUBLE_EQ(0.1875, Left());
  MuteArray[2] = 1;
  SoloArray[2] = 0;
  ASSERT_EQ(0, RenderTo("out.wav"));
  EXPECT_DOUBLE_EQ(0.0625, Left());
  SoloArray[3] = 0;
  ASSERT_EQ(0, RenderTo("out.wav"));
  EXPECT_DOUBLE_EQ(0.3125, Left());

  // A placeholder or empty name is a silent channel.
  SetName(1, "----");
  SetName(3, "");
  ASSERT_EQ(0, RenderTo("out.wav"));
  EXPECT_DOUBLE_EQ(0.0, Left());
}

TEST(RenderLevels, AbsurdTimesAreRefusedNotOverflowed) {
  ScopedWorkDir dir;
  ResetModel();
  SetPoint(0, 0, 0, -6, 1e30f);  // a ramp of 1e30 s
  std::string errors;
  EXPECT_EQ(2, RenderTo("out.wav", &errors));
  EXPECT_NE(std::string::npos, errors.find("out.wav: the mix is too long")) << errors;
  ResetModel();
  HeadTailArray[1] = 1e38f;
  EXPECT_EQ(2, RenderTo("out.wav", &errors));
  EXPECT_FALSE(FileExists("out.wav"));
}
