// faders.txt: golden texts, round trips, the reader's edge cases and the
// safe save.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "file_limit.h"
#include "files/files.h"
#include "maximal_mix.h"
#include "model/model.h"
#include "testlib.h"

namespace {

// The names in the working directory, sorted.
std::string DirList() {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(".")) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  std::string all;
  for (auto& n : names) all += n + " ";
  return all;
}

void Parse(const std::string& t) { ParseFaderText(t.data(), t.size()); }

// The example mix "MyMix" of the file format's description.
void SetUpMyMix() {
  ClearInternalArrays();
  CopyField(MixName, NAME_LEN, "MyMix");
  SubOn[0] = 1;
  CopyField(NameBuffer[GroupSlot(1)], NAME_LEN, "Drums");
  SubAsn[0 * 8 + 0] = SubAsn[1 * 8 + 0] = 1;
  float comp[] = {1, -10, 10, 100, 1.5f};
  memcpy(&Pcomp[1 * REC], comp, sizeof comp);
  Prev[2 * REC] = 1, Prev[2 * REC + 1] = -6;
  Php[0] = 1, Php[1] = 100;
  ChanActive[Cell(1, 0)] = 1, Volume[Cell(1, 0)] = -3;
  ChanActive[Cell(0, 0)] = 1, Ramp[Cell(0, 0)] = 2.5f;
  IndexActiveArray[1] = 1, IndexMin[1] = 1, IndexSec[1] = 30;
  CopyField(CueNameBuffer[1], CUE_LEN, "Verse");
  ChanActive[Cell(1, 1)] = 1, Volume[Cell(1, 1)] = -6, Offset[Cell(1, 1)] = 0.5f;
}

// Everything of the model that faders.txt carries, for comparisons.
std::string ModelBytes() {
  std::string b;
  auto add = [&b](const void* p, size_t n) { b.append(static_cast<const char*>(p), n); };
  add(Volume, sizeof Volume), add(Offset, sizeof Offset), add(Ramp, sizeof Ramp);
  add(Shape, sizeof Shape), add(ChanActive, sizeof ChanActive), add(Pan, sizeof Pan);
  add(IndexMin, sizeof IndexMin), add(IndexSec, sizeof IndexSec), add(IndexMsec, sizeof IndexMsec);
  add(IndexActiveArray, sizeof IndexActiveArray), add(CueNameBuffer, sizeof CueNameBuffer);
  for (const EffectDef& fx : Effects) add(fx.table, NUM_SLOTS * REC * sizeof(float));
  add(Prtn, sizeof Prtn), add(Ptrtn, sizeof Ptrtn), add(Prhp, sizeof Prhp), add(Prlp, sizeof Prlp);
  add(&Prev_width, sizeof Prev_width), add(Prev_position, sizeof Prev_position);
  add(SubAsn, sizeof SubAsn), add(SubOn, sizeof SubOn), add(VcaAsn, sizeof VcaAsn);
  add(VcaOn, sizeof VcaOn), add(NameBuffer, sizeof NameBuffer), add(MixName, sizeof MixName);
  add(MuteArray, sizeof MuteArray), add(SoloArray, sizeof SoloArray);
  return b;
}

}  // namespace

TEST(FaderFileGolden, MyMixSavedOverAFileWithoutKeptLines) {
  SetUpMyMix();
  EXPECT_EQ(BuildFaderText("Old name\nhp\t3\t80.0\nend\n"), Golden("faders_mymix.txt"));

  ScopedWorkDir dir;
  WriteFileBytes("faders.txt", "Old name\n");
  ASSERT_TRUE(SaveFaderFile());
  EXPECT_EQ(ReadFileBytes("faders.txt"), Golden("faders_mymix.txt"));
  EXPECT_STREQ(tbuffer, "Wrote 222 bytes to faders.txt");
}

