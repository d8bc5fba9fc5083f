// Store All, Recall All and Mix with the real windows built (headless).
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Spinner.H>
#include <gtest/gtest.h>
#include <signal.h>

#include "../files/file_limit.h"
#include "app/app.h"
#include "faders/faders.h"
#include "files/files.h"
#include "model/model.h"
#include "testlib.h"

namespace fs = std::filesystem;

namespace {

// A fresh model, as at start.
void Reset() {
  BuildEditorOnce();
  ClearInternalArrays();
  HeadTailArray[0] = HeadTailArray[1] = 0;
  color = 97;
}

std::string Status() { return TextResponse->value(); }

std::string Demo(const char* name) {
  return ReadFileBytes(std::string(ORVANE_SOURCE_DIR) + "/examples/demo/" + name);
}

// A stand-in render engine: a script named vorlax4 in its own directory,
// which notes where it ran and what it was given.
std::string MakeEngine(const std::string& dir, const std::string& tail, const char* name = "vorlax4") {
  fs::create_directories(dir);
  std::string path = dir + "/" + name;
  WriteFileBytes(path, "#!/bin/sh\npwd > ran-in.txt\ncat faders.txt tracks.txt prefs.txt > given.txt\n" +
                           tail + "\n");
  chmod(path.c_str(), 0755);
  return dir + "/";
}

}  // namespace

TEST(StoreAll, WritesTheThreeFilesIntoAnEmptyDirectory) {
  Reset();
  ScopedWorkDir dir;
  SaveAll();
  EXPECT_EQ(Status(), "Save Complete");
  EXPECT_EQ(ReadFileBytes("prefs.txt"), Golden("prefs_defaults.txt"));
  EXPECT_EQ(ReadFileBytes("tracks.txt"), Golden("tracks_fresh.txt"));
  EXPECT_EQ(ReadFileBytes("faders.txt"), Golden("faders_fresh.txt"));
}

TEST(RecallAll, ThenStoreAllReproducesTheDemo) {
  Reset();
  ScopedWorkDir dir;
  for (const char* f : {"faders.txt", "tracks.txt", "prefs.txt"}) WriteFileBytes(f, Demo(f));
  RecallAll();
  EXPECT_EQ(Status(), "Read 93 bytes from prefs.txt");
  EXPECT_STREQ(MixName, "Demo");
  EXPECT_STREQ(NameBuffer[4], "audio/vocal.wav");
  EXPECT_EQ(HeadTailArray[1], 1.5f);
  SaveAll();
  EXPECT_EQ(Status(), "Save Complete");
  for (const char* f : {"faders.txt", "tracks.txt", "prefs.txt"})
    EXPECT_EQ(ReadFileBytes(f), Demo(f)) << f;
}

TEST(RecallAll, WithoutFadersTxtCreatesIt) {
  Reset();
  ScopedWorkDir dir;
  Pcomp[3 * REC] = 1;
  Prev[4 * REC] = 1;
  RecallAll();
  EXPECT_EQ(ReadFileBytes("faders.txt"), "MixFilename\n");
  EXPECT_EQ(Status(), "Read 0 bytes from faders.txt");
  EXPECT_EQ(Pcomp[3 * REC], 0.0f);
  EXPECT_EQ(Prev[4 * REC], 0.0f);
  EXPECT_STREQ(MixName, "MixFilename");
}

// A refresh never changes the model: a colour outside the colour map is
// shown clamped and saved back as the file has it.
TEST(RecallAll, ThenStoreAllKeepsAColourOutsideTheMap) {
  Reset();
  ScopedWorkDir dir;
  WriteFileBytes("prefs.txt", "color\t-1\nend\n");
  RecallAll();
  SaveAll();
  EXPECT_NE(ReadFileBytes("prefs.txt").find("\ncolor\t-1\n"), std::string::npos);
}

