// Hostile files through the real readers (the files on disk, read whole):
// huge files and lines, long names, NUL bytes, noise, CR LF line ends,
// numbers at and past the limits of their types. Nothing may crash, hang
// or overrun; each text is read as the rules read it, out-of-range values
// skipped or moved where the rules move them. A save after a hostile recall
// and a recall of what was saved must then agree.
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "files/files.h"
#include "maximal_mix.h"
#include "model/model.h"
#include "testlib.h"

namespace {

// Everything of the model that the three files carry.
std::string Snapshot() {
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
  add(PreviewArray, sizeof PreviewArray), add(XinArray, sizeof XinArray);
  add(XoutArray, sizeof XoutArray), add(HeadTailArray, sizeof HeadTailArray);
  add(Path, sizeof Path), add(WavDirName, sizeof WavDirName), add(MixDirName, sizeof MixDirName);
  add(LaunchCommand, sizeof LaunchCommand), add(DeviceName, sizeof DeviceName);
  add(&PreviewOn, sizeof PreviewOn), add(&PanlawStore, sizeof PanlawStore);
  add(&OutbitsStore, sizeof OutbitsStore), add(&DitherBits, sizeof DitherBits);
  add(&monoOn, sizeof monoOn), add(&color, sizeof color), add(&PlayMode, sizeof PlayMode);
  return b;
}

void Reset() {
  ClearInternalArrays();
  HeadTailArray[0] = HeadTailArray[1] = 0;
  color = 97;
}

// Writes text as faders.txt and recalls it through the real reader, with
// the reader's messages captured; returns them.
std::string RecallFaders(const std::string& text) {
  WriteFileBytes("faders.txt", text);
  testing::internal::CaptureStdout();
  LoadFaderFile();
  return testing::internal::GetCapturedStdout();
}

// Stores faders.txt over itself, then recalls the stored file into a reset
// model and stores again: the two stored texts must be the same bytes.
void ExpectStableAfterSave() {
  testing::internal::CaptureStdout();
  ASSERT_TRUE(SaveFaderFile()) << tbuffer;
  std::string stored = ReadFileBytes("faders.txt");
  Reset();
  LoadFaderFile();
  ASSERT_TRUE(SaveFaderFile()) << tbuffer;
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(ReadFileBytes("faders.txt") == stored) << "a second save changed the file";
}

std::string Repeat(const std::string& s, size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (size_t i = 0; i < n; i++) out += s;
  return out;
}

}  // namespace

