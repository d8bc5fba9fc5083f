// The two global reverbs. Both read their settings from the model when
// they are built and stay stable at every setting: the reverb's loops all
// have gains below one, the tap reverb has no loop at all.
//
// Reverb: a room L x 0.62 L x 0.38 L feet with Sabine's decay time; six
// first-order reflections of a listener at the position, each delayed by
// its path at 1125 ft/s and attenuated with distance beyond a quarter of
// the mean free path; a late tail, starting with the first reflection, of
// parallel feedback combs with a low pass in each loop and allpasses in
// series, every delay scaled with the room's mean free path and every
// comb's feedback set so that the lows fall 60 dB in the decay time (the
// highs a little sooner); left and right use different delays, and the
// width mixes them from mono to fully apart; the optional high and low pass
// act on the return.
//
// Tap reverb: N taps spread evenly over two traversals of its room, each
// falling 60 dB over the room's decay time, alternating left and right.
#include <algorithm>
#include <cmath>
#include <vector>

#include "fx.h"
#include "fx_dsp.h"
#include "model/model.h"

enum { COMBS = 8, ALLPASSES = 4 };

// Comb and allpass lengths in mean free paths; the right side's are longer
// by kSpread.
static const double kCombLength[COMBS] = {0.810, 0.862, 0.927, 0.984,
                                          1.032, 1.082, 1.130, 1.173};
static const double kAllpassLength[ALLPASSES] = {0.403, 0.320, 0.247, 0.163};
static const double kSpread = 0.0167;
static const double kSpeed = 1125.0;       // ft/s
static const double kAbsorption = 0.3;     // mean absorption of the surfaces
static const double kRefPaths = 0.25;      // full level up to this many mean free paths
static const double kLateEnergy = 0.25;    // energy of the tail's impulse response
// The low pass in each comb's loop makes the highest frequencies decay
// kDampFaster times as fast as the lowest (air and walls absorb highs more).
static const double kDampFaster = 1.3;
static const float kAllpassGain = 0.5f;

struct DelayLine {
  std::vector<float> buf;
  int pos = 0;
  void Init(int len) {
    buf.assign(std::max(1, len), 0.0f);
    pos = 0;
  }
  int Length() const { return (int)buf.size(); }
};

struct Comb {
  DelayLine d;
  float fb = 0;
  double lp = 0;  // low-pass state
};

struct Tap {
  int delay;
  float gl, gr;
};

struct ReverbUnit {
  bool late = false;            // false: the tap reverb
  float ret = 1;                // return gain
  std::vector<float> hist;      // the send, for reflections and taps
  int hmask = 0, hpos = 0;
  std::vector<Tap> taps;
  Comb comb[2][COMBS];
  DelayLine ap[2][ALLPASSES];
  float inGain = 0, damp = 0;
  int lateDelay = 0;            // the tail starts with the first reflection
  float wa = 1, wb = 0;         // width: own side, other side
  BiquadCascade filters;        // high and low pass of the return
  float l[FX_BLOCK], r[FX_BLOCK], tl[FX_BLOCK], tr[FX_BLOCK];
};

// Sabine's decay time in seconds of the room of length len feet.
static double DecayTime(double len) {
  double w = 0.62 * len, h = 0.38 * len;
  double volume = len * w * h;
  double surface = 2.0 * (len * w + len * h + w * h);
  return 0.049 * volume / (kAbsorption * surface);
}

static double MeanFreePath(double len) {
  double w = 0.62 * len, h = 0.38 * len;
  return 4.0 * len * w * h / (2.0 * (len * w + len * h + w * h));
}

// Pole p of the one-pole low pass (1 - p) / (1 - p z^-1) in a comb loop of
// feedback fb such that at half the rate the loop loses kDampFaster times
// the decibels it loses at the lowest frequencies; in between the loss
// grows smoothly, so the highs die first (a broadband tail measures about
// a tenth short of the decay time, the lows exactly on it).
static double LoopPole(double fb) {
  double lossDb = -20.0 * std::log10(fb) * (kDampFaster - 1.0);
  double g = std::pow(10.0, -lossDb / 20.0);  // gain of the low pass at half the rate
  return (1.0 - g) / (1.0 + g);
}

static bool SendOn(int fx) {
  for (int slot = 1; slot < NUM_FX_SLOTS; slot++)
    if (Effects[fx].table[slot * REC] == 1.0f) return true;
  return false;
}

static float ReturnGain(float db) {
  double v = Bounded(db, 0, -144, 24);
  return v <= -144 ? 0.0f : (float)std::pow(10.0, v / 20.0);
}

static void InitHistory(ReverbUnit* u) {
  int longest = 0;
  for (const Tap& t : u->taps) longest = std::max(longest, t.delay);
  int size = 1;
  while (size < longest + FX_BLOCK + 1) size *= 2;
  u->hist.assign(size, 0.0f);
  u->hmask = size - 1;
}

