// The control window's store, mix and recall actions meeting real faults
// (the windows built, headless): a read-only directory, a full disk, and a
// Recall All of hostile files whose values then pass through every window.
// The status line says what failed and the old files stay byte-identical.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include <FL/Fl_Button.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Spinner.H>
#include <gtest/gtest.h>

#include "../files/fault_env.h"
#include "../files/maximal_mix.h"
#include "app/app.h"
#include "effects/effects.h"
#include "faders/faders.h"
#include "files/files.h"
#include "model/model.h"
#include "prefs/prefs.h"
#include "routing/routing.h"
#include "testlib.h"

namespace fs = std::filesystem;

namespace {

const char kOldFaders[] = "Old mix\nmy note\nt\t0\t0.000\t0\nend\n";
const char kOldPrefs[] = "pre\ton\nend\n";
const char kOldTracks[] = "1 old.wav +\nend\n";

void Reset() {
  BuildEditorOnce();
  ClearInternalArrays();
  HeadTailArray[0] = HeadTailArray[1] = 0;
  color = 97;
  UpdateGUI();
}

void WriteOldFiles() {
  WriteFileBytes("faders.txt", kOldFaders);
  WriteFileBytes("prefs.txt", kOldPrefs);
  WriteFileBytes("tracks.txt", kOldTracks);
}

std::string Status() { return TextResponse->value(); }

// A stand-in engine in a directory of its own (outside any read-only
// mount), which leaves the mark "ran" there when it runs.
std::string MakeEngine() {
  char tmpl[] = "/tmp/orvane-engine-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  WriteFileBytes(dir + "/vorlax4", "#!/bin/sh\ntouch " + dir + "/ran\n");
  chmod((dir + "/vorlax4").c_str(), 0755);
  return dir + "/";
}

}  // namespace