// A line that a save keeps unchanged (its first field is not a keyword) is
// data: it starts no record and ends nothing, wherever keywords stand in
// it. Such a line once added a time-index row at every recall, so that each
// Store and Recall made the file longer.
TEST(HostileFaders, KeptLinesAreNeverRecords) {
  ScopedWorkDir dir;
  Reset();
  RecallFaders("Mix\nnote\tt\t1\t2\t3\n\tnote\tv\t1\t-3\nx\tcomp\t1\t-10\t10\t100\t2\n"
               "x\tsub\t1\t1,2\nx\tcue\tVerse\nx\tsubmu\t1\nx\tp\t1\t50\n"
               "t\t0\t0.000\t0\nv\t2\t-1.00\nend\n");
  EXPECT_EQ(IndexActiveArray[0], 1);
  EXPECT_EQ(IndexActiveArray[1], 0) << "a kept line made a row";
  EXPECT_EQ(IndexSec[0], 0.0f);
  EXPECT_EQ(ChanActive[Cell(1, 0)], 0);
  EXPECT_EQ(ChanActive[Cell(2, 0)], 1);
  EXPECT_EQ(Pcomp[REC], 0.0f);
  EXPECT_EQ(SubOn[0], 0);
  EXPECT_STREQ(CueNameBuffer[0], "");
  EXPECT_EQ(MuteArray[GroupSlot(1)], 0);
  EXPECT_EQ(Pan[1], 0.0f);

  // Store and Recall, again and again: the file stays as it is.
  testing::internal::CaptureStdout();
  ASSERT_TRUE(SaveFaderFile());
  std::string stored = ReadFileBytes("faders.txt");
  for (int i = 0; i < 5; i++) {
    LoadFaderFile();
    ASSERT_TRUE(SaveFaderFile());
  }
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(ReadFileBytes("faders.txt") == stored);
  EXPECT_EQ(stored.find("Mix\nnote\tt\t1\t2\t3\n\tnote\tv\t1\t-3\n"), 0u);
  EXPECT_EQ(IndexActiveArray[1], 0);

  // "end" inside a kept line ends nothing; "end" first on a line ends all.
  Reset();
  RecallFaders("Mix\nnote\tend\ncomp\t1\t-10\t10\t100\t2\nend\tcomp\t2\t1\t1\t1\t1\nrev\t3\t-6\n");
  EXPECT_EQ(Pcomp[REC], 1.0f);
  EXPECT_EQ(Pcomp[2 * REC], 0.0f);
  EXPECT_EQ(Prev[3 * REC], 0.0f);

  // The input that found it: a kept line of a NUL and a control byte first.
  static const char found[] = "Mix\t w\xd2ork\n\tindented oot\n\ne\n\n\n\n\n\n\n\n\n\n\0\3\tt\t0\t0.000\t0\n\nen2\n";
  Reset();
  RecallFaders(std::string(found, sizeof found - 1));
  EXPECT_EQ(IndexActiveArray[0], 1) << "the reset model's row";
  EXPECT_EQ(IndexActiveArray[1], 0);
  ExpectStableAfterSave();

  // Lines whose first field is a keyword read as they always did, leading
  // tabs or not, and a record may still take its last field from the next
  // line when its own line ends early.
  Reset();
  RecallFaders("Mix\n\tt\t1\t2\t3\nt\t4\t5\nnote\tv\t5\t-3\nv\t6\t-2\nend\n");
  EXPECT_EQ(IndexActiveArray[1], 1);
  EXPECT_EQ(IndexMin[0], 1.0f);
  EXPECT_EQ(IndexMin[1], 4.0f);
  EXPECT_EQ(IndexSec[1], 5.0f);
  EXPECT_EQ(IndexMsec[1], 0.0f) << "the next line, read as the third field";
  EXPECT_EQ(ChanActive[Cell(5, 1)], 0);
  EXPECT_EQ(Volume[Cell(6, 1)], -2.0f);
}

// 20 MB: the maximal mix, its records repeated until the file is 20 MB, and
// 600 rows more than the table holds. The rows past the table's 512 are
// ignored, a record read again writes the same values, so the model is that
// of the maximal mix's file; a save writes the maximal mix once.
TEST(HostileFaders, TwentyMegabytes) {
  ScopedWorkDir dir;
  Reset();
  BuildMaximalMix();
  std::string one = BuildFaderText("");
  Reset();
  RecallFaders(one);
  std::string model = Snapshot();
  size_t body = one.find('\n') + 1;
  std::string records = one.substr(body, one.size() - body - 4);  // without "end\n"
  std::string big = one.substr(0, body);
  while (big.size() < 20u << 20) big += records;
  big += Repeat("t\t1\t2.000\t3\nv\t1\t-1.00\n", 600) + "end\n";
  ASSERT_GE(big.size(), 20u << 20);
  Reset();
  RecallFaders(big);
  EXPECT_TRUE(Snapshot() == model) << "the 20 MB file read differently";
  testing::internal::CaptureStdout();
  ASSERT_TRUE(SaveFaderFile());
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(ReadFileBytes("faders.txt") == one);

  // 20 MB of kept lines: all carried by the save, in order.
  std::string notes = "Mix\n" + Repeat("a note of no keyword\tt\t1\tcomp\t1\n", 700000);
  ASSERT_GE(notes.size(), 20u << 20);
  Reset();
  RecallFaders(notes + "end\n");
  EXPECT_EQ(IndexActiveArray[1], 0);
  EXPECT_EQ(Pcomp[REC], 0.0f);
  testing::internal::CaptureStdout();
  ASSERT_TRUE(SaveFaderFile());
  testing::internal::GetCapturedStdout();
  std::string saved = ReadFileBytes("faders.txt");
  EXPECT_TRUE(saved.compare(0, notes.size(), notes) == 0);
  EXPECT_EQ(saved.substr(notes.size()), Golden("faders_fresh.txt").substr(12));
}

