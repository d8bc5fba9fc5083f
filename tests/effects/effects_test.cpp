// The Effects and Reverb windows, built headless by the real builders:
// channel selection, the store operations, the load step.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Spinner.H>
#include <FL/Fl_Value_Slider.H>
#include <gtest/gtest.h>

#include "app/app.h"
#include "effects/effects.h"
#include "files/files.h"
#include "model/model.h"
#include "testlib.h"

namespace {

// The editor as start-up leaves it on a freshly reset model: "Channel" on,
// both spinners at 1, channel 1 loaded, the banner in the status field.
void ResetEditor() {
  BuildEditorOnce();
  ClearInternalArrays();
  SelectRegularChannel->value(1);
  SelectGroupChannel->value(0);
  SelectMasterChannel->value(0);
  RegularNum->value(1);
  GroupNum->value(1);
  UpdateEffects();
  UpdateReverbSettings();
  NameInEffects->value(NameBuffer[CNL]);
  ShowStatus();
}

// A user's click on a toggle: the value flips, then the callback runs.
void Click(Fl_Button* b) {
  b->value(!b->value());
  b->do_callback();
}
void Release(Fl_Value_Slider* s, double v) {
  s->value(v);
  s->do_callback();
}
void Spin(Fl_Spinner* s, double v) {
  s->value(v);
  s->do_callback();
}

// Every effect table and reverb global, to see what an operation changed.
std::vector<float> Snapshot() {
  std::vector<float> all;
  for (const EffectDef& fx : Effects) all.insert(all.end(), fx.table, fx.table + NUM_SLOTS * REC);
  auto add = [&all](const float* g, size_t n) { all.insert(all.end(), g, g + n); };
  add(Prtn, 2);
  add(Ptrtn, 3);
  add(Prhp, 2);
  add(Prlp, 2);
  add(Prev_position, 3);
  all.push_back(Prev_width);
  return all;
}

// Index in Snapshot() of slot k of record c of effect fx.
size_t At(int fx, int c, int k) { return (size_t)fx * NUM_SLOTS * REC + c * REC + k; }

// Indexes whose values differ (NaN-safe, bitwise).
std::vector<size_t> Changed(const std::vector<float>& a, const std::vector<float>& b) {
  std::vector<size_t> out;
  for (size_t i = 0; i < a.size(); i++)
    if (memcmp(&a[i], &b[i], sizeof(float)) != 0) out.push_back(i);
  return out;
}

// The Effects window's grid as the user sees it: each effect's switch and
// its sliders for slots 1.., indexed like Effects[].
struct GridCell {
  Fl_Button* sw;
  std::vector<Fl_Value_Slider*> sliders;
};
std::vector<GridCell> Grid() {
  return {
      {comp0, {comp1, comp2, comp3, comp4}}, {rms0, {rms1, rms2, rms3, rms4}},
      {nlc0, {nlc1, nlc2, nlc3}},            {lim0, {lim1}},
      {lshelf0, {lshelf1, lshelf2, lshelf3}}, {band1_0, {band1_1, band1_2, band1_3}},
      {band2_0, {band2_1, band2_2, band2_3}}, {hshelf0, {hshelf1, hshelf2, hshelf3}},
      {hpass0, {hpass1}},                    {fxg0, {fxg1}},
      {rev_state, {rev_send}},               {trev_state, {trev_send}},
  };
}

const char* Status() { return TextResponse->value(); }

}  // namespace

