// Helpers of the effect tests: records set in the model, signals, levels.
#ifndef ORVANE_FX_TEST_UTIL_H
#define ORVANE_FX_TEST_UTIL_H

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <random>
#include <vector>

#include "fx.h"
#include "model/model.h"

namespace fxtest {

const double kPi = 3.14159265358979323846;

// Writes values into the record of slot from slot 0 (the on flag) on.
inline void SetRecord(float* table, int slot, std::initializer_list<float> values) {
  int k = 0;
  for (float v : values) table[slot * REC + k++] = v;
}

inline std::vector<float> Sine(double freq, double amp, double rate, int frames) {
  std::vector<float> v(frames);
  for (int i = 0; i < frames; i++) v[i] = (float)(amp * std::sin(2 * kPi * freq * i / rate));
  return v;
}

inline std::vector<float> Noise(double amp, int frames, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<float> dist(0.0f, (float)amp);
  std::vector<float> v(frames);
  for (float& x : v) x = dist(gen);
  return v;
}

// Runs the chain over l and r in place, in blocks of an awkward size (so
// that blocks never line up with the chain's own passes).
inline void RunChain(FxChain* chain, std::vector<float>& l, std::vector<float>& r,
                     int block = 1000) {
  int n = (int)l.size();
  for (int off = 0; off < n; off += block)
    FxChainProcess(chain, l.data() + off, r.data() + off, std::min(block, n - off));
}

inline double RmsDb(const std::vector<float>& v, int from, int to) {
  double s = 0;
  for (int i = from; i < to; i++) s += (double)v[i] * v[i];
  return 10 * std::log10(s / (to - from));
}

inline double Db(double linear) { return 20 * std::log10(linear); }

inline double PeakAbs(const std::vector<float>& v, int from, int to) {
  double m = 0;
  for (int i = from; i < to; i++) m = std::max(m, (double)std::fabs(v[i]));
  return m;
}

inline bool AllFinite(const std::vector<float>& v) {
  for (float x : v)
    if (!std::isfinite(x)) return false;
  return true;
}

}  // namespace fxtest

#endif
