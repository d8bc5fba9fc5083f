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
// *notes collects how files with several names were written.
static bool SaveThree(std::string* failed, std::string* notes = nullptr) {
  struct { bool (*save)(); const char* name; } saves[] = {
    {SavePrefsFile, "prefs.txt"}, {SaveTracksFile, "tracks.txt"}, {SaveFaderFile, "faders.txt"}};
  std::string names, why;
  for (auto& s : saves) {
    if (s.save()) {
      if (notes && !LastSaveNote.empty()) *notes += "; " + LastSaveNote;
      continue;
    }
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
