// The mix files, read whole and handed to the editor's own readers.
#include <cerrno>
#include <cstring>

#include "engine.h"
#include "files/files.h"
#include "files/text.h"
#include "sources.h"
#include "model/model.h"

// Reads name whole into text (a FIFO or a device is refused, never waited
// on). False with the cause in errors.
static bool ReadWhole(const char* name, std::string* text, std::vector<std::string>* errors) {
  std::string why;
  int got = ReadWholeFile(name, text, &why);
  if (got == 0) errors->push_back(std::string(name) + ": " + strerror(ENOENT));
  if (got < 0) errors->push_back(std::string(name) + ": cannot read: " + why);
  return got > 0;
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
  if (!AnySourceNamed()) {
    errors->push_back("nothing to mix: no channel names a wave file");
    return false;
  }
  return true;
}
