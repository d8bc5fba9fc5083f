// The Faders window built by the real make_window2, driven headless: widgets
// are set and their callbacks fired as a click or a typed value would.
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Menu_Item.H>
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
#include "testlib.h"

namespace {

#define ADDRESS(T, stem, k) &stem##k,
Fl_Spinner** const vols[] = {ORVANE_STRIPS_13(ADDRESS, , vol)};
Fl_Value_Input** const ramps[] = {ORVANE_STRIPS_13(ADDRESS, , ramp)};
Fl_Value_Input** const shapes[] = {ORVANE_STRIPS_13(ADDRESS, , shape)};
Fl_Value_Input** const pans[] = {ORVANE_STRIPS_13(ADDRESS, , pan)};
Fl_Button** const autos[] = {ORVANE_STRIPS_13(ADDRESS, , A)};
Fl_Input** const names[] = {ORVANE_STRIPS_12(ADDRESS, , name)};
Fl_Value_Output** const dispnums[] = {ORVANE_STRIPS_12(ADDRESS, , DispNum)};

class Faders : public testing::Test {
 protected:
  void SetUp() override {
    BuildEditorOnce();
    ClearInternalArrays();
    TimeIndex->value(1);
    Bank->value(1);
    UpdateGUI();
  }
  static void Show(double row, double bank) {
    TimeIndex->value(row);
    Bank->value(bank);
    StageVolVarnUpdate();
  }
  static void Marker() { TextResponse->value("marker"); }
};

// A copy of every table the Faders window writes.
struct Snapshot {
  std::vector<float> volume, offset, ramp, shape, pan;
  std::vector<int> active, rows, solo, mute;
  std::string names, cues, mix;
  Snapshot()
      : volume(Volume, Volume + NUM_SLOTS * NUM_ROWS),
        offset(Offset, Offset + NUM_SLOTS * NUM_ROWS),
        ramp(Ramp, Ramp + NUM_SLOTS * NUM_ROWS),
        shape(Shape, Shape + NUM_SLOTS * NUM_ROWS),
        pan(Pan, Pan + NUM_SLOTS),
        active(ChanActive, ChanActive + NUM_SLOTS * NUM_ROWS),
        rows(IndexActiveArray, IndexActiveArray + NUM_ROWS),
        solo(SoloArray, SoloArray + NUM_SLOTS),
        mute(MuteArray, MuteArray + NUM_SLOTS),
        names(&NameBuffer[0][0], sizeof NameBuffer),
        cues(&CueNameBuffer[0][0], sizeof CueNameBuffer),
        mix(MixName, sizeof MixName) {
    for (int r = 0; r < NUM_ROWS; r++) {
      rows.push_back((int)(IndexMin[r] * 1000));
      rows.push_back((int)(IndexSec[r] * 1000));
      rows.push_back((int)(IndexMsec[r] * 1000));
    }
  }
  bool operator==(const Snapshot& o) const {
    return volume == o.volume && offset == o.offset && ramp == o.ramp && shape == o.shape &&
           pan == o.pan && active == o.active && rows == o.rows && solo == o.solo &&
           mute == o.mute && names == o.names && cues == o.cues && mix == o.mix;
  }
};

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
  // Every strip's volume edit lands at its channel, bank 8.
  Show(1, 8);
  for (int k = 1; k <= 13; k++) (*vols[k - 1])->value(-k);
  (*vols[0])->do_callback();
  for (int k = 1; k <= 10; k++) EXPECT_EQ(Volume[Cell(70 + k, 0)], -k);
  EXPECT_EQ(Volume[Cell(135, 0)], -11);
  EXPECT_EQ(Volume[Cell(143, 0)], -12);
  EXPECT_EQ(Volume[Cell(0, 0)], -13);
}

