// The Preferences window built by its real builder: the exclusive pairs, the
// value and text fields, the status line rules, the colour of all seven
// windows, and the directory store with its length limit.
#include <string>
#include <vector>

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Spinner.H>
#include <FL/Fl_Value_Input.H>
#include <gtest/gtest.h>

#include "app/app.h"
#include "faders/faders.h"
#include "model/model.h"
#include "prefs/prefs.h"
#include "testlib.h"

namespace {

class Prefs : public testing::Test {
 protected:
  void SetUp() override {
    BuildEditorOnce();
    ClearInternalArrays();
    HeadTailArray[0] = HeadTailArray[1] = 0;
    color = 97;
    UpdatePreferences();
    TextResponse->value("old report");
  }
};

// Clicking the button that is off selects it; clicking the one that is on
// moves the choice to the other. Either way the status field is emptied.
TEST_F(Prefs, ExclusivePairsKeepOneChoice) {
  struct { Fl_Round_Button *a, *b; int* model; int va, vb; } pairs[] = {
      {PreOn, PreOff, &PreviewOn, 1, 0}, {outbits16button, outbits24button, &OutbitsStore, 16, 24}};
  for (auto& p : pairs)
    for (Fl_Round_Button* c : {p.a, p.a, p.b, p.b, p.a}) {
      Fl_Round_Button* on = c->value() ? (c == p.a ? p.b : p.a) : c;
      TextResponse->value("old report");
      c->value(!c->value());
      c->do_callback();
      EXPECT_EQ(p.a->value(), on == p.a) << c->label();
      EXPECT_EQ(p.b->value(), on == p.b) << c->label();
      EXPECT_EQ(*p.model, on == p.a ? p.va : p.vb) << c->label();
      EXPECT_STREQ(TextResponse->value(), "") << c->label();
    }
}

TEST_F(Prefs, OneValueFieldStoresItsWholeGroup) {
  Preview_Min->value(1);
  Preview_Sec->value(2.5);
  Preview_Msec->value(300);
  Preview_Length->value(12);
  Preview_Sec->do_callback();
  EXPECT_EQ(std::vector<float>(PreviewArray, PreviewArray + 4), std::vector<float>({1, 2.5f, 300, 12}));
  EXPECT_STREQ(TextResponse->value(), "");
  Xout_Min->value(4);
  Xout_Msec->value(0.5);
  Xout_Sec->do_callback();
  EXPECT_EQ(std::vector<float>(XoutArray, XoutArray + 3), std::vector<float>({4, 0, 0.5f}));
  EXPECT_EQ(XinArray[0], 0.0f);
  tail->value(2.25);
  head->do_callback();
  EXPECT_EQ(HeadTailArray[1], 2.25f);
}

TEST_F(Prefs, DitherKeepsTheStatusTextAndOtherEditsClearIt) {
  dither->value(3.7);
  dither->do_callback();
  EXPECT_EQ(DitherBits, 3);
  EXPECT_STREQ(TextResponse->value(), "old report");
  panlaw->value(4.5);
  panlaw->do_callback();
  EXPECT_EQ(PanlawStore, 4.5f);
  EXPECT_STREQ(TextResponse->value(), "");
  // A pan law typed beyond 0..6 is held at the edge, and the field shows it.
  for (double typed : {6.07, 9.0, -1.0}) {
    panlaw->value(typed);
    panlaw->do_callback();
    EXPECT_EQ(PanlawStore, typed > 0 ? 6.0f : 0.0f) << typed;
    EXPECT_EQ(panlaw->value(), PanlawStore) << typed;
  }
  monobutton->value(1);
  TextResponse->value("old report");
  monobutton->do_callback();
  EXPECT_EQ(monoOn, 1);
  EXPECT_STREQ(TextResponse->value(), "");
}

// 300 and -4 as prefs.txt can hold them are shown clamped and kept in the
// model; 140 and 300 from the spinner are stored as they apply.
TEST_F(Prefs, ColourIsClampedAndAppliedToAllSevenWindows) {
  struct { bool spinner; int v, shown, kept; } cases[] = {
      {false, 300, 255, 300}, {false, -4, 0, -4}, {true, 140, 140, 140}, {true, 300, 255, 255}};
  for (auto& c : cases) {
    if (c.spinner) {
      bgcolor->value(c.v);
      bgcolor->do_callback();
    } else {
      color = c.v;
      UpdatePreferences();
    }
    EXPECT_EQ(color, c.kept) << c.v;
    EXPECT_EQ(bgcolor->value(), c.shown) << c.v;
    for (Fl_Double_Window* w : {FadersWindow, PrefsWindow, SubWindow, EffectsWindow,
                                ControlWindow, VCAWindow, ReverbWindow})
      EXPECT_EQ(w->color(), (Fl_Color)c.shown) << w->label();
  }
}

// The refresh shows the model without touching the status; an output word
// length other than 16 or 24 stays in the model with the buttons as they were.
TEST_F(Prefs, RefreshShowsTheModelAndLeavesOddOutputBitsAlone) {
  XinArray[1] = 30;
  PreviewOn = 1;
  CopyField(WavDirName, PATH_LEN, "/audio/takes");
  OutbitsStore = 16;
  DitherBits = 2;
  UpdatePreferences();
  EXPECT_EQ(Xin_Sec->value(), 30);
  EXPECT_EQ(PreOn->value(), 1);
  EXPECT_EQ(PreOff->value(), 0);
  EXPECT_STREQ(WavDirDisplay->value(), "/audio/takes");
  EXPECT_EQ(dither->value(), 2);
  OutbitsStore = 20;
  UpdatePreferences();
  EXPECT_EQ(outbits16button->value(), 1);
  EXPECT_EQ(outbits24button->value(), 0);
  EXPECT_EQ(OutbitsStore, 20);
  EXPECT_STREQ(TextResponse->value(), "old report");
}

TEST_F(Prefs, TextFieldsAreCutToTheirFields) {
  std::string longtext(400, 'p');
  PathDisplay->value(longtext.c_str());
  PathDisplay->do_callback();
  EXPECT_EQ(std::string(Path), longtext.substr(0, 255));
  LaunchDisplay->value("play it");
  LaunchDisplay->do_callback();
  EXPECT_STREQ(LaunchCommand, "play it");
  MixDirDisplay->value("/mixes");
  MixDirDisplay->do_callback();
  EXPECT_STREQ(MixDirName, "/mixes");
  EXPECT_STREQ(TextResponse->value(), "old report");
}

// A chosen directory fills its own field only; the engine's directory gets
// its final "/"; one that does not fit is refused, not cut.
TEST_F(Prefs, ChosenDirectoryFillsItsTargetWhenItFits) {
  StoreDirectory(2, "/home/me/takes/");
  StoreDirectory(3, "/home/me/mixes");
  StoreDirectory(1, "/opt/vorlax/bin");
  EXPECT_STREQ(WavDirDisplay->value(), "/home/me/takes/");
  EXPECT_STREQ(MixDirName, "/home/me/mixes");
  EXPECT_STREQ(PathDisplay->value(), "/opt/vorlax/bin/");
  StoreDirectory(1, "/usr/bin/");
  StoreDirectory(4, "/elsewhere");
  StoreDirectory(0, "/elsewhere");
  EXPECT_STREQ(Path, "/usr/bin/");
  EXPECT_STREQ(WavDirName, "/home/me/takes/");
  EXPECT_STREQ(TextResponse->value(), "old report");

  std::string fits = "/" + std::string(254, 'd');  // 255 characters
  StoreDirectory(2, (fits + "x").c_str());
  EXPECT_STREQ(WavDirDisplay->value(), "/home/me/takes/");
  EXPECT_STREQ(TextResponse->value(),
               "Directory name too long (256 characters, at most 255): not stored");
  StoreDirectory(2, fits.c_str());
  EXPECT_EQ(std::string(WavDirName), fits);
  StoreDirectory(1, fits.c_str());  // 256 with its separator
  EXPECT_STREQ(Path, "/usr/bin/");
  StoreDirectory(1, fits.substr(0, 254).c_str());
  EXPECT_EQ(std::string(Path), fits.substr(0, 254) + "/");
}

TEST_F(Prefs, ChooserCallbackWithoutChooserChangesNothing) {
  Fl_File_Chooser* kept = CH;
  CH = nullptr;
  Set_Directory(nullptr, nullptr);
  CH = kept;
  EXPECT_STREQ(Path, "");
  EXPECT_STREQ(TextResponse->value(), "old report");
}

}  // namespace