// Values cut to fit their fields are said once, ahead of the last report;
// a recall with nothing cut reports as before.
TEST(Recall, SaysWhatWasCutToFit) {
  Reset();
  ScopedWorkDir dir;
  const std::string name(200, 'n'), wavdir = "/" + std::string(299, 'd');
  const std::string tracks = "1 " + name + " +\n2 " + name + ".wav +\n3 b.wav +\nend\n";
  const std::string prefs = "wavdir\t" + wavdir + "\nend\n";
  WriteFileBytes("faders.txt", "Cuts\nend\n");
  const std::string track_cut = "2 track names longer than 127 characters were cut";
  const std::string dir_cut = "1 directory longer than 255 characters was cut";
  const std::string read_tracks = "Read " + std::to_string(tracks.size()) + " bytes from tracks.txt";
  const std::string read_prefs = "Read " + std::to_string(prefs.size()) + " bytes from prefs.txt";
  struct { void (*action)(); const char* prefs; std::string status; } cases[] = {
      {ReadTracksFile, "", track_cut + "; " + read_tracks},
      {RecallAll, "", track_cut + "; " + read_tracks},
      {RecallAll, prefs.c_str(), track_cut + ", " + dir_cut + "; " + read_prefs},
      {StageReadFromFile, prefs.c_str(), "Read 9 bytes from faders.txt"},
  };
  for (auto& c : cases) {
    WriteFileBytes("tracks.txt", tracks);
    if (*c.prefs) WriteFileBytes("prefs.txt", c.prefs);
    c.action();
    EXPECT_EQ(Status(), c.status);
  }
  EXPECT_EQ(std::string(NameBuffer[1]), name.substr(0, 127));
  EXPECT_EQ(std::string(WavDirName), wavdir.substr(0, 255));
}

// The tracks writer names and mutes the gaps below the last named channel;
// the Faders window shows them, so that a click on a mute button, which
// stores the whole column, keeps them muted.
TEST(StoreAll, ShowsThePlaceholdersItGives) {
  Reset();
  ScopedWorkDir dir;
  Bank->value(1);
  Bank->do_callback();
  CopyField(NameBuffer[3], NAME_LEN, "c.wav");
  SaveAll();
  EXPECT_STREQ(name1->value(), "----");
  EXPECT_EQ(mute2->value(), 1);
  mute3->value(1);
  mute3->do_callback();
  EXPECT_EQ(MuteArray[1], 1);
  EXPECT_EQ(MuteArray[2], 1);
}

TEST(Mix, RunsTheEngineInTheWorkingDirectoryAfterTheSave) {
  Reset();
  ScopedWorkDir dir;
  CopyField(NameBuffer[1], NAME_LEN, "kick.wav");
  CopyField(Path, PATH_LEN, MakeEngine(dir.path() + "/engine", "exit 0").c_str());
  Mix();
  EXPECT_EQ(Status(), "Mix Complete");
  EXPECT_EQ(ReadFileBytes("ran-in.txt"), fs::canonical(dir.path()).string() + "\n");
  EXPECT_EQ(ReadFileBytes("given.txt"),
            ReadFileBytes("faders.txt") + ReadFileBytes("tracks.txt") + ReadFileBytes("prefs.txt"));
  EXPECT_NE(ReadFileBytes("tracks.txt").find("1 kick.wav +"), std::string::npos);
  EXPECT_NE(ReadFileBytes("prefs.txt").find("path\t" + dir.path() + "/engine/\n"), std::string::npos);
}

TEST(Mix, ReportsAnEngineThatFailsOrIsMissing) {
  Reset();
  ScopedWorkDir dir;
  std::string bin = MakeEngine(dir.path() + "/bin", "exit 3");
  CopyField(Path, PATH_LEN, bin.c_str());
  testing::internal::CaptureStdout();
  Mix();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Mix failed: " + bin + "vorlax4 exit status 3\n");
  EXPECT_EQ(Status(), "Mix failed: " + bin + "vorlax4 exit status 3");
  EXPECT_TRUE(FileExists("ran-in.txt"));

  MakeEngine(dir.path() + "/sig", "kill -TERM $$");
  CopyField(Path, PATH_LEN, (dir.path() + "/sig/").c_str());
  testing::internal::CaptureStdout();
  Mix();
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(Status(), "Mix failed: " + dir.path() + "/sig/vorlax4 ended by signal 15");

  CopyField(Path, PATH_LEN, "/no/such/dir/");
  testing::internal::CaptureStdout();
  Mix();
  const std::string missing =
      "Mix failed: /no/such/dir/vorlax4 not found; set \"Path to Vorlax4\" in Preferences";
  EXPECT_EQ(testing::internal::GetCapturedStdout(), missing + "\n");
  EXPECT_EQ(Status(), missing);
}

