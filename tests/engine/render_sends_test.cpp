// The sends: taken after the fader and mute, summed into the reverb's bus,
// whose return reaches the master; silent channels send nothing and the
// master's own sends are ignored.
#include <gtest/gtest.h>

#include "render_support.h"
#include "testlib.h"

static const int kRate = 8000;

// Energy of the output after the source has ended (the reverb's tail).
static double TailEnergy() {
  std::string errors;
  EXPECT_EQ(0, RenderTo("out.wav", &errors)) << errors;
  Wav w = ReadWav("out.wav");
  double e = 0;
  for (long long i = kRate / 4 + 100; i < w.frames; i++)
    for (int c = 0; c < 2; c++) e += w.value(i, c) * w.value(i, c);
  return e;
}

static void Send(float* table, int slot, float db) {
  table[slot * REC] = 1.0f;
  table[slot * REC + 1] = db;
}

TEST(RenderSends, FeedTheReverbsAfterFaderAndMute) {
  ScopedWorkDir dir;
  ResetModel();
  // A quarter second burst, then a second of tail.
  WriteWav("b.wav", kRate, 2, kRate / 4, [](long long i, int) { return i % 16 < 8 ? 0.25 : -0.25; });
  SetName(1, "b.wav");
  SetName(2, "b.wav");
  HeadTailArray[1] = 1.0;
  Prtn[0] = 0;  // reverb return 0 dB
  Ptrtn[0] = 0;
  EXPECT_EQ(0.0, TailEnergy());  // no send: the mix ends with its source

  Send(Prev, 1, 0);
  double one = TailEnergy();
  EXPECT_GT(one, 1e-4);
  MuteArray[1] = 1;  // a muted channel sends nothing
  EXPECT_EQ(0.0, TailEnergy());
  MuteArray[1] = 0;
  SoloArray[2] = 1;  // nor does one silenced by another's solo
  EXPECT_EQ(0.0, TailEnergy());
  SoloArray[2] = 0;
  SetPoint(1, 0, 0, -144);  // the send follows the fader
  EXPECT_EQ(0.0, TailEnergy());
  ChanActive[Cell(1, 0)] = 0;

  // A submix's send; the master's is ignored.
  Prev[1 * REC] = 0;
  SubAsn[1 * 8 + 2] = 1;  // channel 2 to submix 3
  Send(Prev, GroupSlot(3), 0);
  EXPECT_GT(TailEnergy(), 1e-4);
  Prev[GroupSlot(3) * REC] = 0;
  Send(Prev, 0, 0);
  Send(Ptrev, 0, 0);
  EXPECT_EQ(0.0, TailEnergy());

  // The tap reverb has its own send and bus.
  Send(Ptrev, 1, 0);
  EXPECT_GT(TailEnergy(), 1e-4);
}