ReverbUnit* ReverbCreate(double rate) {
  if (!(rate > 0) || !SendOn(FX_REV)) return nullptr;
  ReverbUnit* u = new ReverbUnit;
  u->late = true;
  u->ret = ReturnGain(Prtn[0]);
  double len = Bounded(Prtn[1], 150, 5, 5000);
  double dims[3] = {len, 0.62 * len, 0.38 * len};
  double t60 = DecayTime(len);

  // Early reflections: the listener's images in the walls either side of
  // it along each dimension; the left wall's goes left, the right wall's
  // right, the others to both.
  static const double kPositionDefault[3] = {37, 39, 43};
  double reflect = std::sqrt(1.0 - kAbsorption);
  double near = kRefPaths * MeanFreePath(len);
  for (int axis = 0; axis < 3; axis++) {
    double p = Bounded(Prev_position[axis], kPositionDefault[axis], 0, 100) / 100.0;
    for (int side = 0; side < 2; side++) {
      double dist = 2.0 * (side ? 1.0 - p : p) * dims[axis];
      float g = (float)(reflect * near / std::max(dist, near));
      Tap t;
      t.delay = (int)std::lround(dist / kSpeed * rate);
      t.gl = axis == 1 && side == 1 ? 0.0f : g;
      t.gr = axis == 1 && side == 0 ? 0.0f : g;
      u->taps.push_back(t);
    }
  }
  InitHistory(u);

  // Late tail.
  u->lateDelay = u->taps[0].delay;
  for (const Tap& t : u->taps) u->lateDelay = std::min(u->lateDelay, t.delay);
  double path = MeanFreePath(len) / kSpeed * rate;  // frames
  double pole = LoopPole(std::pow(10.0, -3.0 * path / (t60 * rate)));
  u->damp = (float)pole;
  double energy = 0;
  for (int s = 0; s < 2; s++) {
    for (int k = 0; k < COMBS; k++) {
      Comb& c = u->comb[s][k];
      int frames = (int)std::lround(path * (kCombLength[k] + s * kSpread)) + s;
      c.d.Init(frames);
      double perPass = std::pow(10.0, -3.0 * c.d.Length() / (t60 * rate));
      c.fb = (float)perPass;
      if (s == 0) energy += 1.0 / (1.0 - perPass * perPass);
    }
    for (int k = 0; k < ALLPASSES; k++)
      u->ap[s][k].Init((int)std::lround(path * (kAllpassLength[k] + s * kSpread)) + s);
  }
  u->inGain = (float)std::sqrt(kLateEnergy / energy);

  double width = Bounded(Prev_width, 50, 0, 100) / 100.0;
  u->wa = (float)((1.0 + width) / 2.0);
  u->wb = (float)((1.0 - width) / 2.0);
  const double butterworth = 0.70710678118654752;  // Q of a second-order Butterworth
  if (Prhp[0] == 1.0f)
    u->filters.Add(DesignBiquad(BQ_HIGHPASS, Bounded(Prhp[1], 150, 1, 1e6), butterworth, 0, rate));
  if (Prlp[0] == 1.0f)
    u->filters.Add(DesignBiquad(BQ_LOWPASS, Bounded(Prlp[1], 7000, 1, 1e6), butterworth, 0, rate));
  return u;
}

ReverbUnit* TapReverbCreate(double rate) {
  if (!(rate > 0) || !SendOn(FX_TREV)) return nullptr;
  ReverbUnit* u = new ReverbUnit;
  u->ret = ReturnGain(Ptrtn[0]);
  double len = Bounded(Ptrtn[1], 150, 5, 5000);
  int count = (int)std::lround(Bounded(Ptrtn[2], 5, 1, 64));
  double t60 = DecayTime(len);
  double span = 2.0 * len / kSpeed;  // seconds
  for (int i = 0; i < count; i++) {
    double t = span * (i + 1) / count;
    float g = (float)std::pow(10.0, -3.0 * t / t60);
    Tap tap;
    tap.delay = (int)std::lround(t * rate);
    // A lone tap sits in the middle rather than on one side.
    tap.gl = count == 1 ? g * 0.70710678f : (i % 2 == 0 ? g : 0.0f);
    tap.gr = count == 1 ? g * 0.70710678f : (i % 2 == 1 ? g : 0.0f);
    u->taps.push_back(tap);
  }
  InitHistory(u);
  return u;
}