// One line of 1 MB in each place a line can stand.
TEST(HostileFaders, OneMegabyteLines) {
  ScopedWorkDir dir;
  const std::string mb(1 << 20, 'n');
  Reset();
  RecallFaders(mb + "\ncue\t" + mb + "\nt\t0\t0\t0\nsubname\t1\t" + mb + "\nsub\t1\t" +
               Repeat("1,2,", 1 << 18) + "\nvcaname\t2\t" + mb + "\nVCA:\t2\t3\n" +
               "v\t1\t-" + std::string(1 << 20, '9') + "\nrmp\t0." + std::string(1 << 20, '5') +
               "\ncomp" + std::string(1 << 20, '\t') + "1\t-10\t10\t100\t2\nend\n");
  EXPECT_EQ(std::string(MixName), mb.substr(0, NAME_LEN - 1));
  EXPECT_EQ(std::string(CueNameBuffer[0]), mb.substr(0, CUE_LEN - 1));
  EXPECT_EQ(std::string(NameBuffer[GroupSlot(1)]), mb.substr(0, NAME_LEN - 1));
  EXPECT_EQ(std::string(NameBuffer[VcaSlot(2)]), mb.substr(0, NAME_LEN - 1));
  EXPECT_EQ(SubAsn[0], 1);
  EXPECT_EQ(SubAsn[8], 1);
  EXPECT_EQ(SubAsn[16], 0);
  EXPECT_EQ(VcaAsn[2 * 8 + 1], 1);
  EXPECT_EQ(Volume[Cell(1, 0)], -INFINITY) << "a million nines read as atof reads them";
  EXPECT_FLOAT_EQ(Ramp[Cell(1, 0)], 0.5555556f);
  EXPECT_EQ(Pcomp[REC + 4], 2.0f);
  ExpectStableAfterSave();

  // A kept line of 1 MB survives a save unchanged.
  Reset();
  RecallFaders("Mix\n" + mb + "\tt\t1\nend\n");
  testing::internal::CaptureStdout();
  ASSERT_TRUE(SaveFaderFile());
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(ReadFileBytes("faders.txt").compare(0, mb.size() + 9, "Mix\n" + mb + "\tt\t1\n") == 0);
  EXPECT_EQ(IndexActiveArray[1], 0);

  // prefs.txt and tracks.txt: a line of 1 MB is cut to its field, or read
  // as the number it starts with.
  Reset();
  WriteFileBytes("prefs.txt", "path\t" + mb + "\nhead\t" + std::string(1 << 20, '1') +
                                  "\nlaunch\t" + mb + "\n" + mb + "\tmono\nend\n");
  EXPECT_EQ(LoadPrefsFile(), 1);
  EXPECT_EQ(std::string(Path), mb.substr(0, PATH_LEN - 1));
  EXPECT_EQ(std::string(LaunchCommand), mb.substr(0, PATH_LEN - 1));
  EXPECT_EQ(HeadTailArray[0], INFINITY);
  EXPECT_EQ(monoOn, 1) << "a field that is a keyword is read wherever it stands in prefs.txt";
  WriteFileBytes("tracks.txt", "1 " + mb + " +\n2 " + mb + "\n" + mb + "\nend\n");
  EXPECT_EQ(LoadTracksFile(), 1);
  EXPECT_EQ(std::string(NameBuffer[1]), mb.substr(0, NAME_LEN - 1));
  EXPECT_EQ(MuteArray[1], 0);
  EXPECT_EQ(std::string(NameBuffer[2]), mb.substr(0, NAME_LEN - 1));
  EXPECT_EQ(MuteArray[2], 1) << "no state: muted";
  EXPECT_EQ(std::string(NameBuffer[3]), "") << "no space: no name";
  EXPECT_EQ(MuteArray[3], 0);
}

