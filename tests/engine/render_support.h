// Helpers of the render tests: wave files written and read with libsndfile,
// a reset model, and a render of it to a file.
#ifndef RENDER_SUPPORT_H
#define RENDER_SUPPORT_H

#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine.h"
#include "model/model.h"

// Writes a PCM wave file whose sample of frame i, side c is f(i, c).
inline void WriteWav(const std::string& path, int rate, int channels, long long frames,
                     const std::function<double(long long, int)>& f, int bits = 24) {
  SF_INFO info;
  memset(&info, 0, sizeof info);
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | (bits == 16 ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_24);
  SNDFILE* s = sf_open(path.c_str(), SFM_WRITE, &info);
  // Exact words: x full scale is x * 2^(bits-1) LSB.
  std::vector<int> buf(size_t(frames) * channels);
  double scale = bits == 16 ? 32768.0 : 8388608.0;
  for (long long i = 0; i < frames; i++)
    for (int c = 0; c < channels; c++) {
      double y = std::nearbyint(f(i, c) * scale);
      y = y > scale - 1 ? scale - 1 : y < -scale ? -scale : y;
      buf[size_t(i) * channels + c] = int(y) * (bits == 16 ? 65536 : 256);
    }
  sf_writef_int(s, buf.data(), frames);
  sf_close(s);
}

// A wave file read back: its samples in LSB of its word length.
struct Wav {
  int rate = 0, channels = 0, bits = 0;
  long long frames = 0;
  std::vector<int> lsb;  // interleaved
  bool ok = false;
  int at(long long i, int c) const { return lsb[size_t(i) * channels + c]; }
  double value(long long i, int c) const { return at(i, c) / double(1 << (bits - 1)); }
};

inline Wav ReadWav(const std::string& path) {
  Wav w;
  SF_INFO info;
  memset(&info, 0, sizeof info);
  SNDFILE* s = sf_open(path.c_str(), SFM_READ, &info);
  if (!s) return w;
  w.rate = info.samplerate;
  w.channels = info.channels;
  w.frames = info.frames;
  int sub = info.format & SF_FORMAT_SUBMASK;
  w.bits = sub == SF_FORMAT_PCM_16 ? 16 : 24;
  w.lsb.resize(size_t(w.frames) * w.channels);
  sf_readf_int(s, w.lsb.data(), w.frames);
  for (int& x : w.lsb) x >>= (32 - w.bits);
  sf_close(s);
  w.ok = true;
  return w;
}

// A reset model with dither off (tests that want dither set it).
inline void ResetModel() {
  ClearInternalArrays();
  HeadTailArray[0] = HeadTailArray[1] = 0;
  DitherBits = 0;
}

inline void SetName(int slot, const char* name) { CopyField(NameBuffer[slot], NAME_LEN, name); }

// An automation point of slot at row (the row is put in use at time t s).
inline void SetPoint(int slot, int row, double t, float volume, float ramp = 0,
                     float offset = 0, float shape = 1) {
  IndexActiveArray[row] = 1;
  IndexMin[row] = 0;
  IndexSec[row] = float(t);
  IndexMsec[row] = 0;
  int e = Cell(slot, row);
  ChanActive[e] = 1;
  Volume[e] = volume;
  Ramp[e] = ramp;
  Offset[e] = offset;
  Shape[e] = shape;
}

// Renders the model to path; the exit status, errors joined by newlines.
inline int RenderTo(const std::string& path, std::string* errors = nullptr,
                    RenderReport* report = nullptr) {
  RenderOptions o;
  o.output = path;
  std::vector<std::string> e;
  RenderReport r;
  int status = RenderModel(o, &r, &e);
  if (errors) {
    errors->clear();
    for (const std::string& s : e) *errors += s + "\n";
  }
  if (report) *report = r;
  return status;
}

#endif