// The combs of one side over the block, all at once so that their low-pass
// loops overlap in the processor: out receives the sum of their outputs.
// Runs are cut where any delay line wraps, so the inner loop has no test.
static void RunCombs(Comb* comb, float damp, const float* in, float* out, int n) {
  float* buf[COMBS];
  int pos[COMBS];
  double lp[COMBS];
  for (int k = 0; k < COMBS; k++) {
    buf[k] = comb[k].d.buf.data();
    pos[k] = comb[k].d.pos;
    lp[k] = comb[k].lp;
  }
  const double d = damp, ud = 1.0 - damp;
  for (int i = 0; i < n;) {
    int run = n - i;
    for (int k = 0; k < COMBS; k++) run = std::min(run, comb[k].d.Length() - pos[k]);
    for (int j = i; j < i + run; j++) {
      float acc = 0, x = in[j];
#pragma GCC unroll 8
      for (int k = 0; k < COMBS; k++) {
        float* p = buf[k] + pos[k] + (j - i);
        float y = *p;
        lp[k] = ud * y + d * lp[k];
        *p = x + comb[k].fb * (float)lp[k];
        acc += y;
      }
      out[j] = acc;
    }
    for (int k = 0; k < COMBS; k++) {
      pos[k] += run;
      if (pos[k] == comb[k].d.Length()) pos[k] = 0;
    }
    i += run;
  }
  for (int k = 0; k < COMBS; k++) {
    comb[k].d.pos = pos[k];
    comb[k].lp = lp[k];
  }
}

// Schroeder allpass in place.
static void RunAllpass(DelayLine& d, float* x, int n) {
  float* buf = d.buf.data();
  int len = d.Length(), pos = d.pos;
  const float g = kAllpassGain;
  for (int i = 0; i < n; i++) {
    float delayed = buf[pos];
    float w = x[i] + g * delayed;
    buf[pos] = w;
    if (++pos == len) pos = 0;
    x[i] = delayed - g * w;
  }
  d.pos = pos;
}

// out[i] += g x[i], four at a time; nothing when g is 0.
static void AddScaled(const float* x, float g, float* out, int n) {
  if (g == 0.0f) return;
  V4 vg = Splat4(g);
  for (int i = 0; i < n; i += 4) {
    int m = std::min(4, n - i);
    StoreN(out + i, LoadN(out + i, m) + vg * LoadN(x + i, m), m);
  }
}

static void RunBlock(ReverbUnit* u, const float* in, float* outL, float* outR, int n) {
  float* hist = u->hist.data();
  int mask = u->hmask, hpos = u->hpos;
  for (int i = 0; i < n; i++) hist[(hpos + i) & mask] = in[i];
  float* l = u->l;
  float* r = u->r;
  std::fill(l, l + n, 0.0f);
  std::fill(r, r + n, 0.0f);
  for (const Tap& t : u->taps) {
    // At most two runs: up to the end of the history ring, then from its start.
    int start = (hpos - t.delay) & mask;
    for (int i = 0; i < n;) {
      int k = std::min(n - i, mask + 1 - start);
      AddScaled(hist + start, t.gl, l + i, k);
      AddScaled(hist + start, t.gr, r + i, k);
      i += k;
      start = (start + k) & mask;
    }
  }
  if (u->late) {
    float* feed = u->tl;
    float* late = u->tr;
    int start = (hpos - u->lateDelay) & mask;
    for (int i = 0; i < n; i++) feed[i] = u->inGain * hist[(start + i) & mask];
    float* side[2] = {l, r};
    for (int s = 0; s < 2; s++) {
      RunCombs(u->comb[s], u->damp, feed, late, n);
      for (int k = 0; k < ALLPASSES; k++) RunAllpass(u->ap[s][k], late, n);
      float* o = side[s];
      for (int i = 0; i < n; i++) o[i] += late[i];
    }
    float wa = u->wa, wb = u->wb;
    if (wa == wb) {
      // Width 0: one signal for both sides, bit for bit.
      for (int i = 0; i < n; i++) l[i] = r[i] = wa * (l[i] + r[i]);
    } else {
      for (int i = 0; i < n; i++) {
        float a = l[i], b = r[i];
        l[i] = wa * a + wb * b;
        r[i] = wa * b + wb * a;
      }
    }
    u->filters.Run(l, r, n);
  }
  u->hpos = (hpos + n) & mask;
  float g = u->ret;
  for (int i = 0; i < n; i++) {
    outL[i] += g * l[i];
    outR[i] += g * r[i];
  }
}

void ReverbProcess(ReverbUnit* unit, const float* in, float* outL, float* outR, int frames) {
  if (!unit) return;
  DenormalGuard guard;
  for (int off = 0; off < frames; off += FX_BLOCK) {
    int n = std::min((int)FX_BLOCK, frames - off);
    RunBlock(unit, in + off, outL + off, outR + off, n);
  }
}

void ReverbDestroy(ReverbUnit* unit) { delete unit; }
