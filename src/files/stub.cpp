// Placeholder until the file readers and writers land.
#include "files.h"
void ParseFaderText(const char*, size_t) {}
void ParsePrefsText(const char*, size_t) {}
void ParseTracksText(const char*, size_t) {}
bool CheckForKey(const char*) { return false; }
