// The store, recall and mix actions of the control window and the tool
// windows' Mix buttons: the file steps, the status line and the refreshes.
#include <cstdio>
#include <initializer_list>
#include <string>

#include <FL/Fl.H>

#include "app.h"
#include "../files/files.h"
#include "../files/text.h"
#include "../model/model.h"

// A recall: its file steps, each showing its report, then the whole view
// from the model and, once, what the steps cut to fit the model's fields,
// ahead of the last report so that it is seen. Each file read becomes the
// stored state of what it holds, and the recall is one undo step, labelled
// as the menu item (undoing it brings back the model as it was before).
static void Recall(const char* label, std::initializer_list<void (*)()> steps) {
  ClearReadCuts();
  for (auto step : steps) step();
  AfterEdit(label);
  UpdateView();
  std::string cuts = ReadCutsReport();
  if (cuts.empty()) return;
  std::string line = tbuffer[0] ? cuts + "; " + tbuffer : cuts;
  CopyField(tbuffer, TBUF_LEN, line.c_str());
  ShowStatus();
}

static void RecallFaders() {
  LoadFaderFile();
  MixFileRecalled(IN_FADERS, &reserve_fbuff);
  ShowStatus();
}

// got: 1 read, 0 no such file, -1 not read.
static void Recalled(int got, int file) {
  if (got != 0) ShowStatus();
  if (got > 0) MixFileRecalled(file, nullptr);
}

static void RecallTracks() { Recalled(LoadTracksFile(), IN_TRACKS); }
static void RecallPrefs() { Recalled(LoadPrefsFile(), IN_PREFS); }

void StageReadFromFile() { Recall("Recall Faders / Effects", {RecallFaders}); }
void ReadTracksFile() { Recall("Recall Track Names", {RecallTracks}); }
void ReadPreferencesFile() { Recall("Recall Preferences", {RecallPrefs}); }
void RecallAll() { Recall("Recall All", {RecallFaders, RecallTracks, RecallPrefs}); }

// The single stores ask first when they would replace a file this run did
// not load (MayReplaceMixFiles).
void StageWriteToFile() {
  if (!MayReplaceMixFiles(IN_FADERS)) return;
  MixFilesStored(SaveFaderFile() ? IN_FADERS : 0);
  ShowStatus();
}

// The tracks writer names and mutes the gaps below the last named channel
// ("----"): the view shows them, so that no edit stores the old widgets back.
void WriteTracksFile() {
  if (!MayReplaceMixFiles(IN_TRACKS)) return;
  MixFilesStored(SaveTracksFile() ? IN_TRACKS : 0);
  ShowStatus();
  UpdateView();
}

void WritePreferencesFile() {
  if (!MayReplaceMixFiles(IN_PREFS)) return;
  MixFilesStored(SavePrefsFile() ? IN_PREFS : 0);
  ShowStatus();
}

// prefs.txt, tracks.txt, faders.txt, in that order. False when any of them
// was not saved; *failed then says which, and why the first one failed.
// *notes collects how files with several names were written.
static bool SaveThree(std::string* failed, std::string* notes = nullptr) {
  struct { bool (*save)(); const char* name; int file; } saves[] = {
    {SavePrefsFile, "prefs.txt", IN_PREFS}, {SaveTracksFile, "tracks.txt", IN_TRACKS},
    {SaveFaderFile, "faders.txt", IN_FADERS}};
  std::string names, why;
  int saved = 0;
  for (auto& s : saves) {
    if (s.save()) {
      saved |= s.file;
      if (notes && !LastSaveNote.empty()) *notes += "; " + LastSaveNote;
      continue;
    }
    names += names.empty() ? "" : ", ";
    names += s.name;
    if (why.empty()) why = LastSaveError;
  }
  MixFilesStored(saved);
  UpdateView();   // the tracks writer's "----" placeholders
  if (names.empty()) return true;
  *failed = names + " not saved (" + why + ")";
  return false;
}

void SaveAll() {
  if (!MayReplaceMixFiles(ALL_MIX_FILES)) return;
  std::string failed, notes;
  if (SaveThree(&failed, &notes))
    snprintf(tbuffer, TBUF_LEN, "Save Complete%s", notes.c_str());
  else
    snprintf(tbuffer, TBUF_LEN, "Save failed: %s", failed.c_str());
  ShowStatus();
}

// "Mixing" is drawn before the files are saved, then the engine runs
// (mixrun.cpp) and reports.
void Mix() {
  if (MixRunning()) return;
  if (!MayReplaceMixFiles(ALL_MIX_FILES)) return;
  CopyField(tbuffer, TBUF_LEN, "Mixing");
  ShowStatus();
  Fl::flush();
  std::string failed;
  if (SaveThree(&failed)) {
    RunEngine();
  } else {
    snprintf(tbuffer, TBUF_LEN, "Mix not started: %s", failed.c_str());
    printf("%s\n", tbuffer);
    ShowStatus();
  }
  fflush(stdout);
}
