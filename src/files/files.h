// Mix files and render hand-off: faders.txt, prefs.txt, tracks.txt, and the
// store, recall and mix actions. This header is free of FLTK; the readers
// and writers link without a display (the engine, benchmarks and fuzzers).
#ifndef ORVANE_FILES_H
#define ORVANE_FILES_H

#include <cstddef>

// --- FLTK-free core: parse a file's text into the model (overlaying it) ---
void ParseFaderText(const char* text, size_t len);   // ParseBufferMulti + ReadVolumes
void ParsePrefsText(const char* text, size_t len);
void ParseTracksText(const char* text, size_t len);
bool CheckForKey(const char* field);

// --- Actions of the control window (report in the status line) ---
void StageReadFromFile();
void StageWriteToFile();
void ReadTracksFile();
void WriteTracksFile();
void ReadPreferencesFile();
void WritePreferencesFile();
void SaveAll();
void RecallAll();
void Mix();

#endif
