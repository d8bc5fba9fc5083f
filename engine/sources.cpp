#include "sources.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif
// The tail loop lands in each build of the decoder.
#define FX_DECODE_INLINE inline __attribute__((always_inline))

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "engine.h"
#include "files/files.h"
#include "model/model.h"

static std::string Described(const Source& s) {
  return s.path + " (channel " + std::to_string(s.channel) + ")";
}

bool OpenSources(std::vector<Source>* sources, int* rate, std::vector<std::string>* errors) {
  size_t before = errors->size();
  sources->clear();
  *rate = 0;
  const Source* first = nullptr;
  sources->reserve(NUM_INPUTS);
  for (int n = 1; n <= NUM_INPUTS; n++) {
    char name[NAME_LEN];
    CopyField(name, sizeof name, NameBuffer[n]);
    if (IsSilentName(name)) continue;
    Source s;
    s.channel = n;
    s.path = SourcePath(name);
    struct stat st;
    if (stat(s.path.c_str(), &st) != 0) {
      errors->push_back(Described(s) + ": " + strerror(errno));
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      errors->push_back(Described(s) + ": is a directory, not a wave file");
      continue;
    }
    if (!S_ISREG(st.st_mode)) {  // a FIFO would hold the render forever
      errors->push_back(Described(s) + ": is not a regular file");
      continue;
    }
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    SF_INFO info;
    memset(&info, 0, sizeof info);
    s.file = sf_open(s.path.c_str(), SFM_READ, &info);
    if (!s.file) {
      errors->push_back(Described(s) + ": cannot read: " + sf_strerror(nullptr));
      continue;
    }
    s.channels = info.channels;
    s.rate = info.samplerate;
    s.frames = info.frames;
    if (s.channels != 1 && s.channels != 2) {
      errors->push_back(Described(s) + ": " + std::to_string(s.channels) +
                        " channels; a source must be mono or stereo");
      sf_close(s.file);
      continue;
    }
    // WAV of 16 or 24 bits, the common case, is converted here in one pass.
    int type = info.format & SF_FORMAT_TYPEMASK, sub = info.format & SF_FORMAT_SUBMASK;
    int endian = info.format & SF_FORMAT_ENDMASK;
    if ((type == SF_FORMAT_WAV || type == SF_FORMAT_WAVEX) &&
        (endian == SF_ENDIAN_FILE || endian == SF_ENDIAN_LITTLE))
      s.rawBytes = sub == SF_FORMAT_PCM_16 ? 2 : sub == SF_FORMAT_PCM_24 ? 3 : 0;
    sources->push_back(std::move(s));
  }
  for (const Source& s : *sources) {
    if (!first) {
      first = &s;
      *rate = s.rate;
    } else if (s.rate != first->rate) {
      errors->push_back(Described(s) + ": sample rate " + std::to_string(s.rate) + " Hz, but " +
                        Described(*first) + " has " + std::to_string(first->rate) +
                        " Hz; all sources must share one rate");
    }
  }
  if (errors->size() != before) {
    CloseSources(sources);
    return false;
  }
  return true;
}

bool AnySourceNamed() {
  for (int n = 1; n <= NUM_INPUTS; n++) {
    char name[NAME_LEN];
    CopyField(name, sizeof name, NameBuffer[n]);
    if (!IsSilentName(name)) return true;
  }
  return false;
}

void CheckOutputIsNoSource(const std::vector<Source>& sources, const std::string& output,
                           std::vector<std::string>* errors) {
  struct stat st;
  if (stat(output.c_str(), &st) != 0) return;  // not there yet: no source either
  for (const Source& s : sources)
    if (s.dev == (unsigned long long)st.st_dev && s.ino == (unsigned long long)st.st_ino)
      errors->push_back(Described(s) + ": is the output " + output +
                        "; the mix would be written over its own source");
}

void ReportNonFinite(const std::vector<Source>& sources, RenderReport* report) {
  for (const Source& s : sources) {
    if (s.nonFinite == 0) continue;
    report->nonFinite += s.nonFinite;
    report->warnings.push_back(Described(s) + ": " + std::to_string(s.nonFinite) +
                               " samples that are not numbers (NaN or infinite) replaced by 0");
  }
}

// Replaces the samples of x that are not finite numbers by 0; their count.
static long long ZeroNonFinite(float* x, size_t n) {
  long long bad = 0;
  for (size_t i = 0; i < n; i++) {
    uint32_t u;
    memcpy(&u, &x[i], sizeof u);
    if ((u & 0x7f800000u) == 0x7f800000u) x[i] = 0, bad++;
  }
  return bad;
}

void CloseSources(std::vector<Source>* sources) {
  for (Source& s : *sources)
    if (s.file) sf_close(s.file), s.file = nullptr;
  sources->clear();
}

static float* Buffer(Source* s, int frames) {
  if (s->buffer.size() < size_t(frames) * s->channels) s->buffer.resize(size_t(frames) * s->channels);
  return s->buffer.data();
}

// Raw little-endian PCM of 16 or 24 bits into floats, scaled as libsndfile
// scales them (full scale 1.0): the sample's bits as the top of an int32
// (or an int16) times a power of two, so every build gives the same floats.
// b has room for a word past its last frame.
static FX_DECODE_INLINE void DecodeTail(const unsigned char* b, int bytes, bool stereo,
                                        sf_count_t from, sf_count_t frames, float* left,
                                        float* right) {
  auto W24 = [b](size_t j) {
    uint32_t u;
    memcpy(&u, b + j, 4);  // the fourth byte shifted out
    return float(int32_t(u << 8)) * (1.0f / 2147483648.0f);
  };
  auto W16 = [b](size_t j) { return float(int16_t(uint16_t(b[j] | b[j + 1] << 8))) * (1.0f / 32768.0f); };
  const int step = bytes * (stereo ? 2 : 1);
  for (sf_count_t i = from; i < frames; i++) {
    left[i] = bytes == 3 ? W24(step * i) : W16(step * i);
    if (stereo) right[i] = bytes == 3 ? W24(step * i + 3) : W16(step * i + 2);
  }
}

