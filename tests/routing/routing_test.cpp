// The Submix and VCA matrices built by their real builders: bank mapping,
// the whole-bank edit, the in-use flags recomputed from every row, and the
// independence of the two twins.
#include <cmath>
#include <numeric>

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
  template <size_t N>
  static int Sum(const int (&t)[N]) { return std::accumulate(t, t + N, 0); }
};

TEST_F(Matrices, BankThreeRowCButtonFourIsElement99AndTheTwinsStayIndependent) {
  ShowBank(SubBank, 3);
  EXPECT_EQ(sub_ch_C->value(), 13);
  Click(sub_button_C4);
  EXPECT_EQ(SubAsn[99], 1);
  EXPECT_EQ(Sum(SubAsn), 1);
  EXPECT_EQ(SubOn[3], 1);
  EXPECT_EQ(Sum(SubOn), 1);
  EXPECT_STREQ(TextResponse->value(), "");
  EXPECT_EQ(Sum(VcaAsn) + Sum(VcaOn), 0);
  EXPECT_EQ(VcaBank->value(), 1);

  Click(vca_button_A8);  // bank 1: channel 1 to VCA 8
  EXPECT_EQ(VcaAsn[7], 1);
  EXPECT_EQ(VcaOn[7], 1);
  EXPECT_EQ(Sum(VcaAsn), 1);
  EXPECT_EQ(Sum(SubAsn), 1);
  EXPECT_EQ(SubBank->value(), 3);
  EXPECT_EQ(sub_button_C4->value(), 1);
  EXPECT_EQ(vca_button_C4->value(), 0);
}

TEST_F(Matrices, InUseFlagFollowsEveryRowAndClearsWithTheLastAssignment) {
  Click(sub_button_B4);  // channel 2, bank 1
  ShowBank(SubBank, 3);
  Click(sub_button_C4);  // channel 13
  Click(sub_button_C4);  // off again; channel 2 (another bank) still feeds it
  EXPECT_EQ(SubAsn[99], 0);
  EXPECT_EQ(SubOn[3], 1);
  ShowBank(SubBank, 1);
  EXPECT_EQ(sub_button_B4->value(), 1);
  Click(sub_button_B4);
  EXPECT_EQ(SubOn[3], 0);
  EXPECT_EQ(Sum(SubAsn), 0);
}

TEST_F(Matrices, InUseWithoutChannelLosesFlagAtFirstEdit) {
  SubOn[5] = 1;  // in use with no channel, as a recall can leave it
  VcaOn[2] = 1;
  Click(sub_button_A1);
  EXPECT_EQ(SubOn[5], 0);
  EXPECT_EQ(SubOn[0], 1);
  EXPECT_EQ(VcaOn[2], 1);  // the other matrix is untouched
  Click(vca_button_E2);
  EXPECT_EQ(VcaOn[2], 0);
  EXPECT_EQ(VcaOn[1], 1);
  EXPECT_EQ(VcaAsn[4 * 8 + 1], 1);
}

TEST_F(Matrices, ChannelsWithoutRowKeepTheirAssignments) {
  // Channels 121..127 come only from faders.txt.
  SubAsn[120 * 8 + 2] = SubAsn[126 * 8 + 7] = VcaAsn[127 * 8 + 0] = 1;
  ShowBank(SubBank, 24);
  EXPECT_EQ(sub_ch_E->value(), 120);
  Click(sub_button_E3);  // channel 120
  Click(sub_button_E3);  // and off: only channel 121 keeps submix 3 in use
  EXPECT_EQ(SubAsn[120 * 8 + 2] + SubAsn[126 * 8 + 7], 2);
  EXPECT_EQ(SubOn[2] + SubOn[7], 2);
  ShowBank(VcaBank, 24);
  Click(vca_button_A1);
  EXPECT_EQ(VcaAsn[127 * 8], 1);
  EXPECT_EQ(VcaOn[0], 1);
}

TEST_F(Matrices, OneClickStoresTheWholeBank) {
  ShowBank(VcaBank, 2);
  for (Fl_Round_Button* b : {vca_button_B1, vca_button_B2, vca_button_B3, vca_button_B4,
                             vca_button_B5, vca_button_B6, vca_button_B7, vca_button_B8})
    b->value(1);  // set without callbacks
  Click(vca_button_D1);
  for (int s = 0; s < 8; s++) {
    EXPECT_EQ(VcaAsn[6 * 8 + s], 1) << s;  // channel 7 feeds all eight
    EXPECT_EQ(VcaOn[s], 1) << s;
  }
  EXPECT_EQ(VcaAsn[8 * 8], 1);  // channel 9
}

TEST_F(Matrices, RefreshShowsNamesAndModelWithoutEditing) {
  ShowBank(SubBank, 2);
  ShowBank(VcaBank, 2);
  CopyField(NameBuffer[7], NAME_LEN, "kick.wav");
  SubAsn[6 * 8 + 1] = 1;  // recalled, SubOn left as the file had it
  TextResponse->value("Read 10 bytes from faders.txt");
  UpdateSubmix();
  UpdateVCA();
  EXPECT_STREQ(sub_text_B->value(), "kick.wav");
  EXPECT_STREQ(vca_text_B->value(), "kick.wav");
  EXPECT_EQ(sub_ch_B->value(), 7);
  EXPECT_EQ(sub_button_B2->value(), 1);
  EXPECT_EQ(vca_button_B2->value(), 0);
  EXPECT_EQ(SubOn[1], 0);
  EXPECT_STREQ(TextResponse->value(), "Read 10 bytes from faders.txt");
}

TEST_F(Matrices, BankOutsideTheSpinnerRangeTouchesNoRowPast120) {
  SubAsn[120 * 8] = 1;
  SubBank->value(99);  // set by code, not clamped by the spinner
  UpdateSubmix();
  EXPECT_EQ(sub_ch_E->value(), 120);
  Click(sub_button_E1);
  EXPECT_EQ(SubAsn[119 * 8] + SubAsn[120 * 8], 2);
  SubBank->value(NAN);  // a typed "nan" reaches the spinner unchecked
  UpdateSubmix();
  EXPECT_EQ(sub_ch_A->value(), 1);
}

}  // namespace
