// The channel effects. One table lists the effects in the order a chain
// runs them; a chain is built from a slot's records by walking that table
// and keeps only the effects that are on. Every effect processes whole
// blocks; the filters that follow one another (high pass to high shelf) run
// as one cascade so that the five sections overlap in the processor.
#include "fx.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "fx_dsp.h"
#include "model/model.h"

struct FxStage {
  void (*process)(FxStage* stage, float* l, float* r, int n, float* scratch) = nullptr;
  void (*destroy)(FxStage* stage) = nullptr;
  int latency = 0;  // frames of look-ahead
};

// Value of slot k of record rec of effect fx, bounded (a value that is not a
// number takes the effect's default).
static double Arg(int fx, const float* rec, int k, double lo, double hi) {
  return Bounded(rec[k], Effects[fx].defaults[k], lo, hi);
}

// ---------------------------------------------------------------- filters

static BiquadCoefs HighPassCoefs(int fx, const float* rec, double rate) {
  return DesignBiquad(BQ_HIGHPASS, Arg(fx, rec, 1, 1, 1e6), 0.70710678118654752, 0, rate);
}
static BiquadCoefs ShelfOrBand(BiquadType type, int fx, const float* rec, double rate) {
  return DesignBiquad(type, Arg(fx, rec, 1, 1, 1e6), Arg(fx, rec, 3, 0.01, 100),
                      Arg(fx, rec, 2, -48, 48), rate);
}
static BiquadCoefs LowShelfCoefs(int fx, const float* rec, double rate) {
  return ShelfOrBand(BQ_LOWSHELF, fx, rec, rate);
}
static BiquadCoefs BandCoefs(int fx, const float* rec, double rate) {
  return ShelfOrBand(BQ_PEAK, fx, rec, rate);
}
static BiquadCoefs HighShelfCoefs(int fx, const float* rec, double rate) {
  return ShelfOrBand(BQ_HIGHSHELF, fx, rec, rate);
}

struct EqStage : FxStage {
  BiquadCascade eq;
};

static void EqPlain(FxStage* stage, float* l, float* r, int n, float*) {
  static_cast<EqStage*>(stage)->eq.Run(l, r, n);
}
static void EqFma(FxStage* stage, float* l, float* r, int n, float*) {
  static_cast<EqStage*>(stage)->eq.RunFma(l, r, n);
}

// ------------------------------------------------------------ compressors
//
// The compressors and the limiter work in passes over a block: levels of
// four frames at a time, then the one recursive smoothing, then the gains of
// four frames at a time. red (the chain's scratch) holds FX_BLOCK values,
// so passes over it may round n up to a multiple of four.

typedef double V2 __attribute__((vector_size(16)));  // left, right

// red[i] = max(|l[i]|, |r[i]|).
static FX_INLINE void PeakLevels(const float* l, const float* r, float* red, int n) {
  for (int i = 0; i < n; i += 4) {
    int k = std::min(4, n - i);
    StoreN(red + i, Max4(Abs4(LoadN(l + i, k)), Abs4(LoadN(r + i, k))), k);
  }
}

// The static curve as gain reduction in dB: 0 below the threshold, the
// excess times (1 - 1 / ratio) above. dbPerLog2 is 6.02 for levels, half
// that for mean squares.
static FX_INLINE void Reductions(float* red, int n, float thr, float slope, float dbPerLog2) {
  V4 zero = Splat4(0);
  for (int i = 0; i < n; i += 4) {
    V4 over = dbPerLog2 * FastLog2(Load4(red + i)) - thr;
    Store4(red + i, Max4(over, zero) * slope);
  }
}

// Applies the reductions red[0..n) (dB) to both sides.
static FX_INLINE void ApplyReduction(const float* red, float* l, float* r, int n) {
  for (int i = 0; i < n; i += 4) {
    int k = std::min(4, n - i);
    V4 g = FastExp2(Load4(red + i) * -kLog2PerDb);
    StoreN(l + i, LoadN(l + i, k) * g, k);
    StoreN(r + i, LoadN(r + i, k) * g, k);
  }
}

static FX_INLINE bool AllZero(const float* v, int n) {
  float m = 0;
  for (int i = 0; i < n; i++) m = v[i] > m ? v[i] : m;
  return m == 0.0f;
}

struct CompStage : FxStage {
  bool rms = false;
  float thr = 0, slope = 0;  // threshold dB, 1 - 1 / ratio
  double ca = 0, cr = 0;     // attack and release coefficients
  double s = 0;              // smoothed reduction, dB
  double cms = 0;            // RMS window coefficient
  V2 ms = {0, 0};            // mean squares
};