TEST_F(Faders, BanksWithoutSubmixShowUnavailableAndStoreNothing) {
  Pan[135] = 40;
  Volume[Cell(143, 0)] = -3;
  Show(1, 8);
  Show(1, 9);
  EXPECT_STREQ(name11->value(), "(unavailable)");
  EXPECT_STREQ(name12->value(), "(unavailable)");
  EXPECT_STREQ(name1->value(), "");
  // The value widgets of strips 11 and 12 keep showing bank 8.
  EXPECT_EQ(pan11->value(), 40);
  EXPECT_EQ(vol12->value(), -3);

  Snapshot before;
  name11->value("renamed");
  name11->do_callback();
  pan11->value(10);
  pan11->do_callback();
  ramp12->value(2);
  ramp12->do_callback();
  vol11->value(-20);
  A12->value(1);
  A12->do_callback();
  vol1->do_callback();
  EXPECT_EQ(ChanActive[Cell(81, 0)], 0);
  EXPECT_TRUE(Snapshot() == before);
  EXPECT_STREQ(NameBuffer[136], "VCA 1");
}

// Bank 2 shows channels 11 to 20, so its strip 3 is channel 13; channel 23
// is strip 3 of bank 3.
TEST_F(Faders, VolumeEditWritesTheShownRowAndBank) {
  for (int bank : {2, 3}) {
    Show(6, bank);
    Snapshot before;
    vol3->value(-7.5);
    Marker();
    vol3->do_callback();
    int element = (bank == 2 ? 13 : 23) * 512 + 5;
    EXPECT_EQ(Volume[element], -7.5f);
    Volume[element] = 0;
    EXPECT_TRUE(Snapshot() == before);
    EXPECT_STREQ(TextResponse->value(), "");
  }

  // Per-channel values do not depend on the row; mute12 of bank 3 is VCA 3.
  Show(6, 3);
  pan2->value(-30);
  pan2->do_callback();
  mute12->value(1);
  mute12->do_callback();
  solo1->value(1);
  solo1->do_callback();
  EXPECT_EQ(Pan[22], -30);
  EXPECT_EQ(MuteArray[138], 1);
  EXPECT_EQ(SoloArray[21], 1);
  Show(200, 3);
  EXPECT_EQ(pan2->value(), -30);
  EXPECT_EQ(mute12->value(), 1);
  EXPECT_EQ(SoloArray[0] + MuteArray[0], 0);
}

TEST_F(Faders, RejectedRampShapeAndPanLeaveTheModel) {
  Show(4, 1);
  Ramp[Cell(2, 3)] = 1.5f;
  Shape[Cell(2, 3)] = 2.0f;
  Pan[2] = 25;
  Snapshot before;
  struct { Fl_Value_Input* w; double v; } rejected[] = {
    {ramp2, -1}, {ramp2, -0.001}, {shape2, 0}, {shape2, -1}, {pan2, 150}, {pan2, -100.5}};
  for (const auto& r : rejected) {
    r.w->value(r.v);
    Marker();
    r.w->do_callback();
    EXPECT_TRUE(Snapshot() == before) << r.v;
    EXPECT_STREQ(TextResponse->value(), "") << r.v;
    EXPECT_EQ(r.w->value(), r.v);   // shown until the next refresh
  }
  ramp2->value(0);
  ramp2->do_callback();
  EXPECT_EQ(Ramp[Cell(2, 3)], 0);
  shape2->value(0.125);
  shape2->do_callback();
  EXPECT_EQ(Shape[Cell(2, 3)], 0.125f);
  for (double p : {-100.0, 100.0}) {
    pan2->value(p);
    pan2->do_callback();
    EXPECT_EQ(Pan[2], p);
  }
  // Ramp, shape and pan store their own strip only.
  pan3->value(70);
  pan2->do_callback();
  EXPECT_EQ(Pan[3], 0);
}

// Row r gets distinct values in every table that moves, channel c's cell.
void FillRow(int r, int c) {
  Volume[Cell(c, r)] = -(float)r;
  Offset[Cell(c, r)] = r + 0.5f;
  Ramp[Cell(c, r)] = r + 0.25f;
  Shape[Cell(c, r)] = 2.0f;
  ChanActive[Cell(c, r)] = 1;
  IndexActiveArray[r] = 1;
  IndexMin[r] = (float)r;
  IndexSec[r] = r + 0.5f;
  IndexMsec[r] = 7;
}