TEST(FaderFileGolden, MyMixReadsBackIntoAResetModel) {
  ClearInternalArrays();
  Parse(Golden("faders_mymix.txt"));
  EXPECT_STREQ(MixName, "MyMix");
  EXPECT_STREQ(NameBuffer[128], "Drums");
  EXPECT_EQ(SubAsn[0], 1);
  EXPECT_EQ(SubAsn[8], 1);
  EXPECT_EQ(Pcomp[REC + 4], 1.5f);
  EXPECT_EQ(Prev[2 * REC + 1], -6.0f);
  EXPECT_EQ(Php[0], 1.0f);
  EXPECT_EQ(Ramp[Cell(0, 0)], 2.5f);
  EXPECT_STREQ(CueNameBuffer[1], "Verse");
  EXPECT_EQ(IndexSec[1], 30.0f);
  EXPECT_EQ(Offset[Cell(1, 1)], 0.5f);
  EXPECT_EQ(BuildFaderText(Golden("faders_mymix.txt")), Golden("faders_mymix.txt"));
}

// A fresh faders.txt holds the model's mix name: the first save and the
// second are the same, and a recall keeps the name.
TEST(FaderFileGolden, FreshModelFirstAndSecondSave) {
  ClearInternalArrays();
  ScopedWorkDir dir;
  ASSERT_TRUE(SaveFaderFile());
  EXPECT_EQ(ReadFileBytes("faders.txt"), Golden("faders_fresh.txt"));
  EXPECT_STREQ(tbuffer, "Wrote 41 bytes to faders.txt");
  ASSERT_TRUE(SaveFaderFile());
  EXPECT_EQ(ReadFileBytes("faders.txt"), Golden("faders_fresh.txt"));

  std::filesystem::remove("faders.txt");
  CopyField(MixName, NAME_LEN, "Demo");
  ASSERT_TRUE(SaveFaderFile());
  EXPECT_EQ(ReadFileBytes("faders.txt").substr(0, 6), "Demo\n\n");
  EXPECT_EQ(DirList(), "faders.txt ");
}

TEST(FaderFileGolden, ForeignLinesAreKeptAfterTheMixName) {
  ClearInternalArrays();
  ScopedWorkDir dir;
  WriteFileBytes("faders.txt",
                 "Old\nnote: drums need work\nhp\t5\t80.0\n\n\tindented note\nend\nafter end\n");
  ASSERT_TRUE(SaveFaderFile());
  EXPECT_EQ(ReadFileBytes("faders.txt"), Golden("faders_kept.txt"));
  ASSERT_TRUE(SaveFaderFile());
  ASSERT_TRUE(SaveFaderFile());
  EXPECT_EQ(ReadFileBytes("faders.txt"), Golden("faders_kept.txt"));
  EXPECT_EQ(Php[5 * REC], 0.0f) << "a saved hp line never reaches the model";
}

TEST(FaderFileRoundTrip, MaximalMixStoresAndRecallsExactly) {
  BuildMaximalMix();
  std::string first = BuildFaderText("");
  EXPECT_GT(first.size(), 262144u * 8);
  EXPECT_NE(first.find("\nsub\t8\t1,2,3,"), std::string::npos);
  EXPECT_NE(first.find(",126,127\n"), std::string::npos);

  ClearInternalArrays();
  Parse(first);
  std::string second = BuildFaderText("");
  EXPECT_EQ(second.size(), first.size());
  EXPECT_TRUE(second == first) << "the second store differs";
  for (int n = 1; n <= NUM_INPUTS; n++) ASSERT_EQ(VcaAsn[(n - 1) * 8 + 7], 1) << n;

  // The same through the file, twice: recalling twice equals recalling once.
  ScopedWorkDir dir;
  ASSERT_TRUE(SaveFaderFile());
  EXPECT_TRUE(ReadFileBytes("faders.txt") == first);
  ClearInternalArrays();
  EXPECT_EQ(LoadFaderFile(), (long)first.size());
  std::string once = ModelBytes();
  LoadFaderFile();
  EXPECT_TRUE(ModelBytes() == once);
}