// Names and cue names of 10,000 characters are cut to their fields; what is
// saved is read back the same.
TEST(HostileFaders, TenThousandCharacterNames) {
  ScopedWorkDir dir;
  std::string n10k;
  for (int i = 0; n10k.size() < 10000; i++) n10k += "name" + std::to_string(i) + " ";
  n10k.resize(10000);
  Reset();
  ClearReadCuts();
  RecallFaders(n10k + "\nsubname\t8\t" + n10k + "\nsub\t8\t5\nvcaname\t1\t" + n10k +
               "\nVCA:\t1\t\ncue\t" + n10k + "\nt\t0\t1.000\t0\ncue\t" + n10k +
               "\nt\t0\t2.000\t0\nend\n");
  EXPECT_EQ(std::string(MixName), n10k.substr(0, 127));
  EXPECT_EQ(std::string(NameBuffer[GroupSlot(8)]), n10k.substr(0, 127));
  EXPECT_EQ(std::string(NameBuffer[VcaSlot(1)]), n10k.substr(0, 127));
  EXPECT_EQ(std::string(CueNameBuffer[0]), n10k.substr(0, 63));
  EXPECT_EQ(std::string(CueNameBuffer[1]), n10k.substr(0, 63));
  EXPECT_EQ(IndexSec[1], 2.0f);
  EXPECT_EQ(ReadCutsReport(),
            "1 submix name longer than 127 characters was cut, 1 VCA name longer than 127 "
            "characters was cut, 2 cue names longer than 63 characters were cut, 1 mix name "
            "longer than 127 characters was cut");
  ClearReadCuts();
  std::string model = Snapshot();
  testing::internal::CaptureStdout();
  ASSERT_TRUE(SaveFaderFile());
  testing::internal::GetCapturedStdout();
  Reset();
  RecallFaders(ReadFileBytes("faders.txt"));
  EXPECT_TRUE(Snapshot() == model);
  EXPECT_EQ(ReadCutsReport(), "") << "names that fit exactly are not cut";

  Reset();
  WriteFileBytes("tracks.txt", "1 " + n10k + " ++\n2 " + n10k + " off\nend\n");
  LoadTracksFile();
  EXPECT_EQ(std::string(NameBuffer[1]), n10k.substr(0, 127));
  EXPECT_EQ(SoloArray[1], 1);
  EXPECT_EQ(MuteArray[2], 1);
  std::string tracks = BuildTracksText();
  Reset();
  ParseTracksText(tracks.data(), tracks.size());
  EXPECT_EQ(BuildTracksText(), tracks);

  Reset();
  ClearReadCuts();
  WriteFileBytes("prefs.txt", "wavdir\t" + n10k + "\nmixdir\t" + n10k + "\noname\t" + n10k +
                                  "\ndevice\t" + n10k + "\nend\n");
  LoadPrefsFile();
  EXPECT_EQ(std::string(WavDirName), n10k.substr(0, 255));
  EXPECT_EQ(std::string(MixDirName), n10k.substr(0, 255));
  EXPECT_EQ(std::string(MixName), n10k.substr(0, 127));
  EXPECT_EQ(std::string(DeviceName), n10k.substr(0, 31));
  EXPECT_EQ(ReadCutsReport(),
            "1 mix name longer than 127 characters was cut, 2 directories longer than 255 "
            "characters were cut, 1 device name longer than 31 characters was cut");
}

// NUL bytes are bytes like any other (the length of the file decides), and
// noise is read without harm by all three readers.
TEST(HostileFaders, NulBytesAndNoise) {
  ScopedWorkDir dir;
  static const char nul[] = "My\0Mix\nsubname\t1\tDr\0ums\nsub\t1\t1,\0002\nco\0mp\t1\t1\t1\t1\t1\n"
                            "t\t0\t0\t0\nv\t3\t-2\0.5\nv\t4\0\t-1\nend\n";
  Reset();
  RecallFaders(std::string(nul, sizeof nul - 1));
  EXPECT_STREQ(MixName, "My") << "a name ends at its NUL";
  EXPECT_STREQ(NameBuffer[GroupSlot(1)], "Dr");
  EXPECT_EQ(SubAsn[0], 1);
  EXPECT_EQ(SubAsn[8], 0) << "\"\\0002\" is no number";
  EXPECT_EQ(Pcomp[REC], 0.0f) << "\"co\\0mp\" is no keyword";
  EXPECT_EQ(Volume[Cell(3, 0)], -2.0f);
  EXPECT_EQ(ChanActive[Cell(4, 0)], 1);
  EXPECT_EQ(Volume[Cell(4, 0)], -1.0f);
  ExpectStableAfterSave();

  static const char pn[] = "pre\0\ton\npath\t/a\0b\nmono\0\ncolor\t12\0003\nend\n";
  Reset();
  WriteFileBytes("prefs.txt", std::string(pn, sizeof pn - 1));
  LoadPrefsFile();
  EXPECT_EQ(PreviewOn, 0);
  EXPECT_STREQ(Path, "/a");
  EXPECT_EQ(monoOn, 0);
  EXPECT_EQ(color, 12);
  static const char tn[] = "1 a\0b.wav +\n2 c.wav +\0\nend\n";
  WriteFileBytes("tracks.txt", std::string(tn, sizeof tn - 1));
  LoadTracksFile();
  EXPECT_STREQ(NameBuffer[1], "a");
  EXPECT_EQ(MuteArray[1], 0);
  EXPECT_EQ(MuteArray[2], 1) << "\"+\\0\" is not \"+\"";

  // Noise: random bytes, and random bytes rich in the files' own words.
  std::mt19937 rng(7);
  const char* words[] = {"comp", "t", "v", "G", "M", "sub", "VCA:", "cue", "end", "inc", "vca",
                         "path", "mono", "begin", "++", "1e999", "nan", "-0", "2147483648",
                         "\t", "\n", "\r\n", " ", ",", "\0"};
  for (int round = 0; round < 8; round++) {
    std::string noise;
    while (noise.size() < (1u << 17)) {
      if (round % 2) noise += words[rng() % (sizeof words / sizeof *words)];
      else noise.push_back((char)(rng() & 0xff));
    }
    Reset();
    RecallFaders(noise);
    WriteFileBytes("prefs.txt", noise);
    WriteFileBytes("tracks.txt", noise);
    testing::internal::CaptureStdout();
    LoadPrefsFile();
    LoadTracksFile();
    testing::internal::GetCapturedStdout();
    WriteFileBytes("faders.txt", noise);
    ExpectStableAfterSave();
  }
}