TEST(EffectsSelection, ButtonsStayExclusiveAndFallBackToChannel) {
  ResetEditor();
  Spin(RegularNum, 7);
  EXPECT_EQ(CNL, 7);
  strcpy(tbuffer, "Mix Complete");
  ShowStatus();
  std::vector<float> before = Snapshot();

  Click(SelectGroupChannel);  // off -> on
  EXPECT_EQ(SelectRegularChannel->value(), 0);
  EXPECT_EQ(SelectGroupChannel->value(), 1);
  EXPECT_EQ(SelectMasterChannel->value(), 0);
  EXPECT_EQ(CNL, 128);
  EXPECT_STREQ(NameInEffects->value(), "Submix 1");
  Spin(GroupNum, 3);
  EXPECT_EQ(CNL, 130);
  EXPECT_STREQ(NameInEffects->value(), "Submix 3");

  Click(SelectGroupChannel);  // on -> off: "Channel" takes over
  EXPECT_EQ(SelectRegularChannel->value(), 1);
  EXPECT_EQ(SelectGroupChannel->value(), 0);
  EXPECT_EQ(CNL, 7);
  EXPECT_STREQ(NameInEffects->value(), "");

  Click(SelectMasterChannel);
  EXPECT_EQ(SelectRegularChannel->value(), 0);
  EXPECT_EQ(SelectGroupChannel->value(), 0);
  EXPECT_EQ(CNL, 0);
  EXPECT_STREQ(NameInEffects->value(), "Master");
  EXPECT_EQ(RegularNum->value(), 7);
  EXPECT_EQ(GroupNum->value(), 3);
  Click(SelectMasterChannel);  // on -> off
  EXPECT_EQ(SelectRegularChannel->value(), 1);
  EXPECT_EQ(SelectMasterChannel->value(), 0);
  EXPECT_EQ(CNL, 7);

  Click(SelectRegularChannel);  // "Channel" cannot be switched off
  EXPECT_EQ(SelectRegularChannel->value(), 1);
  EXPECT_EQ(CNL, 7);
  Spin(GroupNum, 5);  // the submix spinner alone does not select
  EXPECT_EQ(CNL, 7);

  // Selecting stores nothing and leaves the status text.
  EXPECT_TRUE(Changed(before, Snapshot()).empty());
  EXPECT_STREQ(Status(), "Mix Complete");
}

TEST(EffectsSelection, ChannelNumbersAreClamped) {
  ResetEditor();
  EXPECT_EQ(RegularNum->maximum(), 110);
  EXPECT_EQ(GroupNum->maximum(), 8);
  const struct { double value; int cnl; } regular[] = {
      {200, 127}, {127.9, 127}, {110.9, 110}, {0.5, 1}, {0, 1}, {-3.5, 1}, {NAN, 1}};
  for (const auto& r : regular) {
    Spin(RegularNum, r.value);
    EXPECT_EQ(CNL, r.cnl) << r.value;
  }

  // Above the last submix: slot 135, and the spinner's own callback sets
  // the spinner back to 8; the "Submix" button's callback leaves it.
  Spin(RegularNum, 4);
  GroupNum->value(12);
  Click(SelectGroupChannel);
  EXPECT_EQ(CNL, 135);
  EXPECT_EQ(GroupNum->value(), 12);
  Spin(GroupNum, 9);
  EXPECT_EQ(CNL, 135);
  EXPECT_EQ(GroupNum->value(), 8);
  EXPECT_STREQ(NameInEffects->value(), "Submix 8");

  // Below the first submix (or not a number) the selection stays on
  // submix 1 instead of reaching a regular channel or outside every table.
  for (double bad : {0.0, -40.0, (double)NAN}) {
    Spin(GroupNum, bad);
    EXPECT_EQ(CNL, 128) << bad;
    EXPECT_EQ(GroupNum->value(), 1) << bad;
    EXPECT_STREQ(NameInEffects->value(), "Submix 1");
  }
}