TEST(FaderFileReader, RowsAreNumberedByTheirOrderAndIncAddsSeconds) {
  ClearInternalArrays();
  Parse("M\nt\t0\t1.000\t0\nt\t1\t2.000\t0\ninc\t0.5\nv\t4\t-1.00\nt\t2\t0.000\t7\nend\n");
  for (int r = 0; r < 4; r++) EXPECT_EQ(IndexActiveArray[r], r < 4 ? 1 : 0) << r;
  EXPECT_EQ(IndexMin[2], 1.0f);
  EXPECT_EQ(IndexSec[2], 2.5f);
  EXPECT_EQ(IndexMsec[3], 7.0f);
  EXPECT_EQ(ChanActive[Cell(4, 2)], 1);

  // Rows 0, 5 and 9 in use come back as rows 0, 1 and 2.
  ClearInternalArrays();
  IndexActiveArray[5] = IndexActiveArray[9] = 1;
  IndexSec[9] = 9;
  std::string t = BuildFaderText("");
  ClearInternalArrays();
  Parse(t);
  EXPECT_EQ(IndexActiveArray[1] + IndexActiveArray[2], 2);
  EXPECT_EQ(IndexActiveArray[5] + IndexActiveArray[9], 0);
  EXPECT_EQ(IndexSec[2], 9.0f);
}

TEST(FaderFileReader, SubmixVcaAndMasterForms) {
  ClearInternalArrays();
  Parse("Forms\nt\t0\t0\t0\nv\tG\t3\t-6.00\nofs\t1.500\nvca\t2\t-1.50\nrmp\t3.000\n"
        "v\tM\t1.00\nshape\t2.000\ncomp\tM\t-1\t2\t3\t4\nhp\tG\t2\t90.0\np\tG\t1\t-40\nend\n");
  EXPECT_EQ(ChanActive[Cell(130, 0)], 1);
  EXPECT_EQ(Volume[Cell(130, 0)], -6.0f);
  EXPECT_EQ(Offset[Cell(130, 0)], 1.5f);
  EXPECT_EQ(Volume[Cell(137, 0)], -1.5f);
  EXPECT_EQ(Ramp[Cell(137, 0)], 3.0f);
  EXPECT_EQ(Shape[Cell(0, 0)], 2.0f);
  EXPECT_EQ(Pcomp[0], 1.0f);
  EXPECT_EQ(Pcomp[4], 4.0f);
  EXPECT_EQ(Php[129 * REC + 1], 90.0f);
  EXPECT_EQ(Pan[128], -40.0f);
  std::string t = BuildFaderText("");
  EXPECT_NE(t.find("\nv\tG\t3\t-6.00\nofs\t1.500\nvca\t2\t-1.50\nrmp\t3.000\nv\tM\t1.00\nshape\t2.000\n"),
            std::string::npos);
}

TEST(FaderFileReader, EffectsOutOfRangeAndOffFlags) {
  ClearInternalArrays();
  Pcomp[7 * REC] = 1, Pcomp[7 * REC + 1] = -20;
  Prlp[0] = 1;
  testing::internal::CaptureStdout();
  Parse("X\ncomp\t200\t-5\t1\t2\t3\nlim\tG\t9\t-1.0\nlim\t2147483648\t-2.0\nend\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            ">>Channel number out of range or not specified!\n"
            ">>Channel number out of range or not specified!\n"
            ">>Channel number out of range or not specified!\n");
  EXPECT_EQ(Pcomp[135 * REC], 1.0f);
  EXPECT_EQ(Pcomp[135 * REC + 1], -5.0f);
  EXPECT_EQ(Pcomp[7 * REC], 0.0f) << "a file without its record turns the effect off";
  EXPECT_EQ(Pcomp[7 * REC + 1], -20.0f) << "and keeps its parameters";
  EXPECT_EQ(Plim[135 * REC + 1], -2.0f);
  EXPECT_EQ(Prlp[0], 1.0f) << "a recall never turns a reverb filter off";
}

