// The Preferences window built by its real builder: the exclusive pairs, the
// value and text fields, the status line rules, the colour of all seven
// windows, and the directory store with its length limit.
#include <cstring>
#include <string>

#include <FL/Fl_Button.H>
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
  static void Click(Fl_Round_Button* b) {
    b->value(!b->value());
    b->do_callback();
  }
};

TEST_F(Prefs, WindowHoldsEveryWidgetInCreationOrder) {
  Fl_Widget* order[] = {
    PreOn, PreOff, Preview_Min, Preview_Length, Preview_Sec, Preview_Msec, Xin_Min, Xin_Sec,
    Xin_Msec, Xout_Min, Xout_Sec, Xout_Msec, head, tail, MixButton, PathDisplay,
    outbits16button, outbits24button, panlaw, WavDirDisplay, MixDirDisplay, monobutton,
    LaunchDisplay, browseD1, browseD2, browseD3, dither, bgcolor};
  ASSERT_EQ(PrefsWindow->children(), 28);
  for (int i = 0; i < 28; i++) EXPECT_EQ(PrefsWindow->child(i), order[i]) << i;
  EXPECT_STREQ(PrefsWindow->label(), "Preferences");
  EXPECT_EQ(MixButton->shortcut(), FL_CTRL + 'm');
  EXPECT_EQ(head->step(), 0.001);
  EXPECT_EQ(Preview_Sec->maximum(), 9999);
  EXPECT_EQ(panlaw->maximum(), 6);
  EXPECT_EQ(bgcolor->maximum(), 255);
}

TEST_F(Prefs, PreviewButtonsStayExclusive) {
  Click(PreOn);
  EXPECT_EQ(PreviewOn, 1);
  EXPECT_EQ(PreOff->value(), 0);
  EXPECT_STREQ(TextResponse->value(), "");
  Click(PreOn);   // clicking the one that is on moves the choice
  EXPECT_EQ(PreviewOn, 0);
  EXPECT_EQ(PreOn->value(), 0);
  EXPECT_EQ(PreOff->value(), 1);
  Click(PreOff);
  EXPECT_EQ(PreviewOn, 1);
  EXPECT_EQ(PreOn->value(), 1);
  Click(PreOn);
  EXPECT_EQ(PreviewOn, 0);
  EXPECT_EQ(PreOff->value(), 1);
}

TEST_F(Prefs, OutputBitsStayExclusive) {
  ASSERT_EQ(outbits24button->value(), 1);
  Click(outbits24button);   // on: selects 16 bits
  EXPECT_EQ(OutbitsStore, 16);
  EXPECT_EQ(outbits16button->value(), 1);
  EXPECT_EQ(outbits24button->value(), 0);
  Click(outbits24button);
  EXPECT_EQ(OutbitsStore, 24);
  EXPECT_EQ(outbits16button->value(), 0);
  Click(outbits16button);
  EXPECT_EQ(OutbitsStore, 16);
  EXPECT_EQ(outbits24button->value(), 0);
  TextResponse->value("old report");
  Click(outbits16button);
  EXPECT_EQ(OutbitsStore, 24);
  EXPECT_EQ(outbits24button->value(), 1);
  EXPECT_STREQ(TextResponse->value(), "");
}

TEST_F(Prefs, OneValueFieldStoresItsWholeGroup) {
  Preview_Min->value(1);
  Preview_Sec->value(2.5);
  Preview_Msec->value(300);
  Preview_Length->value(12);
  Preview_Sec->do_callback();
  EXPECT_EQ(PreviewArray[0], 1.0f);
  EXPECT_EQ(PreviewArray[1], 2.5f);
  EXPECT_EQ(PreviewArray[2], 300.0f);
  EXPECT_EQ(PreviewArray[3], 12.0f);
  EXPECT_STREQ(TextResponse->value(), "");
  Xout_Min->value(4);
  Xout_Msec->value(0.5);
  Xout_Sec->do_callback();
  EXPECT_EQ(XoutArray[0], 4.0f);
  EXPECT_EQ(XoutArray[2], 0.5f);
  EXPECT_EQ(XinArray[0], 0.0f);
  tail->value(2.25);
  head->do_callback();
  EXPECT_EQ(HeadTailArray[1], 2.25f);
}

TEST_F(Prefs, DitherKeepsTheStatusTextAndPanLawClearsIt) {
  dither->value(3.7);
  dither->do_callback();
  EXPECT_EQ(DitherBits, 3);
  EXPECT_STREQ(TextResponse->value(), "old report");
  panlaw->value(4.5);
  panlaw->do_callback();
  EXPECT_EQ(PanlawStore, 4.5f);
  EXPECT_STREQ(TextResponse->value(), "");
  monobutton->value(1);
  TextResponse->value("old report");
  monobutton->do_callback();
  EXPECT_EQ(monoOn, 1);
  EXPECT_STREQ(TextResponse->value(), "");
}

