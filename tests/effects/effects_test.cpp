// The Effects and Reverb windows, built headless by the real builders:
// channel selection, the store operations, the load step, and a round trip
// through faders.txt.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <FL/Fl_Button.H>
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

// A user's edit: a toggle flips, a slider is released at v, a spinner set to
// v; then the callback runs.
void Set(Fl_Widget* w, double v = 0) {
  if (auto* b = dynamic_cast<Fl_Button*>(w)) b->value(!b->value());
  if (auto* s = dynamic_cast<Fl_Valuator*>(w)) s->value(v);
  if (auto* s = dynamic_cast<Fl_Spinner*>(w)) s->value(v);
  w->do_callback();
}

void Status(const char* text) {
  strcpy(tbuffer, text);
  ShowStatus();
}

// Every effect table and reverb global, to see what an operation changed.
std::vector<float> Snapshot() {
  std::vector<float> all;
  for (const EffectDef& fx : Effects) all.insert(all.end(), fx.table, fx.table + NUM_SLOTS * REC);
#define ADD(g) all.insert(all.end(), (const float*)&g, (const float*)&g + sizeof g / sizeof(float));
  ADD(Prtn) ADD(Ptrtn) ADD(Prhp) ADD(Prlp) ADD(Prev_position) ADD(Prev_width)
#undef ADD
  return all;
}

// Indexes in Snapshot() whose values differ (NaN-safe, bitwise).
std::vector<size_t> Changed(const std::vector<float>& a, const std::vector<float>& b) {
  std::vector<size_t> out;
  for (size_t i = 0; i < a.size(); i++)
    if (memcmp(&a[i], &b[i], sizeof(float)) != 0) out.push_back(i);
  return out;
}

TEST(EffectsSelection, ButtonsStayExclusiveAndFallBackToChannel) {
  ResetEditor();
  Set(RegularNum, 7);
  Status("Mix Complete");
  std::vector<float> before = Snapshot();
  const struct { Fl_Widget* w; double v; int regular, group, master, cnl; const char* name; } steps[] = {
      {SelectGroupChannel, 0, 0, 1, 0, 128, "Submix 1"},
      {GroupNum, 3, 0, 1, 0, 130, "Submix 3"},
      {SelectGroupChannel, 0, 1, 0, 0, 7, ""},  // on -> off: "Channel" takes over
      {SelectMasterChannel, 0, 0, 0, 1, 0, "Master"},
      {SelectMasterChannel, 0, 1, 0, 0, 7, ""},
      {SelectRegularChannel, 0, 1, 0, 0, 7, ""},  // "Channel" cannot be switched off
      {GroupNum, 5, 1, 0, 0, 7, ""},              // the submix spinner alone does not select
  };
  for (const auto& s : steps) {
    Set(s.w, s.v);
    SCOPED_TRACE(s.w->label() ? s.w->label() : "spinner");
    EXPECT_EQ(SelectRegularChannel->value(), s.regular);
    EXPECT_EQ(SelectGroupChannel->value(), s.group);
    EXPECT_EQ(SelectMasterChannel->value(), s.master);
    EXPECT_EQ(CNL, s.cnl);
    EXPECT_STREQ(NameInEffects->value(), s.name);
  }
  EXPECT_EQ(RegularNum->value(), 7);
  EXPECT_TRUE(Changed(before, Snapshot()).empty());  // selecting stores nothing
  EXPECT_STREQ(TextResponse->value(), "Mix Complete");
}

