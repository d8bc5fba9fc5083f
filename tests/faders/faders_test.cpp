// The Faders window built by the real make_window2, driven headless: widgets
// are set and their callbacks fired as a click or a typed value would.
#include <algorithm>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <typeinfo>

#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Spinner.H>
#include <FL/Fl_Value_Input.H>
#include <FL/Fl_Value_Output.H>
#include <gtest/gtest.h>

#include "app/app.h"
#include "effects/effects.h"
#include "faders/faders.h"
#include "model/model.h"
#include "routing/routing.h"
#include "testlib.h"

namespace {

class Faders : public testing::Test {
 protected:
  void SetUp() override {
    BuildEditorOnce();
    ClearInternalArrays();
    Show(1, 1);
    UpdateGUI();
  }
  static void Show(double row, double bank) {
    TimeIndex->value(row);
    Bank->value(bank);
    StageVolVarnUpdate();
  }
  static void Marker() { TextResponse->value("marker"); }
  static void Set(Fl_Widget* w, double v) {
    if (auto* s = dynamic_cast<Fl_Spinner*>(w)) s->value(v);
    if (auto* i = dynamic_cast<Fl_Valuator*>(w)) i->value(v);
    if (auto* b = dynamic_cast<Fl_Button*>(w)) b->value(v != 0);
    w->do_callback();
  }
};

// The bytes of every table the Faders window writes.
std::string Model() {
  std::string s;
#define ADD(t) s.append((const char*)t, sizeof t);
  ADD(Volume) ADD(Offset) ADD(Ramp) ADD(Shape) ADD(ChanActive) ADD(Pan) ADD(SoloArray)
  ADD(MuteArray) ADD(IndexActiveArray) ADD(IndexMin) ADD(IndexSec) ADD(IndexMsec)
  ADD(NameBuffer) ADD(CueNameBuffer) ADD(MixName)
#undef ADD
  return s;
}

testing::AssertionResult Same(const std::string& a, const std::string& b) {
  if (a == b) return testing::AssertionSuccess();
  size_t at = std::mismatch(a.begin(), a.end(), b.begin()).first - a.begin();
  return testing::AssertionFailure() << "the model differs at byte " << at;
}

TEST_F(Faders, BankMapsStripsToChannels) {
  struct { double bank; int first, sub, vca; } banks[] = {
      {1, 1, 128, 136}, {2, 11, 129, 137}, {8, 71, 135, 143}, {9, 81, -1, -1}, {12, 111, -1, -1}};
  for (const auto& b : banks) {
    Show(1, b.bank);
    for (int k = 1; k <= 10; k++) EXPECT_EQ(StripSlot(k), b.first + k - 1) << b.bank;
    EXPECT_EQ(StripSlot(11), b.sub) << b.bank;
    EXPECT_EQ(StripSlot(12), b.vca) << b.bank;
    EXPECT_EQ(StripSlot(13), 0) << b.bank;
    EXPECT_EQ(DispNum1->value(), b.first);
    EXPECT_EQ(DispNum10->value(), b.first + 9);
    EXPECT_EQ(DispNum11->value(), b.bank);
    EXPECT_EQ(DispNum12->value(), b.bank);
  }
  // One volume edit stores every strip at its channel, bank 8.
  Show(1, 8);
#define VOLUME(T, stem, k) vol##k->value(-k);
  ORVANE_STRIPS_13(VOLUME, , )
  vol1->do_callback();
  for (int k = 1; k <= 10; k++) EXPECT_EQ(Volume[Cell(70 + k, 0)], -k);
  EXPECT_EQ(Volume[Cell(135, 0)], -11);
  EXPECT_EQ(Volume[Cell(143, 0)], -12);
  EXPECT_EQ(Volume[Cell(0, 0)], -13);
}

// Banks 9 to 12 have no submix or VCA strip: it shows "(unavailable)" and
// its widgets store nothing.
TEST_F(Faders, BanksWithoutSubmixShowUnavailableAndStoreNothing) {
  Pan[135] = 40;
  Show(1, 8);
  Show(1, 9);
  EXPECT_STREQ(name11->value(), "(unavailable)");
  EXPECT_STREQ(name12->value(), "(unavailable)");
  EXPECT_EQ(pan11->value(), 40);  // the value widgets keep showing bank 8
  std::string before = Model();
  name11->value("renamed");
  name11->do_callback();
  vol11->value(-20);
  for (Fl_Widget* w : std::initializer_list<Fl_Widget*>{pan11, ramp12, A12}) Set(w, 2);
  vol1->do_callback();
  EXPECT_TRUE(Same(Model(), before));
}

// Edits land in the row and bank shown last: strip 3 of bank 2 is channel
// 13, of bank 3 channel 23; per-channel values do not depend on the row.
TEST_F(Faders, EditsWriteTheShownRowAndBank) {
  for (int bank : {2, 3}) {
    Show(bank * 3 - 3, bank);  // rows 3 and 6
    std::string before = Model();
    Marker();
    Set(vol3, -7.5);
    int element = (bank == 2 ? 13 * 512 + 2 : 23 * 512 + 5);
    EXPECT_EQ(Volume[element], -7.5f);
    Volume[element] = 0;
    EXPECT_TRUE(Same(Model(), before));
    EXPECT_STREQ(TextResponse->value(), "");
  }
  GuiMin->value(2);
  GuiMsec->value(250);
  Marker();
  Set(GuiSec, 75);
  Set(IndexActive, 1);
  EXPECT_EQ(IndexMin[5], 2);
  EXPECT_EQ(IndexSec[5], 75);  // no carry into minutes
  EXPECT_EQ(IndexMsec[5], 250);
  EXPECT_EQ(IndexActiveArray[5], 1);
  EXPECT_EQ(IndexSec[2], 0);
  EXPECT_STREQ(TextResponse->value(), "");
  Set(pan2, -30);  // mute12 of bank 3 is VCA 3
  Set(mute12, 1);
  Set(solo1, 1);
  EXPECT_EQ(Pan[22], -30);
  EXPECT_EQ(MuteArray[138], 1);
  EXPECT_EQ(SoloArray[21], 1);
  Show(200, 3);
  EXPECT_EQ(pan2->value(), -30);
  EXPECT_EQ(mute12->value(), 1);
}

// Refused values change nothing and stay on show until the next refresh;
// the ends of the ranges are stored, each at its own strip only.
TEST_F(Faders, RejectedRampShapeAndPanLeaveTheModel) {
  Show(4, 1);
  float &ramp = Ramp[Cell(2, 3)], &shape = Shape[Cell(2, 3)];
  ramp = 1.5f;
  shape = 2.0f;
  Pan[2] = 25;
  pan3->value(70);
  const struct { Fl_Value_Input* w; double v; float* stored; } cases[] = {
      {ramp2, -1, 0},    {ramp2, -0.001, 0},  {shape2, 0, 0},        {shape2, -1, 0},
      {pan2, 150, 0},    {pan2, -100.5, 0},   {ramp2, 0, &ramp},     {shape2, 0.125, &shape},
      {pan2, -100, &Pan[2]}, {pan2, 100, &Pan[2]}};
  for (const auto& c : cases) {
    std::string before = Model();
    Marker();
    Set(c.w, c.v);
    if (c.stored) {
      EXPECT_EQ(*c.stored, (float)c.v);
    } else {
      EXPECT_TRUE(Same(Model(), before)) << c.v;
      EXPECT_STREQ(TextResponse->value(), "") << c.v;
      EXPECT_EQ(c.w->value(), c.v);
    }
  }
  EXPECT_EQ(Pan[3], 0);
}

// Row r gets values from row "from" in every table that moves, for the
// master, an input channel and a VCA.
void FillRow(int r, int from) {
  for (int c : {0, 5, 143}) {
    Volume[Cell(c, r)] = -(float)from;
    Offset[Cell(c, r)] = from + 0.5f;
    Ramp[Cell(c, r)] = from + 0.25f;
    Shape[Cell(c, r)] = 2.0f;
    ChanActive[Cell(c, r)] = 1;
  }
  IndexActiveArray[r] = 1;
  IndexMin[r] = (float)from;
  IndexSec[r] = from + 0.5f;
  IndexMsec[r] = 7;
}

// Insert, remove and propagate from the Edit Index menu at the first and
// last rows, on a model where every row r holds r and row 1 has a cue name.
// Afterwards row r must hold what row moved[r] held (-1: an empty row), the
// rows not listed their own; cue names stay with their row number.
TEST_F(Faders, RowOperationsAtTheFirstAndLastRows) {
  std::map<int, int> insert1 = {{0, -1}}, remove1 = {{511, 511}};
  for (int r = 1; r < NUM_ROWS; r++) insert1[r] = r - 1;
  for (int r = 0; r < 511; r++) remove1[r] = r + 1;  // the last row keeps its own
  const struct { int item, shown; std::map<int, int> moved; const char* status; } cases[] = {
      {0, 1, insert1, "Inserted new index 1"}, {0, 512, {{511, -1}}, "Inserted new index 512"},
      {1, 1, remove1, "Removed index 1"},      {1, 512, {}, "Removed index 512"},
      {2, 510, {{510, 509}}, "Propagated index 510 forward"},
      {2, 511, {}, "Propagated index 511 forward"}, {2, 512, {}, "Propagated index 512 forward"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    ClearInternalArrays();
    for (int r = 0; r < NUM_ROWS; r++) FillRow(r, r);
    strcpy(CueNameBuffer[1], "verse");
    Show(c.shown, 1);
    for (int i = 0; i < FadersWindow->children(); i++)
      if (auto* m = dynamic_cast<Fl_Menu_Button*>(FadersWindow->child(i)))
        m->menu()[c.item].do_callback(m);
    std::string got = Model();
    ClearInternalArrays();
    strcpy(CueNameBuffer[1], "verse");
    for (int r = 0; r < NUM_ROWS; r++) {
      int from = c.moved.count(r) ? c.moved.at(r) : r;
      if (from >= 0) FillRow(r, from);
      else IndexActiveArray[r] = 0;  // even row 0, in use after a reset
    }
    EXPECT_TRUE(Same(got, Model()));
    EXPECT_STREQ(TextResponse->value(), c.status);
    EXPECT_EQ(TimeIndex->value(), c.shown);  // the shown row, refreshed
    EXPECT_EQ(vol5->value(), Volume[Cell(5, c.shown - 1)]);
    EXPECT_EQ(IndexActive->value(), IndexActiveArray[c.shown - 1]);
  }
}

int fired = 0;
void Count(Fl_Widget*, void*) { fired++; }

// Every refresh with every widget's callback counting instead: nothing
// fires, the model stays, and the widgets show the model again.
TEST_F(Faders, RefreshesNeverChangeTheModelOrFireCallbacks) {
  for (int r = 0; r < 20; r++) FillRow(r, r);
  MuteArray[5] = 1;
  strcpy(CueNameBuffer[2], "chorus");
  vol5->value(5);  // widgets holding values the model does not
  ramp5->value(-9);
  A4->value(1);
  name1->value("typed");
  std::map<Fl_Widget*, std::pair<Fl_Callback*, void*>> saved;
  for (int i = 0; i < FadersWindow->children(); i++) {
    Fl_Widget* w = FadersWindow->child(i);
    saved[w] = {w->callback(), w->user_data()};
    w->callback(Count);
  }
  std::string before = Model();
  Marker();
  Show(3, 9);
  Show(3, 1);
  UpdateNames();
  UpdateMixName();
  EXPECT_STREQ(TextResponse->value(), "marker");
  strcpy(tbuffer, "Read 1234 bytes from faders.txt");
  UpdateGUI();
  EXPECT_STREQ(TextResponse->value(), "Read 1234 bytes from faders.txt");
  EXPECT_TRUE(Same(Model(), before));
  EXPECT_EQ(fired, 0);
  for (auto& s : saved) s.first->callback(s.second.first, s.second.second);
  EXPECT_STREQ(CueName->value(), "chorus");
  EXPECT_STREQ(name1->value(), "");
  EXPECT_EQ(vol5->value(), -2);
  EXPECT_EQ(ramp5->value(), 2.25);
  EXPECT_EQ(A4->value(), 0);
  EXPECT_EQ(mute5->value(), 1);
  EXPECT_EQ(GuiSec->value(), 2.5);
}

// Typed names are cut to their slots and leave the status alone; a chosen
// file names the strip's channel unless nothing was chosen (the chooser
// then reports nothing or its directory) or it does not fit: then the name
// stays and the status says why.
TEST_F(Faders, NamesFitTheirSlots) {
  Show(5, 2);
  std::string longtext(300, 'n');
  Marker();
  for (Fl_Input* w : {name4, CueName, MixNameInput, name11}) {
    w->value(w == name11 ? "Drums bus" : longtext.c_str());
    w->do_callback();
  }
  EXPECT_EQ(std::string(NameBuffer[14]), longtext.substr(0, 127));
  EXPECT_EQ(std::string(CueNameBuffer[4]), longtext.substr(0, 63));
  EXPECT_EQ(std::string(MixName), longtext.substr(0, 127));
  EXPECT_STREQ(NameBuffer[129], "Drums bus");
  EXPECT_STREQ(TextResponse->value(), "marker");

  BrowseNumber = 4;
  StoreChosenFile("/music/takes/kick.wav");
  EXPECT_STREQ(name4->value(), "/music/takes/kick.wav");
  std::string deep = "/" + std::string(140, 'd') + "/snare.wav";
  for (const char* none : {(const char*)0, "", "/music/takes/", "/tmp", deep.c_str()})
    StoreChosenFile(none);
  EXPECT_STREQ(NameBuffer[14], "/music/takes/kick.wav");
  EXPECT_STREQ(TextResponse->value(), "Path too long for a track name (151 characters, at most 127)");
  std::string fits = "/" + std::string(117, 'd') + "/a.wav";  // 127 characters
  StoreChosenFile(fits.c_str());
  EXPECT_EQ(std::string(NameBuffer[14]), fits);
}

TEST_F(Faders, RenameReachesTheEffectsNameAndTheMatrices) {
  GroupNum->value(8);  // the Effects window shows submix 8
  Set(SelectGroupChannel, 1);
  Show(1, 8);
  name11->value("Strings");
  name11->do_callback();
  EXPECT_STREQ(NameInEffects->value(), "Strings");
  Set(SelectGroupChannel, 0);

  Show(1, 1);  // the matrices show bank 1 too
  name3->value("Bass DI");
  name3->do_callback();
  BrowseNumber = 2;
  StoreChosenFile("/takes/gtr.wav");
  EXPECT_STREQ(sub_text_C->value(), "Bass DI");
  EXPECT_STREQ(vca_text_C->value(), "Bass DI");
  EXPECT_STREQ(sub_text_B->value(), "/takes/gtr.wav");
  EXPECT_STREQ(vca_text_B->value(), "/takes/gtr.wav");
}

// The window's widgets in creation order: global name, class, geometry,
// label, range and value, when, shortcut and menu, against the golden text.
TEST_F(Faders, LayoutMatchesTheGolden) {
  std::map<Fl_Widget*, std::string> names = {
      {MixNameInput, "MixNameInput"}, {MixButton3, "MixButton3"}, {TimeIndex, "TimeIndex"},
      {IndexActive, "IndexActive"}, {CueName, "CueName"}, {GuiMin, "GuiMin"}, {GuiSec, "GuiSec"},
      {GuiMsec, "GuiMsec"}, {Bank, "Bank"}, {name13, "name13"}};
#define NAME(T, stem, k) names[stem##k] = #stem #k;
#define COLUMN(T, stem, n) ORVANE_STRIPS_##n(NAME, T, stem)
  ORVANE_FADER_COLUMNS(COLUMN)
  std::ostringstream s;
  s << FadersWindow->label() << ' ' << FadersWindow->w() << 'x' << FadersWindow->h() << '\n';
  for (int i = 0; i < FadersWindow->children(); i++) {
    Fl_Widget* w = FadersWindow->child(i);
    std::string type = typeid(*w).name();
    s << (names.count(w) ? names[w] : "-") << ' ' << type.substr(type.find_first_not_of("0123456789"))
      << ' ' << w->x() << ',' << w->y() << ' ' << w->w() << 'x' << w->h() << " \""
      << (w->label() ? w->label() : "") << '"';
    if (auto* o = dynamic_cast<Fl_Spinner*>(w))
      s << ' ' << o->minimum() << ".." << o->maximum() << '/' << o->step() << " =" << o->value();
    if (auto* o = dynamic_cast<Fl_Valuator*>(w))
      s << ' ' << o->minimum() << ".." << o->maximum() << '/' << o->step() << " =" << o->value();
    if (auto* o = dynamic_cast<Fl_Input_*>(w)) s << " =\"" << o->value() << '"';
    if (auto* o = dynamic_cast<Fl_Button*>(w))
      s << " type " << (int)o->type() << " =" << (int)o->value() << " key " << o->shortcut();
    if (auto* o = dynamic_cast<Fl_Menu_Button*>(w))
      for (const Fl_Menu_Item* it = o->menu(); it && it->label(); it = it->next())
        s << " [" << it->label() << ']';
    s << " when " << (int)w->when() << '\n';
  }
  if (getenv("ORVANE_UPDATE_GOLDEN"))
    WriteFileBytes(std::string(ORVANE_SOURCE_DIR) + "/tests/golden/faders_window_layout.txt", s.str());
  EXPECT_EQ(s.str(), Golden("faders_window_layout.txt"));
}

}  // namespace
