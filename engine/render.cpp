// The render: sources through the channel strips, the submixes and the
// master to the output file, block by block.
//
// Look-ahead of the effect chains is compensated by stages: every channel
// chain is padded to the largest channel latency (dc), every submix chain to
// the largest submix latency (dg), and whatever skips the submix stage (the
// directly routed channels and the channels' sends) is delayed by dg. A
// sample read at position p is thus heard at the master's input at p - dc -
// dg and leaves the master at p - dc - dg - dm: the render runs that much
// past the end (flushing the chains) and the output starts that much later.
// Each stage applies its fader at its own time, so automation stays aligned.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "engine.h"
#include "files/text.h"
#include "fx.h"
#include "levels/levels.h"
#include "model/model.h"
#include "output.h"
#include "sources.h"

// A fixed delay of one side.
struct Delay {
  std::vector<float> ring;
  size_t pos = 0;
  void Init(int frames) {
    ring.assign(size_t(frames > 0 ? frames : 0), 0.0f);
    pos = 0;
  }
  void Run(float* x, int n) {
    if (ring.empty()) return;
    for (int i = 0; i < n; i++) {
      float y = ring[pos];
      ring[pos] = x[i];
      x[i] = y;
      if (++pos == ring.size()) pos = 0;
    }
  }
};

// Bus indices in the per-worker sums: the directly routed pair, the pair of
// each submix, the two send buses.
enum { BUS_DIRECT = 0, BUS_GROUP = 2, BUS_REV = 2 + 2 * NUM_GROUPS, BUS_TREV, NUM_BUSES };

// An input channel that can sound.
struct Strip {
  Source* src = nullptr;
  bool mono = false;          // a mono source, panned by the pan law
  FxChain* fx = nullptr;
  Delay padL, padR;
  int pad = 0;
  const Level* levels[1 + NUM_VCAS];
  int nlevels = 0;
  float panL = 1, panR = 1;
  float rev = 0, trev = 0;    // send gains, 0 when off
  bool direct = false;        // to the master (assigned to no submix)
  int dests[NUM_GROUPS];      // audible submixes it feeds (0-based)
  int ndests = 0;
  std::vector<float> L, R, gain;
  bool constant = false;      // the last block's gain is gain[0] throughout
  bool sounds = false;        // the last block gives its buses something
  bool failed = false;
};

// A submix that receives at least one channel.
struct Group {
  int g = 0;                  // 1..8
  FxChain* fx = nullptr;
  Delay padL, padR;
  Level level;
  float balL = 1, balR = 1;
  float rev = 0, trev = 0;
  std::vector<float> gain;
};

static float DbGain(float db) { return float(std::pow(10.0, db / 20.0)); }

// Balance: p < 0 lowers the right side, p > 0 the left.
static void Balance(float pan, float* l, float* r) {
  float p = std::max(-100.0f, std::min(100.0f, pan));
  *l = p > 0 ? (100 - p) / 100 : 1.0f;
  *r = p < 0 ? (100 + p) / 100 : 1.0f;
}

// Gains of a mono source at pan p under pan law law dB: cos and sin of the
// pan angle raised to law / 3, so that 3 dB is constant power, 6 dB gains
// that sum to 1, and a centred source is lowered by law dB (3.0103 exactly
// for the nominal 3).
static void PanLaw(float pan, float law, float* l, float* r) {
  float p = std::max(-100.0f, std::min(100.0f, pan));
  if (!(law > 0)) return Balance(p, l, r);
  double k = std::min(6.0f, law) / 3.0;
  double theta = (p + 100.0) / 200.0 * M_PI / 2;
  *l = p >= 100 ? 0.0f : float(std::pow(std::cos(theta), k));
  *r = p <= -100 ? 0.0f : float(std::pow(std::sin(theta), k));
}