TEST_F(Prefs, ColourIsClampedAndAppliedToAllSevenWindows) {
  Fl_Double_Window* windows[] = {FadersWindow, PrefsWindow, SubWindow, EffectsWindow,
                                 ControlWindow, VCAWindow, ReverbWindow};
  color = 300;   // as prefs.txt can hold it
  UpdatePreferences();
  EXPECT_EQ(color, 255);
  for (Fl_Double_Window* w : windows) EXPECT_EQ(w->color(), 255u) << w->label();
  EXPECT_EQ(bgcolor->value(), 255);
  color = -4;
  UpdatePreferences();
  EXPECT_EQ(color, 0);
  for (Fl_Double_Window* w : windows) EXPECT_EQ(w->color(), 0u) << w->label();
  bgcolor->value(140);
  bgcolor->do_callback();
  EXPECT_EQ(color, 140);
  for (Fl_Double_Window* w : windows) EXPECT_EQ(w->color(), 140u) << w->label();
  color = 97;
  UpdatePreferences();
}

TEST_F(Prefs, RefreshCopiesTheModelAndLeavesOddOutputBitsAlone) {
  HeadTailArray[0] = 1.5f;
  PreviewArray[3] = 7;
  XinArray[1] = 30;
  PreviewOn = 1;
  CopyField(WavDirName, PATH_LEN, "/audio/takes");
  CopyField(LaunchCommand, PATH_LEN, "aplay out.wav");
  OutbitsStore = 16;
  monoOn = 1;
  PanlawStore = 4.5f;
  DitherBits = 0;
  UpdatePreferences();
  EXPECT_EQ(head->value(), 1.5);
  EXPECT_EQ(Preview_Length->value(), 7);
  EXPECT_EQ(Xin_Sec->value(), 30);
  EXPECT_EQ(PreOn->value(), 1);
  EXPECT_EQ(PreOff->value(), 0);
  EXPECT_STREQ(WavDirDisplay->value(), "/audio/takes");
  EXPECT_STREQ(LaunchDisplay->value(), "aplay out.wav");
  EXPECT_EQ(outbits16button->value(), 1);
  EXPECT_EQ(outbits24button->value(), 0);
  EXPECT_EQ(monobutton->value(), 1);
  EXPECT_EQ(panlaw->value(), 4.5);
  EXPECT_EQ(dither->value(), 0);
  OutbitsStore = 20;   // kept in the model, buttons as they were
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
  EXPECT_EQ(strlen(Path), 255u);
  LaunchDisplay->value("play it");
  LaunchDisplay->do_callback();
  EXPECT_STREQ(LaunchCommand, "play it");
  MixDirDisplay->value("/mixes");
  MixDirDisplay->do_callback();
  EXPECT_STREQ(MixDirName, "/mixes");
  EXPECT_STREQ(TextResponse->value(), "old report");
}

TEST_F(Prefs, ChosenDirectoryFillsOnlyItsTarget) {
  StoreDirectory(2, "/home/me/takes/");
  EXPECT_STREQ(WavDirName, "/home/me/takes/");
  EXPECT_STREQ(WavDirDisplay->value(), "/home/me/takes/");
  EXPECT_STREQ(Path, "");
  EXPECT_STREQ(MixDirName, "");
  StoreDirectory(3, "/home/me/mixes");
  EXPECT_STREQ(MixDirName, "/home/me/mixes");
  // The engine's directory is a prefix of its command: it ends with "/".
  StoreDirectory(1, "/opt/vorlax/bin");
  EXPECT_STREQ(Path, "/opt/vorlax/bin/");
  EXPECT_STREQ(PathDisplay->value(), "/opt/vorlax/bin/");
  StoreDirectory(1, "/usr/bin/");
  EXPECT_STREQ(Path, "/usr/bin/");
  StoreDirectory(4, "/elsewhere");
  StoreDirectory(0, "/elsewhere");
  EXPECT_STREQ(Path, "/usr/bin/");
  EXPECT_STREQ(WavDirName, "/home/me/takes/");
}

TEST_F(Prefs, DirectoryTooLongForItsFieldIsRefused) {
  StoreDirectory(2, "/takes");
  TextResponse->value("");
  std::string fits = "/" + std::string(254, 'd');   // 255 characters
  std::string too_long = fits + "x";
  StoreDirectory(2, too_long.c_str());
  EXPECT_STREQ(WavDirName, "/takes");
  EXPECT_STREQ(WavDirDisplay->value(), "/takes");
  EXPECT_STREQ(TextResponse->value(),
               "Directory name too long (256 characters, at most 255): not stored");
  StoreDirectory(2, fits.c_str());
  EXPECT_EQ(std::string(WavDirName), fits);
  // Path would need 256 with its separator.
  StoreDirectory(1, fits.c_str());
  EXPECT_STREQ(Path, "");
  StoreDirectory(1, (fits.substr(0, 254)).c_str());
  EXPECT_EQ(strlen(Path), 255u);
  EXPECT_EQ(Path[254], '/');
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
