// prefs.txt and tracks.txt: golden texts, carried lines, the readers' edge
// cases and saves that fail.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "file_limit.h"
#include "files/files.h"
#include "model/model.h"
#include "testlib.h"

namespace {
// The model as at start (the reset leaves head, tail and colour alone).
void Reset() {
  ClearInternalArrays();
  HeadTailArray[0] = HeadTailArray[1] = 0;
  color = 97;
}
void Prefs(const std::string& t) { ParsePrefsText(t.data(), t.size()); }
void Tracks(const std::string& t) { ParseTracksText(t.data(), t.size()); }
}  // namespace

TEST(PrefsFile, DefaultsAre82Bytes) {
  Reset();
  ScopedWorkDir dir;
  ASSERT_TRUE(SavePrefsFile());
  EXPECT_EQ(ReadFileBytes("prefs.txt"), Golden("prefs_defaults.txt"));
  EXPECT_STREQ(tbuffer, "Wrote 82 bytes to prefs.txt");
}

TEST(PrefsFile, EveryLineUnderItsCondition) {
  Reset();
  PreviewOn = 1;
  PreviewArray[2] = 12.5f, PreviewArray[3] = 30;
  XinArray[2] = 0.5f;
  HeadTailArray[1] = 2;
  CopyField(Path, PATH_LEN, "/");
  CopyField(WavDirName, PATH_LEN, "audio");
  PanlawStore = 6.1f;
  monoOn = 1;
  CopyField(LaunchCommand, PATH_LEN, "go");
  EXPECT_EQ(BuildPrefsText(""),
            "pre\ton\nstart\t0.000\t0.000\t12\nlength\t30.000\nxin\t0.000\t0.000\t0.500\n"
            "tail\t2.000\nwavdir\taudio\npan\t6.0\noutbits\t24\ndither\t1\nmono\ncolor\t97\nlaunch\tgo\nend\n");
  PreviewArray[2] = 13.5f;
  CopyField(Path, PATH_LEN, "./");
  PanlawStore = 0;
  std::string t = BuildPrefsText("");
  EXPECT_NE(t.find("\t14\n"), std::string::npos);
  EXPECT_NE(t.find("path\t./\n"), std::string::npos);
  EXPECT_NE(t.find("pan\t0.0\n"), std::string::npos) << "0, the balance law, reaches the engine";
  PanlawStore = 6.0f;

  // The written text reads back to the same text.
  CopyField(MixDirName, PATH_LEN, "mixes/out");
  t = BuildPrefsText("");
  Reset();
  monoOn = 0;
  Prefs(t);
  EXPECT_EQ(BuildPrefsText(""), t);
}

// Lines with keywords of their own are carried: the one placed first too,
// so that no hand-written line is lost; lines after "end" are not.
TEST(PrefsFile, CarriedLines) {
  Reset();
  ScopedWorkDir dir;
  WriteFileBytes("prefs.txt",
                 "studio\tA\npre\ton\nstart\t1\t2\t3\nmy\tsetting\t5\n\noname\tX\ndevice\thw:1\n"
                 "play\t2\nend\nafter\tend\n");
  ASSERT_TRUE(SavePrefsFile());
  EXPECT_EQ(ReadFileBytes("prefs.txt"), Golden("prefs_carried.txt"));
  ASSERT_TRUE(SavePrefsFile());
  EXPECT_EQ(ReadFileBytes("prefs.txt"), Golden("prefs_carried.txt"));
}

TEST(PrefsFile, ReaderEdgeCases) {
  Reset();
  Prefs("pan\t0\noutbits\t16.9\npre\ton please\ncolor\t300\ndevice\thw:0\nplay\t3\noname\tNew mix\n");
  EXPECT_EQ(PanlawStore, 0.0f);
  EXPECT_EQ(OutbitsStore, 16);
  EXPECT_EQ(PreviewOn, 0) << "neither on nor off";
  EXPECT_EQ(color, 300) << "the colour is clamped where it is applied";
  EXPECT_STREQ(DeviceName, "hw:0");
  EXPECT_EQ(PlayMode, 3);
  EXPECT_STREQ(MixName, "New mix");
  color = 97;

  // A pan law outside 0..6 is written clamped, as the engine renders it,
  // never left out (the engine would then take 3 dB).
  Reset();
  PanlawStore = 7;
  std::string t = BuildPrefsText("");
  PanlawStore = 3;
  Prefs(t);
  EXPECT_EQ(PanlawStore, 6.0f);

  // mono only ever turns mono on.
  monoOn = 1;
  Prefs("pre\toff\nend\n");
  EXPECT_EQ(monoOn, 1);

  // A word field hands itself on to the keywords further down the table; a
  // directory named "mono" is only a directory.
  Reset();
  Prefs("pre\tmono\n");
  EXPECT_EQ(monoOn, 1);
  Reset();
  Prefs("wavdir\tmono\nlaunch\tdither\n0\n");
  EXPECT_STREQ(WavDirName, "mono");
  EXPECT_STREQ(LaunchCommand, "dither");
  EXPECT_EQ(monoOn, 0);
  EXPECT_EQ(DitherBits, 1);

  // Nothing after "end"; a last line missing its fields ends the read.
  Reset();
  Prefs("dither\t0\nend\ndither\t2\n");
  EXPECT_EQ(DitherBits, 0);
  Prefs("start\t1\t2");
  EXPECT_EQ(PreviewArray[0], 0.0f);
  Prefs("xin\t1");
  Prefs("pre\t");
  Prefs("outbits\t1e999\ncolor\t-2147483649\nhead\tnan\n");
  EXPECT_EQ(OutbitsStore, 2147483647);
  color = 97;
}