static void DecodePlain(const unsigned char* b, int bytes, bool stereo, sf_count_t frames,
                        float* left, float* right) {
  DecodeTail(b, bytes, stereo, 0, frames, left, right);
}

#if defined(__x86_64__)
// Eight samples at a time: the bytes of each sample shuffled into the top
// of a 32-bit lane, converted, scaled; stereo frames then split into sides.
__attribute__((target("avx2"))) static void DecodeAvx2(const unsigned char* b, int bytes,
                                                       bool stereo, sf_count_t frames,
                                                       float* left, float* right) {
  const __m256i to32 = _mm256_setr_epi8(-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11,
                                        -1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11);
  const __m256i sides = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  const __m256 k = _mm256_set1_ps(bytes == 3 ? 1.0f / 2147483648.0f : 1.0f / 32768.0f);
  const int per = stereo ? 4 : 8;  // frames a round
  const int step = bytes * (stereo ? 2 : 1);
  sf_count_t i = 0;
  for (; i + per <= frames; i += per) {
    const unsigned char* p = b + step * i;
    __m256i w;
    if (bytes == 3) {
      __m128i lo = _mm_loadu_si128((const __m128i*)p), hi = _mm_loadu_si128((const __m128i*)(p + 12));
      w = _mm256_shuffle_epi8(_mm256_set_m128i(hi, lo), to32);
    } else {
      w = _mm256_cvtepi16_epi32(_mm_loadu_si128((const __m128i*)p));
    }
    __m256 x = _mm256_mul_ps(_mm256_cvtepi32_ps(w), k);
    if (stereo) {
      x = _mm256_permutevar8x32_ps(x, sides);
      _mm_storeu_ps(left + i, _mm256_castps256_ps128(x));
      _mm_storeu_ps(right + i, _mm256_extractf128_ps(x, 1));
    } else {
      _mm256_storeu_ps(left + i, x);
    }
  }
  DecodeTail(b, bytes, stereo, i, frames, left, right);
}
#endif

static bool plainDecode = false;
void ForcePlainDecode(bool plain) { plainDecode = plain; }

// Reads up to want frames of raw little-endian PCM into left and right.
// Returns the frames read.
static sf_count_t ReadRaw(Source* s, int want, float* left, float* right) {
  size_t frameBytes = size_t(s->rawBytes) * s->channels;
  if (s->bytes.size() < want * frameBytes + 4) s->bytes.resize(want * frameBytes + 4);
  sf_count_t got = sf_read_raw(s->file, s->bytes.data(), sf_count_t(want * frameBytes));
  if (got < 0) got = 0;
  sf_count_t frames = got / sf_count_t(frameBytes);
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2 && !plainDecode) {
    DecodeAvx2(s->bytes.data(), s->rawBytes, right != nullptr, frames, left, right);
    return frames;
  }
#endif
  DecodePlain(s->bytes.data(), s->rawBytes, right != nullptr, frames, left, right);
  return frames;
}

bool ReadSource(Source* s, long long k, int n, float* left, float* right) {
  int have = 0;  // frames read from the file
  if (k < s->frames && k + n > 0 && !s->failed) {
    long long from = k < 0 ? 0 : k;
    int skip = int(from - k);
    int want = int(std::min<long long>(n - skip, s->frames - from));
    if (from != s->next && sf_seek(s->file, from, SEEK_SET) < 0) {
      s->failed = true;
      s->error = s->path + ": cannot seek: " + sf_strerror(s->file);
    } else {
      sf_count_t got = s->rawBytes ? ReadRaw(s, want, left + skip, s->channels == 2 ? right + skip : nullptr)
                                   : sf_readf_float(s->file, Buffer(s, want), want);
      // Integer PCM is always finite; a float file may hold NaN or infinity.
      if (!s->rawBytes && got > 0) s->nonFinite += ZeroNonFinite(s->buffer.data(), size_t(got) * s->channels);
      s->next = from + got;
      if (got != want) {
        s->failed = true;
        s->error = s->path + ": read failed after " + std::to_string(s->next) + " frames: " +
                   (sf_error(s->file) ? sf_strerror(s->file) : "the file is shorter than its header says");
      }
      for (int i = 0; i < skip; i++) left[i] = 0;
      if (s->rawBytes) {
        if (s->channels == 2)
          for (int i = 0; i < skip; i++) right[i] = 0;
      } else if (s->channels == 1) {
        memcpy(left + skip, s->buffer.data(), size_t(got) * sizeof(float));
      } else {
        const float* b = s->buffer.data();
        for (int i = 0; i < skip; i++) right[i] = 0;
        for (sf_count_t i = 0; i < got; i++) {
          left[skip + i] = b[2 * i];
          right[skip + i] = b[2 * i + 1];
        }
      }
      have = skip + int(got);
    }
  }
  for (int i = have; i < n; i++) left[i] = 0;
  if (s->channels == 2 && right)
    for (int i = have; i < n; i++) right[i] = 0;
  return !s->failed;
}