// The one-pole smoothing of the reduction: the attack coefficient while the
// reduction grows, the release one while it shrinks. Of the two candidate
// next values the attack one is the larger exactly when the reduction grows
// (for an attack faster than the release; the smaller otherwise), so the
// choice needs no branch.
static FX_INLINE double Smooth(float* red, int n, double s, double ca, double cr) {
  double ua = 1.0 - ca, ur = 1.0 - cr;
  if (ca <= cr) {
    for (int i = 0; i < n; i++) {
      double g = red[i];
      s = std::max(ca * s + ua * g, cr * s + ur * g);
      red[i] = (float)s;
    }
  } else {
    for (int i = 0; i < n; i++) {
      double g = red[i];
      s = std::min(ca * s + ua * g, cr * s + ur * g);
      red[i] = (float)s;
    }
  }
  return s;
}

// The mean squares of both sides through the one-pole window c, the larger
// of the two into lvl. Four frames at a time: within a group the partial
// sums do not depend on the state, so the recursion that runs from group to
// group is one step per four frames.
static FX_INLINE V2 MeanSquares(const float* l, const float* r, float* lvl, int n, V2 ms,
                                double c) {
  double u = 1.0 - c;
  V2 vc = {c, c}, vu = {u, u}, c4 = vc * vc * vc * vc;
  V2 cp[4] = {vc, vc * vc, vc * vc * vc, c4};
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    V2 w[4];
    V2 acc = {0, 0};
    for (int k = 0; k < 4; k++) {
      V2 x = {l[i + k], r[i + k]};
      acc = vc * acc + vu * (x * x);
      w[k] = acc;
    }
    for (int k = 0; k < 3; k++) {
      V2 y = cp[k] * ms + w[k];
      lvl[i + k] = (float)std::max(y[0], y[1]);
    }
    ms = c4 * ms + w[3];
    lvl[i + 3] = (float)std::max(ms[0], ms[1]);
  }
  for (; i < n; i++) {
    V2 x = {l[i], r[i]};
    ms = vc * ms + vu * (x * x);
    lvl[i] = (float)std::max(ms[0], ms[1]);
  }
  return ms;
}

static FX_INLINE void Comp(FxStage* stage, float* l, float* r, int n, float* red) {
  CompStage* st = static_cast<CompStage*>(stage);
  if (st->rms) {
    st->ms = MeanSquares(l, r, red, n, st->ms, st->cms);
    Reductions(red, n, st->thr, st->slope, 0.5f * kDbPerLog2);
  } else {
    PeakLevels(l, r, red, n);
    Reductions(red, n, st->thr, st->slope, kDbPerLog2);
  }
  // Fully released and nothing over the threshold: the block passes as is.
  if (st->s < 1e-6 && AllZero(red, n)) {
    st->s = 0;
    return;
  }
  st->s = Smooth(red, n, st->s, st->ca, st->cr);
  ApplyReduction(red, l, r, n);
}

// exp(-1 / (time x rate)), time in ms; 0 for no smoothing.
static double Coefficient(double ms, double rate) {
  double frames = ms * 0.001 * rate;
  return frames > 0 ? std::exp(-1.0 / frames) : 0.0;
}

static FxStage* CreateComp(int fx, const float* rec, double rate) {
  CompStage* st = new CompStage;
  st->rms = fx == FX_RMS;
  st->thr = (float)Arg(fx, rec, 1, -120, 24);
  st->ca = Coefficient(Arg(fx, rec, 2, 0, 10000), rate);
  st->cr = Coefficient(Arg(fx, rec, 3, 0, 60000), rate);
  st->slope = (float)(1.0 - 1.0 / Arg(fx, rec, 4, 1, 1000));
  st->cms = Coefficient(20.0, rate);
  return st;
}

// Non-linear compressor: the reduction comes from the largest level of the
// next N frames and is averaged over N frames, the audio delayed by N.
struct NlcStage : FxStage {
  int n = 1;
  float thr = 0, slope = 0;
  SlidingMax peak;                 // over N + 1 frames
  MovingAverage avg;               // over N frames
  std::vector<float> dl, dr;       // audio delay of N frames
  int dpos = 0;
};