TEST(PrefsFile, LongValuesAreCutAndLargeFilesCarried) {
  Reset();
  std::string long_path(1000, 'p');
  Prefs("path\t" + long_path + "\ndevice\t" + long_path + "\noname\t" + long_path + "\n");
  EXPECT_EQ(strlen(Path), 255u);
  EXPECT_EQ(strlen(DeviceName), 31u);
  EXPECT_EQ(strlen(MixName), 127u);

  std::string old = "pre\toff\n";
  for (int i = 0; i < 400; i++) old += "note" + std::to_string(i) + "\t" + std::string(300, 'x') + "\n";
  std::string t = BuildPrefsText(old);
  EXPECT_EQ(t.find("note0\t"), t.find("color\t97\n") + 9) << "carried after the own lines";
  EXPECT_NE(t.find("note399\t"), std::string::npos);
  EXPECT_EQ(t.substr(t.size() - 4), "end\n");
}

TEST(PrefsFile, MissingEmptyAndFailedSave) {
  ScopedWorkDir dir;
  Reset();
  CopyField(tbuffer, TBUF_LEN, "before");
  EXPECT_EQ(LoadPrefsFile(), 0);
  EXPECT_STREQ(tbuffer, "before") << "a missing prefs.txt says nothing";
  WriteFileBytes("prefs.txt", "");
  EXPECT_EQ(LoadPrefsFile(), 1);
  EXPECT_STREQ(tbuffer, "Read 0 bytes from prefs.txt");

  WriteFileBytes("prefs.txt", "old\n");
  ChildResult r = RunWithFileLimit(10, [] {
    bool saved = SavePrefsFile();
    printf("[%s]", tbuffer);
    return saved ? 1 : 0;
  });
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "prefs.txt not saved: File too large\n[prefs.txt not saved: File too large]");
  EXPECT_EQ(ReadFileBytes("prefs.txt"), "old\n");
}

TEST(TracksFile, PlaceholdersSoloAndMute) {
  Reset();
  ScopedWorkDir dir;
  ASSERT_TRUE(SaveTracksFile());
  EXPECT_EQ(ReadFileBytes("tracks.txt"), Golden("tracks_fresh.txt"));
  EXPECT_STREQ(tbuffer, "Wrote 15 bytes to tracks.txt");

  Reset();
  CopyField(NameBuffer[1], NAME_LEN, "a.wav");
  CopyField(NameBuffer[3], NAME_LEN, "c.wav");
  CopyField(NameBuffer[4], NAME_LEN, "d.wav");
  CopyField(NameBuffer[6], NAME_LEN, "f.wav");
  SoloArray[3] = MuteArray[3] = 1;
  MuteArray[4] = 1;
  MuteArray[6] = 1;  // the last named channel is listed though muted
  EXPECT_EQ(BuildTracksText(),
            "1 a.wav +\n2 ---- off\n3 c.wav ++\n4 d.wav off\n5 ---- off\n6 f.wav off\nend\n");
  EXPECT_STREQ(NameBuffer[2], "----");
  EXPECT_EQ(MuteArray[2], 1);

  Reset();
  Tracks("1 a.wav +\n2 ---- off\n3 c.wav ++\nend\n");
  EXPECT_EQ(BuildTracksText(), "1 a.wav +\n2 ---- off\n3 c.wav ++\nend\n");
  EXPECT_STREQ(NameBuffer[3], "c.wav");
  EXPECT_EQ(SoloArray[3], 1);
  EXPECT_EQ(MuteArray[3], 0) << "solo over mute";
  EXPECT_EQ(MuteArray[2], 1);

  // Reading never unmutes.
  MuteArray[1] = 1;
  Tracks("1 a.wav +\nend\n");
  EXPECT_EQ(MuteArray[1], 1);
}

