#include "output.h"

#include "files/text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

char wavTempPath[4096];

bool WavOpen(WavOut* out, const std::string& path, int rate, int channels, int bits,
             int dither, std::string* error) {
  out->path = path;
  out->bits = bits;
  out->channels = channels;
  out->dither = dither > 0 ? dither : 0;
  // The save of the editor's files: through links, keeping owner and mode,
  // refusing what cannot be replaced, clearing dead renders' partial files.
  std::string why;
  if (!BeginSave(path.c_str(), &out->save, &why)) {
    *error = path + (why == kReadOnly ? ": the output is read-only" : ": cannot create the output: " + why);
    return false;
  }
  out->fd = out->save.fd;
  out->temp = out->save.temp;
  if (out->temp.size() >= sizeof wavTempPath) {
    *error = path + ": the name is too long";
    WavAbort(out);
    return false;
  }
  memcpy(wavTempPath, out->temp.c_str(), out->temp.size() + 1);
  SF_INFO info;
  memset(&info, 0, sizeof info);
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | (bits == 16 ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_24);
  out->file = sf_open_fd(out->fd, SFM_WRITE, &info, SF_FALSE);
  if (!out->file) {
    *error = path + ": cannot write the output: " + sf_strerror(nullptr);
    WavAbort(out);
    return false;
  }
  return true;
}

// A uniform value in [0, 1) fixed by its position: splitmix64 of the key.
static inline uint64_t Mix64(uint64_t z) {
  z += 0x9e3779b97f4a7c15ULL;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

// Turns n samples (stride 1) into output words at w (stride step): scaled,
// dithered by the noise of frame index + i and side c, rounded, clipped and
// counted. Locals keep the loop free of stores through out.
static void Quantize(WavOut* out, const float* x, int n, long long index, int c, int* w, int step) {
  const double scale = out->bits == 16 ? 32768.0 : 8388608.0;
  const int shift = 32 - out->bits;
  const double d = out->dither;
  double peak = out->peak;
  long long clipped = 0;
  for (int i = 0; i < n; i++) {
    double y = double(x[i]) * scale;
    double ay = std::fabs(y);
    if (ay > peak) peak = ay;
    if (!(y == y)) y = 0;  // NaN
    if (d != 0) {
      uint64_t h = Mix64(uint64_t(index + i) * 2 + uint64_t(c));
      double u1 = double(h >> 40) * (1.0 / 16777216.0);
      double u2 = double(h & 0xffffff) * (1.0 / 16777216.0);
      y += d * (u1 + u2 - 1.0);
    }
    // Round to nearest (even on ties) with the double's own rounding.
    y = (y + 6755399441055744.0) - 6755399441055744.0;
    if (y > scale - 1) {
      clipped++;
      y = scale - 1;
    } else if (y < -scale) {
      clipped++;
      y = -scale;
    }
    w[i * step] = int(uint32_t(int32_t(y)) << shift);
  }
  out->peak = peak;
  out->clipped += clipped;
}

static bool WriteWords(WavOut* out, int n, std::string* error) {
  sf_count_t done = sf_writef_int(out->file, out->words.data(), n);
  if (done != n) {
    int e = errno;
    *error = out->path + ": cannot write the output: " + sf_strerror(out->file);
    if (e) *error += std::string(" (") + strerror(e) + ")";
    return false;
  }
  out->frames += n;
  // Writeback starts as the render goes, so that the sync that ends the save
  // waits for the last blocks only, not for the whole file.
  long long written = out->frames * out->channels * (out->bits / 8);
  if (written - out->flushed >= (8 << 20)) {
    sync_file_range(out->fd, out->flushed, 0, SYNC_FILE_RANGE_WRITE);
    out->flushed = written;
  }
  return true;
}

bool WavWrite(WavOut* out, const float* left, const float* right, int n, long long index,
              std::string* error) {
  out->words.resize(size_t(n) * out->channels);
  int* w = out->words.data();
  if (out->channels == 1) {
    out->mono.resize(size_t(n));
    for (int i = 0; i < n; i++) out->mono[i] = 0.5f * (left[i] + right[i]);
    Quantize(out, out->mono.data(), n, index, 0, w, 1);
  } else {
    Quantize(out, left, n, index, 0, w, 2);
    Quantize(out, right, n, index, 1, w + 1, 2);
  }
  return WriteWords(out, n, error);
}

bool WavWriteSilence(WavOut* out, int n, long long index, std::string* error) {
  out->words.resize(size_t(n) * out->channels);
  out->mono.assign(size_t(n), 0.0f);
  for (int c = 0; c < out->channels; c++)
    Quantize(out, out->mono.data(), n, index, c, out->words.data() + c, out->channels);
  return WriteWords(out, n, error);
}

bool WavFinish(WavOut* out, std::string* error) {
  errno = 0;
  sf_write_sync(out->file);
  int err = sf_error(out->file);
  if (err) {
    *error = out->path + ": cannot write the output: " + sf_error_number(err);
    WavAbort(out);
    return false;
  }
  sf_close(out->file);
  out->file = nullptr;
  // The header is rewritten on close: check that the whole file is there.
  struct stat st;
  long long data = out->frames * out->channels * (out->bits / 8);
  if (fstat(out->fd, &st) != 0 || st.st_size < 44 + data) {
    *error = out->path + ": cannot write the output: the file came out short";
    WavAbort(out);
    return false;
  }
  std::string why;
  out->fd = -1;  // the save closes it
  if (!CommitSave(&out->save, &why)) {
    *error = out->path + ": cannot write the output: " + why;
    WavAbort(out);
    return false;
  }
  if (!out->save.note.empty()) out->note = out->path + ": " + out->save.note;
  wavTempPath[0] = 0;
  return true;
}

void WavAbort(WavOut* out) {
  if (out->file) sf_close(out->file), out->file = nullptr;
  out->fd = -1;
  AbortSave(&out->save);
  wavTempPath[0] = 0;
}