// CR LF line ends, as the rules read them: a line ends at "\n" and the CR
// is the last byte of the line's last field. A number still reads (the CR
// ends it); a name keeps its CR; "end\r" is not "end"; a state "+\r" is not
// "+" and mutes its track; "mono\r" is not "mono".
TEST(HostileFaders, CrLfLineEnds) {
  ScopedWorkDir dir;
  std::string lf = Golden("faders_mymix.txt"), crlf;
  for (char c : lf) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  Reset();
  RecallFaders(lf);
  std::string from_lf = BuildFaderText("");
  Reset();
  RecallFaders(crlf + "comp\t3\t1\t2\t3\t4\r\n");
  EXPECT_STREQ(MixName, "MyMix\r");
  EXPECT_STREQ(NameBuffer[GroupSlot(1)], "Drums\r");
  EXPECT_STREQ(CueNameBuffer[1], "Verse\r");
  EXPECT_EQ(Pcomp[3 * REC], 1.0f) << "a line after \"end\\r\" is read";
  Pcomp[3 * REC] = 0;
  CopyField(MixName, NAME_LEN, "MyMix");
  CopyField(NameBuffer[GroupSlot(1)], NAME_LEN, "Drums");
  CopyField(CueNameBuffer[1], CUE_LEN, "Verse");
  EXPECT_EQ(BuildFaderText(""), from_lf) << "every number reads as without the CR";

  // A save keeps "end\r" as a line of its own: it is no keyword.
  Reset();
  RecallFaders("Mix\r\nnote\r\nend\r\n");
  EXPECT_STREQ(MixName, "Mix\r");
  ExpectStableAfterSave();
  EXPECT_EQ(ReadFileBytes("faders.txt").find("Mix\r\nnote\r\nend\r\n\n"), 0u);

  Reset();
  WriteFileBytes("prefs.txt", "pre\ton\r\nstart\t1\t2\t3\r\nmono\r\ndither\t2\r\nend\r\n");
  LoadPrefsFile();
  EXPECT_EQ(PreviewOn, 0);
  EXPECT_EQ(PreviewArray[2], 3.0f);
  EXPECT_EQ(monoOn, 0);
  EXPECT_EQ(DitherBits, 2);
  WriteFileBytes("tracks.txt", "1 kick.wav +\r\n2 snare.wav ++\r\nend\r\n3 x.wav +\r\n");
  LoadTracksFile();
  // A "\r" at the end of a line is white space, not part of the state.
  EXPECT_STREQ(NameBuffer[1], "kick.wav");
  EXPECT_EQ(MuteArray[1], 0);
  EXPECT_EQ(SoloArray[2], 1);
  EXPECT_EQ(MuteArray[2], 0);
  EXPECT_STREQ(NameBuffer[3], "") << "\"end\\r\" is the line of channel 3";
  EXPECT_STREQ(NameBuffer[4], "x.wav");
}

