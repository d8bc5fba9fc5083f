#include <cstring>

#include <gtest/gtest.h>

#include "model/model.h"

TEST(Model, ResetLeavesOneRowAndNoPointsOrEffects) {
  ClearInternalArrays();
  for (int r = 0; r < NUM_ROWS; r++) EXPECT_EQ(IndexActiveArray[r], r == 0) << r;
  for (int i = 0; i < NUM_SLOTS * NUM_ROWS; i++) {
    ASSERT_EQ(ChanActive[i], 0);
    ASSERT_EQ(Shape[i], 1.0f);
  }
  for (const EffectDef& fx : Effects)
    for (int c = 0; c < NUM_SLOTS; c++) ASSERT_EQ(fx.table[c * REC], 0.0f) << fx.keyword;
  EXPECT_EQ(Plshelf[5 * REC + 1], 500.0f);
  EXPECT_EQ(Pband2[REC + 1], 2500.0f);
  EXPECT_EQ(Pcomp[REC + 3], 100.0f);
  EXPECT_EQ(Ptrtn[1], 150.0f);
  EXPECT_EQ(Ptrtn[2], 5.0f);
  EXPECT_STREQ(MixName, "MixFilename");
  EXPECT_EQ(OutbitsStore, 24);
  EXPECT_EQ(DitherBits, 1);
  EXPECT_EQ(color, 97);
}

TEST(Model, DefaultNames) {
  ClearInternalArrays();
  EXPECT_STREQ(NameBuffer[0], "Master");
  for (int n = 1; n <= 127; n++) EXPECT_STREQ(NameBuffer[n], "");
  for (int k = 1; k <= 8; k++) {
    char want[16];
    snprintf(want, sizeof want, "Submix %i", k);
    EXPECT_STREQ(NameBuffer[128 + k - 1], want);
    snprintf(want, sizeof want, "VCA %i", k);
    EXPECT_STREQ(NameBuffer[135 + k], want);
  }
}

TEST(Model, ResetLeavesHeadTailAndColour) {
  HeadTailArray[0] = 2;
  color = 12;
  ClearInternalArrays();
  EXPECT_EQ(HeadTailArray[0], 2.0f);
  EXPECT_EQ(color, 12);
  HeadTailArray[0] = 0;
  color = 97;
}

TEST(Model, CheckValIClampsOnlyInModeOne) {
  testing::internal::CaptureStdout();
  int a = -1, b = 136, c = 0, d = 135, e = 500;
  checkValI(&a, 1);
  checkValI(&b, 1);
  checkValI(&c, 1);
  checkValI(&d, 1);
  checkValI(&e, 0);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(a, 135);
  EXPECT_EQ(b, 135);
  EXPECT_EQ(c, 0);
  EXPECT_EQ(d, 135);
  EXPECT_EQ(e, 500);
  EXPECT_EQ(out,
            ">>Channel number out of range or not specified!\n"
            ">>Channel number out of range or not specified!\n");
}

TEST(Model, IndexRules) {
  EXPECT_EQ(Cell(3, 5), 1541);
  EXPECT_EQ(GroupSlot(1), 128);
  EXPECT_EQ(VcaSlot(8), 143);
}

TEST(Model, KeywordsAreFiftyTwoDistinctStrings) {
  for (int i = 0; i < NUM_KEYWORDS; i++)
    for (int j = i + 1; j < NUM_KEYWORDS; j++) EXPECT_STRNE(Keywords[i], Keywords[j]);
  EXPECT_STREQ(Str_VCA_List, "VCA:");
  EXPECT_STREQ(Str_panlaw, "pan");
  EXPECT_STREQ(Str_ramp, "rmp");
}

TEST(Model, CopyFieldCutsToFit) {
  char small[4];
  EXPECT_EQ(CopyField(small, sizeof small, "abcdef"), 3u);
  EXPECT_STREQ(small, "abc");
  EXPECT_EQ(CopyField(small, sizeof small, nullptr), 0u);
  EXPECT_STREQ(small, "");
}