void ExpectRow(int r, int from, int c) {
  EXPECT_EQ(Volume[Cell(c, r)], -(float)from) << r;
  EXPECT_EQ(Offset[Cell(c, r)], from + 0.5f) << r;
  EXPECT_EQ(Ramp[Cell(c, r)], from + 0.25f) << r;
  EXPECT_EQ(Shape[Cell(c, r)], 2.0f) << r;
  EXPECT_EQ(ChanActive[Cell(c, r)], 1) << r;
  EXPECT_EQ(IndexMin[r], (float)from) << r;
  EXPECT_EQ(IndexSec[r], from + 0.5f) << r;
}

void ExpectEmptyRow(int r) {
  for (int c = 0; c < NUM_SLOTS; c++) {
    ASSERT_EQ(Volume[Cell(c, r)], 0) << c;
    ASSERT_EQ(Offset[Cell(c, r)], 0) << c;
    ASSERT_EQ(Ramp[Cell(c, r)], 0) << c;
    ASSERT_EQ(Shape[Cell(c, r)], 1.0f) << c;
    ASSERT_EQ(ChanActive[Cell(c, r)], 0) << c;
  }
  EXPECT_EQ(IndexActiveArray[r], 0);
  EXPECT_EQ(IndexMin[r] + IndexSec[r] + IndexMsec[r], 0);
}

TEST_F(Faders, InsertAtFirstAndLastRow) {
  for (int r = 0; r < NUM_ROWS; r++) FillRow(r, 143);
  strcpy(CueNameBuffer[0], "intro");
  Show(1, 1);
  InsertIndex();
  ExpectEmptyRow(0);
  for (int r = 1; r < NUM_ROWS; r++) ExpectRow(r, r - 1, 143);
  EXPECT_STREQ(CueNameBuffer[0], "intro");   // cue names stay with the row number
  EXPECT_STREQ(CueNameBuffer[1], "");
  EXPECT_STREQ(TextResponse->value(), "Inserted new index 1");
  EXPECT_EQ(IndexActive->value(), 0);

  for (int r = 0; r < NUM_ROWS; r++) FillRow(r, 0);
  Show(512, 1);
  InsertIndex();
  ExpectEmptyRow(511);
  ExpectRow(510, 510, 0);
  EXPECT_STREQ(TextResponse->value(), "Inserted new index 512");
  EXPECT_EQ(vol13->value(), 0);
}

TEST_F(Faders, RemoveAtFirstAndLastRow) {
  for (int r = 0; r < NUM_ROWS; r++) FillRow(r, 5);
  strcpy(CueNameBuffer[1], "verse");
  Show(1, 1);
  RemoveIndex();
  for (int r = 0; r < 511; r++) ExpectRow(r, r + 1, 5);
  ExpectRow(511, 511, 5);   // the last row keeps its contents
  EXPECT_STREQ(CueNameBuffer[1], "verse");
  EXPECT_STREQ(CueNameBuffer[0], "");
  EXPECT_STREQ(TextResponse->value(), "Removed index 1");
  EXPECT_EQ(vol5->value(), -1);   // row 0 now shows what was row 1

  Snapshot before;
  Show(512, 1);
  RemoveIndex();
  EXPECT_TRUE(Snapshot() == before);
  EXPECT_STREQ(TextResponse->value(), "Removed index 512");
}

TEST_F(Faders, PropagateStopsBeforeTheLastTwoRows) {
  for (int r = 505; r < NUM_ROWS; r++) FillRow(r, 77);
  Volume[Cell(77, 510)] = 99;
  Show(510, 1);
  Propagate();
  ExpectRow(510, 509, 77);
  ExpectRow(511, 511, 77);
  EXPECT_STREQ(TextResponse->value(), "Propagated index 510 forward");
  EXPECT_EQ(TimeIndex->value(), 510);

  for (double shown : {511.0, 512.0}) {
    Volume[Cell(77, 510)] = 99;
    Snapshot before;
    Show(shown, 1);
    Propagate();
    EXPECT_TRUE(Snapshot() == before);
    char want[64];
    snprintf(want, sizeof want, "Propagated index %i forward", (int)shown);
    EXPECT_STREQ(TextResponse->value(), want);
  }
}

// Every callback of the window (and of the spinners' parts) counts instead
// of running while a refresh runs.
int fired = 0;
void Count(Fl_Widget*, void*) { fired++; }

