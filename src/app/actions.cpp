// The store, recall and mix actions of the control window and the tool
// windows' Mix buttons: the file steps, the status line and the refreshes.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <spawn.h>
#include <string>
#include <sys/wait.h>

#include "app.h"
#include "../files/files.h"
#include "../files/text.h"
#include "../model/model.h"

extern char** environ;

// A recall: its file steps, each showing its report, then the whole view
// from the model and, once, what the steps cut to fit the model's fields,
// ahead of the last report so that it is seen.
static void Recall(std::initializer_list<void (*)()> steps) {
  ClearReadCuts();
  for (auto step : steps) step();
  UpdateView();
  std::string cuts = ReadCutsReport();
  if (cuts.empty()) return;
  std::string line = tbuffer[0] ? cuts + "; " + tbuffer : cuts;
  CopyField(tbuffer, TBUF_LEN, line.c_str());
  ShowStatus();
}

static void RecallFaders() {
  LoadFaderFile();
  ShowStatus();
}

static void RecallTracks() {
  if (LoadTracksFile() != 0) ShowStatus();
}

static void RecallPrefs() {
  if (LoadPrefsFile() != 0) ShowStatus();
}

void StageReadFromFile() { Recall({RecallFaders}); }
void ReadTracksFile() { Recall({RecallTracks}); }
void ReadPreferencesFile() { Recall({RecallPrefs}); }
void RecallAll() { Recall({RecallFaders, RecallTracks, RecallPrefs}); }

void StageWriteToFile() {
  SaveFaderFile();
  ShowStatus();
}

// The tracks writer names and mutes the gaps below the last named channel
// ("----"): the view shows them, so that no edit stores the old widgets back.
void WriteTracksFile() {
  SaveTracksFile();
  ShowStatus();
  UpdateView();
}

void WritePreferencesFile() {
  SavePrefsFile();
  ShowStatus();
}

// prefs.txt, tracks.txt, faders.txt, in that order. False when any of them
// was not saved; *failed then says which, and why the first one failed.
static bool SaveThree(std::string* failed) {
  struct { bool (*save)(); const char* name; } saves[] = {
    {SavePrefsFile, "prefs.txt"}, {SaveTracksFile, "tracks.txt"}, {SaveFaderFile, "faders.txt"}};
  std::string names, why;
  for (auto& s : saves) {
    if (s.save()) continue;
    names += names.empty() ? "" : ", ";
    names += s.name;
    if (why.empty()) why = LastSaveError;
  }
  UpdateView();   // the tracks writer's "----" placeholders
  if (names.empty()) return true;
  *failed = names + " not saved (" + why + ")";
  return false;
}

void SaveAll() {
  std::string failed;
  if (SaveThree(&failed))
    CopyField(tbuffer, TBUF_LEN, "Save Complete");
  else
    snprintf(tbuffer, TBUF_LEN, "Save failed: %s", failed.c_str());
  ShowStatus();
}

// Runs the render engine, Path followed by "vorlax4", without arguments in
// the working directory, and waits for it. It is started directly, not
// through a shell, so that no text of prefs.txt is ever run as a command;
// a name without "/" (an empty Path) is looked up on the search path.
static void RunEngine() {
  std::string command = EngineCommand();
  char* argv[] = {&command[0], nullptr};
  fflush(stdout);
  pid_t pid;
  int err = posix_spawnp(&pid, command.c_str(), nullptr, nullptr, argv, environ);
  if (err == ENOENT) {
    snprintf(tbuffer, TBUF_LEN, "Mix failed: %s not found", command.c_str());
  } else if (err != 0) {
    snprintf(tbuffer, TBUF_LEN, "Mix failed: %s could not be started: %s", command.c_str(),
             strerror(err));
  } else {
    int status = 0;
    pid_t done;
    do done = waitpid(pid, &status, 0);
    while (done < 0 && errno == EINTR);
    if (done < 0)
      snprintf(tbuffer, TBUF_LEN, "Mix failed: %s", strerror(errno));
    else if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
      CopyField(tbuffer, TBUF_LEN, "Mix Complete");
    else if (WIFEXITED(status))
      snprintf(tbuffer, TBUF_LEN, "Mix failed: %s exit status %i", command.c_str(),
               WEXITSTATUS(status));
    else
      snprintf(tbuffer, TBUF_LEN, "Mix failed: %s ended by signal %i", command.c_str(),
               WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  }
  if (strcmp(tbuffer, "Mix Complete") != 0) printf("%s\n", tbuffer);
}

void Mix() {
  CopyField(tbuffer, TBUF_LEN, "Mixing");
  ShowStatus();
  std::string failed;
  if (SaveThree(&failed)) {
    RunEngine();
  } else {
    snprintf(tbuffer, TBUF_LEN, "Mix not started: %s", failed.c_str());
    printf("%s\n", tbuffer);
  }
  fflush(stdout);
  ShowStatus();
}