// Names are the text between the first and the last space: a name with a
// space reads back whole; a free header stands before a line "begin", and a
// name holding "begin" moves nothing.
TEST(TracksFile, NamesWithSpacesAndHeaders) {
  Reset();
  CopyField(NameBuffer[1], NAME_LEN, "my song.wav");
  CopyField(NameBuffer[2], NAME_LEN, "audio/beginning.wav");
  std::string t = BuildTracksText();
  EXPECT_EQ(t, "1 my song.wav +\n2 audio/beginning.wav +\nend\n");
  Reset();
  Tracks(t);
  EXPECT_STREQ(NameBuffer[1], "my song.wav");
  EXPECT_EQ(MuteArray[1], 0);
  EXPECT_STREQ(NameBuffer[2], "audio/beginning.wav");

  Reset();
  Tracks("Session of May 3 begin 1 x.wav +\nbegin\n1 kick.wav +\n2 snare.wav off\nend\n3 z.wav +\n");
  EXPECT_STREQ(NameBuffer[1], "kick.wav");
  EXPECT_EQ(MuteArray[2], 1);
  EXPECT_STREQ(NameBuffer[3], "");

  // Lines missing their fields end safely.
  const char* texts[] = {"", "begin", "1", "1 ", "1 a.wav", "\n\n  \n", "x y z w\n"};
  for (const char* s : texts) Tracks(s);
}

// White space at the end of a hand-edited line is no part of the name or
// the state, and the last word is the state only when it is a state word;
// a line without one mutes its channel. What is read saves back clean.
TEST(TracksFile, TrailingWhiteSpaceAndStateWords) {
  const struct { const char* line; const char* name; int mute, solo; } cases[] = {
      {"1 a.wav + ", "a.wav", 0, 0},          {"1 a.wav  ++\t\r", "a.wav", 0, 1},
      {"1 a.wav +\r", "a.wav", 0, 0},         {"1 my song.wav", "my song.wav", 1, 0},
      {"1 my song.wav off  ", "my song.wav", 1, 0}, {"1 a.wav \t", "a.wav", 1, 0},
      {"1 take +2.wav +", "take +2.wav", 0, 0}};
  for (const auto& c : cases) {
    Reset();
    Tracks(std::string(c.line) + "\nend\n");
    EXPECT_STREQ(NameBuffer[1], c.name) << c.line;
    EXPECT_EQ(MuteArray[1], c.mute) << c.line;
    EXPECT_EQ(SoloArray[1], c.solo) << c.line;
    EXPECT_EQ(BuildTracksText(), std::string("1 ") + c.name + (c.solo ? " ++" : c.mute ? " off" : " +") + "\nend\n");
  }
  // A long name cut at a space reads back as it is written.
  Reset();
  Tracks("1 " + std::string(NAME_LEN - 2, 'a') + " tail.wav +\n");
  std::string first = BuildTracksText();
  Reset();
  Tracks(first);
  EXPECT_EQ(BuildTracksText(), first);
}

TEST(TracksFile, ManyLongNamesRoundTrip) {
  Reset();
  for (int n = 1; n <= NUM_INPUTS; n++)
    snprintf(NameBuffer[n], NAME_LEN, "%s/%03i.wav", std::string(110, 'd').c_str(), n);
  std::string t = BuildTracksText();
  EXPECT_GT(t.size(), 4096u * 3);
  Reset();
  Tracks(t);
  EXPECT_EQ(BuildTracksText(), t);
  EXPECT_EQ(strlen(NameBuffer[127]), 118u);

  Reset();
  Tracks("1 " + std::string(500, 'n') + " +\n");
  EXPECT_EQ(strlen(NameBuffer[1]), 127u);
}

TEST(TracksFile, MissingAndFailedSave) {
  ScopedWorkDir dir;
  Reset();
  CopyField(tbuffer, TBUF_LEN, "before");
  EXPECT_EQ(LoadTracksFile(), 0);
  EXPECT_STREQ(tbuffer, "before");
  WriteFileBytes("tracks.txt", "1 old.wav +\nend\n");
  EXPECT_EQ(LoadTracksFile(), 1);
  EXPECT_STREQ(tbuffer, "Read 16 bytes from tracks.txt");

  ChildResult r = RunWithFileLimit(0, [] {
    bool saved = SaveTracksFile();
    printf("[%s]", tbuffer);
    return saved ? 1 : 0;
  });
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "tracks.txt not saved: File too large\n[tracks.txt not saved: File too large]");
  EXPECT_EQ(ReadFileBytes("tracks.txt"), "1 old.wav +\nend\n");
}
