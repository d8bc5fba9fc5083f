// Saves that meet a real fault: a read-only directory, a directory that is
// gone, a disk that is full, and a process killed in the middle of a save.
// Whatever happens the previous files stay as they were, byte for byte, and
// the status text says which file was not saved and why. (A disk full as a
// file-size limit is in faders_test.cpp and prefs_tracks_test.cpp.)
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

#include "fault_env.h"
#include "files/files.h"
#include "maximal_mix.h"
#include "model/model.h"
#include "testlib.h"

namespace {

const char kOldFaders[] = "Old mix\nmy note\nt\t0\t0.000\t0\nv\t1\t-3.00\nend\n";
const char kOldPrefs[] = "pre\ton\nmy pref note\nend\n";
const char kOldTracks[] = "1 old.wav +\nend\n";

void WriteOldFiles() {
  WriteFileBytes("faders.txt", kOldFaders);
  WriteFileBytes("prefs.txt", kOldPrefs);
  WriteFileBytes("tracks.txt", kOldTracks);
}

// "same" when the three files are the old ones, else what differs.
std::string OldFilesState() {
  std::string s;
  if (ReadFileBytes("faders.txt") != kOldFaders) s += "faders.txt changed ";
  if (ReadFileBytes("prefs.txt") != kOldPrefs) s += "prefs.txt changed ";
  if (ReadFileBytes("tracks.txt") != kOldTracks) s += "tracks.txt changed ";
  return s.empty() ? "same" : s;
}

// The names in the working directory, sorted, "." files included.
std::string DirList() {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(".")) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  std::string all;
  for (auto& n : names) all += n + " ";
  return all;
}

// A mix that differs from the old files in every one of them.
void SetUpMix() {
  ClearInternalArrays();
  CopyField(MixName, NAME_LEN, "New mix");
  CopyField(NameBuffer[1], NAME_LEN, "new.wav");
  Pcomp[2 * REC] = 1;
  PreviewOn = 0;
}

}  // namespace

// The working directory is mounted read-only: no file is saved, each save
// says so, the old files stay, and recalls still read them.
TEST(FaultSave, ReadOnlyDirectory) {
  ScopedWorkDir dir;
  WriteOldFiles();
  std::filesystem::create_directory("empty");
  SetUpMix();
  ChildRun r = RunInChild([&] {
    if (!ReadOnlyDirectory(dir.path())) return (int)NO_NAMESPACE;
    bool saved = SaveFaderFile();
    printf("[%s]\n", tbuffer);
    saved |= SavePrefsFile();
    printf("[%s]\n", tbuffer);
    saved |= SaveTracksFile();
    printf("[%s]\n", tbuffer);
    printf("%s\n", OldFilesState().c_str());
    ClearInternalArrays();
    LoadFaderFile();
    printf("[%s] %s %g\n", tbuffer, MixName, Volume[Cell(1, 0)]);
    // No faders.txt, and none can be made: the read goes on without it.
    if (chdir("empty") != 0) return 3;
    Pcomp[REC] = 1;
    LoadFaderFile();
    printf("[%s] %g\n", tbuffer, Pcomp[REC]);
    return saved ? 1 : 0;
  });
  if (r.exit_code == NO_NAMESPACE) GTEST_SKIP() << "no private mount namespace can be made here";
  EXPECT_EQ(r.exit_code, 0) << r.out;
  std::string faders_size = std::to_string(BuildFaderText(kOldFaders).size());
  EXPECT_EQ(r.out,
            "write error:  expected " + faders_size + ", returned 0\n"
            "faders.txt not saved: Read-only file system\n"
            "[faders.txt not saved: Read-only file system]\n"
            "prefs.txt not saved: Read-only file system\n"
            "[prefs.txt not saved: Read-only file system]\n"
            "tracks.txt not saved: Read-only file system\n"
            "[tracks.txt not saved: Read-only file system]\n"
            "same\n"
            "[Read " + std::to_string(strlen(kOldFaders)) + " bytes from faders.txt] Old mix -3\n"
            "faders.txt is missing and could not be created: Read-only file system\n"
            "[faders.txt is missing and could not be created: Read-only file system] 0\n");
  EXPECT_EQ(OldFilesState(), "same");
  EXPECT_EQ(DirList(), "empty faders.txt prefs.txt tracks.txt ");
}