static FX_INLINE void Nlc(FxStage* stage, float* l, float* r, int n, float* red) {
  NlcStage* st = static_cast<NlcStage*>(stage);
  PeakLevels(l, r, red, n);
  st->peak.Run(red, n);
  Reductions(red, n, st->thr, st->slope, kDbPerLog2);
  st->avg.Run(red, n);
  float m = 0;
  for (int i = 0; i < n; i++) m = red[i] > m ? red[i] : m;
  if (m <= 1e-9f) {
    int dpos = st->dpos;
    DelaySwap(st->dl.data(), st->n, dpos, l, n);
    DelaySwap(st->dr.data(), st->n, st->dpos, r, n);
    return;
  }
  for (int i = 0; i < n; i += 4) Store4(red + i, FastExp2(Load4(red + i) * -kLog2PerDb));
  DelayGain(st->dl.data(), st->dr.data(), st->n, st->dpos, l, r, red, n, INFINITY);
}

static FxStage* CreateNlc(int fx, const float* rec, double) {
  NlcStage* st = new NlcStage;
  st->thr = (float)Arg(fx, rec, 1, -120, 24);
  st->n = (int)std::lround(Arg(fx, rec, 2, 1, 96000));
  st->slope = (float)(1.0 - 1.0 / Arg(fx, rec, 3, 1, 1000));
  st->latency = st->n;
  st->peak.Init(st->n + 1);
  st->avg.Init(st->n, 0.0f);
  st->dl.assign(st->n, 0.0f);
  st->dr.assign(st->n, 0.0f);
  return st;
}

// ------------------------------------------------------- gain and limiter

struct GainStage : FxStage {
  float g = 1;
};

static FX_INLINE void Gain(FxStage* stage, float* l, float* r, int n, float*) {
  float g = static_cast<GainStage*>(stage)->g;
  for (int i = 0; i < n; i++) {
    l[i] *= g;
    r[i] *= g;
  }
}

static FxStage* CreateGain(int fx, const float* rec, double) {
  GainStage* st = new GainStage;
  st->g = (float)std::pow(10.0, Arg(fx, rec, 1, -144, 48) / 20.0);
  return st;
}

// Limiter: the gain that holds the largest level of the next 1.5 ms at the
// threshold, released over 50 ms and averaged over the look-ahead, so the
// gain is down before the peak arrives; the averaged gain at each frame is
// at most the gain that frame needs.
struct LimStage : FxStage {
  int la = 1;                      // look-ahead frames
  float thr = 1;                   // linear
  SlidingMax peak;                 // over la + 1 frames
  double crel = 0, env = 1;
  MovingAverage avg;               // over la + 1 frames
  std::vector<float> dl, dr;
  int dpos = 0;
};

static FX_INLINE void Lim(FxStage* stage, float* l, float* r, int n, float* g) {
  LimStage* st = static_cast<LimStage*>(stage);
  PeakLevels(l, r, g, n);
  st->peak.Run(g, n);
  V4 vthr = Splat4(st->thr), one = Splat4(1);
  for (int i = 0; i < n; i += 4) {
    V4 p = Load4(g + i);
    Store4(g + i, Select4(p > vthr, vthr / Max4(p, vthr), one));
  }
  double env = st->env, c = st->crel, u = 1.0 - c;
  for (int i = 0; i < n; i++) {
    // Down at once, up at the release rate: min(h, h + c (env - h)).
    double h = g[i];
    env = std::min(h, c * env + u * h);
    g[i] = (float)env;
  }
  st->env = env;
  st->avg.Run(g, n);
  // The clamp only catches the last rounding of the gain product.
  DelayGain(st->dl.data(), st->dr.data(), st->la, st->dpos, l, r, g, n, st->thr);
}

static FxStage* CreateLimiter(int fx, const float* rec, double rate) {
  LimStage* st = new LimStage;
  st->thr = (float)std::pow(10.0, Arg(fx, rec, 1, -120, 24) / 20.0);
  st->la = std::max(1, (int)std::lround(0.0015 * rate));
  st->latency = st->la;
  st->crel = Coefficient(50.0, rate);
  st->peak.Init(st->la + 1);
  st->avg.Init(st->la + 1, 1.0f);
  st->dl.assign(st->la, 0.0f);
  st->dr.assign(st->la, 0.0f);
  return st;
}

// ------------------------------------------------------------------ chain

// Each effect's process in its two builds.
#define FX_BUILDS(Body)                                                           \
  static void Body##Plain(FxStage* s, float* l, float* r, int n, float* t) {      \
    Body(s, l, r, n, t);                                                          \
  }                                                                               \
  FX_TARGET_FMA static void Body##Fma(FxStage* s, float* l, float* r, int n, float* t) { \
    Body(s, l, r, n, t);                                                          \
  }