TEST_F(Faders, RefreshesNeverChangeTheModelOrFireCallbacks) {
  for (int r = 0; r < 20; r++) FillRow(r, 3);
  Pan[3] = 12;
  MuteArray[3] = 1;
  strcpy(CueNameBuffer[2], "chorus");
  // Widgets hold values the model does not.
  for (int k = 1; k <= 13; k++) {
    (*vols[k - 1])->value(5);
    (*ramps[k - 1])->value(-9);
    (*autos[k - 1])->value(1);
  }
  name1->value("typed");
  std::map<Fl_Widget*, std::pair<Fl_Callback*, void*>> saved;
  for (int i = 0; i < FadersWindow->children(); i++) {
    Fl_Widget* w = FadersWindow->child(i);
    saved[w] = {w->callback(), w->user_data()};
    w->callback(Count);
  }
  Snapshot before;
  TextResponse->value("marker");
  Show(3, 1);
  Show(3, 9);
  UpdateNames();
  UpdateSolos();
  UpdateMutes();
  UpdatePan();
  UpdateMixName();
  EXPECT_TRUE(Snapshot() == before);
  EXPECT_EQ(fired, 0);
  EXPECT_STREQ(TextResponse->value(), "marker");
  snprintf(tbuffer, TBUF_LEN, "Read %i bytes from faders.txt", 1234);
  UpdateGUI();
  EXPECT_STREQ(TextResponse->value(), "Read 1234 bytes from faders.txt");
  EXPECT_TRUE(Snapshot() == before);
  EXPECT_EQ(fired, 0);
  for (auto& s : saved) s.first->callback(s.second.first, s.second.second);

  Show(3, 1);
  EXPECT_STREQ(CueName->value(), "chorus");
  EXPECT_EQ(vol3->value(), -2);
  EXPECT_EQ(ramp3->value(), 2.25);
  EXPECT_EQ(A3->value(), 1);
  EXPECT_EQ(A4->value(), 0);
  EXPECT_EQ(pan3->value(), 12);
  EXPECT_EQ(mute3->value(), 1);
  EXPECT_EQ(GuiSec->value(), 2.5);
  EXPECT_EQ(IndexActive->value(), 1);
}

TEST_F(Faders, StartShowsTheResetModel) {
  EXPECT_EQ(TimeIndex->value(), 1);
  EXPECT_EQ(Bank->value(), 1);
  EXPECT_EQ(IndexActive->value(), 1);
  EXPECT_STREQ(name13->value(), "Master");
  EXPECT_STREQ(name11->value(), "Submix 1");
  EXPECT_STREQ(name12->value(), "VCA 1");
  EXPECT_STREQ(MixNameInput->value(), "MixFilename");
  for (int k = 1; k <= 13; k++) {
    EXPECT_EQ((*vols[k - 1])->value(), 0);
    EXPECT_EQ((*shapes[k - 1])->value(), 1);
    EXPECT_EQ((*autos[k - 1])->value(), 0);
  }
  for (int k = 1; k <= 12; k++) EXPECT_EQ((*dispnums[k - 1])->value(), k <= 10 ? k : 1);
}

TEST_F(Faders, TimeFieldsStoreIntoTheShownRow) {
  Show(3, 1);
  Show(7, 1);   // the row shown last is the one written
  GuiMin->value(2);
  GuiMsec->value(250);
  GuiSec->value(75);
  Marker();
  GuiSec->do_callback();
  EXPECT_EQ(IndexMin[6], 2);
  EXPECT_EQ(IndexSec[6], 75);   // no carry into minutes
  EXPECT_EQ(IndexMsec[6], 250);
  EXPECT_EQ(IndexSec[2], 0);
  EXPECT_STREQ(TextResponse->value(), "");
  IndexActive->value(1);
  IndexActive->do_callback();
  EXPECT_EQ(IndexActiveArray[6], 1);
  Show(1, 1);
  EXPECT_EQ(GuiSec->value(), 0);
}

