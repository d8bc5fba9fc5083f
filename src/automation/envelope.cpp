// Peak envelopes of the wave files, read with libsndfile (the engine's audio
// library) on a background thread, one file at a time; each result is
// handed to the event-loop thread with Fl::awake. Only that thread touches
// the cache, the queue and the widgets.
#include "envelope.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <thread>

#include <FL/Fl.H>

#include "../files/files.h"
#include "../model/model.h"

// At most this many peaks a file: long files get longer bins.
static const long long kMaxPeaks = 1 << 20;
// Bins of 5 ms, finer than any zoom that shows a whole file.
static const double kBinSeconds = 0.005;

// What a file looked like when it was read: a file written or replaced
// since (a new render, a file that appears) is read again.
struct FileStamp {
  long long size = -1, mtime_ns = -1;
  bool operator==(const FileStamp& o) const { return size == o.size && mtime_ns == o.mtime_ns; }
};

static FileStamp StampOf(const std::string& path) {
  FileStamp s;
  struct stat st;
  if (stat(path.c_str(), &st) == 0) {
    s.size = st.st_size;
    s.mtime_ns = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
  }
  return s;
}

struct EnvelopeJob {
  std::string path;
  FileStamp stamp;
  std::unique_ptr<Envelope> envelope;  // null: the file cannot be read
};

struct Known {
  FileStamp stamp;
  std::unique_ptr<Envelope> envelope;  // null: unreadable
};
static std::map<std::string, Known> Envelopes;
static std::deque<std::string> Waiting;
static EnvelopeJob* Reading;  // the job of the thread at work, if any
static void (*Arrived)();

std::string WavePath(const char* name) { return IsSilentName(name) ? "" : SourcePath(name); }

static std::unique_ptr<Envelope> ReadEnvelope(const std::string& path) {
  SF_INFO info;
  memset(&info, 0, sizeof info);
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) return nullptr;
  if (info.channels < 1 || info.samplerate <= 0 || info.frames < 0) {
    sf_close(f);
    return nullptr;
  }
  auto e = std::make_unique<Envelope>();
  e->rate = info.samplerate;
  e->frames = info.frames;
  long long bin = std::max(1LL, (long long)std::lround(kBinSeconds * info.samplerate));
  while (info.frames / bin > kMaxPeaks) bin *= 2;
  e->bin = int(bin);
  e->peak.assign(size_t((info.frames + bin - 1) / bin), 0.0f);
  std::vector<float> block(size_t(4096) * info.channels);
  long long at = 0;
  sf_count_t got;
  // A header may understate the length: the peaks stay bounded all the same.
  while (e->peak.size() <= size_t(2 * kMaxPeaks) &&
         (got = sf_readf_float(f, block.data(), 4096)) > 0) {
    for (sf_count_t i = 0; i < got; i++, at++) {
      size_t b = size_t(at / bin);
      if (b >= e->peak.size()) e->peak.resize(b + 1, 0.0f);
      for (int ch = 0; ch < info.channels; ch++) {
        float v = std::fabs(block[size_t(i) * info.channels + ch]);
        if (std::isfinite(v) && v > e->peak[b]) e->peak[b] = v;
      }
    }
  }
  sf_close(f);
  e->frames = at;
  return e;
}

static void StartNext();

// On the event-loop thread: the envelope is kept, the next file starts.
static void JobDone(void* data) {
  EnvelopeJob* job = static_cast<EnvelopeJob*>(data);
  Known& k = Envelopes[job->path];
  k.stamp = job->stamp;
  k.envelope = std::move(job->envelope);
  delete job;
  Reading = nullptr;
  StartNext();
  if (Arrived) Arrived();
}

static void RunJob(EnvelopeJob* job) {
  job->envelope = ReadEnvelope(job->path);
  Fl::awake(JobDone, job);
}

static void StartNext() {
  if (Reading || Waiting.empty()) return;
  // Fl::awake needs the toolkit's thread support, set up by its first lock.
  static bool threads = false;
  if (!threads) {
    Fl::lock();
    threads = true;
  }
  Reading = new EnvelopeJob{Waiting.front(), StampOf(Waiting.front()), nullptr};
  Waiting.pop_front();
  std::thread(RunJob, Reading).detach();
}

const Envelope* EnvelopeOf(const std::string& path) {
  if (path.empty()) return nullptr;
  auto it = Envelopes.find(path);
  if (it != Envelopes.end()) {
    if (it->second.stamp == StampOf(path)) return it->second.envelope.get();
    Envelopes.erase(it);
  }
  bool queued = Reading && Reading->path == path;
  for (const std::string& p : Waiting) queued = queued || p == path;
  if (!queued) {
    Waiting.push_back(path);
    StartNext();
  }
  return nullptr;
}

void OnEnvelopeArrived(void (*fn)()) { Arrived = fn; }