TEST(EffectsStore, AnEditLandsInTheSelectedRecordOnly) {
  ResetEditor();
  struct Case {
    void (*select)();
    int record;
  };
  const Case cases[] = {
      {[] { Spin(RegularNum, 5); }, 5},
      {[] { Click(SelectMasterChannel); }, 0},
      {[] { Click(SelectGroupChannel); Spin(GroupNum, 3); }, 130},
  };
  for (const Case& c : cases) {
    c.select();
    ASSERT_EQ(CNL, c.record);
    std::vector<float> before = Snapshot();
    Click(comp0);  // "Peak Comp" on: the whole record, defaults shown
    std::vector<float> after = Snapshot();
    std::vector<size_t> want = {At(FX_COMP, c.record, 0)};
    EXPECT_EQ(Changed(before, after), want) << c.record;
    const float rec[5] = {1, 0, 10, 100, 1.5f};
    for (int k = 0; k < 5; k++) EXPECT_EQ(Pcomp[c.record * REC + k], rec[k]) << c.record;
    Click(comp0);
    EXPECT_EQ(Pcomp[c.record * REC], 0.0f);
    Click(SelectRegularChannel);  // back to "Channel" from any selection
  }
}

TEST(EffectsStore, AParameterMovedWhileOffKeepsTheEffectOff) {
  ResetEditor();
  Spin(RegularNum, 5);
  Release(comp2, 25);
  EXPECT_EQ(Pcomp[5 * REC + 0], 0.0f);
  EXPECT_EQ(Pcomp[5 * REC + 2], 25.0f);
  EXPECT_EQ(comp0->value(), 0);
  // Another channel shows its own value, and coming back shows 25 again.
  Spin(RegularNum, 6);
  EXPECT_EQ(comp2->value(), 10);
  Spin(RegularNum, 5);
  EXPECT_EQ(comp2->value(), 25);
}

TEST(EffectsStore, EveryWidgetStoresItsWholeRecordAndClearsTheStatus) {
  ResetEditor();
  Spin(RegularNum, 9);
  std::vector<GridCell> grid = Grid();
  for (int fx = 0; fx < NUM_EFFECTS; fx++) {
    const GridCell& cell = grid[fx];
    ASSERT_EQ((int)cell.sliders.size() + 1, Effects[fx].count) << Effects[fx].keyword;
    std::vector<Fl_Widget*> widgets = {cell.sw};
    widgets.insert(widgets.end(), cell.sliders.begin(), cell.sliders.end());
    for (size_t w = 0; w < widgets.size(); w++) {
      // Give every widget of the effect a new value, fire one of them.
      cell.sw->value(w % 2 == 0);
      for (size_t k = 0; k < cell.sliders.size(); k++)
        cell.sliders[k]->value(cell.sliders[k]->minimum() + (w + k + 1) * cell.sliders[k]->step());
      strcpy(tbuffer, "Wrote 10 bytes to faders.txt");
      ShowStatus();
      std::vector<float> before = Snapshot();
      widgets[w]->do_callback();
      std::vector<float> after = Snapshot();
      EXPECT_STREQ(Status(), "") << Effects[fx].keyword << " widget " << w;
      for (size_t i : Changed(before, after)) {
        bool own = i >= At(fx, 9, 0) && i < At(fx, 9, REC);
        bool global = i >= (size_t)NUM_EFFECTS * NUM_SLOTS * REC;
        EXPECT_TRUE(own || global) << Effects[fx].keyword << " changed element " << i;
        EXPECT_TRUE(!global || fx == FX_REV || fx == FX_TREV) << Effects[fx].keyword;
      }
      const float* rec = Effects[fx].table + 9 * REC;
      EXPECT_EQ(rec[0], cell.sw->value() ? 1.0f : 0.0f) << Effects[fx].keyword;
      for (size_t k = 0; k < cell.sliders.size(); k++)
        EXPECT_EQ(rec[k + 1], (float)cell.sliders[k]->value()) << Effects[fx].keyword << k;
      for (int k = Effects[fx].count; k < REC; k++) EXPECT_EQ(rec[k], 0.0f);
    }
  }
}