// Numbers past the limits: values are read as atof reads them (1e999 is
// infinite, nan is not a number, -0 keeps its sign) and saved as printf
// writes them, so they come back the same; channel, submix, VCA and row
// numbers past the limits of int saturate and are then skipped as out of
// range, or moved to slot 135 as effect records are.
TEST(HostileFaders, NumbersAtAndPastTheLimits) {
  ScopedWorkDir dir;
  Reset();
  std::string said = RecallFaders(
      "Mix\nsub\t2147483648\t1\nsub\t-2147483649\t1\nsub\t1\t2147483648,-2147483649,4294967297,5\n"
      "subname\t2147483648\tX\nVCA:\t4294967298\t1\nsubmu\t2147483648\nsubso\t-2147483649\n"
      "comp\t2147483648\t1\t2\t3\t4\nlim\tG\t2147483647\t-1\nhp\t-2147483649\t50\n"
      "p\t2147483648\t10\np\tG\t-2147483649\t10\nrev\t2147483648\t-1\ntrev\t-2147483649\t-1\n"
      "p\t3\t1e999\np\t4\tnan\np\t5\t-0\nrtn\t1e999\tnan\nwidth\t-0\npos\tinf\t-inf\t1e-999\n"
      "t\t1e999\tnan\t-0\nv\t2147483648\t-1\nv\t-2147483649\t-1\nv\tG\t2147483647\t-1\n"
      "vca\t2147483648\t-1\nvca\t-2147483649\t-1\nv\t1\t1e999\nofs\tnan\nrmp\t-1e999\nshape\t-0\n"
      "v\t2\tnan\nt\t0\t1\t0\ninc\t1e999\nv\tM\t-0\ninc\tnan\nend\n");
  EXPECT_EQ(said,
            ">>Channel number out of range or not specified!\n"
            ">>Channel number out of range or not specified!\n"
            ">>Channel number out of range or not specified!\n"
            "Submix number out of range!\nSubmix number out of range!\n"
            "Channel assigned to sub 0 is out of range!\nChannel assigned to sub 0 is out of range!\n"
            "Channel assigned to sub 0 is out of range!\nVCA number out of range!\n");
  EXPECT_EQ(SubOn[0], 1);
  EXPECT_EQ(SubAsn[4 * 8], 1);
  int assigned = 0;
  for (int i = 0; i < NUM_ASN_ROWS * 8; i++) assigned += SubAsn[i] + VcaAsn[i];
  EXPECT_EQ(assigned, 1);
  for (int g = 1; g <= NUM_GROUPS; g++) {
    EXPECT_EQ(MuteArray[GroupSlot(g)], 0);
    EXPECT_EQ(SoloArray[GroupSlot(g)], 0);
  }
  EXPECT_EQ(Pcomp[135 * REC], 1.0f);
  EXPECT_EQ(Plim[135 * REC + 1], -1.0f);
  EXPECT_EQ(Php[135 * REC + 1], 50.0f);
  int sends = 0;
  for (int c = 0; c < NUM_SLOTS; c++) sends += (int)(Prev[c * REC] + Ptrev[c * REC]);
  EXPECT_EQ(sends, 0);
  EXPECT_EQ(Pan[3], INFINITY);
  EXPECT_TRUE(std::isnan(Pan[4]));
  EXPECT_TRUE(Pan[5] == 0.0f && std::signbit(Pan[5]));
  EXPECT_EQ(Prtn[0], INFINITY);
  EXPECT_TRUE(std::isnan(Prtn[1]));
  EXPECT_TRUE(std::signbit(Prev_width));
  EXPECT_EQ(Prev_position[0], INFINITY);
  EXPECT_EQ(Prev_position[1], -INFINITY);
  EXPECT_EQ(Prev_position[2], 0.0f);
  EXPECT_EQ(IndexMin[0], INFINITY);
  EXPECT_TRUE(std::isnan(IndexSec[0]));
  EXPECT_TRUE(std::signbit(IndexMsec[0]));
  int points = 0;
  for (int c = 0; c < NUM_SLOTS; c++) points += ChanActive[Cell(c, 0)];
  EXPECT_EQ(points, 2) << "only channels 1 and 2 hold points in row 0";
  EXPECT_EQ(Volume[Cell(1, 0)], INFINITY);
  EXPECT_TRUE(std::isnan(Offset[Cell(1, 0)]));
  EXPECT_EQ(Ramp[Cell(1, 0)], -INFINITY);
  EXPECT_TRUE(std::signbit(Shape[Cell(1, 0)]));
  EXPECT_TRUE(std::isnan(Volume[Cell(2, 0)]));
  EXPECT_EQ(IndexSec[2], INFINITY) << "inc adds to the seconds";
  EXPECT_EQ(IndexMin[2], 0.0f);
  EXPECT_TRUE(Volume[Cell(0, 2)] == 0.0f && std::signbit(Volume[Cell(0, 2)]));
  EXPECT_TRUE(std::isnan(IndexSec[3]));
  EXPECT_EQ(IndexActiveArray[4], 0);
  ExpectStableAfterSave();
  std::string saved = ReadFileBytes("faders.txt");
  EXPECT_NE(saved.find("\nt\tinf\tnan\t-0\nv\t1\tinf\nofs\tnan\nrmp\t-inf\nshape\t-0.000\n"
                       "v\t2\tnan\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\np\t3\tinf\np\t4\tnan\n"), std::string::npos) << saved;

  // More than 512 rows: the rows past the table are ignored.
  Reset();
  RecallFaders("Mix\n" + Repeat("t\t0\t1\t0\nv\t1\t-1\n", 600) + "t\t9\t9\t9\nend\n");
  EXPECT_EQ(IndexActiveArray[NUM_ROWS - 1], 1);
  EXPECT_EQ(IndexMin[NUM_ROWS - 1], 0.0f);
  EXPECT_EQ(ChanActive[Cell(1, NUM_ROWS - 1)], 1);

  // prefs.txt: integers saturate, values read as atof reads them.
  Reset();
  WriteFileBytes("prefs.txt", "outbits\t2147483648\ndither\t-2147483649\ncolor\t4294967296\n"
                              "play\t2147483648\nstart\t1e999\tnan\t-0\npan\t-1e999\nend\n");
  LoadPrefsFile();
  EXPECT_EQ(OutbitsStore, 2147483647);
  EXPECT_EQ(DitherBits, -2147483647 - 1);
  EXPECT_EQ(color, 2147483647);
  EXPECT_EQ(PlayMode, 2147483647);
  EXPECT_EQ(PreviewArray[0], INFINITY);
  EXPECT_TRUE(std::isnan(PreviewArray[1]));
  EXPECT_TRUE(std::signbit(PreviewArray[2]));
  EXPECT_EQ(PanlawStore, 0.0f) << "clamped into 0..6 as it is read";
  std::string prefs = BuildPrefsText("");
  EXPECT_NE(prefs.find("start\tinf\tnan\t-0\n"), std::string::npos) << prefs;
  EXPECT_NE(prefs.find("pan\t0.0\n"), std::string::npos) << prefs;
}

