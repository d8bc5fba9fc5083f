// The three mix files: faders.txt, prefs.txt, tracks.txt. Free of FLTK: the
// readers and writers link without a display (the editor, the engine, the
// benchmarks and the fuzzers).
#ifndef ORVANE_FILES_H
#define ORVANE_FILES_H

#include <cstddef>
#include <string>

// The text in which faders.txt is read and built. It grows with the mix.
extern std::string reserve_fbuff;

// --- FLTK-free core: parse a file's text into the model (overlaying it) ---
// The length is authoritative: the text needs no terminator and may hold NULs.
void ParseFaderText(const char* text, size_t len);   // ParseBufferMulti + ReadVolumes
void ParsePrefsText(const char* text, size_t len);
void ParseTracksText(const char* text, size_t len);
bool CheckForKey(const char* field);

// --- FLTK-free core: the text each writer would write, without a file ---
// old is the previous file's text ("" when there is none).
std::string BuildFaderText(const std::string& old);
std::string BuildPrefsText(const std::string& old);
// Like the tracks writer, names unnamed channels below the last one "----"
// and mutes them in the model.
std::string BuildTracksText();
// True for a track name that plays nothing: empty, or the placeholder "----".
bool IsSilentName(const char* name);
// Where the wave file of a track named name is looked up: as it stands when
// absolute, else in WavDirName when set, else in the working directory.
std::string SourcePath(const char* name);

// --- faders.txt, step by step ---
std::string& ScrubEffects(std::string& text);      // mix-name line + kept lines
std::string& AppendBuffer(std::string& text);      // routing, effects, reverbs
std::string& VolumeVarnToText(std::string& text);  // pan, rows, points, "end"
// Saves text as faders.txt the safe way; bytes saved, or -1 when the file
// was not saved (the old one is untouched, the reason is in tbuffer).
long WriteFaderFile(const std::string& text);
// Loads faders.txt into reserve_fbuff; bytes read (0 when nothing was read).
long ReadFaderFile();
// Why the last ReadFaderFile could not read a faders.txt that is there;
// "" when it read it or there was none.
const std::string& FaderReadError();
bool MakeNewFile();
void ParseBufferMulti(const char* text, size_t len);
void ReadVolumes(const char* text, size_t len);

// --- prefs.txt ---
std::string& ScrubPrefs(std::string& text);        // the carried lines only

// --- The file steps without widgets: each leaves its report in tbuffer ---
bool SaveFaderFile();    // false: faders.txt not saved
long LoadFaderFile();    // read and parse faders.txt; bytes read
bool SavePrefsFile();    // false: prefs.txt not saved
bool SaveTracksFile();   // false: tracks.txt not saved
// 1: read and parsed; 0: no such file (nothing changed, no report);
// -1: the file could not be read (nothing changed, the reason in tbuffer).
int LoadPrefsFile();
int LoadTracksFile();

// --- Text values that a reader cut to fit their fixed model fields ---
// Counted by kind from ClearReadCuts on; the report says so in one line
// ("2 track names longer than 127 characters were cut"), "" when none was.
void ClearReadCuts();
std::string ReadCutsReport();

#endif
