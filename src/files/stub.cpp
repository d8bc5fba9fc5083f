// Placeholder until the file readers and writers land.
#include "files.h"
std::string reserve_fbuff;
void ParseFaderText(const char*, size_t) {}
void ParsePrefsText(const char*, size_t) {}
void ParseTracksText(const char*, size_t) {}
bool CheckForKey(const char*) { return false; }
std::string BuildFaderText(const std::string&) { return std::string(); }
std::string BuildPrefsText(const std::string&) { return std::string(); }
std::string BuildTracksText() { return std::string(); }