TEST(FaderFileReader, RoutingListsAndNames) {
  ClearInternalArrays();
  std::string long_name(300, 'n');
  testing::internal::CaptureStdout();
  Parse("R\nsub\t1\t1,2,130\nsub\t9\t5\nsub\t4\t\nsubname\t5\t" + long_name +
        "\nsub\t5\t3\nVCA:\t2\t0,7\nvcaname\t2\tLead\nsubmu\t2\nsubso\t9\nend\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Submix number out of range!\n"
            "Channel assigned to sub 0 is out of range!\n"
            "Channel assigned to VCA 1 is out of range!\n");
  EXPECT_EQ(SubAsn[0], 1);
  EXPECT_EQ(SubAsn[8], 1);
  EXPECT_EQ(SubOn[3], 1) << "a submix in use without channels";
  EXPECT_EQ(SubAsn[2 * 8 + 4], 1) << "the line after an empty list is read";
  EXPECT_EQ(strlen(NameBuffer[GroupSlot(5)]), 127u);
  EXPECT_EQ(VcaAsn[6 * 8 + 1], 1);
  EXPECT_STREQ(NameBuffer[VcaSlot(2)], "Lead");
  EXPECT_EQ(MuteArray[129], 1);
  std::string t = BuildFaderText("");
  EXPECT_NE(t.find("\nsub\t4\t\n"), std::string::npos);
  ClearInternalArrays();
  Parse(t);
  EXPECT_EQ(BuildFaderText(""), t);
}

TEST(FaderFileWriter, WhatIsLeftOut) {
  ClearInternalArrays();
  Pan[1] = 12.6f, Pan[2] = 0.4f, Pan[3] = -0.6f;
  CopyField(CueNameBuffer[0], CUE_LEN, "A");
  IndexActiveArray[1] = 1;
  CopyField(CueNameBuffer[1], CUE_LEN, "Go");
  Pcomp[4 * REC + 1] = -30;  // parameters of an effect that is off
  ChanActive[Cell(5, 0)] = 1, Shape[Cell(5, 0)] = 1.0f;
  std::string t = BuildFaderText("");
  EXPECT_NE(t.find("\n\np\t1\t13\np\t2\t0\np\t3\t-1\n\n"), std::string::npos);
  EXPECT_EQ(t.find("cue\tA"), std::string::npos);
  EXPECT_NE(t.find("\n\n\ncue\tGo\n\nt\t0\t0.000\t0\n"), std::string::npos);
  EXPECT_EQ(t.find("comp"), std::string::npos);
  EXPECT_NE(t.find("\nv\t5\t0.00\n\n"), std::string::npos);
}

TEST(FaderFileReader, MalformedTextsAreReadSafely) {
  const char* texts[] = {
    "", "\n\n\n", "comp", "comp\t5", "comp\t5\t-1", "t\t1", "t\t1\t2", "cue", "cue\t",
    "sub\t1", "sub\t1\t", "v\tG", "v\tG\t2", "vca\t2", "rhp", "pos\t1\t2", "X\tend\tcomp\t1\t2\t3\t4\t5",
    "v\tG\t2147483647\t1\nvca\t-2147483648\t1\nt\t1e999\tnan\t-0\ninc\t1e999\n",
    "cue\tcue\tcue\nt\t0\t0\t0\n",
  };
  for (const char* t : texts) {
    ClearInternalArrays();
    testing::internal::CaptureStdout();
    ParseFaderText(t, strlen(t));
    testing::internal::GetCapturedStdout();
  }
  // A NUL inside the text is a byte like any other; the length decides.
  static const char raw[] = "Mix\0Name\nnote\0kept\nt\t0\t0\t0\nv\t3\t-2\0.5\nend\n";
  std::string with_nul(raw, sizeof raw - 1);
  ClearInternalArrays();
  Parse(with_nul);
  EXPECT_STREQ(MixName, "Mix");
  EXPECT_EQ(Volume[Cell(3, 0)], -2.0f);
  std::string t = BuildFaderText(with_nul);
  EXPECT_EQ(t.substr(0, 15), std::string("Mix\nnote\0kept\n\n", 15));
  // Nothing after "end" is read.
  ClearInternalArrays();
  Parse("N\nend\ncomp\t1\t1\t1\t1\t1\nt\t0\t0\t0\nv\t1\t-1\n");
  EXPECT_EQ(Pcomp[REC], 0.0f);
  EXPECT_EQ(ChanActive[Cell(1, 0)], 0);
}