// The working directory was removed while the editor ran in it: a place
// that cannot hold files at all. Every save says so; nothing appears.
TEST(FaultSave, DirectoryThatIsGone) {
  ScopedWorkDir dir;
  std::filesystem::create_directory("gone");
  SetUpMix();
  ChildRun r = RunInChild([&] {
    if (chdir("gone") != 0 || rmdir((dir.path() + "/gone").c_str()) != 0) return 3;
    bool saved = SaveFaderFile();
    printf("[%s]\n", tbuffer);
    saved |= SavePrefsFile();
    printf("[%s]\n", tbuffer);
    saved |= SaveTracksFile();
    printf("[%s]\n", tbuffer);
    LoadFaderFile();
    printf("[%s] %s\n", tbuffer, MixName);
    return saved ? 1 : 0;
  });
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("[faders.txt not saved: No such file or directory]\n"
                       "prefs.txt not saved: No such file or directory\n"
                       "[prefs.txt not saved: No such file or directory]\n"
                       "tracks.txt not saved: No such file or directory\n"
                       "[tracks.txt not saved: No such file or directory]\n"
                       "faders.txt is missing and could not be created: No such file or directory\n"
                       "[faders.txt is missing and could not be created: No such file or directory]"
                       " New mix\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(DirList(), "");
}

// A real full disk (a file system of 256 KiB): the maximal mix does not fit,
// then a disk filled to the last byte takes not even prefs.txt. The old
// files stay whole and no temporary file is left; once room is made, the
// next save succeeds.
TEST(FaultSave, FullDisk) {
  ScopedWorkDir dir;
  ChildRun r = RunInChild([&] {
    if (!TinyDisk(dir.path(), 256)) return (int)NO_NAMESPACE;
    WriteOldFiles();
    BuildMaximalMix();
    bool saved = SaveFaderFile();
    printf("[%s] %s / %s\n", tbuffer, OldFilesState().c_str(), DirList().c_str());
    SetUpMix();
    FillDisk();
    saved |= SaveFaderFile();
    printf("[%s]\n", tbuffer);
    saved |= SavePrefsFile();
    printf("[%s]\n", tbuffer);
    saved |= SaveTracksFile();
    printf("[%s] %s / %s\n", tbuffer, OldFilesState().c_str(), DirList().c_str());
    unlink("filler");
    bool after = SaveFaderFile() && SavePrefsFile() && SaveTracksFile();
    printf("%s %s\n", after ? "saved" : tbuffer, DirList().c_str());
    return saved ? 1 : 0;
  });
  if (r.exit_code == NO_NAMESPACE) GTEST_SKIP() << "no private mount namespace can be made here";
  EXPECT_EQ(r.exit_code, 0) << r.out;
  const std::string nospace = "No space left on device";
  auto count = [&](const std::string& s) {
    size_t n = 0;
    for (size_t p = r.out.find(s); p != std::string::npos; p = r.out.find(s, p + 1)) n++;
    return n;
  };
  EXPECT_EQ(count("[faders.txt not saved: " + nospace + "] same / faders.txt prefs.txt tracks.txt \n"),
            1u) << r.out;
  EXPECT_EQ(count("[faders.txt not saved: " + nospace + "]\n"), 1u) << r.out;
  EXPECT_EQ(count("[prefs.txt not saved: " + nospace + "]\n"), 1u) << r.out;
  EXPECT_EQ(count("[tracks.txt not saved: " + nospace +
                  "] same / faders.txt filler prefs.txt tracks.txt \n"), 1u) << r.out;
  EXPECT_EQ(count("write error:  expected "), 2u) << r.out;
  EXPECT_NE(r.out.find("\nsaved faders.txt prefs.txt tracks.txt \n"), std::string::npos) << r.out;
}

// A process that saves the maximal mix again and again (3 MB each time,
// two versions in turn) is killed with SIGKILL at random moments: after
// every kill faders.txt is whole, either the old file or one of the two
// versions, never torn and never missing. Only hidden temporary files of
// the interrupted saves may be left beside it.
TEST(FaultSave, KilledAtRandomMomentsDuringSaves) {
  ScopedWorkDir dir;
  WriteFileBytes("faders.txt", kOldFaders);
  BuildMaximalMix();
  const float first_volume = Volume[Cell(1, 0)];
  auto version = [first_volume](int v) {
    CopyField(MixName, NAME_LEN, v ? "Version B" : "Version A");
    Volume[Cell(1, 0)] = v ? -1.5f : first_volume;
  };
  version(0);
  std::string a = BuildFaderText(kOldFaders);
  version(1);
  std::string b = BuildFaderText(kOldFaders);
  ASSERT_NE(a, b);

  // Kills land anywhere within a few saves' time, however slow this machine
  // is just now (a sanitizer build, other tests beside this one).
  auto t0 = std::chrono::steady_clock::now();
  SaveFaderFile();
  long save_us = long(std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - t0).count());
  WriteFileBytes("faders.txt", kOldFaders);
  const unsigned window_us = unsigned(std::max(120000L, 3 * save_us));
  unsigned seed = (unsigned)std::chrono::steady_clock::now().time_since_epoch().count();
  std::mt19937 rng(seed);
  int seen[3] = {0, 0, 0};
  for (int round = 0; round < 30; round++) {
    fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
      for (int i = 0;; i++) {
        version(i % 2);
        SaveFaderFile();
      }
    }
    ASSERT_GT(pid, 0);
    usleep(1000 + rng() % window_us);
    kill(pid, SIGKILL);
    int status;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child ended by itself";
    std::string now = ReadFileBytes("faders.txt");
    int which = now == kOldFaders ? 0 : now == a ? 1 : now == b ? 2 : -1;
    ASSERT_NE(which, -1) << "round " << round << " (seed " << seed << "): faders.txt is torn, "
                         << now.size() << " bytes";
    seen[which]++;
  }
  EXPECT_GT(seen[1] + seen[2], 0) << "no save was ever complete before a kill";
  for (auto& e : std::filesystem::directory_iterator(".")) {
    std::string n = e.path().filename();
    if (n == "faders.txt") continue;
    EXPECT_EQ(n.rfind(".faders.txt.", 0), 0u) << n;
    EXPECT_EQ(n.substr(n.size() - 4), ".tmp") << n;
  }
}