FX_BUILDS(Comp)
FX_BUILDS(Nlc)
FX_BUILDS(Gain)
FX_BUILDS(Lim)
#undef FX_BUILDS

template <class T>
static void DestroyStage(FxStage* stage) {
  delete static_cast<T*>(stage);
}

// One row per effect in the order the chain runs them: a filter gives its
// section, any other effect builds its stage.
struct FxKind {
  int fx;  // index into Effects[]
  BiquadCoefs (*section)(int fx, const float* rec, double rate);
  FxStage* (*create)(int fx, const float* rec, double rate);
  void (*process[2])(FxStage*, float*, float*, int, float*);  // plain, AVX2 and FMA
  void (*destroy)(FxStage*);
};

static const FxKind kChainOrder[] = {
    {FX_HP, HighPassCoefs, nullptr, {nullptr, nullptr}, nullptr},
    {FX_LSHELF, LowShelfCoefs, nullptr, {nullptr, nullptr}, nullptr},
    {FX_BAND1, BandCoefs, nullptr, {nullptr, nullptr}, nullptr},
    {FX_BAND2, BandCoefs, nullptr, {nullptr, nullptr}, nullptr},
    {FX_HSHELF, HighShelfCoefs, nullptr, {nullptr, nullptr}, nullptr},
    {FX_COMP, nullptr, CreateComp, {CompPlain, CompFma}, DestroyStage<CompStage>},
    {FX_RMS, nullptr, CreateComp, {CompPlain, CompFma}, DestroyStage<CompStage>},
    {FX_NLC, nullptr, CreateNlc, {NlcPlain, NlcFma}, DestroyStage<NlcStage>},
    {FX_FXG, nullptr, CreateGain, {GainPlain, GainFma}, DestroyStage<GainStage>},
    {FX_LIM, nullptr, CreateLimiter, {LimPlain, LimFma}, DestroyStage<LimStage>},
};
enum { CHAIN_KINDS = sizeof kChainOrder / sizeof kChainOrder[0] };

struct FxChain {
  FxStage* stages[CHAIN_KINDS];
  int count = 0;
  int latency = 0;
  float scratch[FX_BLOCK] = {};
  float right[FX_BLOCK] = {};  // the right side when a mono block is passed twice
};

static bool forcePlain = false;

void FxForcePlainBuild(bool plain) { forcePlain = plain; }

FxChain* FxChainCreate(int slot, double rate) {
  if (slot < 0 || slot >= NUM_FX_SLOTS || !(rate > 0)) return nullptr;
  int build = CpuHasFma() && !forcePlain ? 1 : 0;
  FxChain* chain = nullptr;
  EqStage* eq = nullptr;  // the cascade being filled
  for (const FxKind& kind : kChainOrder) {
    const float* rec = Effects[kind.fx].table + slot * REC;
    if (rec[0] != 1.0f) continue;
    if (!chain) chain = new FxChain;
    if (kind.section) {
      if (!eq) {
        eq = new EqStage;
        eq->process = build ? EqFma : EqPlain;
        eq->destroy = DestroyStage<EqStage>;
        eq->latency = 0;
        chain->stages[chain->count++] = eq;
      }
      eq->eq.Add(kind.section(kind.fx, rec, rate));
      continue;
    }
    eq = nullptr;
    FxStage* st = kind.create(kind.fx, rec, rate);
    st->process = kind.process[build];
    st->destroy = kind.destroy;
    chain->latency += st->latency;
    chain->stages[chain->count++] = st;
  }
  return chain;
}

int FxChainLatency(const FxChain* chain) { return chain ? chain->latency : 0; }

void FxChainProcess(FxChain* chain, float* left, float* right, int frames) {
  if (!chain) return;
  DenormalGuard guard;
  for (int off = 0; off < frames; off += FX_BLOCK) {
    int n = std::min((int)FX_BLOCK, frames - off);
    float* l = left + off;
    float* r = right + off;
    if (left == right) {
      std::copy(l, l + n, chain->right);
      r = chain->right;
    }
    for (int s = 0; s < chain->count; s++) {
      FxStage* st = chain->stages[s];
      st->process(st, l, r, n, chain->scratch);
    }
  }
}

void FxChainDestroy(FxChain* chain) {
  if (!chain) return;
  for (int s = 0; s < chain->count; s++) chain->stages[s]->destroy(chain->stages[s]);
  delete chain;
}
