// The output file: PCM WAV of 16 or 24 bits written to a temporary file
// beside the target and renamed over it only when complete. Samples are
// dithered (TPDF), rounded, clipped at full scale and counted.
#ifndef VORLAX4_OUTPUT_H
#define VORLAX4_OUTPUT_H

#include <sndfile.h>

#include "files/text.h"

#include <string>
#include <vector>

struct WavOut {
  std::string path, temp;
  SaveFile save;           // the safe save of path (temp is its temporary file)
  std::string note;        // set when the output had to be written in place
  SNDFILE* file = nullptr;
  int fd = -1;
  int bits = 24, channels = 2, dither = 0;
  long long frames = 0;    // frames written
  long long flushed = 0;   // bytes whose writeback has been started
  double peak = 0;         // largest absolute sample before clipping, in LSB
  long long clipped = 0;   // samples clipped
  std::vector<int> words;  // interleaved output of one block
  std::vector<float> mono; // the mono fold of one block
};

// Creates the temporary file for path. False with the cause in error.
bool WavOpen(WavOut* out, const std::string& path, int rate, int channels, int bits,
             int dither, std::string* error);
// Writes n frames; a mono output takes the mean of left and right. index is
// the frame's position in the full render, which fixes its dither noise, so
// that any range of the render carries exactly the noise of the full one.
bool WavWrite(WavOut* out, const float* left, const float* right, int n, long long index,
              std::string* error);
// Writes n frames of digital silence (with dither noise when dither is on).
bool WavWriteSilence(WavOut* out, int n, long long index, std::string* error);
// Completes the file and renames it over the target.
bool WavFinish(WavOut* out, std::string* error);
// Drops the temporary file (a failed render leaves the target as it was).
void WavAbort(WavOut* out);

// The temporary file being written, for removal on a fatal signal
// (NUL-terminated, empty when none).
extern char wavTempPath[4096];

#endif
