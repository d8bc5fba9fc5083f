// Building blocks shared by the channel effects and the reverbs: biquad
// design and cascades, four-lane float helpers with fast log2 and exp2, a
// sliding maximum, a moving average, look-ahead delays, and a guard that
// flushes denormals while the effects run.
#ifndef VORLAX4_FX_DSP_H
#define VORLAX4_FX_DSP_H

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

// The helpers of the per-frame loops are always inlined, so that each loop
// is compiled for the instruction set of the function it lands in: the
// effects exist in a plain build and in one for processors with AVX2 and
// FMA, and a chain picks one when it is built.
#define FX_INLINE inline __attribute__((always_inline))
#if defined(__x86_64__) || defined(__i386__)
#define FX_TARGET_FMA __attribute__((target("avx2,fma")))
inline bool CpuHasFma() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }
#else
#define FX_TARGET_FMA
inline bool CpuHasFma() { return false; }
#endif

// Frames processed per pass inside the effects (scratch buffers hold this
// many); callers may hand any number of frames.
enum { FX_BLOCK = 256 };

// One second-order section, normalised (a0 = 1).
struct BiquadCoefs {
  double b0, b1, b2, a1, a2;
};

enum BiquadType { BQ_HIGHPASS, BQ_LOWPASS, BQ_LOWSHELF, BQ_PEAK, BQ_HIGHSHELF };

// The shelf, peaking and pass filters of the Audio EQ Cookbook. The
// frequency is held between 1 Hz and 0.45 x rate, Q and gain are used as
// given (the caller bounds them).
BiquadCoefs DesignBiquad(BiquadType type, double freq, double q, double gainDb, double rate);

// Up to five sections in series on a stereo signal, both sides at once,
// state in double. Running the sections together in one pass lets them
// overlap in the processor.
struct BiquadCascade {
  enum { MAX = 5 };
  int count = 0;
  BiquadCoefs c[MAX];
  double h[MAX + 1][2][2] = {};  // [stage][1 or 2 frames back][side]

  void Add(const BiquadCoefs& coefs) {
    if (count < MAX) c[count++] = coefs;
  }
  void Run(float* l, float* r, int n);
  FX_TARGET_FMA void RunFma(float* l, float* r, int n);
};

// Bounds a record value: a value that is not a number (a file may hold
// "nan") takes the fallback, then it is clamped into [lo, hi].
inline double Bounded(double v, double fallback, double lo, double hi) {
  if (!std::isfinite(v)) v = fallback;
  return v < lo ? lo : (v > hi ? hi : v);
}

// Four floats processed at once (SSE on x86, plain code elsewhere).
typedef float V4 __attribute__((vector_size(16)));
typedef int32_t V4i __attribute__((vector_size(16)));

