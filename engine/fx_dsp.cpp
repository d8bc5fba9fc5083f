#include "fx_dsp.h"

BiquadCoefs DesignBiquad(BiquadType type, double freq, double q, double gainDb, double rate) {
  const double kPi = 3.14159265358979323846;
  double top = 0.45 * rate;
  if (!(freq >= 1.0)) freq = 1.0;
  if (freq > top) freq = top;
  double w0 = 2.0 * kPi * freq / rate;
  double cs = std::cos(w0), sn = std::sin(w0);
  double alpha = sn / (2.0 * q);
  double a = std::pow(10.0, gainDb / 40.0);
  double sq = 2.0 * std::sqrt(a) * alpha;
  double b0, b1, b2, a0, a1, a2;
  switch (type) {
    case BQ_HIGHPASS:
      b0 = (1.0 + cs) / 2.0; b1 = -(1.0 + cs); b2 = b0;
      a0 = 1.0 + alpha; a1 = -2.0 * cs; a2 = 1.0 - alpha;
      break;
    case BQ_LOWPASS:
      b0 = (1.0 - cs) / 2.0; b1 = 1.0 - cs; b2 = b0;
      a0 = 1.0 + alpha; a1 = -2.0 * cs; a2 = 1.0 - alpha;
      break;
    case BQ_LOWSHELF:
      b0 = a * ((a + 1.0) - (a - 1.0) * cs + sq);
      b1 = 2.0 * a * ((a - 1.0) - (a + 1.0) * cs);
      b2 = a * ((a + 1.0) - (a - 1.0) * cs - sq);
      a0 = (a + 1.0) + (a - 1.0) * cs + sq;
      a1 = -2.0 * ((a - 1.0) + (a + 1.0) * cs);
      a2 = (a + 1.0) + (a - 1.0) * cs - sq;
      break;
    case BQ_HIGHSHELF:
      b0 = a * ((a + 1.0) + (a - 1.0) * cs + sq);
      b1 = -2.0 * a * ((a - 1.0) + (a + 1.0) * cs);
      b2 = a * ((a + 1.0) + (a - 1.0) * cs - sq);
      a0 = (a + 1.0) - (a - 1.0) * cs + sq;
      a1 = 2.0 * ((a - 1.0) - (a + 1.0) * cs);
      a2 = (a + 1.0) - (a - 1.0) * cs - sq;
      break;
    default:  // BQ_PEAK
      b0 = 1.0 + alpha * a; b1 = -2.0 * cs; b2 = 1.0 - alpha * a;
      a0 = 1.0 + alpha / a; a1 = -2.0 * cs; a2 = 1.0 - alpha / a;
      break;
  }
  BiquadCoefs c = {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
  return c;
}

typedef double V2 __attribute__((vector_size(16)));  // left, right

// Direct form I with the sections sharing their histories: h[k] holds the
// last two outputs of section k (h[0] the last two inputs), so section k + 1
// reads its input history from h[k]. The recursive terms are added last to
// keep the loop-carried path short.
template <int K>
static FX_INLINE void RunSections(BiquadCascade* bq, float* l, float* r, int n) {
  V2 h1[K + 1], h2[K + 1];
  for (int k = 0; k <= K; k++) {
    h1[k] = V2{bq->h[k][0][0], bq->h[k][0][1]};
    h2[k] = V2{bq->h[k][1][0], bq->h[k][1][1]};
  }
  V2 b0[K], b1[K], b2[K], a1[K], a2[K];
  for (int k = 0; k < K; k++) {
    const BiquadCoefs& c = bq->c[k];
    b0[k] = V2{c.b0, c.b0};
    b1[k] = V2{c.b1, c.b1};
    b2[k] = V2{c.b2, c.b2};
    a1[k] = V2{c.a1, c.a1};
    a2[k] = V2{c.a2, c.a2};
  }
  for (int i = 0; i < n; i++) {
    V2 x = {l[i], r[i]};
#pragma GCC unroll 5
    for (int k = 0; k < K; k++) {
      V2 t = b1[k] * h1[k] + b2[k] * h2[k] - a2[k] * h2[k + 1];
      h2[k] = h1[k];
      h1[k] = x;
      x = b0[k] * x + (t - a1[k] * h1[k + 1]);
    }
    h2[K] = h1[K];
    h1[K] = x;
    l[i] = (float)x[0];
    r[i] = (float)x[1];
  }
  for (int k = 0; k <= K; k++) {
    bq->h[k][0][0] = h1[k][0];
    bq->h[k][0][1] = h1[k][1];
    bq->h[k][1][0] = h2[k][0];
    bq->h[k][1][1] = h2[k][1];
  }
}

static FX_INLINE void RunCascade(BiquadCascade* bq, float* l, float* r, int n) {
  switch (bq->count) {
    case 0: break;
    case 1: RunSections<1>(bq, l, r, n); break;
    case 2: RunSections<2>(bq, l, r, n); break;
    case 3: RunSections<3>(bq, l, r, n); break;
    case 4: RunSections<4>(bq, l, r, n); break;
    default: RunSections<5>(bq, l, r, n); break;
  }
}

void BiquadCascade::Run(float* l, float* r, int n) { RunCascade(this, l, r, n); }
FX_TARGET_FMA void BiquadCascade::RunFma(float* l, float* r, int n) { RunCascade(this, l, r, n); }