TEST(FaderFileFile, EmptyMissingAndUncreatable) {
  ScopedWorkDir dir;
  ClearInternalArrays();
  Pcomp[REC] = 1;
  WriteFileBytes("faders.txt", "");
  testing::internal::CaptureStdout();
  EXPECT_EQ(LoadFaderFile(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "faders.txt file is empty\n");
  EXPECT_STREQ(tbuffer, "Read 0 bytes from faders.txt");
  EXPECT_STREQ(MixName, "MixFilename");
  EXPECT_EQ(Pcomp[REC], 0.0f);
  testing::internal::CaptureStdout();
  ASSERT_TRUE(SaveFaderFile());
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(ReadFileBytes("faders.txt"), Golden("faders_fresh.txt"));

  std::filesystem::remove("faders.txt");
  CopyField(MixName, NAME_LEN, "Song");
  EXPECT_EQ(LoadFaderFile(), 0);
  EXPECT_EQ(ReadFileBytes("faders.txt"), "Song\n");
  EXPECT_STREQ(tbuffer, "Read 0 bytes from faders.txt");
  EXPECT_STREQ(MixName, "Song");

  // Missing, and the disk takes nothing: nothing is written, the read goes on.
  std::filesystem::remove("faders.txt");
  ChildResult r = RunWithFileLimit(0, [] {
    Pcomp[REC] = 1;
    LoadFaderFile();
    printf("[%s]", tbuffer);
    return Pcomp[REC] == 0.0f ? 0 : 1;
  });
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "faders.txt is missing and could not be created: File too large\n"
            "[faders.txt is missing and could not be created: File too large]");
  EXPECT_FALSE(FileExists("faders.txt"));
  EXPECT_EQ(DirList(), "");
}

TEST(FaderFileFile, AFailedSaveKeepsTheOldFile) {
  ScopedWorkDir dir;
  SetUpMyMix();
  for (int r = 2; r < 100; r++) IndexActiveArray[r] = 1;
  std::string old = "Old mix\nmy note\nt\t0\t0.000\t0\nend\n";
  WriteFileBytes("faders.txt", old);
  ChildResult r = RunWithFileLimit(1000, [] {
    bool saved = SaveFaderFile();
    printf("[%s]", tbuffer);
    return saved ? 1 : 0;
  });
  EXPECT_EQ(r.exit_code, 0) << "the save must report failure";
  std::string text = BuildFaderText(old);
  EXPECT_EQ(r.out, "write error:  expected " + std::to_string(text.size()) +
                       ", returned 1000\nfaders.txt not saved: File too large\n"
                       "[faders.txt not saved: File too large]");
  EXPECT_EQ(ReadFileBytes("faders.txt"), old);
  EXPECT_EQ(DirList(), "faders.txt ") << "the temporary file is removed";
}

