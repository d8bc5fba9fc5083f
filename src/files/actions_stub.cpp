// Placeholder until the store, recall and mix actions land.
#include "files.h"
void StageReadFromFile() {}
void StageWriteToFile() {}
void ReadTracksFile() {}
void WriteTracksFile() {}
void ReadPreferencesFile() {}
void WritePreferencesFile() {}
void SaveAll() {}
void RecallAll() {}
void Mix() {}