// An empty Path finds vorlax4 on the search path; a Path without the final
// separator forms the name as it stands; a Path is never read by a shell.
TEST(Mix, HowTheEngineIsFound) {
  Reset();
  ScopedWorkDir dir;
  std::string bin = MakeEngine(dir.path() + "/bin", "exit 0");
  std::string old_path = getenv("PATH");
  setenv("PATH", (dir.path() + "/bin:" + old_path).c_str(), 1);
  Path[0] = '\0';
  Mix();
  setenv("PATH", old_path.c_str(), 1);
  EXPECT_EQ(Status(), "Mix Complete");

  MakeEngine(dir.path(), "exit 0", "toolsvorlax4");
  CopyField(Path, PATH_LEN, (dir.path() + "/tools").c_str());
  fs::remove("ran-in.txt");
  Mix();
  EXPECT_EQ(Status(), "Mix Complete");
  EXPECT_TRUE(FileExists("ran-in.txt"));

  std::string odd = dir.path() + "/a;touch hacked;";
  MakeEngine(odd, "exit 0");
  CopyField(Path, PATH_LEN, (odd + "/").c_str());
  Mix();
  EXPECT_EQ(Status(), "Mix Complete");
  EXPECT_FALSE(FileExists("hacked"));
}

// When a file cannot be saved the engine is not started, the old files stay
// as they were and the status says which file failed.
TEST(Mix, NotStartedWhenAFileIsNotSaved) {
  Reset();
  ScopedWorkDir dir;
  CopyField(Path, PATH_LEN, MakeEngine(dir.path() + "/engine", "exit 0").c_str());
  WriteFileBytes("faders.txt", "Old\n");
  WriteFileBytes("tracks.txt", "1 old.wav +\nend\n");
  WriteFileBytes("prefs.txt", "pre\ton\nend\n");
  ChildResult r = RunWithFileLimit(0, [] {
    Mix();
    printf("[%s]", TextResponse->value());
    return 0;
  });
  EXPECT_EQ(r.exit_code, 0);
  std::string failed = "prefs.txt, tracks.txt, faders.txt not saved (File too large)";
  EXPECT_NE(r.out.find("[Mix not started: " + failed + "]"), std::string::npos) << r.out;
  EXPECT_FALSE(FileExists("ran-in.txt"));
  EXPECT_EQ(ReadFileBytes("faders.txt"), "Old\n");
  EXPECT_EQ(ReadFileBytes("tracks.txt"), "1 old.wav +\nend\n");
  EXPECT_EQ(ReadFileBytes("prefs.txt"), "pre\ton\nend\n");

  r = RunWithFileLimit(0, [] {
    SaveAll();
    printf("[%s]", TextResponse->value());
    return 0;
  });
  EXPECT_NE(r.out.find("[Save failed: " + failed + "]"), std::string::npos) << r.out;
}

// While the engine runs: what the control window shows, recorded by a timer
// every 20 ms, and what the test does at each new status (the stand-in
// engines below wait for the files the test makes).
struct Watch {
  std::vector<std::string> statuses;
  bool barAndCancelShown = false;
  void (*onStatus)(const std::string& status) = nullptr;
  static void Tick(void* data) {
    Watch* w = static_cast<Watch*>(data);
    std::string s = Status();
    if (w->statuses.empty() || w->statuses.back() != s) {
      w->statuses.push_back(s);
      w->barAndCancelShown |= MixProgress->visible() && MixCancel->visible();
      if (w->onStatus) w->onStatus(s);
    }
    if (MixRunning()) Fl::repeat_timeout(0.02, Tick, data);
  }
  void Mix() {
    Fl::add_timeout(0.0, Tick, this);
    ::Mix();
    Fl::remove_timeout(Tick, this);
  }
};