TEST(EffectsLoad, RecordsLoadUnclampedAndFlagsByTruncation) {
  ResetEditor();
  // The defaults, not the sliders' initial values, after the start-up refresh.
  EXPECT_EQ(lshelf1->value(), 500);
  EXPECT_EQ(lshelf1->maximum(), 300);
  EXPECT_EQ(band2_1->value(), 2500);
  EXPECT_EQ(comp3->value(), 100);
  EXPECT_EQ(rms3->value(), 100);
  EXPECT_EQ(trev_size->value(), 150);
  EXPECT_EQ(trev_taps->value(), 5);

  // Storing the low shelf without touching its frequency keeps 500.
  Click(lshelf0);
  Release(lshelf2, 3);
  EXPECT_EQ(Plshelf[1 * REC + 0], 1.0f);
  EXPECT_EQ(Plshelf[1 * REC + 1], 500.0f);
  EXPECT_EQ(Plshelf[1 * REC + 2], 3.0f);

  // A value outside a slider's range is shown as it is.
  Pcomp[9 * REC + 2] = 77;
  Pfxg[9 * REC + 1] = -40;
  Spin(RegularNum, 9);
  EXPECT_EQ(comp2->value(), 77);
  EXPECT_EQ(fxg1->value(), -40);

  // On flags: truncated toward zero, on when not 0; not-a-number is off.
  const struct { float flag; int on; } flags[] = {
      {0.5f, 0}, {0.99f, 0}, {1.0f, 1}, {2.0f, 1}, {-1.0f, 1}, {-0.5f, 0}, {NAN, 0}, {0.0f, 0}};
  for (const auto& f : flags) {
    Plim[9 * REC] = f.flag;
    Spin(RegularNum, 9);
    EXPECT_EQ(lim0->value(), f.on) << f.flag;
  }
}

TEST(Reverb, AStoreReStoresTheCurrentSendAndEveryGlobalOfItsReverb) {
  ResetEditor();
  Prev[12 * REC + 0] = 1;
  Prev[12 * REC + 1] = -6;
  Ptrev[12 * REC + 0] = 1;
  Ptrev[12 * REC + 1] = -9;
  Spin(RegularNum, 12);
  strcpy(tbuffer, "Mix Complete");
  ShowStatus();

  Release(rev_size, 300);
  EXPECT_EQ(Prtn[1], 300.0f);
  EXPECT_EQ(Prev[12 * REC + 0], 1.0f);
  EXPECT_EQ(Prev[12 * REC + 1], -6.0f);
  EXPECT_STREQ(Status(), "");

  Click(Rev_HP0);  // "High Pass" on stores its frequency with it
  EXPECT_EQ(Prhp[0], 1.0f);
  EXPECT_EQ(Prhp[1], 150.0f);
  EXPECT_EQ(Prev_width, 50.0f);
  EXPECT_EQ(Prev_position[2], 43.0f);

  std::vector<float> before = Snapshot();
  Release(trev_taps, 7);
  EXPECT_EQ(Ptrtn[2], 7.0f);
  EXPECT_EQ(Ptrtn[1], 150.0f);
  EXPECT_EQ(Ptrev[12 * REC + 1], -9.0f);
  EXPECT_EQ(Changed(before, Snapshot()).size(), 1u);  // the tap count alone

  // A send edit stores the reverb's globals from the Reverb window too.
  Release(rev_send, -3);
  EXPECT_EQ(Prev[12 * REC + 1], -3.0f);
  EXPECT_EQ(Prtn[1], 300.0f);
}

TEST(Reverb, AChannelChangeLoadsReturnsButNotFiltersWidthOrPosition) {
  ResetEditor();
  Prtn[1] = 440;
  Ptrtn[0] = -5;
  Prhp[0] = 1;
  Prhp[1] = 200;
  Prlp[1] = 5000;
  Prev_width = 80;
  Prev_position[0] = 10;
  Spin(RegularNum, 3);
  EXPECT_EQ(rev_size->value(), 440);
  EXPECT_EQ(trev_rtn->value(), -5);
  EXPECT_EQ(Rev_HP0->value(), 0);
  EXPECT_EQ(Rev_HP1->value(), 150);
  EXPECT_EQ(rev_width->value(), 50);
  UpdateReverbSettings();
  EXPECT_EQ(Rev_HP0->value(), 1);
  EXPECT_EQ(Rev_HP1->value(), 200);
  EXPECT_EQ(Rev_LP0->value(), 0);
  EXPECT_EQ(Rev_LP1->value(), 5000);
  EXPECT_EQ(rev_width->value(), 80);
  EXPECT_EQ(rev_positionX->value(), 10);
}