// The send gain of slot's record in table, 0 when the send is off.
static float SendGain(const float* table, int slot) {
  return table[slot * REC] == 1.0f ? DbGain(table[slot * REC + 1]) : 0.0f;
}

std::string DefaultOutputPath() {
  std::string name = MixName[0] ? MixName : "mixFilename";
  std::replace(name.begin(), name.end(), '/', '_');
  std::string dir = MixDirName;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir + name + ".wav";
}

std::string SummaryLine(const RenderReport& r) {
  char peak[32], line[256];
  if (r.peak > 0) snprintf(peak, sizeof peak, "%.2f", 20 * std::log10(r.peak));
  else snprintf(peak, sizeof peak, "-inf");
  double length = r.rate ? double(r.frames) / r.rate : 0;
  snprintf(line, sizeof line,
           ": %.3f s, %d Hz, %d ch, %d bit, peak %s dBFS, %lld clipped, rendered in %.2f s "
           "(%.1fx realtime)",
           length, r.rate, r.channels, r.bits, peak, r.clipped, r.seconds,
           r.seconds > 0 ? length / r.seconds : 0.0);
  std::string summary = r.output + line;
  if (r.nonFinite > 0) summary += ", " + std::to_string(r.nonFinite) + " non-finite samples replaced";
  return summary;
}

// A pool of threads that run one job together: Run calls job(w) on each
// of them (w = 0 on the caller) and returns when all are done.
struct Workers {
  int count = 1;
  std::vector<std::thread> threads;
  std::mutex m;
  std::condition_variable go, done;
  long long generation = 0;
  int pending = 0;
  bool quit = false;
  std::function<void(int)> job;

  void Start(int n) {
    count = n;
    for (int w = 1; w < n; w++) threads.emplace_back([this, w] { Loop(w); });
  }
  void Loop(int w) {
    long long seen = 0;
    for (;;) {
      std::unique_lock<std::mutex> lock(m);
      go.wait(lock, [&] { return quit || generation != seen; });
      if (quit) return;
      seen = generation;
      lock.unlock();
      job(w);
      lock.lock();
      if (--pending == 0) done.notify_one();
    }
  }
  void Run(std::function<void(int)> j) {
    job = std::move(j);
    if (count > 1) {
      std::lock_guard<std::mutex> lock(m);
      pending = count - 1;
      generation++;
      go.notify_all();
    }
    job(0);
    if (count > 1) {
      std::unique_lock<std::mutex> lock(m);
      done.wait(lock, [&] { return pending == 0; });
    }
  }
  ~Workers() {
    {
      std::lock_guard<std::mutex> lock(m);
      quit = true;
      go.notify_all();
    }
    for (std::thread& t : threads) t.join();
  }
};

// The stage after the channels (submixes, reverbs, master, output) on a
// thread of its own, one block behind them: Submit hands it block b, Wait
// returns once it has finished every block before b.
struct MasterStage {
  std::thread thread;
  std::mutex m;
  std::condition_variable cv;
  long long submitted = 0, finished = 0;
  bool quit = false;
  std::function<void(long long)> run;

  void Start(std::function<void(long long)> r) {
    run = std::move(r);
    thread = std::thread([this] {
      std::unique_lock<std::mutex> lock(m);
      for (;;) {
        cv.wait(lock, [&] { return quit || finished < submitted; });
        if (finished == submitted) return;
        long long b = finished;
        lock.unlock();
        run(b);
        lock.lock();
        finished++;
        cv.notify_all();
      }
    });
  }
  void Submit() {
    std::lock_guard<std::mutex> lock(m);
    submitted++;
    cv.notify_all();
  }
  void Wait(long long b) {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return finished >= b; });
  }
  ~MasterStage() {
    if (!thread.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(m);
      quit = true;
      cv.notify_all();
    }
    thread.join();
  }
};

