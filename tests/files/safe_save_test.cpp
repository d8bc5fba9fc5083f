// Saves and reads that meet what users keep in their mix folders: links,
// files of other modes and owners, things that are not files, files that
// cannot be read, and the temporary files of saves that were killed. The
// user's bytes stay where they must, and the status text says what was done.
#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "fault_env.h"
#include "files/files.h"
#include "files/text.h"
#include "model/model.h"
#include "testlib.h"

namespace fs = std::filesystem;

namespace {

struct SaveStep {
  const char* name;
  bool (*save)();
  const char* old;
  bool readsOld;  // the save starts from the old file (its kept lines)
};
const SaveStep kSaves[] = {
    {"faders.txt", SaveFaderFile, "Old mix\nmy note\nt\t0\t0.000\t0\nv\t1\t-3.00\nend\n", true},
    {"prefs.txt", SavePrefsFile, "pre\ton\nmy pref note\nend\n", true},
    {"tracks.txt", SaveTracksFile, "1 old.wav +\nend\n", false}};

void SetUpMix() {
  ClearInternalArrays();
  CopyField(MixName, NAME_LEN, "New mix");
  CopyField(NameBuffer[1], NAME_LEN, "new.wav");
  Pcomp[2 * REC] = 1;
}

std::string Joined(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  std::string all;
  for (auto& n : v) all += n + " ";
  return all;
}
std::string Names(const std::string& dir = ".") {
  std::vector<std::string> v;
  for (auto& e : fs::directory_iterator(dir)) v.push_back(e.path().filename());
  return Joined(v);
}

struct stat Stat(const std::string& path) {
  struct stat st = {};
  lstat(path.c_str(), &st);
  return st;
}

}  // namespace

// A mix file that is a symbolic link into another folder, or one of two
// hard links: the save lands in the file itself, the link stays a link,
// every name shows the new text, and nothing is left beside them. A hard
// link can only be written in place, and the status says so.
TEST(SafeSave, ThroughSymbolicAndHardLinks) {
  for (const SaveStep& s : kSaves)
    for (bool hard : {false, true}) {
      SCOPED_TRACE(std::string(s.name) + (hard ? " hard link" : " symbolic link"));
      ScopedWorkDir dir;
      SetUpMix();
      fs::create_directory("shared");
      std::string target = std::string("shared/") + s.name;
      WriteFileBytes(target, s.old);
      if (hard) ASSERT_EQ(0, link(target.c_str(), s.name));
      else ASSERT_EQ(0, symlink(target.c_str(), s.name));
      ASSERT_TRUE(s.save()) << tbuffer;
      std::string now = ReadFileBytes(target);
      EXPECT_NE(now, s.old);
      EXPECT_EQ(ReadFileBytes(s.name), now);
      EXPECT_EQ(S_ISLNK(Stat(s.name).st_mode), !hard);
      EXPECT_EQ(Stat(target).st_nlink, hard ? 2u : 1u);
      std::string wrote = "Wrote " + std::to_string(now.size()) + " bytes to " + s.name;
      EXPECT_EQ(tbuffer, hard ? wrote + "; " + s.name + " has 2 names: written in place (a copy "
                                "of the old file was kept until the write was complete)"
                              : wrote);
      EXPECT_EQ(Names(), Joined({s.name, "shared"}));
      EXPECT_EQ(Names("shared"), std::string(s.name) + " ");
    }
}

// What is not a regular file is refused at once with the reason (a FIFO
// once held the save forever); a recall of it changes nothing in the model.
TEST(SafeSave, NotARegularFileIsRefusedAtOnce) {
  const struct { const char* what; const char* reason; } kinds[] = {
      {"FIFO", "it is a FIFO, not a regular file"},
      {"directory", "it is a directory, not a regular file"},
      {"device", "it is a device, not a regular file"}};
  for (const auto& k : kinds) {
    ScopedWorkDir dir;
    ChildRun r = RunInChild([&] {
      alarm(20);  // a save that waits on the FIFO fails the test instead of hanging it
      for (const SaveStep& s : kSaves) {
        if (!strcmp(k.what, "FIFO")) mkfifo(s.name, 0644);
        else if (!strcmp(k.what, "directory")) mkdir(s.name, 0755);
        else symlink("/dev/null", s.name);
        SetUpMix();
        bool saved = s.save();
        printf("[%s] %i\n", tbuffer, saved);
      }
      Pcomp[2 * REC] = 1;
      LoadFaderFile();
      printf("[%s] %g %s\n", tbuffer, Pcomp[2 * REC], MixName);
      return 0;
    });
    std::string expect;
    for (const SaveStep& s : kSaves)
      expect += std::string("[") + s.name + " not saved: " +
                (s.readsOld ? std::string("the old file could not be read (") + k.reason + ")" : k.reason) +
                "] 0\n";
    expect += std::string("[faders.txt could not be read: ") + k.reason + "; nothing was changed] 1 New mix\n";
    std::string out;  // the bracketed status lines alone
    for (size_t at = 0; (at = r.out.find('[', at)) != std::string::npos;) {
      size_t nl = r.out.find('\n', at);
      out += r.out.substr(at, nl + 1 - at);
      at = nl;
    }
    EXPECT_EQ(r.exit_code, 0) << k.what << r.out;
    EXPECT_EQ(out, expect) << k.what;
  }
}