// Creation order is the keyboard order; every slider stores on release.
TEST(EffectsWindow, WidgetsInTheirOrderAndStyle) {
  BuildEditorOnce();
  ASSERT_STREQ(EffectsWindow->label(), "Effects");
  EXPECT_EQ(EffectsWindow->w(), 520);
  EXPECT_EQ(EffectsWindow->h(), 620);
  Fl_Widget* mix = nullptr;
  for (int i = 0; i < EffectsWindow->children(); i++)
    if (EffectsWindow->child(i)->label() && !strcmp(EffectsWindow->child(i)->label(), "Mix"))
      mix = EffectsWindow->child(i);
  ASSERT_NE(mix, nullptr);
  const std::vector<Fl_Widget*> order = {
      SelectRegularChannel, SelectGroupChannel, SelectMasterChannel, RegularNum, GroupNum,
      comp1, comp2, comp3, comp4, rms1, rms2, rms3, rms4, nlc1, nlc2, nlc3, lim1,
      lshelf1, lshelf2, lshelf3, band1_1, band1_2, band1_3, band2_1, band2_2, band2_3,
      hshelf1, hshelf2, hshelf3, mix, NameInEffects, hpass1, fxg1,
      comp0, rms0, nlc0, lim0, lshelf0, band1_0, band2_0, hshelf0, hpass0, fxg0,
      rev_send, trev_send, rev_state, trev_state};
  ASSERT_EQ(EffectsWindow->children(), (int)order.size());
  for (size_t i = 0; i < order.size(); i++) EXPECT_EQ(EffectsWindow->child(i), order[i]) << i;
  EXPECT_EQ(((Fl_Button*)mix)->shortcut(), FL_CTRL + 'm');

  const std::vector<Fl_Widget*> reverb = {rev_rtn, trev_rtn, rev_size, trev_taps, trev_size,
                                          Rev_LP1, Rev_HP1, Rev_LP0, Rev_HP0, rev_width,
                                          rev_positionX, rev_positionY, rev_positionZ};
  ASSERT_STREQ(ReverbWindow->label(), "Reverb");
  ASSERT_EQ(ReverbWindow->children(), (int)reverb.size());
  for (size_t i = 0; i < reverb.size(); i++) EXPECT_EQ(ReverbWindow->child(i), reverb[i]) << i;

  for (Fl_Double_Window* w : {EffectsWindow, ReverbWindow})
    for (int i = 0; i < w->children(); i++) {
      Fl_Widget* o = w->child(i);
      if (Fl_Value_Slider* s = dynamic_cast<Fl_Value_Slider*>(o)) {
        EXPECT_EQ(s->when(), FL_WHEN_RELEASE) << s->label();
        EXPECT_EQ(s->type(), FL_HOR_SLIDER) << s->label();
      } else if (o != mix && dynamic_cast<Fl_Button*>(o) && !dynamic_cast<Fl_Round_Button*>(o)) {
        EXPECT_EQ(((Fl_Button*)o)->type(), FL_TOGGLE_BUTTON) << o->label();
      }
    }
  // Spot checks of the grid's geometry and the Reverb window's odd one out.
  EXPECT_EQ(comp0->x(), 30);
  EXPECT_EQ(comp0->y(), 125);
  EXPECT_EQ(hshelf3->x(), 391);
  EXPECT_EQ(hshelf3->y(), 453);
  EXPECT_EQ(trev_send->x(), 391);
  EXPECT_EQ(trev_send->y(), 553);
  EXPECT_EQ(Rev_HP0->h(), 19);
  EXPECT_EQ(rev_positionZ->y(), 93);
}