TEST(EffectsSelection, ChannelNumbersAreClamped) {
  ResetEditor();
  for (auto [value, cnl] : {std::pair<double, int>{200, 127}, {127.9, 127}, {110.9, 110},
                            {0.5, 1}, {0, 1}, {-3.5, 1}, {NAN, 1}}) {
    Set(RegularNum, value);
    EXPECT_EQ(CNL, cnl) << value;
  }
  // Above the last submix: slot 135; the spinner's own callback sets the
  // spinner back to 8, the "Submix" button's callback leaves it.
  Set(RegularNum, 4);
  GroupNum->value(12);
  Set(SelectGroupChannel);
  EXPECT_EQ(CNL, 135);
  EXPECT_EQ(GroupNum->value(), 12);
  Set(GroupNum, 9);
  EXPECT_EQ(CNL, 135);
  EXPECT_EQ(GroupNum->value(), 8);
  // Below the first submix, or not a number, the selection stays on submix
  // 1 instead of reaching a regular channel or outside every table.
  for (double bad : {0.0, -40.0, (double)NAN}) {
    Set(GroupNum, bad);
    EXPECT_EQ(CNL, 128) << bad;
    EXPECT_EQ(GroupNum->value(), 1) << bad;
    EXPECT_STREQ(NameInEffects->value(), "Submix 1");
  }
}

// Switching "Peak Comp" on stores the whole record of the selection (the
// defaults shown) and nothing else, and empties the status field.
TEST(EffectsStore, AnEditLandsInTheSelectedRecordOnly) {
  ResetEditor();
  const struct { void (*select)(); int record; } cases[] = {
      {[] { Set(RegularNum, 5); }, 5},
      {[] { Set(SelectMasterChannel); }, 0},
      {[] { Set(SelectGroupChannel); Set(GroupNum, 3); }, 130},
  };
  for (const auto& c : cases) {
    c.select();
    ASSERT_EQ(CNL, c.record);
    Status("Wrote 10 bytes to faders.txt");
    std::vector<float> before = Snapshot();
    Set(comp0);
    EXPECT_EQ(Changed(before, Snapshot()), std::vector<size_t>{(size_t)c.record * REC});
    EXPECT_EQ(std::vector<float>(Pcomp + c.record * REC, Pcomp + c.record * REC + 5),
              std::vector<float>({1, 0, 10, 100, 1.5f}));
    EXPECT_STREQ(TextResponse->value(), "");
    Set(comp0);
    EXPECT_EQ(Pcomp[c.record * REC], 0.0f);
    Set(SelectRegularChannel);  // back to "Channel" from any selection
  }
}

TEST(EffectsStore, AParameterMovedWhileOffKeepsTheEffectOff) {
  ResetEditor();
  Set(RegularNum, 5);
  Set(comp2, 25);
  EXPECT_EQ(Pcomp[5 * REC + 0], 0.0f);
  EXPECT_EQ(Pcomp[5 * REC + 2], 25.0f);
  EXPECT_EQ(comp0->value(), 0);
  Set(RegularNum, 6);  // another channel shows its own value, and back again 25
  EXPECT_EQ(comp2->value(), 10);
  Set(RegularNum, 5);
  EXPECT_EQ(comp2->value(), 25);
}

// The load step shows records as they are: the low shelf's default 500 in a
// slider ending at 300 (and stored again as 500), values outside a slider's
// range, on flags truncated toward zero (not-a-number off).
TEST(EffectsLoad, RecordsLoadUnclampedAndFlagsByTruncation) {
  ResetEditor();
  EXPECT_EQ(lshelf1->value(), 500);
  EXPECT_EQ(lshelf1->maximum(), 300);
  Set(lshelf0);
  Set(lshelf2, 3);
  EXPECT_EQ(std::vector<float>(Plshelf + REC, Plshelf + REC + 3), std::vector<float>({1, 500, 3}));

  Pcomp[9 * REC + 2] = 77;
  Pfxg[9 * REC + 1] = -40;
  Set(RegularNum, 9);
  EXPECT_EQ(comp2->value(), 77);
  EXPECT_EQ(fxg1->value(), -40);
  for (auto [flag, on] : {std::pair<float, int>{0.5f, 0}, {0.99f, 0}, {1.0f, 1}, {2.0f, 1},
                          {-1.0f, 1}, {-0.5f, 0}, {NAN, 0}, {0.0f, 0}}) {
    Plim[9 * REC] = flag;
    Set(RegularNum, 9);
    EXPECT_EQ(lim0->value(), on) << flag;
  }
}