TEST_F(Faders, NamesCueAndMixNameAreCutToTheirSlots) {
  Show(5, 2);
  std::string longtext(300, 'n');
  name4->value(longtext.c_str());
  name11->value("Drums bus");
  Marker();
  name4->do_callback();
  EXPECT_EQ(std::string(NameBuffer[14]), longtext.substr(0, 127));
  EXPECT_STREQ(NameBuffer[129], "Drums bus");
  EXPECT_STREQ(TextResponse->value(), "marker");   // names leave the status alone
  CueName->value(longtext.c_str());
  CueName->do_callback();
  EXPECT_EQ(std::string(CueNameBuffer[4]), longtext.substr(0, 63));
  MixNameInput->value(longtext.c_str());
  MixNameInput->do_callback();
  EXPECT_EQ(std::string(MixName), longtext.substr(0, 127));
  EXPECT_STREQ(TextResponse->value(), "marker");
}

TEST_F(Faders, ChosenFileNamesTheStripsChannel) {
  Show(1, 2);
  strcpy(NameBuffer[14], "old.wav");
  BrowseNumber = 4;
  StoreChosenFile("/music/takes/kick.wav");
  EXPECT_STREQ(NameBuffer[14], "/music/takes/kick.wav");
  EXPECT_STREQ(name4->value(), "/music/takes/kick.wav");

  // Nothing chosen (the chooser then reports nothing or its directory).
  for (const char* none : {(const char*)0, "", "/music/takes/", "/tmp"}) {
    StoreChosenFile(none);
    EXPECT_STREQ(NameBuffer[14], "/music/takes/kick.wav");
  }
  // A path that does not fit a name slot is refused, not cut.
  Marker();
  std::string deep = "/" + std::string(140, 'd') + "/snare.wav";
  StoreChosenFile(deep.c_str());
  EXPECT_STREQ(NameBuffer[14], "/music/takes/kick.wav");
  EXPECT_STREQ(TextResponse->value(), "Path too long for a track name (151 characters, at most 127)");
  std::string fits = "/" + std::string(117, 'd') + "/a.wav";   // 127 characters
  StoreChosenFile(fits.c_str());
  EXPECT_EQ(std::string(NameBuffer[14]), fits);
}

TEST_F(Faders, RenameReachesTheEffectsName) {
  if (!NameInEffects || !SelectGroupChannel) GTEST_SKIP() << "no Effects window yet";
  // The Effects window shows submix 8.
  SelectRegularChannel->value(0);
  SelectMasterChannel->value(0);
  SelectGroupChannel->value(1);
  GroupNum->value(8);
  SelectGroupChannel->do_callback();
  Show(1, 8);
  name11->value("Strings");
  name11->do_callback();
  EXPECT_STREQ(NameInEffects->value(), "Strings");
  SelectGroupChannel->value(0);
  SelectRegularChannel->value(1);
  SelectRegularChannel->do_callback();
}

// Text fields of a window holding a given text.
int FieldsShowing(Fl_Double_Window* w, const char* text) {
  int n = 0;
  for (int i = 0; w && i < w->children(); i++) {
    Fl_Input* in = dynamic_cast<Fl_Input*>(w->child(i));
    if (in && strcmp(in->value(), text) == 0) n++;
  }
  return n;
}

TEST_F(Faders, RenameReachesTheMatrices) {
  Show(1, 1);
  name3->value("Bass DI");
  name3->do_callback();
  if (FieldsShowing(SubWindow, "") + FieldsShowing(SubWindow, "Bass DI") == 0)
    GTEST_SKIP() << "no matrices yet";
  EXPECT_EQ(FieldsShowing(SubWindow, "Bass DI"), 1);
  EXPECT_EQ(FieldsShowing(VCAWindow, "Bass DI"), 1);
  BrowseNumber = 2;
  StoreChosenFile("/takes/gtr.wav");
  EXPECT_EQ(FieldsShowing(SubWindow, "/takes/gtr.wav"), 1);
  EXPECT_EQ(FieldsShowing(VCAWindow, "/takes/gtr.wav"), 1);
}