namespace {

// Selects a channel slot the way a user would: "Channel" and its spinner,
// "Submix" and its spinner, or "Master".
void Select(int slot) {
  if (!SelectRegularChannel->value()) Click(SelectRegularChannel);
  if (slot == 0) {
    Click(SelectMasterChannel);
  } else if (slot >= 128) {
    GroupNum->value(slot - 127);
    Click(SelectGroupChannel);
  } else {
    Spin(RegularNum, slot);
  }
  ASSERT_EQ(CNL, slot);
}

bool Contains(const std::string& text, const std::string& line) {
  return text.find(line) != std::string::npos;
}

}  // namespace

// Every effect of a channel, a submix and the master, and both reverbs, set
// in the windows, stored, recalled into a reset model, shown again and
// stored again from the widgets, give the same faders.txt.
TEST(EffectsFile, StoreRecallStoreGivesTheSameFile) {
  ScopedWorkDir dir;
  ResetEditor();
  const int slots[] = {7, 129, 0};
  std::vector<GridCell> grid = Grid();
  for (int ci = 0; ci < 3; ci++) {
    Select(slots[ci]);
    for (int fx = 0; fx < NUM_EFFECTS; fx++) {
      const GridCell& cell = grid[fx];
      Click(cell.sw);
      for (size_t k = 0; k < cell.sliders.size(); k++) {
        if (fx == FX_LSHELF && k == 0 && ci == 0) continue;  // keeps the default 500
        Fl_Value_Slider* s = cell.sliders[k];
        Release(s, s->minimum() + s->step() * (2 + k + 3 * ci + fx));
      }
    }
  }
  Select(12);  // a parameter moved while its effect is off is not written
  Release(comp2, 33);
  const struct { Fl_Value_Slider* s; double v; } reverb[] = {
      {rev_rtn, -3}, {rev_size, 300}, {trev_rtn, -2.5}, {trev_size, 200}, {trev_taps, 7},
      {Rev_HP1, 180}, {Rev_LP1, 6500}, {rev_width, 60}, {rev_positionX, 20},
      {rev_positionY, 30}, {rev_positionZ, 40}};
  for (const auto& r : reverb) Release(r.s, r.v);
  Click(Rev_HP0);
  Click(Rev_LP0);

  StageWriteToFile();
  const std::string first = ReadFileBytes("faders.txt");
  if (first.empty()) GTEST_SKIP() << "the faders.txt writer is not there yet";
  for (const char* line :
       {"\ncomp\t7\t-29.8\t0.4\t14.0\t1.6\n", "\nlshelf\t7\t500.0\t", "\ncomp\tG\t2\t",
        "\nhp\tM\t", "\nfxg\tM\t", "\nrev\tG\t2\t", "\ntrev\t7\t", "\nrtn\t-3.0\t300.0\n",
        "\ntrtn\t-2.5\t200.0\t7.0\n", "\nrlp\t6500\n", "\nrhp\t180\n", "\nwidth\t60\n",
        "\npos\t20\t30\t40\n"})
    EXPECT_TRUE(Contains(first, line)) << line;
  EXPECT_FALSE(Contains(first, "\ncomp\t12\t"));

  ResetEditor();
  ASSERT_EQ(Rev_HP0->value(), 0);  // nothing of the first store is left on show
  ASSERT_EQ(rev_width->value(), 50);
  StageReadFromFile();
  UpdateEffects();
  UpdateReverbSettings();
  EXPECT_EQ(Prhp[0], 1.0f);
  for (int slot : slots) {
    Select(slot);
    for (const GridCell& cell : grid) {
      EXPECT_EQ(cell.sw->value(), 1) << slot;
      cell.sw->do_callback();
    }
  }
  Select(7);
  EXPECT_EQ(lshelf1->value(), 500);
  EXPECT_EQ(rev_size->value(), 300);
  EXPECT_EQ(rev_positionZ->value(), 40);
  rev_width->do_callback();
  trev_taps->do_callback();

  StageWriteToFile();
  EXPECT_EQ(ReadFileBytes("faders.txt"), first);
}