// The whole-file read takes the scans' records from its one walk; on any
// text it must leave the model as the separate scans do.
TEST(FaderFileReader, OneWalkEqualsTheSeparateScans) {
  const char* words[] = {"comp", "rms", "nlc", "lim", "fxg", "band1", "band2", "hshelf", "lshelf",
                         "hp", "p", "rev", "trev", "rtn", "trtn", "rhp", "rlp", "width", "pos",
                         "submu", "subso", "sub", "subname", "VCA:", "vcaname", "cue", "t", "inc",
                         "v", "vca", "ofs", "rmp", "shape", "end", "G", "M", "1", "3", "-2.5",
                         "130", "1,2", "x", "0", "9", ""};
  const char* gaps[] = {"\t", "\n", "\t\t", "\n\n", "\t\n"};
  std::mt19937 rng(3);
  for (int round = 0; round < 3000; round++) {
    std::string t;
    int n = 1 + (int)(rng() % 60);
    for (int i = 0; i < n; i++) {
      t += words[rng() % (sizeof words / sizeof *words)];
      if (rng() % 8) t += gaps[rng() % 5];
    }
    if (rng() % 5 == 0) t += "\nend\n";
    testing::internal::CaptureStdout();
    ClearInternalArrays();
    ParseBufferMulti(t.data(), t.size());
    ReadVolumes(t.data(), t.size());
    std::string separate = ModelBytes();
    std::string said = testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    ClearInternalArrays();
    ParseFaderText(t.data(), t.size());
    ASSERT_TRUE(ModelBytes() == separate) << "text: " << t;
    ASSERT_EQ(testing::internal::GetCapturedStdout(), said) << t;
  }
}

// The first line is the mix name whatever its length; a mix saved without a
// name (an empty first line) keeps the name in memory, and no record line
// is ever taken for the name.
TEST(FaderFileReader, MixNameIsTheFirstLine) {
  ClearInternalArrays();
  CopyField(MixName, NAME_LEN, "Jam");
  std::string t = BuildFaderText("");
  ClearInternalArrays();
  Parse(t);
  EXPECT_STREQ(MixName, "Jam");

  ClearInternalArrays();
  Parse("\nsubname\t1\tDrums\nnote\nend\n");
  EXPECT_STREQ(MixName, "MixFilename");
  MixName[0] = '\0';
  EXPECT_EQ(BuildFaderText("\nnote\n").substr(0, 7), "\nnote\n\n");
}

// Names are data: a mix, submix, VCA or cue name that equals a keyword is
// read back as that name and nothing else.
TEST(FaderFileReader, NamesEqualToKeywordsAreNames) {
  ClearInternalArrays();
  CopyField(MixName, NAME_LEN, "t");
  SubOn[0] = SubOn[1] = VcaOn[0] = 1;
  CopyField(NameBuffer[GroupSlot(1)], NAME_LEN, "rev");
  CopyField(NameBuffer[GroupSlot(2)], NAME_LEN, "comp");
  CopyField(NameBuffer[VcaSlot(1)], NAME_LEN, "end");
  SubAsn[2 * 8 + 1] = 1;
  Pcomp[5 * REC] = 1;
  IndexActiveArray[1] = IndexActiveArray[2] = 1;
  IndexSec[2] = 4;
  CopyField(CueNameBuffer[1], CUE_LEN, "end");
  CopyField(CueNameBuffer[2], CUE_LEN, "rmp");
  ChanActive[Cell(7, 2)] = 1;
  Volume[Cell(7, 2)] = -5;
  std::string t = BuildFaderText("");
  std::string model = ModelBytes();
  ClearInternalArrays();
  Parse(t);
  EXPECT_TRUE(ModelBytes() == model);
  EXPECT_EQ(Prev[0], 0.0f) << "the submix named rev sends nothing";
  EXPECT_EQ(Pcomp[5 * REC], 1.0f) << "the VCA named end ends nothing";
  EXPECT_EQ(Volume[Cell(7, 2)], -5.0f) << "the cue named end ends nothing";
  EXPECT_EQ(IndexActiveArray[3], 0);
  EXPECT_EQ(BuildFaderText(t), t);
}
