#include "sources.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "model/model.h"

bool IsSilentName(const char* name) { return name[0] == 0 || strcmp(name, "----") == 0; }

std::string SourcePath(const char* name) {
  if (name[0] == '/' || WavDirName[0] == 0) return name;
  std::string dir = WavDirName;
  if (dir.back() != '/') dir += '/';
  return dir + name;
}

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

void CloseSources(std::vector<Source>* sources) {
  for (Source& s : *sources)
    if (s.file) sf_close(s.file), s.file = nullptr;
  sources->clear();
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
      if (s->buffer.size() < size_t(want) * s->channels) s->buffer.resize(size_t(want) * s->channels);
      sf_count_t got = sf_readf_float(s->file, s->buffer.data(), want);
      s->next = from + got;
      if (got != want) {
        s->failed = true;
        s->error = s->path + ": read failed after " + std::to_string(s->next) + " frames: " +
                   (sf_error(s->file) ? sf_strerror(s->file) : "the file is shorter than its header says");
      }
      for (int i = 0; i < skip; i++) left[i] = 0;
      if (s->channels == 1) {
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
