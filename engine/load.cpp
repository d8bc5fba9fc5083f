// The mix files, read whole and handed to the editor's own readers.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine.h"
#include "files/files.h"
#include "model/model.h"

// Reads name whole into text. False with the cause in errors.
static bool ReadWhole(const char* name, std::string* text, std::vector<std::string>* errors) {
  FILE* f = fopen(name, "rb");
  if (!f) {
    errors->push_back(std::string(name) + ": " + strerror(errno));
    return false;
  }
  char chunk[65536];
  size_t got;
  text->clear();
  while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) text->append(chunk, got);
  bool failed = ferror(f);
  int e = errno;
  fclose(f);
  if (failed) {
    errors->push_back(std::string(name) + ": cannot read: " + strerror(e));
    return false;
  }
  return true;
}

bool LoadMixFiles(std::vector<std::string>* errors) {
  ClearInternalArrays();
  HeadTailArray[0] = HeadTailArray[1] = 0;
  static const char* const names[] = {"faders.txt", "tracks.txt", "prefs.txt"};
  std::string texts[3];
  bool ok = true;
  for (int i = 0; i < 3; i++) ok &= ReadWhole(names[i], &texts[i], errors);
  if (!ok) return false;
  // The order of a recall: faders, tracks, prefs.
  ParseFaderText(texts[0].c_str(), texts[0].size());
  ParseTracksText(texts[1].c_str(), texts[1].size());
  ParsePrefsText(texts[2].c_str(), texts[2].size());
  return true;
}
