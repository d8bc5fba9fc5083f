// The record formats of faders.txt that name a channel: one row a keyword,
// walked by the writer (which prints them) and the reader (which scans them).
#ifndef ORVANE_FILES_RECORDS_H
#define ORVANE_FILES_RECORDS_H

enum RecordKind {
  EFFECT,  // an effect record of 8 floats; out-of-range channels go to slot 135
  SEND,    // a reverb send record; out-of-range channels are ignored
  PAN,     // Pan of the slot
  POINT    // Volume of the slot at the current row
};

struct RecordFormat {
  const char* keyword;
  RecordKind kind;
  float* table;
  int count;            // used slots of the record, on flag included (effects)
  const char* channel;  // "%i" is the input channel
  const char* group;    // "%i" is the submix number
  const char* master;
};

enum {
  R_HP, R_COMP, R_RMS, R_NLC, R_LIM, R_BAND1, R_BAND2, R_HSHELF, R_LSHELF,
  R_REV, R_TREV, R_FXG, R_PAN, R_VOL, NUM_RECORDS
};
extern const RecordFormat Records[NUM_RECORDS];

// Order of the effect records of one channel: input channels and submixes,
// and the master (whose effects gain stands before the sends).
enum { NUM_FX_RECORDS = 12 };
extern const int ChannelOrder[NUM_FX_RECORDS];
extern const int MasterOrder[NUM_FX_RECORDS];
// Order of the reader's channel scans.
enum { NUM_SCAN_RECORDS = 13 };
extern const int ScanOrder[NUM_SCAN_RECORDS];

#endif
