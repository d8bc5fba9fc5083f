// The Submix and VCA matrices built by their real builders: bank mapping,
// the whole-bank edit, the in-use flags recomputed from every row, and the
// independence of the two twins.
#include <cmath>
#include <cstring>

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Spinner.H>
#include <FL/Fl_Value_Output.H>
#include <gtest/gtest.h>

#include "app/app.h"
#include "model/model.h"
#include "routing/routing.h"
#include "testlib.h"

namespace {

class Matrices : public testing::Test {
 protected:
  void SetUp() override {
    BuildEditorOnce();
    ClearInternalArrays();
    SubBank->value(1);
    VcaBank->value(1);
    UpdateSubmix();
    UpdateVCA();
    TextResponse->value("old report");
  }
  // A user's click: the toggle flips, then its callback runs.
  static void Click(Fl_Round_Button* b) {
    b->value(!b->value());
    b->do_callback();
  }
  static void ShowBank(Fl_Spinner* s, int bank) {
    s->value(bank);
    s->do_callback();
  }
  static int Count(const int* t, int n) {
    int c = 0;
    for (int i = 0; i < n; i++) c += t[i];
    return c;
  }
};

TEST_F(Matrices, WindowsAreTwinsInCreationOrder) {
  struct { Fl_Double_Window* w; const char* label; Fl_Round_Button* a1; Fl_Round_Button* e8;
           Fl_Value_Output* ch_a; Fl_Input* text_e; Fl_Spinner* bank; const char* title; } m[] = {
    {SubWindow, "Submix Matrix", sub_button_A1, sub_button_E8, sub_ch_A, sub_text_E, SubBank,
     "Submix Assignments"},
    {VCAWindow, "VCA Matrix", vca_button_A1, vca_button_E8, vca_ch_A, vca_text_E, VcaBank,
     "VCA Assignments"}};
  for (auto& t : m) {
    SCOPED_TRACE(t.label);
    ASSERT_EQ(t.w->children(), 5 * 10 + 2);
    EXPECT_STREQ(t.w->label(), t.label);
    EXPECT_EQ(t.w->w(), 460);
    EXPECT_EQ(t.w->h(), 280);
    EXPECT_EQ(t.w->child(0), t.a1);
    EXPECT_EQ(t.w->child(8), t.ch_a);
    EXPECT_EQ(t.w->child(47), t.e8);
    EXPECT_EQ(t.w->child(49), t.text_e);
    EXPECT_EQ(t.w->child(50), t.bank);
    EXPECT_STREQ(t.w->child(51)->label(), t.title);
    EXPECT_STREQ(t.e8->label(), "8");
    EXPECT_EQ(t.e8->x(), 424);
    EXPECT_EQ(t.e8->y(), 237);
    EXPECT_EQ(t.text_e->y(), 74 + 160);
    EXPECT_EQ(t.bank->maximum(), 24);
  }
  EXPECT_EQ(sub_button_C4->x(), 300);
  EXPECT_EQ(sub_button_C4->y(), 157);
}

TEST_F(Matrices, BankThreeRowCButtonFourAssignsChannel13ToSubmix4) {
  ShowBank(SubBank, 3);
  EXPECT_EQ(sub_ch_A->value(), 11);
  EXPECT_EQ(sub_ch_C->value(), 13);
  Click(sub_button_C4);
  EXPECT_EQ(SubAsn[99], 1);
  EXPECT_EQ(Count(SubAsn, NUM_ASN_ROWS * 8), 1);
  EXPECT_EQ(SubOn[3], 1);
  EXPECT_EQ(Count(SubOn, 8), 1);
  EXPECT_STREQ(TextResponse->value(), "");
  // The VCA matrix saw nothing of it.
  EXPECT_EQ(Count(VcaAsn, NUM_ASN_ROWS * 8), 0);
  EXPECT_EQ(Count(VcaOn, 8), 0);
  EXPECT_EQ(VcaBank->value(), 1);
}

TEST_F(Matrices, InUseFlagFollowsEveryRowAndClearsWithTheLastAssignment) {
  Click(sub_button_B4);   // channel 2, bank 1
  ShowBank(SubBank, 3);
  Click(sub_button_C4);   // channel 13
  ASSERT_EQ(SubOn[3], 1);
  Click(sub_button_C4);   // off again; channel 2 (another bank) still feeds it
  EXPECT_EQ(SubAsn[99], 0);
  EXPECT_EQ(SubOn[3], 1);
  ShowBank(SubBank, 1);
  EXPECT_EQ(sub_button_B4->value(), 1);
  Click(sub_button_B4);
  EXPECT_EQ(SubOn[3], 0);
  EXPECT_EQ(Count(SubAsn, NUM_ASN_ROWS * 8), 0);
}

TEST_F(Matrices, SubmixInUseWithoutChannelLosesFlagAtFirstEdit) {
  SubOn[5] = 1;   // in use with no channel, as a recall can leave it
  VcaOn[2] = 1;
  Click(sub_button_A1);
  EXPECT_EQ(SubOn[5], 0);
  EXPECT_EQ(SubOn[0], 1);
  EXPECT_EQ(VcaOn[2], 1);   // the other matrix is untouched
  Click(vca_button_E2);
  EXPECT_EQ(VcaOn[2], 0);
  EXPECT_EQ(VcaOn[1], 1);
  EXPECT_EQ(VcaAsn[4 * 8 + 1], 1);
}

TEST_F(Matrices, VcaMatrixIsIndependent) {
  ShowBank(SubBank, 3);
  Click(sub_button_C4);
  Click(vca_button_A8);   // bank 1: channel 1 to VCA 8
  EXPECT_EQ(VcaAsn[7], 1);
  EXPECT_EQ(VcaOn[7], 1);
  EXPECT_EQ(Count(VcaAsn, NUM_ASN_ROWS * 8), 1);
  EXPECT_EQ(SubAsn[99], 1);
  EXPECT_EQ(Count(SubAsn, NUM_ASN_ROWS * 8), 1);
  EXPECT_EQ(SubBank->value(), 3);
  EXPECT_EQ(sub_button_C4->value(), 1);
  EXPECT_EQ(vca_button_C4->value(), 0);
  EXPECT_STREQ(TextResponse->value(), "");
}

TEST_F(Matrices, ChannelsWithoutRowKeepTheirAssignments) {
  // Channels 121..127 come only from faders.txt.
  SubAsn[120 * 8 + 2] = 1;
  SubAsn[126 * 8 + 7] = 1;
  VcaAsn[127 * 8 + 0] = 1;
  ShowBank(SubBank, 24);
  EXPECT_EQ(sub_ch_E->value(), 120);
  Click(sub_button_E3);   // channel 120
  Click(sub_button_E3);   // and off: only channel 121 keeps submix 3 in use
  EXPECT_EQ(SubAsn[120 * 8 + 2], 1);
  EXPECT_EQ(SubAsn[126 * 8 + 7], 1);
  EXPECT_EQ(SubOn[2], 1);
  EXPECT_EQ(SubOn[7], 1);
  ShowBank(VcaBank, 24);
  Click(vca_button_A1);
  EXPECT_EQ(VcaAsn[127 * 8], 1);
  EXPECT_EQ(VcaOn[0], 1);
}

TEST_F(Matrices, WholeBankIsStoredAndChannelCanFeedAllEight) {
  ShowBank(VcaBank, 2);
  Fl_Round_Button* row_b[] = {vca_button_B1, vca_button_B2, vca_button_B3, vca_button_B4,
                              vca_button_B5, vca_button_B6, vca_button_B7, vca_button_B8};
  for (Fl_Round_Button* b : row_b) b->value(1);   // set without callbacks
  Click(vca_button_D1);                           // one click stores them all
  for (int s = 0; s < 8; s++) {
    EXPECT_EQ(VcaAsn[6 * 8 + s], 1) << s;   // channel 7
    EXPECT_EQ(VcaOn[s], 1) << s;
  }
  EXPECT_EQ(VcaAsn[8 * 8], 1);   // channel 9
}

TEST_F(Matrices, RefreshShowsNamesAndModelWithoutEditing) {
  ShowBank(SubBank, 2);
  ShowBank(VcaBank, 2);
  CopyField(NameBuffer[7], NAME_LEN, "kick.wav");
  SubAsn[6 * 8 + 1] = 1;   // recalled, SubOn left as the file had it
  TextResponse->value("Read 10 bytes from faders.txt");
  UpdateSubmix();
  UpdateVCA();
  EXPECT_STREQ(sub_text_B->value(), "kick.wav");
  EXPECT_STREQ(vca_text_B->value(), "kick.wav");
  EXPECT_EQ(sub_ch_B->value(), 7);
  EXPECT_EQ(sub_button_B2->value(), 1);
  EXPECT_EQ(vca_button_B2->value(), 0);
  EXPECT_EQ(SubOn[1], 0);   // a refresh changes nothing in the model
  EXPECT_STREQ(TextResponse->value(), "Read 10 bytes from faders.txt");
}

TEST_F(Matrices, BankOutsideTheSpinnerRangeTouchesNoRowPast120) {
  SubAsn[120 * 8] = 1;
  SubBank->value(99);   // set by code, not clamped by the spinner
  UpdateSubmix();
  EXPECT_EQ(sub_ch_E->value(), 120);
  Click(sub_button_E1);
  EXPECT_EQ(SubAsn[119 * 8], 1);
  EXPECT_EQ(SubAsn[120 * 8], 1);
  SubBank->value(NAN);   // a typed "nan" reaches the spinner unchecked
  UpdateSubmix();
  EXPECT_EQ(sub_ch_A->value(), 1);
}

}  // namespace