// Progress as the engine reports it, then the summary in short; everything
// the engine printed reaches the editor's own standard output and error.
TEST(Mix, ShowsProgressThenTheSummary) {
  Reset();
  ScopedWorkDir dir;
  CopyField(Path, PATH_LEN, MakeEngine(dir.path() + "/bin",
      "echo 'progress 10' >&3; echo working >&2\n"
      "while [ ! -e go ]; do sleep 0.02; done; echo 'progress 55' >&3\n"
      "while [ ! -e go2 ]; do sleep 0.02; done\n"
      "echo 'mixes/Demo.wav: 2.000 s, 48000 Hz, 2 ch, 24 bit, peak 0.52 dBFS, 7 clipped, "
      "rendered in 0.60 s (3.3x realtime)'; echo 'progress 100' >&3; echo done >&3").c_str());
  Watch w;
  w.onStatus = [](const std::string& s) {
    if (s.find("10%") != std::string::npos) WriteFileBytes("go", "");
    if (s.find("55%") != std::string::npos) WriteFileBytes("go2", "");
  };
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  w.Mix();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ("working\n", testing::internal::GetCapturedStderr());
  EXPECT_NE(out.find("mixes/Demo.wav: 2.000 s, 48000 Hz"), std::string::npos) << out;
  ASSERT_GE(w.statuses.size(), 3u);
  EXPECT_EQ(0u, w.statuses[0].find("Mixing: ")) << w.statuses[0];
  std::string seen;
  for (const std::string& s : w.statuses) seen += s.substr(0, s.find(',')) + "|";
  EXPECT_NE(seen.find("|Mixing: 10%|Mixing: 55%|"), std::string::npos) << seen;
  EXPECT_TRUE(w.barAndCancelShown);
  EXPECT_FALSE(MixProgress->visible() || MixCancel->visible());
  EXPECT_EQ(Status(), "Mix Complete: CLIPPED: 7 samples, Demo.wav, 2.0 s, peak 0.52 dBFS, "
                      "rendered in 0.6 s");
  EXPECT_EQ(TextResponse->color(), FL_RED);  // a warning; the next status clears it
  ClearStatus();
  EXPECT_NE(TextResponse->color(), FL_RED);
}

// While the engine runs no key reaches the windows (Ctrl+f would show the
// Faders window, which needs a display here); Escape asks the engine to
// stop, and one that will not is killed a few seconds later.
TEST(Mix, EscapeCancelsAndNothingElseGetsThrough) {
  Reset();
  ScopedWorkDir dir;
  for (const char* trap : {"rm -f partial.wav; exit 2", ""}) {
    CopyField(Path, PATH_LEN, MakeEngine(dir.path() + "/bin",
        std::string("trap '") + trap + "' TERM; : > partial.wav; echo 'progress 5' >&3\n"
        "while :; do sleep 0.05; done").c_str());
    Watch w;
    w.onStatus = [](const std::string& s) {
      if (s.find("5%") == std::string::npos) return;
      Fl::e_state = FL_CTRL;
      Fl::e_keysym = 'f';
      EXPECT_EQ(1, Fl::handle(FL_KEYBOARD, ControlWindow));
      Fl::e_state = 0;
      Fl::e_keysym = FL_Escape;
      EXPECT_EQ(1, Fl::handle(FL_KEYBOARD, ControlWindow));
    };
    testing::internal::CaptureStdout();
    w.Mix();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Mix cancelled\n") << trap;
    EXPECT_EQ(Status(), "Mix cancelled");
    EXPECT_EQ(FileExists("partial.wav"), !*trap) << trap;
    EXPECT_FALSE(FadersWindow->visible());
    EXPECT_EQ("Cancelling the mix", w.statuses.back());
    fs::remove("partial.wav");
  }
}