// Store All, each Store item, and Mix into a directory mounted read-only:
// every one says in the status line which files were not saved and why,
// the engine is not started, and Recall All still reads the old files.
TEST(FaultActions, ReadOnlyDirectory) {
  Reset();
  ScopedWorkDir dir;
  WriteOldFiles();
  ClearInternalArrays();
  std::string engine = MakeEngine();
  CopyField(Path, PATH_LEN, engine.c_str());
  CopyField(MixName, NAME_LEN, "New");
  ChildRun r = RunInChild([&] {
    if (!ReadOnlyDirectory(dir.path())) return (int)NO_NAMESPACE;
    SaveAll();
    printf("[%s]\n", Status().c_str());
    StageWriteToFile();
    printf("[%s]\n", Status().c_str());
    WriteTracksFile();
    printf("[%s]\n", Status().c_str());
    WritePreferencesFile();
    printf("[%s]\n", Status().c_str());
    Mix();
    printf("[%s]\n", Status().c_str());
    RecallAll();
    printf("[%s] %s %i\n", Status().c_str(), MixName, PreviewOn);
    return 0;
  });
  bool ran = FileExists(engine + "ran");
  fs::remove_all(engine);
  if (r.exit_code == NO_NAMESPACE) GTEST_SKIP() << "no private mount namespace can be made here";
  EXPECT_EQ(r.exit_code, 0) << r.out;
  const std::string ro = "Read-only file system";
  const std::string all = "prefs.txt, tracks.txt, faders.txt not saved (" + ro + ")";
  for (const std::string& line :
       {"[Save failed: " + all + "]\n", "[faders.txt not saved: " + ro + "]\n",
        "[tracks.txt not saved: " + ro + "]\n", "[prefs.txt not saved: " + ro + "]\n",
        "[Mix not started: " + all + "]\n",
        "[Read " + std::to_string(strlen(kOldPrefs)) + " bytes from prefs.txt] Old mix 1\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "in:\n" << r.out;
  EXPECT_FALSE(ran) << "the engine was started";
  EXPECT_EQ(ReadFileBytes("faders.txt"), kOldFaders);
  EXPECT_EQ(ReadFileBytes("prefs.txt"), kOldPrefs);
  EXPECT_EQ(ReadFileBytes("tracks.txt"), kOldTracks);
}

// A disk with room for prefs.txt and tracks.txt but not for the maximal
// mix's faders.txt: Store All saves the two, keeps the old faders.txt and
// says so; Mix does not start the engine.
TEST(FaultActions, FullDiskDuringStoreAll) {
  Reset();
  ScopedWorkDir dir;
  ChildRun r = RunInChild([&] {
    if (!TinyDisk(dir.path(), 512)) return (int)NO_NAMESPACE;
    WriteOldFiles();
    BuildMaximalMix();
    CopyField(Path, PATH_LEN, "/nonexistent/");
    SaveAll();
    printf("[%s]\n", Status().c_str());
    Mix();
    printf("[%s]\n", Status().c_str());
    printf("%s|%s|%s\n", ReadFileBytes("faders.txt") == kOldFaders ? "old" : "new",
           ReadFileBytes("prefs.txt") == BuildPrefsText("") ? "saved" : "other",
           ReadFileBytes("tracks.txt") == BuildTracksText() ? "saved" : "other");
    return 0;
  });
  if (r.exit_code == NO_NAMESPACE) GTEST_SKIP() << "no private mount namespace can be made here";
  EXPECT_EQ(r.exit_code, 0) << r.out;
  const std::string failed = "faders.txt not saved (No space left on device)";
  EXPECT_NE(r.out.find("[Save failed: " + failed + "]\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("[Mix not started: " + failed + "]\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nold|saved|saved\n"), std::string::npos) << r.out;
}

// Hostile files recalled with Recall All, then shown in every window: every
// row and bank of the Faders window, every channel of the Effects window,
// every bank of the matrices. Nothing may crash or trip the sanitizers;
// Store All then saves what was read, and a second round trip is stable.
TEST(FaultActions, HostileRecallAllThroughEveryWindow) {
  Reset();
  ScopedWorkDir dir;
  const std::string n10k(10000, 'N');
  std::string faders = n10k + "\r\nsubname\t1\t" + n10k + "\nsub\t1\t1,2147483648,-1,5\n" +
                       "vcaname\t2\tv\0x\nVCA:\t2\t127,128\n";
  for (const char* fx : {"comp", "rms", "nlc", "lim", "band1", "band2", "hshelf", "lshelf", "hp",
                         "fxg", "rev", "trev"}) {
    faders += std::string(fx) + "\tM\tnan\t1e999\t-1e999\t-0\n";
    faders += std::string(fx) + "\t2147483648\t1e999\tnan\tnan\tnan\n";
    faders += std::string(fx) + "\tG\t1\t-1e999\t1e999\t0\t0\n";
    faders += std::string(fx) + "\t1\t-1e38\t1e38\t3e38\t-3e38\n";
  }
  faders += "rtn\tnan\t1e999\ntrtn\t-1e999\tnan\t2147483648\nrlp\tnan\nrhp\t1e999\n"
            "width\tnan\npos\t1e999\t-1e999\tnan\np\t1\tnan\np\t2\t1e999\np\tG\t1\t-1e999\n"
            "p\tM\t-0\nsubmu\t1\nsubso\t1\n";
  for (int r = 0; r < 520; r++) {
    faders += "cue\t" + n10k + "\nt\t" + (r % 3 ? "nan" : "1e999") + "\t" +
              std::to_string(r) + "\t-0\n";
    faders += "v\t" + std::to_string(r % 128) + "\tnan\nofs\t1e999\nrmp\t-1e999\nshape\tnan\n";
    faders += "v\tG\t" + std::to_string(r % 9) + "\t1e999\nvca\t" + std::to_string(r % 9) +
              "\t-1e999\nv\tM\t-0\r\n";
  }
  faders += "end\n";
  WriteFileBytes("faders.txt", faders);
  WriteFileBytes("prefs.txt", "pre\ton\nstart\tnan\t1e999\t-1e999\nlength\tnan\nxin\t1e999\tnan\t-0\n"
                              "xout\tnan\tnan\tnan\nhead\t1e999\ntail\tnan\npath\t" + n10k +
                              "\nwavdir\t" + n10k + "\nmixdir\t" + n10k + "\nlaunch\t" + n10k +
                              "\npan\tnan\noutbits\t-2147483649\ndither\t2147483648\n"
                              "color\t2147483647\nmono\r\nend\n");
  std::string tracks;
  for (int n = 1; n <= 130; n++) tracks += std::to_string(n) + " " + n10k + (n % 2 ? " ++\r\n" : " off\n");
  WriteFileBytes("tracks.txt", tracks + "end\n");

  testing::internal::CaptureStdout();
  RecallAll();
  std::string said = testing::internal::GetCapturedStdout();
  EXPECT_EQ(Status().substr(0, 97),
            "127 track names longer than 127 characters were cut, 1 submix name longer than "
            "127 characters was");
  EXPECT_NE(said.find("Channel assigned to sub 0 is out of range!"), std::string::npos);
  EXPECT_TRUE(std::isnan(Volume[Cell(1, 1)]));
  EXPECT_EQ(color, 2147483647) << "the model keeps the file's colour";
  EXPECT_EQ(bgcolor->value(), 255) << "the colour shown is held in the colour map";

  for (int b = 1; b <= 13; b++) {
    Bank->value(b);
    Bank->do_callback();
    for (int r = 1; r <= 512; r += (b == 1 ? 1 : 37)) {
      TimeIndex->value(r);
      TimeIndex->do_callback();
    }
  }
  SelectRegularChannel->value(1);
  SelectRegularChannel->do_callback();
  for (int n = 1; n <= NUM_INPUTS; n++) {
    RegularNum->value(n);
    RegularNum->do_callback();
  }
  SelectGroupChannel->value(1);
  SelectGroupChannel->do_callback();
  for (int g = 1; g <= NUM_GROUPS; g++) {
    GroupNum->value(g);
    GroupNum->do_callback();
  }
  SelectMasterChannel->value(1);
  SelectMasterChannel->do_callback();
  for (int b = 1; b <= 26; b++) {
    SubBank->value(b);
    SubBank->do_callback();
    VcaBank->value(b);
    VcaBank->do_callback();
  }
  UpdateGUI();

  // Store All, then twice Recall All into a reset model and Store All: the
  // last two saves are the same bytes. (The first may differ: a width of
  // nan is not written, and the reset model's width then is.)
  testing::internal::CaptureStdout();
  CopyField(Path, PATH_LEN, "");
  SaveAll();
  EXPECT_EQ(Status(), "Save Complete");
  std::string saved[2][3];
  for (auto& files : saved) {
    Reset();
    RecallAll();
    SaveAll();
    EXPECT_EQ(Status(), "Save Complete");
    files[0] = ReadFileBytes("faders.txt");
    files[1] = ReadFileBytes("prefs.txt");
    files[2] = ReadFileBytes("tracks.txt");
  }
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(saved[0][0] == saved[1][0]) << "faders.txt changed in a round trip";
  EXPECT_EQ(saved[0][1], saved[1][1]);
  EXPECT_EQ(saved[0][2], saved[1][2]);
  Reset();
}

// A Path beginning with "~/" names the home directory, as the shell did; a
// faders.txt that cannot be read leaves every setting as it was and says
// so; text from the user's files reaches the status line escaped.
TEST(FaultActions, HomePathUnreadableFadersAndEscapedStatus) {
  Reset();
  ScopedWorkDir dir;
  WriteOldFiles();
  std::string engine = MakeEngine();  // /tmp/orvane-engine-X/
  std::string home = getenv("HOME") ? getenv("HOME") : "";
  setenv("HOME", "/tmp/", 1);
  CopyField(Path, PATH_LEN, ("~/" + engine.substr(5)).c_str());
  Mix();
  EXPECT_EQ(Status(), "Mix Complete");
  EXPECT_TRUE(FileExists(engine + "ran"));
  setenv("HOME", home.c_str(), 1);
  fs::remove_all(engine);

  CopyField(Path, PATH_LEN, "/no/\x1b[2J/");
  Mix();
  EXPECT_EQ(Status().find("Mix failed: /no/\\x1b[2J/vorlax4 not found"), 0u) << Status();

  fs::remove("faders.txt");
  fs::create_directory("faders.txt");
  Pcomp[2 * REC] = 1;
  CopyField(MixName, NAME_LEN, "Held");
  StageReadFromFile();
  EXPECT_EQ(Status(), "faders.txt could not be read: it is a directory, not a regular file; nothing was changed");
  EXPECT_EQ(Pcomp[2 * REC], 1.0f);
  EXPECT_STREQ(MixName, "Held");
  SaveAll();
  EXPECT_EQ(Status(), "Save failed: faders.txt not saved (the old file could not be read (it is a directory, "
                      "not a regular file))");
}