// Runs one block of a strip: source, effects, pad and the fader's gains.
// k0 is the block's first position.
static void RunStrip(Strip* s, long long k0, int n, long long dc) {
  float* L = s->L.data();
  float* R = s->R.data();
  s->sounds = false;
  if (!s->fx && k0 >= s->src->frames + s->pad) return;  // long over: silence
  if (!ReadSource(s->src, k0, n, L, s->mono ? nullptr : R)) {
    s->failed = true;
    return;
  }
  if (s->fx) {
    if (s->mono) memcpy(R, L, size_t(n) * sizeof(float));
    FxChainProcess(s->fx, L, R, n);
  }
  s->padL.Run(L, n);
  if (!s->mono) s->padR.Run(R, n);
  s->constant = LevelGains(s->levels, s->nlevels, k0 - dc, n, s->gain.data());
  s->sounds = !s->constant || s->gain[0] != 0;
}

// Adds frames [a, b) of a strip to its buses: panned to the submixes or
// the master, and to the sends (after fader and mute, before pan, the mean
// of the two sides). gain(i) is the fader's gain of frame i.
template <class Gain>
static void AddStrip(const Strip& s, float* const* bus, int a, int b, Gain gain) {
  const float* L = s.L.data();
  const float* R = s.mono ? L : s.R.data();
  const float pl = s.panL, pr = s.panR;
  int nd = s.direct ? 1 : s.ndests;
  for (int d = 0; d < nd; d++) {
    int k = s.direct ? BUS_DIRECT : BUS_GROUP + 2 * s.dests[d];
    float* outL = bus[k];
    float* outR = bus[k + 1];
    for (int i = a; i < b; i++) {
      outL[i] += L[i] * (gain(i) * pl);
      outR[i] += R[i] * (gain(i) * pr);
    }
  }
  if (s.rev != 0 || s.trev != 0) {
    float* rev = bus[BUS_REV];
    float* trev = bus[BUS_TREV];
    for (int i = a; i < b; i++) {
      float x = (s.mono ? L[i] : 0.5f * (L[i] + R[i])) * gain(i);
      rev[i] += x * s.rev;
      trev[i] += x * s.trev;
    }
  }
}

// Adds frames [a, b) of every strip that sounds to its buses, strip after
// strip in channel order: the sums do not depend on how the frames are
// shared out among threads.
static void SumStrips(const std::vector<Strip>& strips, float* const* bus, int a, int b) {
  for (const Strip& s : strips) {
    if (!s.sounds) continue;
    const float* g = s.gain.data();
    if (s.constant) {
      const float c = g[0];
      AddStrip(s, bus, a, b, [c](int) { return c; });
    } else {
      AddStrip(s, bus, a, b, [g](int i) { return g[i]; });
    }
  }
}

