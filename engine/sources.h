// The sources: the wave file that each input channel plays, read in blocks
// through libsndfile.
#ifndef VORLAX4_SOURCES_H
#define VORLAX4_SOURCES_H

#include <sndfile.h>

#include <string>
#include <vector>

struct Source {
  int channel = 0;        // input channel 1..127
  std::string path;       // the file as opened
  SNDFILE* file = nullptr;
  int channels = 0;       // 1 or 2
  int rate = 0;
  long long frames = 0;
  long long next = 0;     // frame the next read returns without a seek
  bool failed = false;    // a read or seek failed; error says why
  std::string error;
  int rawBytes = 0;       // 2 or 3: little-endian PCM read without libsndfile's conversion
  unsigned long long dev = 0, ino = 0;  // the file, to tell it from the output
  long long nonFinite = 0;  // samples that were not numbers, read as 0
  std::vector<float> buffer;          // interleaved frames of one read
  std::vector<unsigned char> bytes;   // the same, as raw PCM
};


// Opens the source of every input channel with a name that plays (headers
// only, no audio read). Every missing or unusable file, and every sample rate
// that differs from the first source's, adds an error; all are checked.
// rate is the sources' sample rate (0 when there is no source).
bool OpenSources(std::vector<Source>* sources, int* rate, std::vector<std::string>* errors);
void CloseSources(std::vector<Source>* sources);

// True when some input channel names a wave file (a name that plays).
bool AnySourceNamed();

// Adds an error naming the channel and the file when output is one of the
// sources (the same file by device and inode: links and other names too).
void CheckOutputIsNoSource(const std::vector<Source>& sources, const std::string& output,
                           std::vector<std::string>* errors);

// Counts the samples of the sources that were not numbers into the report,
// with a warning for each file that held some.
struct RenderReport;
void ReportNonFinite(const std::vector<Source>& sources, RenderReport* report);

// Reads n frames from frame k into left (and right for a stereo source),
// silence past the end; a sample that is not a finite number is read as 0
// and counted. False, with failed and error set, on a read error.
bool ReadSource(Source* source, long long k, int n, float* left, float* right);

// Decodes with the plain build even where the processor has a faster one
// (tests compare the two).
void ForcePlainDecode(bool plain);

#endif