TEST_F(Faders, EditIndexMenuRunsTheRowOperations) {
  Fl_Menu_Button* menu = 0;
  for (int i = 0; i < FadersWindow->children(); i++)
    if (Fl_Menu_Button* m = dynamic_cast<Fl_Menu_Button*>(FadersWindow->child(i))) menu = m;
  ASSERT_TRUE(menu);
  const Fl_Menu_Item* items = menu->menu();
  ASSERT_EQ(menu->size(), 4);
  EXPECT_STREQ(items[0].label(), "Insert Index");
  EXPECT_STREQ(items[1].label(), "Remove Index");
  EXPECT_STREQ(items[2].label(), "Propagate Index");
  FillRow(0, 1);
  Show(1, 1);
  items[2].do_callback(menu);
  ExpectRow(1, 0, 1);
  items[0].do_callback(menu);
  ExpectEmptyRow(0);
  items[1].do_callback(menu);
  ExpectRow(0, 0, 1);
  EXPECT_STREQ(TextResponse->value(), "Removed index 1");
  EXPECT_EQ(MixButton3->shortcut(), FL_CTRL + 'm');
}

// The window's widgets in creation order with their settings, against the
// golden layout.
std::string Describe(Fl_Widget* w, const std::map<Fl_Widget*, std::string>& names) {
  std::ostringstream s;
  auto it = names.find(w);
  s << (it == names.end() ? "(none)" : it->second) << '\t';
  if (auto* o = dynamic_cast<Fl_Spinner*>(w))
    s << "Fl_Spinner " << o->minimum() << ".." << o->maximum() << " step " << o->step()
      << " value " << o->value() << " text " << o->textfont() << '/' << o->textsize()
      << " type " << (int)o->type();
  else if (auto* o = dynamic_cast<Fl_Value_Input*>(w))
    s << "Fl_Value_Input " << o->minimum() << ".." << o->maximum() << " step " << o->step()
      << " value " << o->value() << " text " << o->textfont() << '/' << o->textsize();
  else if (auto* o = dynamic_cast<Fl_Value_Output*>(w))
    s << "Fl_Value_Output text " << o->textsize();
  else if (auto* o = dynamic_cast<Fl_Output*>(w))
    s << "Fl_Output text " << o->textsize();
  else if (auto* o = dynamic_cast<Fl_Input*>(w))
    s << "Fl_Input text " << o->textsize();
  else if (auto* o = dynamic_cast<Fl_Menu_Button*>(w))
    s << "Fl_Menu_Button text " << o->textsize();
  else if (auto* o = dynamic_cast<Fl_Button*>(w))
    s << "Fl_Button type " << (int)o->type() << " down_box " << o->down_box() << " shortcut "
      << o->shortcut();
  s << " | " << w->x() << ',' << w->y() << ' ' << w->w() << 'x' << w->h() << " | \""
    << (w->label() ? w->label() : "") << "\" size " << w->labelsize() << " colour "
    << w->labelcolor() << " align " << w->align() << " | colour " << w->color() << '/'
    << w->selection_color() << " box " << w->box() << " when " << (int)w->when();
  return s.str();
}

TEST_F(Faders, LayoutMatchesTheGolden) {
  std::map<Fl_Widget*, std::string> widget_names = {
    {MixNameInput, "MixNameInput"}, {MixButton3, "MixButton3"}, {TimeIndex, "TimeIndex"},
    {IndexActive, "IndexActive"},   {CueName, "CueName"},       {GuiMin, "GuiMin"},
    {GuiSec, "GuiSec"},             {GuiMsec, "GuiMsec"},       {Bank, "Bank"},
    {name13, "name13"}};
#define NAME(T, stem, k) widget_names[stem##k] = #stem #k;
#define COLUMN(T, stem, n) ORVANE_STRIPS_##n(NAME, T, stem)
  ORVANE_FADER_COLUMNS(COLUMN)
  std::ostringstream s;
  s << "FadersWindow " << FadersWindow->w() << 'x' << FadersWindow->h() << " \""
    << FadersWindow->label() << "\" colour " << FadersWindow->color() << " resizable "
    << (FadersWindow->resizable() == FadersWindow ? "self" : FadersWindow->resizable() ? "child" : "no")
    << '\n';
  for (int i = 0; i < FadersWindow->children(); i++)
    s << Describe(FadersWindow->child(i), widget_names) << '\n';
  std::string golden = Golden("faders_window_layout.txt");
  if (getenv("ORVANE_UPDATE_GOLDEN"))
    WriteFileBytes(std::string(ORVANE_SOURCE_DIR) + "/tests/golden/faders_window_layout.txt", s.str());
  EXPECT_EQ(s.str(), golden);
}

}  // namespace