int RenderModel(const RenderOptions& options, RenderReport* report,
                std::vector<std::string>* errors) {
  auto began = std::chrono::steady_clock::now();
  *report = RenderReport();
  const size_t errorsBefore = errors->size();  // the list may carry earlier errors

  // Every source, checked before any audio is read.
  std::vector<Source> sources;
  int rate = 0;
  if (!OpenSources(&sources, &rate, errors)) return EXIT_NOT_RENDERED;
  if (rate <= 0) rate = 48000;  // no source: silence at the common studio rate
  const double fs = rate;

  // Levels of every slot.
  static Level levels[NUM_SLOTS];
  double autoEnd = 0;
  for (int c = 0; c < NUM_SLOTS; c++) {
    levels[c] = BuildLevel(c, fs);
    autoEnd = std::max(autoEnd, LevelEndFrame(levels[c]));
  }

  // Length, head, tail and the range written.
  long long longest = 0;
  for (const Source& s : sources) longest = std::max(longest, s.frames);
  // Times far beyond any WAV file are held at 1e12 frames (the size check
  // below then refuses them) so that no conversion overflows.
  auto Frames = [&](double seconds) {
    double f = seconds * fs;
    return std::isfinite(f) && f > 0 ? (long long)std::llround(std::min(f, 1e12)) : 0LL;
  };
  long long mixFrames = std::max(longest, (long long)std::ceil(std::min(autoEnd, 1e12))) +
                        Frames(HeadTailArray[1]);
  long long head = Frames(HeadTailArray[0]);
  long long start = 0, end = mixFrames;
  auto Seconds = [](const float* t) { return t[0] * 60.0 + t[1] + t[2] / 1000.0; };
  char why[256];
  if (PreviewOn == 1) {
    start = Frames(Seconds(PreviewArray));
    if (PreviewArray[3] > 0) end = std::min(mixFrames, start + Frames(PreviewArray[3]));
    if (start >= mixFrames) {
      snprintf(why, sizeof why, "prefs.txt: the preview starts at %.3f s, not before the end "
               "of the mix (%.3f s)", start / fs, mixFrames / fs);
      errors->push_back(why);
    }
  } else if (Seconds(XinArray) != 0 || Seconds(XoutArray) != 0) {
    start = Frames(Seconds(XinArray));
    if (Seconds(XoutArray) != 0) end = std::min(mixFrames, Frames(Seconds(XoutArray)));
    if (start >= end) {
      snprintf(why, sizeof why, "prefs.txt: the range from Xin %.3f s to Xout %.3f s holds "
               "nothing of the mix (%.3f s long)", Seconds(XinArray), Seconds(XoutArray),
               mixFrames / fs);
      errors->push_back(why);
    }
  }
  if (start > end) end = start;
  const int channels = monoOn == 1 ? 1 : 2;
  const int bits = OutbitsStore == 16 ? 16 : 24;
  std::string path = options.output.empty() ? DefaultOutputPath() : options.output;
  CheckOutputIsNoSource(sources, path, errors);
  if (double(head + end - start) * channels * (bits / 8) > 4294967295.0 - 1024)
    errors->push_back(path + ": the mix is too long for a WAV file (4 GB)");
  if (errors->size() > errorsBefore) {
    CloseSources(&sources);
    return EXIT_NOT_RENDERED;
  }

  // Solo and mute.
  bool inSolo = false, subSolo = false;
  for (int n = 1; n <= NUM_INPUTS; n++) inSolo |= SoloArray[n] == 1;
  for (int g = 1; g <= NUM_GROUPS; g++) subSolo |= SoloArray[GroupSlot(g)] == 1;
  auto GroupAudible = [&](int g) {
    return MuteArray[GroupSlot(g)] != 1 && (!subSolo || SoloArray[GroupSlot(g)] == 1);
  };

  // The strips.
  const int B = std::max(16, std::min(65536, options.blockFrames));
  std::vector<Strip> strips;
  strips.reserve(sources.size());
  bool groupUsed[NUM_GROUPS] = {};
  for (Source& src : sources) {
    int n = src.channel;
    if (MuteArray[n] == 1 || (inSolo && SoloArray[n] != 1)) continue;
    const int* asn = &SubAsn[(n - 1) * 8];
    bool assigned = false, feedsSoloed = false;
    Strip s;
    for (int g = 1; g <= NUM_GROUPS; g++) {
      if (asn[g - 1] != 1) continue;
      assigned = true;
      feedsSoloed |= SoloArray[GroupSlot(g)] == 1;
      if (GroupAudible(g)) s.dests[s.ndests++] = g - 1, groupUsed[g - 1] = true;
    }
    // A submix solo silences the directly routed channels and the channels
    // that feed no soloed submix, sends included.
    if (subSolo && !feedsSoloed) continue;
    s.src = &src;
    s.mono = src.channels == 1;
    s.direct = !assigned;
    int slots[1 + NUM_VCAS];
    s.nlevels = ChannelLevelSlots(n, slots);
    for (int j = 0; j < s.nlevels; j++) s.levels[j] = &levels[slots[j]];
    if (s.mono) PanLaw(Pan[n], PanlawStore, &s.panL, &s.panR);
    else Balance(Pan[n], &s.panL, &s.panR);
    s.rev = SendGain(Prev, n);
    s.trev = SendGain(Ptrev, n);
    s.L.resize(B);
    s.R.resize(B);
    s.gain.resize(B);
    strips.push_back(std::move(s));
  }

  // Effect chains and latencies.
  int dc = 0, dg = 0, dm = 0;
  for (Strip& s : strips) {
    s.fx = FxChainCreate(s.src->channel, fs);
    if (s.fx) dc = std::max(dc, FxChainLatency(s.fx));
  }
  std::vector<Group> groups;
  for (int g = 1; g <= NUM_GROUPS; g++) {
    if (!groupUsed[g - 1]) continue;
    Group grp;
    grp.g = g;
    grp.fx = FxChainCreate(GroupSlot(g), fs);
    if (grp.fx) dg = std::max(dg, FxChainLatency(grp.fx));
    grp.level = levels[GroupSlot(g)];
    Balance(Pan[GroupSlot(g)], &grp.balL, &grp.balR);
    grp.rev = SendGain(Prev, GroupSlot(g));
    grp.trev = SendGain(Ptrev, GroupSlot(g));
    grp.gain.resize(B);
    groups.push_back(std::move(grp));
  }
  FxChain* masterFx = FxChainCreate(0, fs);
  if (masterFx) dm = FxChainLatency(masterFx);
  bool anyChain = masterFx != nullptr;
  for (Strip& s : strips) {
    s.pad = dc - (s.fx ? FxChainLatency(s.fx) : 0);
    s.padL.Init(s.pad);
    s.padR.Init(s.mono ? 0 : s.pad);
    anyChain |= s.fx != nullptr;
  }
  for (Group& grp : groups) {
    int pad = dg - (grp.fx ? FxChainLatency(grp.fx) : 0);
    grp.padL.Init(pad);
    grp.padR.Init(pad);
    anyChain |= grp.fx != nullptr;
  }
  // The reverbs run only when a send that can sound feeds them.
  bool revUsed = false, trevUsed = false;
  for (const Strip& s : strips) revUsed |= s.rev != 0, trevUsed |= s.trev != 0;
  for (const Group& grp : groups) revUsed |= grp.rev != 0, trevUsed |= grp.trev != 0;
  ReverbUnit* reverb = revUsed ? ReverbCreate(fs) : nullptr;
  ReverbUnit* tapReverb = trevUsed ? TapReverbCreate(fs) : nullptr;
  const long long D = (long long)dc + dg + dm;
  Delay directL, directR, chanRev, chanTrev;
  directL.Init(dg), directR.Init(dg), chanRev.Init(dg), chanTrev.Init(dg);
  Level masterLevel = levels[0];
  float masterBalL, masterBalR;
  Balance(Pan[0], &masterBalL, &masterBalR);

  // Anything with a state runs from time 0 so that a range is an exact slice
  // of the full render; without one the render starts at the range.
  const bool stateful = anyChain || reverb || tapReverb;
  const long long pBegin = stateful ? 0 : start;
  const long long pEnd = end + D;

  WavOut out;
  std::string error;
  auto Cleanup = [&] {
    for (Strip& s : strips) FxChainDestroy(s.fx);
    for (Group& grp : groups) FxChainDestroy(grp.fx);
    FxChainDestroy(masterFx);
    if (reverb) ReverbDestroy(reverb);
    if (tapReverb) ReverbDestroy(tapReverb);
    CloseSources(&sources);
  };
  if (!WavOpen(&out, path, rate, channels, bits, DitherBits, &error)) {
    errors->push_back(error);
    Cleanup();
    return EXIT_NOT_RENDERED;
  }
  bool ok = true;
  for (long long k = 0; k < head && ok; k += B)
    ok = WavWriteSilence(&out, int(std::min<long long>(B, head - k)), k, &error);

  // The pipeline. For each block the pool runs the strips (each reading and
  // decoding its own source), then sums them into the buses; meanwhile the
  // master stage runs the previous block from the other set of buses. Every
  // sample is computed the same way whatever the number of threads.
  int nthreads = options.threads > 0 ? options.threads : int(std::thread::hardware_concurrency());
  nthreads = std::max(1, std::min(nthreads, 64));
  const bool pipelined = nthreads > 1;
  nthreads = std::max(1, std::min(nthreads, int(strips.size())));
  std::vector<float> busStore[2];
  std::vector<float*> buses[2];
  long long blockP0[2] = {0, 0};
  int blockN[2] = {0, 0};
  for (int h = 0; h < 2; h++) {
    busStore[h].assign(size_t(NUM_BUSES) * B, 0.0f);
    for (int b = 0; b < NUM_BUSES; b++) buses[h].push_back(busStore[h].data() + size_t(b) * B);
  }
  // Only the buses that something feeds are cleared and summed.
  std::vector<int> busesUsed = {BUS_DIRECT, BUS_DIRECT + 1, BUS_REV, BUS_TREV};
  for (const Group& grp : groups)
    busesUsed.push_back(BUS_GROUP + 2 * (grp.g - 1)), busesUsed.push_back(BUS_GROUP + 2 * (grp.g - 1) + 1);
  std::atomic<bool> failed{false};
  std::string masterError;  // set by the master stage only

  std::vector<float> mL(B), mR(B), gL(B), gR(B), rev(B), trev(B), mGain(B);
  const bool tty = options.progress && isatty(2);
  int shown = -1;
  std::string title = Escaped(MixName[0] ? MixName : "mixFilename");
  auto Cancelled = [&] { return options.cancel && options.cancel->load(); };
  // The master stage of block b: submixes, reverbs, master, output, and
  // the point where each block is done (progress).
  auto Master = [&](long long b) {
    if (failed) return;
    const long long p0 = blockP0[b & 1];
    const int n = blockN[b & 1];
    float* const* S = buses[b & 1].data();
    // The directly routed channels and the channels' sends skip the submix
    // stage: they wait for it.
    memcpy(mL.data(), S[BUS_DIRECT], size_t(n) * sizeof(float));
    memcpy(mR.data(), S[BUS_DIRECT + 1], size_t(n) * sizeof(float));
    memcpy(rev.data(), S[BUS_REV], size_t(n) * sizeof(float));
    memcpy(trev.data(), S[BUS_TREV], size_t(n) * sizeof(float));
    directL.Run(mL.data(), n), directR.Run(mR.data(), n);
    chanRev.Run(rev.data(), n), chanTrev.Run(trev.data(), n);
    for (Group& grp : groups) {
      memcpy(gL.data(), S[BUS_GROUP + 2 * (grp.g - 1)], size_t(n) * sizeof(float));
      memcpy(gR.data(), S[BUS_GROUP + 2 * (grp.g - 1) + 1], size_t(n) * sizeof(float));
      if (grp.fx) FxChainProcess(grp.fx, gL.data(), gR.data(), n);
      grp.padL.Run(gL.data(), n), grp.padR.Run(gR.data(), n);
      const Level* lv = &grp.level;
      float* g = grp.gain.data();
      if (LevelGains(&lv, 1, p0 - dc - dg, n, g))
        for (int i = 1; i < n; i++) g[i] = g[0];
      for (int i = 0; i < n; i++) {
        float l = gL[i] * g[i], r = gR[i] * g[i];
        float x = 0.5f * (l + r);
        rev[i] += x * grp.rev;
        trev[i] += x * grp.trev;
        mL[i] += l * grp.balL;
        mR[i] += r * grp.balR;
      }
    }
    if (reverb) ReverbProcess(reverb, rev.data(), mL.data(), mR.data(), n);
    if (tapReverb) ReverbProcess(tapReverb, trev.data(), mL.data(), mR.data(), n);
    if (masterFx) FxChainProcess(masterFx, mL.data(), mR.data(), n);
    const Level* ml = &masterLevel;
    float* g = mGain.data();
    if (LevelGains(&ml, 1, p0 - D, n, g))
      for (int i = 1; i < n; i++) g[i] = g[0];
    for (int i = 0; i < n; i++) {
      mL[i] *= g[i] * masterBalL;
      mR[i] *= g[i] * masterBalR;
    }
    // Output: the frames of this block that fall inside [start, end).
    long long t0 = p0 - D;
    long long from = std::max(t0, start), to = std::min(t0 + n, end);
    if (from < to &&
        !WavWrite(&out, mL.data() + (from - t0), mR.data() + (from - t0), int(to - from),
                  head + from, &masterError)) {
      failed = true;
      return;
    }
    // The block is done.
    int pct = int(100.0 * double(p0 + n - pBegin) / double(pEnd - pBegin));
    if (options.percent) options.percent->store(pct);
    if (tty) {
      if (pct != shown) {
        shown = pct;
        fprintf(stderr, "\rrendering %s: %d%%", title.c_str(), pct);
        fflush(stderr);
      }
    }
  };

  Workers workers;
  workers.Start(nthreads);
  MasterStage master;
  if (pipelined) master.Start(Master);
  std::unique_ptr<std::atomic<int>[]> nextStrip(new std::atomic<int>[nthreads]);
  long long b = 0;
  for (long long p0 = pBegin; p0 < pEnd && ok && !failed && !Cancelled(); p0 += B, b++) {
    const int n = int(std::min<long long>(B, pEnd - p0));
    for (int w = 0; w < nthreads; w++) nextStrip[w] = 0;
    workers.Run([&](int w) {
      // Its own strips first (w, w + nthreads, ...), whose states stay in
      // its core's cache from block to block, then what is left of the
      // others'.
      const int ns = int(strips.size());
      for (int k = 0; k < nthreads; k++) {
        const int v = (w + k) % nthreads;
        for (int j; (j = nextStrip[v]++ * nthreads + v) < ns;) RunStrip(&strips[j], p0, n, dc);
      }
    });
    for (Strip& s : strips)
      if (s.failed && ok) {
        error = s.src->error;
        ok = false;
      }
    if (!ok) break;
    // The buses of block b were last read by the master stage at block b - 2.
    if (pipelined) master.Wait(b - 1);
    blockP0[b & 1] = p0;
    blockN[b & 1] = n;
    float* const* bus = buses[b & 1].data();
    const int slice = (n + nthreads - 1) / nthreads;
    workers.Run([&](int w) {
      int a = std::min(n, w * slice), e = std::min(n, a + slice);
      for (int k : busesUsed) std::fill(bus[k] + a, bus[k] + e, 0.0f);
      SumStrips(strips, bus, a, e);
    });
    if (pipelined) master.Submit();
    else Master(b);
  }
  if (pipelined) master.Wait(b);
  if (failed) {
    ok = false;
    error = masterError;
  }
  if (tty && shown >= 0) fputs("\n", stderr);
  if (ok && Cancelled()) ok = false, error = "render cancelled";
  if (ok) ok = WavFinish(&out, &error);
  else WavAbort(&out);
  ReportNonFinite(sources, report);
  if (!out.note.empty()) report->warnings.push_back(out.note);
  Cleanup();
  if (!ok) {
    errors->push_back(error);
    return EXIT_NOT_RENDERED;
  }
  report->output = path;
  report->frames = out.frames;
  report->rate = rate;
  report->channels = channels;
  report->bits = bits;
  report->peak = out.peak / (bits == 16 ? 32768.0 : 8388608.0);
  report->clipped = out.clipped;
  report->seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  return EXIT_RENDERED;
}