// As a user other than root: a file that user may not write (0444, or
// someone else's) is refused as a text editor refuses it; one that cannot
// be read is neither recalled into the model nor saved over (its kept lines
// would be lost); a file of another owner that the user may write (through
// its group) is written in place, so that its owner stays.
TEST(SafeSave, PermissionsOfAnotherUser) {
  const SaveStep& faders = kSaves[0];
  const struct {
    const char* name;
    uid_t owner;
    mode_t mode;
    const char* status;  // of the save
  } cases[] = {
      {"faders.txt", 65534, 0444, "faders.txt is read-only: not saved"},
      {"prefs.txt", 0, 0644, "prefs.txt is read-only: not saved"},
      {"tracks.txt", 65534, 0444, "tracks.txt is read-only: not saved"},
      {"faders.txt", 65534, 0200, "faders.txt not saved: the old file could not be read (Permission denied)"},
      {"faders.txt", 0, 0664, "Wrote"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.mode));
    ScopedWorkDir dir;
    chmod(dir.path().c_str(), 0777);
    const SaveStep* s = &faders;
    for (const SaveStep& k : kSaves)
      if (!strcmp(k.name, c.name)) s = &k;
    WriteFileBytes(c.name, s->old);
    ASSERT_EQ(0, chown(c.name, c.owner, 65534));
    ASSERT_EQ(0, chmod(c.name, c.mode));
    ChildRun r = RunInChild([&] {
      if (!BecomeNobody()) return (int)NO_OTHER_USER;
      SetUpMix();
      bool saved = s->save();
      printf("[%s] %i\n", tbuffer, saved);
      if (c.mode == 0200) {  // the recall leaves the model as it was
        LoadFaderFile();
        printf("[%s] %g %s\n", tbuffer, Pcomp[2 * REC], MixName);
      }
      return 0;
    });
    if (r.exit_code == NO_OTHER_USER) GTEST_SKIP() << "no other user can be taken here";
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find(std::string("[") + c.status), std::string::npos) << r.out;
    if (c.mode == 0200) {
      EXPECT_NE(r.out.find("[faders.txt could not be read: Permission denied; nothing was changed] 1 New mix\n"),
                std::string::npos) << r.out;
    }
    EXPECT_EQ(Stat(c.name).st_uid, c.owner);
    EXPECT_EQ(Stat(c.name).st_mode & 07777, c.mode);
    if (c.mode == 0664) {
      EXPECT_NE(r.out.find("faders.txt belongs to another user: written in place"), std::string::npos) << r.out;
      EXPECT_NE(ReadFileBytes(c.name), s->old);
    } else {
      EXPECT_EQ(ReadFileBytes(c.name), s->old);
    }
    EXPECT_EQ(Names(), std::string(c.name) + " ");
  }
}

// Saved by root (the editor run on another user's mix), every file keeps
// its owner, group and mode.
TEST(SafeSave, OwnerGroupAndModeKept) {
  ScopedWorkDir dir;
  SetUpMix();
  for (const SaveStep& s : kSaves) {
    WriteFileBytes(s.name, s.old);
    ASSERT_EQ(0, chown(s.name, 65534, 65534));
    ASSERT_EQ(0, chmod(s.name, 0640));
    ASSERT_TRUE(s.save()) << tbuffer;
    EXPECT_NE(ReadFileBytes(s.name), s.old);
    struct stat st = Stat(s.name);
    EXPECT_EQ(st.st_uid, 65534u) << s.name;
    EXPECT_EQ(st.st_gid, 65534u) << s.name;
    EXPECT_EQ(st.st_mode & 07777, 0640u) << s.name;
  }
}

// The temporary files of killed saves and renders are removed at the next
// save in their folder when their process no longer runs; those of a live
// process, and files that are not ours, stay.
TEST(SafeSave, StaleTemporaryFilesOfDeadProcessesRemoved) {
  ScopedWorkDir dir;
  SetUpMix();
  pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  std::string d = std::to_string(dead), live = std::to_string(getppid());
  for (const std::string& n :
       {".faders.txt." + d + ".0.tmp", ".prefs.txt." + d + ".3.tmp", ".My Mix.wav." + d + ".0.tmp",
        ".faders.txt." + live + ".0.tmp", ".notes." + d + ".0.tmp", ".faders.txt." + d + ".0.old",
        ".faders.txt.x" + d + ".0.tmp"})
    WriteFileBytes(n, "partial");
  ASSERT_TRUE(SaveFaderFile()) << tbuffer;
  EXPECT_EQ(Names(), Joined({".faders.txt." + d + ".0.old", ".faders.txt." + live + ".0.tmp",
                             ".faders.txt.x" + d + ".0.tmp", ".notes." + d + ".0.tmp", "faders.txt"}));
}

// The text of a name or path on a terminal or in the status line: control
// characters, C1 controls and bytes that are not UTF-8 escaped, the rest kept.
TEST(SafeSave, EscapedText) {
  const struct { std::string in, out; } cases[] = {
      {"drums.wav", "drums.wav"},
      {"a\x1b[2Jb", "a\\x1b[2Jb"},
      {"tab\there\nline\r", "tab\\there\\nline\\r"},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb8", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb8"},
      {"c1\xc2\x9b" "31m", "c1\\xc2\\x9b31m"},
      {"bad\xff\xc3", "bad\\xff\\xc3"},
      {std::string("nul\0x", 5), "nul\\x00x"},
      {"del\x7f", "del\\x7f"}};
  for (const auto& c : cases) EXPECT_EQ(Escaped(c.in), c.out) << c.in;
}