// The pan law at the edges of its range: 0 (the engine's balance law, the
// Preferences window's minimum) is saved and so reaches the engine; a value
// that rounds to 0 is saved as 0; one beyond 0..6, or not a number, is
// clamped as it is read (6.07 once was written as "6.1", then dropped, and
// the engine fell back to 3 dB). Every such file is stable after one save.
// (A prefs.txt of "pan 0.0003" once became "pan 0.0", then no line, then the
// default "pan 3.0".)
TEST(HostilePrefs, PanLawAtTheEdgesOfItsRange) {
  struct Case {
    const char* read;
    const char* saved;  // the pan line saved
  } cases[] = {{"0", "pan\t0.0\n"},     {"0.0003", "pan\t0.0\n"}, {"-0.04", "pan\t0.0\n"},
               {"6", "pan\t6.0\n"},     {"6.04", "pan\t6.0\n"},   {"6.07", "pan\t6.0\n"},
               {"6.1", "pan\t6.0\n"},   {"-1", "pan\t0.0\n"},     {"nan", "pan\t0.0\n"},
               {"1e999", "pan\t6.0\n"}, {"4.46", "pan\t4.5\n"}};
  for (const Case& c : cases) {
    Reset();
    std::string text = std::string("pan\t") + c.read + "\nend\n";
    ParsePrefsText(text.data(), text.size());
    std::string first = BuildPrefsText(text);
    size_t at = first.find("pan\t");
    EXPECT_EQ(at == std::string::npos ? "" : first.substr(at, first.find('\n', at) + 1 - at),
              c.saved) << c.read;
    Reset();
    ParsePrefsText(first.data(), first.size());
    std::string second = BuildPrefsText(first);
    Reset();
    ParsePrefsText(second.data(), second.size());
    EXPECT_EQ(BuildPrefsText(second), second) << c.read;
  }
}