// A reverb store takes every widget of its reverb and the current channel's
// send with it; the tap reverb's store touches its own globals only.
TEST(Reverb, AStoreReStoresTheCurrentSendAndEveryGlobalOfItsReverb) {
  ResetEditor();
  Prev[12 * REC + 0] = Ptrev[12 * REC + 0] = 1;
  Prev[12 * REC + 1] = -6;
  Ptrev[12 * REC + 1] = -9;
  Set(RegularNum, 12);
  Status("Mix Complete");
  Set(rev_size, 300);
  EXPECT_EQ(Prtn[1], 300.0f);
  EXPECT_EQ(Prev[12 * REC + 0], 1.0f);
  EXPECT_EQ(Prev[12 * REC + 1], -6.0f);
  EXPECT_STREQ(TextResponse->value(), "");
  Set(Rev_HP0);  // "High Pass" on stores its frequency, width and position with it
  EXPECT_EQ(Prhp[1], 150.0f);
  EXPECT_EQ(Prev_width, 50.0f);
  EXPECT_EQ(Prev_position[2], 43.0f);
  std::vector<float> before = Snapshot();
  Set(trev_taps, 7);
  EXPECT_EQ(Ptrtn[2], 7.0f);
  EXPECT_EQ(Changed(before, Snapshot()).size(), 1u);
  Set(rev_send, -3);  // a send edit stores the reverb's globals too
  EXPECT_EQ(Prev[12 * REC + 1], -3.0f);
  EXPECT_EQ(Prtn[1], 300.0f);
}

TEST(Reverb, AChannelChangeLoadsReturnsButNotFiltersWidthOrPosition) {
  ResetEditor();
  Prtn[1] = 440;
  Prhp[0] = 1;
  Prhp[1] = 200;
  Prev_width = 80;
  Prev_position[0] = 10;
  Set(RegularNum, 3);
  EXPECT_EQ(rev_size->value(), 440);
  EXPECT_EQ(Rev_HP0->value(), 0);
  EXPECT_EQ(Rev_HP1->value(), 150);
  EXPECT_EQ(rev_width->value(), 50);
  UpdateReverbSettings();
  EXPECT_EQ(Rev_HP0->value(), 1);
  EXPECT_EQ(Rev_HP1->value(), 200);
  EXPECT_EQ(rev_width->value(), 80);
  EXPECT_EQ(rev_positionX->value(), 10);
}

// The effect grid as the user sees it: each effect's switch and sliders,
// indexed like Effects[].
struct GridCell {
  Fl_Button* sw;
  std::vector<Fl_Value_Slider*> sliders;
};
const std::vector<GridCell>& Grid() {
  static const std::vector<GridCell> grid = {
      {comp0, {comp1, comp2, comp3, comp4}}, {rms0, {rms1, rms2, rms3, rms4}},
      {nlc0, {nlc1, nlc2, nlc3}},            {lim0, {lim1}},
      {lshelf0, {lshelf1, lshelf2, lshelf3}}, {band1_0, {band1_1, band1_2, band1_3}},
      {band2_0, {band2_1, band2_2, band2_3}}, {hshelf0, {hshelf1, hshelf2, hshelf3}},
      {hpass0, {hpass1}},                    {fxg0, {fxg1}},
      {rev_state, {rev_send}},               {trev_state, {trev_send}}};
  return grid;
}

// Selects a channel slot as a user would: "Channel" and its spinner,
// "Submix" and its spinner, or "Master".
void Select(int slot) {
  if (!SelectRegularChannel->value()) Set(SelectRegularChannel);
  if (slot == 0) {
    Set(SelectMasterChannel);
  } else if (slot >= 128) {
    GroupNum->value(slot - 127);
    Set(SelectGroupChannel);
  } else {
    Set(RegularNum, slot);
  }
  ASSERT_EQ(CNL, slot);
}

