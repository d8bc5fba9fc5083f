// The Automation window built by the real builder, driven headless through
// its logic: pixel mapping, handles, drags, and the levels it draws.
#include <cmath>
#include <string>

#include <sndfile.h>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Spinner.H>
#include <gtest/gtest.h>

#include "app/app.h"
#include "automation/automation.h"
#include "faders/faders.h"
#include "levels/levels.h"
#include "model/model.h"
#include "testlib.h"

namespace {

// The plot's drawing area in window pixels: x 56..878, y 44..398.
const double kLeft = 56, kWidth = 822, kTop = 44, kHeight = 354;

void Point(int slot, int row, double seconds, float db, float ramp = 0) {
  IndexActiveArray[row] = 1;
  IndexSec[row] = float(seconds);
  ChanActive[Cell(slot, row)] = 1;
  Volume[Cell(slot, row)] = db;
  Ramp[Cell(slot, row)] = ramp;
}

class Automation : public testing::Test {
 protected:
  void SetUp() override {
    BuildEditorOnce();
    ClearInternalArrays();
    TimeIndex->value(1);
    Bank->value(1);
    // Channel 2: -6 dB at 4 s over 2 s (row 3); the rows end at 10 s (row 4),
    // so the whole mix is 0 .. 11 s (a margin of 1 s).
    Point(2, 2, 4, -6, 2);
    IndexActiveArray[3] = 1;
    IndexSec[3] = 10;
    UpdateGUI();
    AutomationFit();
  }
};

// The whole mix fills the plot; zoomed in 4 times around its middle, the
// time under the middle stays and a second takes 4 times the pixels. The dB
// axis has its knee at -60 dB, 80 % down, whatever the zoom.
TEST_F(Automation, PixelMappingAtTwoZooms) {
  const double mid = kLeft + kWidth / 2;
  const struct { double zoom, seconds, x; } kCases[] = {
    {1, 0, kLeft}, {1, 11, kLeft + kWidth}, {1, 5.5, mid},
    {4, 5.5, mid}, {4, 6.5, mid + 4 * kWidth / 11}, {4, 4.5, mid - 4 * kWidth / 11},
  };
  const struct { double db, y; } kLevels[] = {
    {12, kTop}, {-24, kTop + 0.4 * kHeight}, {-60, kTop + 0.8 * kHeight},
    {-102, kTop + 0.9 * kHeight}, {-144, kTop + kHeight}};
  for (const auto& c : kCases) {
    AutomationFit();
    if (c.zoom != 1) AutomationZoom(c.zoom, mid);
    EXPECT_NEAR(AutomationXOfSeconds(c.seconds), c.x, 1e-6) << c.zoom << " " << c.seconds;
    EXPECT_NEAR(AutomationSecondsOfX(c.x), c.seconds, 1e-9) << c.zoom << " " << c.seconds;
    for (const auto& l : kLevels) {
      EXPECT_NEAR(AutomationYOfDb(l.db), l.y, 1e-6) << l.db;
      EXPECT_NEAR(AutomationDbOfY(l.y), l.db, 1e-9) << l.db;
    }
  }
  // Never wider than the whole mix, never scrolled before its start.
  AutomationFit();
  AutomationZoom(0.5, mid);
  AutomationScroll(-500);
  double first, last;
  AutomationVisibleSpan(&first, &last);
  EXPECT_DOUBLE_EQ(first, 0);
  EXPECT_NEAR(last, 11, 1e-9);
}

// A click on a handle makes its row the Faders window's current one; a drag
// up sets the point's volume through the strip's volume field.
TEST_F(Automation, HandleSelectsItsRowAndDragsItsVolume) {
  int x = int(AutomationXOfSeconds(4)), y = int(AutomationYOfDb(-6));
  int line = 0, row = 0;
  ASSERT_TRUE(AutomationHandleAt(x + 2, y - 2, &line, &row));
  EXPECT_EQ(line, 2);
  EXPECT_EQ(row, 2);
  CopyField(NameBuffer[2], NAME_LEN, "bass.wav");
  EXPECT_STREQ(AutomationReadoutAt(467, 221), "0:05.500   -33.0 dB");   // mid-plot
  std::string over = AutomationReadoutAt(x, y);
  EXPECT_NE(over.find(" dB   time index 3: 2 bass.wav at -6.0 dB"), std::string::npos) << over;
  EXPECT_FALSE(AutomationSelect(x + 40, y));
  EXPECT_EQ(TimeIndex->value(), 1);
  snprintf(tbuffer, TBUF_LEN, "old report");
  ShowStatus();
  ASSERT_TRUE(AutomationSelect(x, y));
  EXPECT_EQ(TimeIndex->value(), 3);
  EXPECT_EQ(vol2->value(), -6);   // the Faders window shows the row
  AutomationDrag(x + 30, int(AutomationYOfDb(-12)));
  AutomationRelease();
  EXPECT_NEAR(Volume[Cell(2, 2)], -12, 0.3);   // a pixel is 0.25 dB here
  EXPECT_NEAR(vol2->value(), Volume[Cell(2, 2)], 1e-6);
  EXPECT_STREQ(TextResponse->value(), "");   // as for a typed value
  EXPECT_EQ(Offset[Cell(2, 2)], 0);          // time untouched
  // The curve follows: the view reads the model again after the edit.
  EXPECT_NEAR(AutomationLineDb(2, 9, false), Volume[Cell(2, 2)], 1e-6);
}

// The view's curve is the engine's evaluator: its own line is LevelDbAt of
// BuildLevel, the dashed one SumDbAt with the channel's VCAs.
TEST_F(Automation, CurveIsTheEngineEvaluator) {
  Point(VcaSlot(1), 1, 1, -10, 3);
  VcaAsn[(2 - 1) * 8 + 0] = 1;
  UpdateAutomation();
  double rate = AutomationRate();
  Level own = BuildLevel(2, rate), vca = BuildLevel(VcaSlot(1), rate);
  const Level* both[] = {&own, &vca};
  for (double t : {0.0, 1.5, 4.0, 4.7, 5.0, 6.5, 10.0}) {
    EXPECT_EQ(AutomationLineDb(2, t, false), LevelDbAt(own, t * rate)) << t;
    EXPECT_EQ(AutomationLineDb(2, t, true), SumDbAt(both, 2, t * rate)) << t;
    EXPECT_EQ(AutomationLineDb(12, t, false), LevelDbAt(vca, t * rate)) << t;
  }
  EXPECT_NEAR(AutomationLineDb(2, 5, true), -3 - 10, 1e-6);
  Bank->value(9);   // no submix or VCA in banks 9 to 12
  color = 5;        // and the windows' background colour
  UpdateView();
  EXPECT_TRUE(std::isnan(AutomationLineDb(11, 1, false)));
  EXPECT_EQ(AutomationWindow->color(), 5u);
}

// Hostile values (as a recall may bring them) pass through the view's logic
// without trouble for the sanitizers; the view stays inside the mix.
TEST_F(Automation, HostileValues) {
  Point(1, 5, 0, NAN, 3e38f);
  IndexMin[5] = 1e30f;
  Offset[Cell(1, 5)] = -1e26f;
  Point(3, 6, 1, -1e30f);
  IndexMsec[6] = NAN;
  UpdateAutomation();
  for (double zoom : {1e6, 1e-6}) {
    AutomationZoom(zoom, 300);
    AutomationScroll(1e9);
    for (int x = 0; x < 900; x += 9) {
      int line, row;
      AutomationHandleAt(x, x / 2, &line, &row);
      for (int k = 1; k <= AUTOMATION_LINES; k++) AutomationLineDb(k, AutomationSecondsOfX(x), true);
    }
  }
  double first, last;
  AutomationVisibleSpan(&first, &last);
  EXPECT_TRUE(std::isfinite(first) && std::isfinite(last) && first < last);
}

// The wave files are read in the background: the editor goes on, and once
// a file of the bank has been read the levels are built at its rate. A file
// that cannot be read only has no envelope.
TEST_F(Automation, WaveFilesAreReadInTheBackground) {
  ScopedWorkDir dir;
  SF_INFO info = {};
  info.samplerate = 44100;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open("a.wav", SFM_WRITE, &info);
  ASSERT_TRUE(f);
  std::vector<float> half(22050, 0.5f);
  sf_writef_float(f, half.data(), sf_count_t(half.size()));
  sf_close(f);
  WriteFileBytes("noise.wav", "not a wave file");
  CopyField(NameBuffer[1], NAME_LEN, "noise.wav");
  CopyField(NameBuffer[3], NAME_LEN, "a.wav");
  UpdateAutomation();
  EXPECT_EQ(AutomationRate(), 48000);   // nothing read yet
  // The event loop takes the results in (bounded, never a timing check).
  for (int i = 0; i < 600 && AutomationRate() != 44100; i++) Fl::wait(0.05);
  EXPECT_EQ(AutomationRate(), 44100);
  EXPECT_NEAR(AutomationLineDb(2, 5, false), -3, 1e-6);
}

}  // namespace