FX_INLINE V4 Load4(const float* p) {
  V4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
FX_INLINE void Store4(float* p, V4 v) { std::memcpy(p, &v, sizeof v); }
// The first k (1..4) floats; the rest of the lanes are zero or dropped.
FX_INLINE V4 LoadN(const float* p, int k) {
  if (k == 4) return Load4(p);
  V4 v = {0, 0, 0, 0};
  std::memcpy(&v, p, k * sizeof(float));
  return v;
}
FX_INLINE void StoreN(float* p, V4 v, int k) {
  if (k == 4)
    Store4(p, v);
  else
    std::memcpy(p, &v, k * sizeof(float));
}
FX_INLINE V4 Splat4(float x) { return V4{x, x, x, x}; }
// Lanes of a where mask is set (all ones), else lanes of b.
FX_INLINE V4 Select4(V4i mask, V4 a, V4 b) { return (V4)((mask & (V4i)a) | (~mask & (V4i)b)); }
FX_INLINE V4 Max4(V4 a, V4 b) { return Select4(a > b, a, b); }
FX_INLINE V4 Min4(V4 a, V4 b) { return Select4(a < b, a, b); }
FX_INLINE V4 Abs4(V4 a) { return (V4)((V4i)a & 0x7fffffff); }

// log2 and exp2 to about 1e-5, branch-free, four lanes at a time, for the
// level detectors and gain computers.
FX_INLINE V4 FastLog2(V4 x) {
  V4i bits = (V4i)x;
  // Exponent and a mantissa in [0.75, 1.5), so that the series variable t
  // stays small.
  V4i e = ((bits >> 23) & 255) - 127;
  V4 m = (V4)((bits & 0x7fffff) | 0x3f800000);
  V4i big = m > 1.5f;
  m = Select4(big, m * 0.5f, m);
  e -= big;
  V4 t = (m - 1.0f) / (m + 1.0f);
  V4 t2 = t * t;
  // 2/ln2 * (t + t^3/3 + t^5/5 + t^7/7)
  V4 p = t * (2.8853900817779268f + t2 * (0.9617966939259756f +
              t2 * (0.5770780163555854f + t2 * 0.4121985831111324f)));
  return __builtin_convertvector(e, V4) + p;
}

FX_INLINE V4 FastExp2(V4 x) {
  x = Select4(x > -126.0f, x, Splat4(-126.0f));  // also takes NaN to -126
  x = Select4(x < 126.0f, x, Splat4(126.0f));
  V4i xi = __builtin_convertvector(x, V4i);  // toward zero
  V4 fl = __builtin_convertvector(xi, V4);
  V4i down = fl > x;                         // negative non-integers
  xi += down;
  fl += __builtin_convertvector(down, V4);
  V4 f = x - fl;
  // 2^f on [0, 1): Taylor series to f^6 (relative error below 2e-5, 2e-4 dB).
  V4 p = 1.0f + f * (0.6931471825f + f * (0.2402264923f + f * (0.0555041086f +
         f * (0.0096181291f + f * (0.0013333558f + f * 0.0001540353f)))));
  return p * (V4)((xi + 127) << 23);
}

inline float FastLog2(float x) { return FastLog2(Splat4(x))[0]; }
inline float FastExp2(float x) { return FastExp2(Splat4(x))[0]; }

// 20 log10(x) = 6.0206 log2(x); 10^(d / 20) = 2^(d x 0.16610).
const float kDbPerLog2 = 6.02059991f;
const float kLog2PerDb = 0.166096405f;

// Maximum over the last W values pushed, in O(1) per value without
// data-dependent branches: values are kept in segments of W; the answer is
// the larger of the running maximum of the current segment and the suffix
// maximum of the previous one.
struct SlidingMax {
  int w = 1;
  int fill = 0;          // position in the current segment
  float pre = 0;         // running maximum of the current segment
  std::vector<float> cur, suf;  // suf has w + 1 entries, suf[w] = 0

  void Init(int window) {
    w = window < 1 ? 1 : window;
    fill = 0;
    pre = 0;
    cur.assign(w, 0.0f);
    suf.assign(w + 1, 0.0f);
  }
  // Replaces v[0..n) by the window maxima ending at each value. Values are
  // levels (>= 0), so 0 stands for "nothing yet".
  FX_INLINE void Run(float* v, int n) {
    for (int i = 0; i < n;) {
      int k = w - fill;
      if (k > n - i) k = n - i;
      float p = pre;
      float* c = cur.data() + fill;
      const float* s = suf.data() + fill + 1;
      for (int j = 0; j < k; j++) {
        float x = v[i + j];
        c[j] = x;
        p = x > p ? x : p;
        v[i + j] = p > s[j] ? p : s[j];
      }
      pre = p;
      fill += k;
      i += k;
      if (fill == w) {
        float m = 0;
        for (int j = w - 1; j >= 0; j--) {
          m = cur[j] > m ? cur[j] : m;
          suf[j] = m;
        }
        fill = 0;
        pre = 0;
      }
    }
  }
};

// Delay of len frames done in place: x[i] leaves with the value pushed len
// frames before and the ring keeps the newest len values.
FX_INLINE void DelaySwap(float* ring, int len, int& pos, float* x, int n) {
  for (int i = 0; i < n;) {
    int k = len - pos;
    if (k > n - i) k = n - i;
    float* r = ring + pos;
    float* y = x + i;
    for (int j = 0; j < k; j++) {
      float t = r[j];
      r[j] = y[j];
      y[j] = t;
    }
    pos += k;
    if (pos == len) pos = 0;
    i += k;
  }
}

// Both sides delayed by len frames (rings rl, rr) and multiplied by g, the
// result held within -limit .. limit.
FX_INLINE void DelayGain(float* rl, float* rr, int len, int& pos, float* l, float* r,
                      const float* g, int n, float limit) {
  V4 hi = Splat4(limit), lo = -hi;
  for (int i = 0; i < n;) {
    int k = len - pos;
    if (k > n - i) k = n - i;
    for (int j = 0; j < k; j += 4) {
      int m = k - j < 4 ? k - j : 4;
      V4 gain = LoadN(g + i + j, m);
      V4 a = LoadN(rl + pos + j, m), b = LoadN(rr + pos + j, m);
      StoreN(rl + pos + j, LoadN(l + i + j, m), m);
      StoreN(rr + pos + j, LoadN(r + i + j, m), m);
      StoreN(l + i + j, Min4(Max4(a * gain, lo), hi), m);
      StoreN(r + i + j, Min4(Max4(b * gain, lo), hi), m);
    }
    pos += k;
    if (pos == len) pos = 0;
    i += k;
  }
}

// Mean of the last len values, replacing each value by the mean up to it.
// The running sum is in double and recomputed exactly every 64 rounds, so
// rounding never accumulates.
struct MovingAverage {
  std::vector<float> ring;
  int len = 1, pos = 0, rounds = 0;
  double sum = 0;

  void Init(int n, float fill) {
    len = n < 1 ? 1 : n;
    ring.assign(len, fill);
    pos = rounds = 0;
    sum = (double)fill * len;
  }
  FX_INLINE void Run(float* v, int n) {
    double s = sum, inv = 1.0 / len;
    float* r = ring.data();
    for (int i = 0; i < n;) {
      int k = len - pos;
      if (k > n - i) k = n - i;
      float* rp = r + pos;
      float* vp = v + i;
      for (int j = 0; j < k; j++) {
        float x = vp[j];
        s += (double)x - rp[j];
        rp[j] = x;
        vp[j] = (float)(s * inv);
      }
      pos += k;
      i += k;
      if (pos == len) {
        pos = 0;
        if (++rounds == 64) {
          rounds = 0;
          s = 0;
          for (int j = 0; j < len; j++) s += r[j];
        }
      }
    }
    sum = s;
  }
};

// Flushes denormals to zero while in scope (decaying filter states and
// reverb tails would otherwise slow down by orders of magnitude) and puts
// the caller's floating-point mode back afterwards.
struct DenormalGuard {
#if defined(__SSE__)
  unsigned int saved;
  DenormalGuard() : saved(_mm_getcsr()) { _mm_setcsr(saved | 0x8040); }
  ~DenormalGuard() { _mm_setcsr(saved); }
#endif
};

#endif