// Every effect of a channel, a submix and the master set in the windows,
// and both reverbs: each widget stores into its own effect's record and
// empties the status field; stored, recalled into a reset model, shown again
// and stored again from the widgets, they give the same faders.txt.
TEST(EffectsFile, StoreRecallStoreGivesTheSameFile) {
  ScopedWorkDir dir;
  ResetEditor();
  const int slots[] = {7, 129, 0};
  for (int ci = 0; ci < 3; ci++) {
    Select(slots[ci]);
    for (int fx = 0; fx < NUM_EFFECTS; fx++) {
      const GridCell& cell = Grid()[fx];
      Status("Mix Complete");
      Set(cell.sw);
      EXPECT_STREQ(TextResponse->value(), "") << Effects[fx].keyword;
      for (size_t k = 0; k < cell.sliders.size(); k++) {
        if (fx == FX_LSHELF && k == 0 && ci == 0) continue;  // keeps the default 500
        Fl_Value_Slider* s = cell.sliders[k];
        Status("Mix Complete");
        Set(s, s->minimum() + s->step() * (2 + k + 3 * ci + fx));
        EXPECT_STREQ(TextResponse->value(), "") << Effects[fx].keyword << k;
      }
      const float* rec = Effects[fx].table + slots[ci] * REC;
      EXPECT_EQ(rec[0], 1.0f) << Effects[fx].keyword;
      for (size_t k = 0; k < cell.sliders.size(); k++)
        EXPECT_EQ(rec[k + 1], (float)cell.sliders[k]->value()) << Effects[fx].keyword << k;
    }
  }
  Select(12);  // a parameter moved while its effect is off is not written
  Set(comp2, 33);
  const struct { Fl_Value_Slider* s; double v; } reverb[] = {
      {rev_rtn, -3}, {rev_size, 300}, {trev_rtn, -2.5}, {trev_size, 200}, {trev_taps, 7},
      {Rev_HP1, 180}, {Rev_LP1, 6500}, {rev_width, 60}, {rev_positionX, 20},
      {rev_positionY, 30}, {rev_positionZ, 40}};
  for (const auto& r : reverb) Set(r.s, r.v);
  Set(Rev_HP0);
  Set(Rev_LP0);

  StageWriteToFile();
  const std::string first = ReadFileBytes("faders.txt");
  for (const char* line :
       {"\ncomp\t7\t-29.8\t0.4\t14.0\t1.6\n", "\nlshelf\t7\t500.0\t", "\ncomp\tG\t2\t",
        "\nhp\tM\t", "\nfxg\tM\t", "\nrev\tG\t2\t", "\ntrev\t7\t", "\nrtn\t-3.0\t300.0\n",
        "\ntrtn\t-2.5\t200.0\t7.0\n", "\nrlp\t6500\n", "\nrhp\t180\n", "\nwidth\t60\n",
        "\npos\t20\t30\t40\n"})
    EXPECT_NE(first.find(line), std::string::npos) << line;
  EXPECT_EQ(first.find("\ncomp\t12\t"), std::string::npos);

  ResetEditor();
  ASSERT_EQ(Rev_HP0->value(), 0);  // nothing of the first store is left on show
  ASSERT_EQ(rev_width->value(), 50);
  StageReadFromFile();
  UpdateEffects();
  UpdateReverbSettings();
  for (int slot : slots) {
    Select(slot);
    for (const GridCell& cell : Grid()) {
      EXPECT_EQ(cell.sw->value(), 1) << slot;
      cell.sw->do_callback();
    }
  }
  Select(7);
  EXPECT_EQ(lshelf1->value(), 500);
  rev_width->do_callback();
  trev_taps->do_callback();
  StageWriteToFile();
  EXPECT_EQ(ReadFileBytes("faders.txt"), first);
}

}  // namespace
