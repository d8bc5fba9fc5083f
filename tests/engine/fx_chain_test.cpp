// The channel effects through the real chain built from the model's
// records: filter responses, the compressors' static curves and timing, the
// limiter's ceiling, look-ahead, order, and stability at every limit.
#include <gtest/gtest.h>

#include "fx_test_util.h"

using namespace fxtest;

namespace {

const double kRate = 48000;
const int kSlot = 5;

class FxChainTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearInternalArrays(); }
  void TearDown() override { FxChainDestroy(chain_); }
  FxChain* Build(int slot = kSlot, double rate = kRate) {
    FxChainDestroy(chain_);
    chain_ = FxChainCreate(slot, rate);
    return chain_;
  }
  // Gain in dB of the chain for a sine at freq (steady state).
  // Measured over a whole number of periods (at least four, at least half a
  // second) after half a second or more of settling.
  double SineGain(double freq, double rate = kRate) {
    Build(kSlot, rate);
    double periods = std::max(4.0, std::ceil(freq / 2));
    int measure = (int)std::lround(periods * rate / freq);
    int n = measure + std::max(measure, (int)rate / 2);
    std::vector<float> l = Sine(freq, 0.25, rate, n), r = l, in = l;
    RunChain(chain_, l, r);
    return RmsDb(l, n - measure, n) - RmsDb(in, n - measure, n);
  }
  FxChain* chain_ = nullptr;
};

TEST_F(FxChainTest, NothingOnBuildsNoChain) {
  EXPECT_EQ(nullptr, Build());
  EXPECT_EQ(0, FxChainLatency(nullptr));
  FxChainProcess(nullptr, nullptr, nullptr, 10);  // a bypassed channel costs nothing
  SetRecord(Prev, kSlot, {1, -6});  // sends are not part of the chain
  SetRecord(Php, kSlot, {0.5f, 100});  // only 1.0 is on
  EXPECT_EQ(nullptr, Build());
  SetRecord(Php, 140, {1, 100});  // VCAs carry no audio
  EXPECT_EQ(nullptr, Build(140));
  EXPECT_EQ(nullptr, Build(-1));
}

TEST_F(FxChainTest, BandsHaveTheirGainAtTheirFrequency) {
  struct Case { float* table; float freq, db, q; } cases[] = {
      {Pband1, 500, 6, 1},     {Pband1, 60, -12, 8},   {Pband1, 1000, 12, 0.1f},
      {Pband2, 2500, -6, 1},   {Pband2, 16000, 12, 8}, {Pband2, 1000, -12, 0.1f},
  };
  for (const Case& c : cases) {
    ClearInternalArrays();
    SetRecord(c.table, kSlot, {1, c.freq, c.db, c.q});
    EXPECT_NEAR(c.db, SineGain(c.freq), 0.1) << c.freq << " Hz " << c.db << " dB Q " << c.q;
  }
}

TEST_F(FxChainTest, HighPassIsThreeDbDownAtItsFrequency) {
  for (float f : {60.0f, 100.0f, 600.0f}) {
    SetRecord(Php, kSlot, {1, f});
    EXPECT_NEAR(-3.01, SineGain(f), 0.1) << f;
    EXPECT_NEAR(0.0, SineGain(f * 20), 0.1) << f;  // passes far above
    EXPECT_LT(SineGain(f / 4), -23.0) << f;          // 12 dB per octave below
  }
}

TEST_F(FxChainTest, ShelvesReachTheirGainFarFromTheCorner) {
  // The low shelf at its default 500 Hz (above its slider's range), a
  // low corner, and high shelves; measured two decades away or more.
  SetRecord(Plshelf, kSlot, {1, 500, 9, 1});
  EXPECT_NEAR(9.0, SineGain(4), 0.1);
  EXPECT_NEAR(0.0, SineGain(20000), 0.1);
  SetRecord(Plshelf, kSlot, {1, 30, -12, 0.7f});
  EXPECT_NEAR(-12.0, SineGain(1), 0.1);
  ClearInternalArrays();
  SetRecord(Phshelf, kSlot, {1, 4000, -12, 1});
  EXPECT_NEAR(-12.0, SineGain(23000), 0.1);
  EXPECT_NEAR(0.0, SineGain(40), 0.1);
  SetRecord(Phshelf, kSlot, {1, 8000, 6, 2});
  EXPECT_NEAR(6.0, SineGain(23500), 0.1);
}

TEST_F(FxChainTest, FilterFrequenciesAreHeldBelowNyquist) {
  // At 22050 Hz a 16 kHz band is held at 9922.5 Hz and stays stable.
  SetRecord(Pband2, kSlot, {1, 16000, 12, 8});
  EXPECT_NEAR(12.0, SineGain(0.45 * 22050, 22050), 0.1);
}

// A square wave of amplitude amp: the same level on every frame.
static std::vector<float> Square(double amp, int frames, int start = 0) {
  std::vector<float> v(frames, 0.0f);
  for (int i = start; i < frames; i++) v[i] = (float)((i / 50) % 2 ? amp : -amp);
  return v;
}

TEST_F(FxChainTest, CompressorsFollowTheirStaticCurveInSteadyState) {
  struct Case { float* table; float thr, ratio; double level, expect; } cases[] = {
      {Pcomp, -20, 4, -6, -20 + 14.0 / 4},
      {Pcomp, -30, 1.1f, 0, -30 + 30 / 1.1},
      {Pcomp, -10, 2, -20, -20},  // below the threshold: untouched
      {Prms, -20, 4, -6, -20 + 14.0 / 4},
      {Prms, -30, 4, -3, -30 + 27.0 / 4},
  };
  for (const Case& c : cases) {
    ClearInternalArrays();
    SetRecord(c.table, kSlot, {1, c.thr, 10, 100, c.ratio});
    Build();
    std::vector<float> l = Square(std::pow(10, c.level / 20), 48000), r = l;
    RunChain(chain_, l, r);
    EXPECT_NEAR(c.expect, Db(PeakAbs(l, 40000, 48000)), 0.1) << c.thr << " " << c.ratio;
    EXPECT_NEAR(c.expect, RmsDb(r, 40000, 48000), 0.1);
  }
  // The RMS compressor on a sine: its level is the sine's RMS.
  ClearInternalArrays();
  SetRecord(Prms, kSlot, {1, -20, 10, 100, 2});
  Build();
  std::vector<float> l = Sine(1000, 0.5, kRate, 48000), r = l;
  RunChain(chain_, l, r);
  double rms = Db(0.5 / std::sqrt(2.0));
  EXPECT_NEAR(-20 + (rms + 20) / 2, RmsDb(l, 24000, 48000), 0.1);
}

TEST_F(FxChainTest, CompressorsStereoLinkOnTheLargerSide) {
  SetRecord(Pcomp, kSlot, {1, -20, 1, 100, 4});
  Build();
  std::vector<float> l = Square(0.5, 24000), r = Square(0.05, 24000);
  RunChain(chain_, l, r);
  double gain = Db(PeakAbs(l, 20000, 24000) / 0.5);
  EXPECT_NEAR(gain, Db(PeakAbs(r, 20000, 24000) / 0.05), 0.01);
  EXPECT_NEAR(-20 + (Db(0.5) + 20) / 4 - Db(0.5), gain, 0.1);
}

// Frames after a step from silence until the reduction reaches fraction of
// its final value, and likewise for the release after the step ends.
TEST_F(FxChainTest, AttackAndReleaseTakeTheirTimes) {
  for (float attack : {1.0f, 10.0f, 50.0f}) {
    for (float* table : {Pcomp, Prms}) {
      ClearInternalArrays();
      float release = 200;
      SetRecord(table, kSlot, {1, -20, attack, release, 4});
      Build();
      int on = 12000, off = 60000, n = 96000;
      std::vector<float> l = Square(0.5, n, on);
      for (int i = off; i < n; i++) l[i] *= 0.02f;  // far below the threshold
      std::vector<float> r = l, in = l;
      RunChain(chain_, l, r);
      auto reduction = [&](int i) { return -Db(std::fabs(l[i] / in[i])); };
      double full = reduction(off - 1);
      EXPECT_NEAR((Db(0.5) + 20) * 0.75, full, 0.1);
      int i = on;
      while (reduction(i) < 0.632 * full) i++;
      double attackMs = (i - on) / kRate * 1000;
      // The RMS detector's 20 ms window adds its own rise.
      if (table == Pcomp) EXPECT_NEAR(attack, attackMs, attack * 0.1 + 0.05) << attack;
      else EXPECT_GT(attackMs, attack * 0.9);
      if (table == Pcomp) {
        int j = off;
        while (reduction(j) > 0.368 * full) j++;
        EXPECT_NEAR(release, (j - off) / kRate * 1000, release * 0.1);
      }
    }
  }
}

TEST_F(FxChainTest, NonLinearCompressorIsDownWhenThePeakArrives) {
  for (float window : {10.0f, 300.0f, 2000.0f}) {
    ClearInternalArrays();
    SetRecord(Pnlc, kSlot, {1, -20, window, 4});
    Build();
    int n = (int)window;
    ASSERT_EQ(n, FxChainLatency(chain_));
    int at = 20000, frames = 40000;
    std::vector<float> l(frames, 0.01f);   // -40 dB, below the threshold
    for (int i = at; i < at + 5000; i++) l[i] = 0.5f;
    std::vector<float> r = l;
    RunChain(chain_, l, r, 777);
    double expect = -20 + (Db(0.5) + 20) / 4;
    // The first loud frame leaves already at the curve's level ...
    EXPECT_NEAR(expect, Db(l[at + n]), 0.1) << window;
    EXPECT_NEAR(expect, Db(r[at + n + 2000]), 0.1) << window;
    // ... quiet frames long before it leave untouched, delayed by N.
    EXPECT_FLOAT_EQ(0.01f, l[at + n - 2 * n - 1]);
    EXPECT_FLOAT_EQ(0.0f, l[n - 1]);
    EXPECT_FLOAT_EQ(0.01f, l[n]);
    // Nothing on the way exceeds the burst's compressed level.
    EXPECT_LE(Db(PeakAbs(l, 0, frames)), expect + 0.1);
  }
}

TEST_F(FxChainTest, LimiterNeverExceedsItsThreshold) {
  for (float thr : {-18.0f, -6.0f, 0.0f}) {
    ClearInternalArrays();
    SetRecord(Plim, kSlot, {1, thr});
    Build();
    std::vector<float> l = Noise(2.0, 96000, 1), r = Noise(0.5, 96000, 2);
    for (int i = 30000; i < 30010; i++) l[i] = i % 2 ? 30.0f : -30.0f;  // spikes
    std::vector<float> in = l;
    RunChain(chain_, l, r, 333);
    float ceiling = (float)std::pow(10.0, thr / 20.0);
    EXPECT_LE(PeakAbs(l, 0, 96000), ceiling) << thr;
    EXPECT_LE(PeakAbs(r, 0, 96000), ceiling) << thr;
    EXPECT_GT(PeakAbs(l, 0, 96000), ceiling * 0.9) << thr;  // it limits, not mutes
    // The gain got there smoothly, ahead of the peaks (no frame is merely
    // cut at the ceiling): averaged over the look-ahead, it moves by at most
    // 1 / (look-ahead + 1) from one frame to the next.
    int la = FxChainLatency(chain_);
    double prev = l[la] / in[0], worst = 0;
    for (int i = 1; i + la < 96000; i++) {
      double g = l[i + la] / in[i];
      worst = std::max(worst, std::fabs(g - prev));
      prev = g;
    }
    EXPECT_LE(worst, 1.0 / (la + 1) + 1e-3) << thr;
  }
}

// The plain build (for processors without AVX2 and FMA) and the one this
// processor picks give the same sound within rounding.
TEST_F(FxChainTest, BothBuildsAgree) {
  SetRecord(Php, kSlot, {1, 80});
  SetRecord(Plshelf, kSlot, {1, 120, 3, 0.7f});
  SetRecord(Pband1, kSlot, {1, 400, -4, 2});
  SetRecord(Pband2, kSlot, {1, 3000, 5, 1});
  SetRecord(Phshelf, kSlot, {1, 8000, 2, 1});
  SetRecord(Pcomp, kSlot, {1, -20, 2, 100, 3});
  SetRecord(Prms, kSlot, {1, -24, 10, 150, 2});
  SetRecord(Pnlc, kSlot, {1, -18, 300, 2});
  SetRecord(Pfxg, kSlot, {1, 6});
  SetRecord(Plim, kSlot, {1, -3});
  std::vector<float> out[2][2];
  for (int plain = 0; plain < 2; plain++) {
    FxForcePlainBuild(plain == 1);
    Build();
    FxForcePlainBuild(false);
    out[plain][0] = Noise(0.3, 48000, 11);
    out[plain][1] = Noise(0.2, 48000, 12);
    RunChain(chain_, out[plain][0], out[plain][1], 999);
  }
  for (int side = 0; side < 2; side++) {
    double worst = 0;
    for (int i = 0; i < 48000; i++)
      worst = std::max(worst, (double)std::fabs(out[0][side][i] - out[1][side][i]));
    EXPECT_LT(worst, 1e-4) << side;
    EXPECT_GT(PeakAbs(out[1][side], 0, 48000), 0.1);
  }
  EXPECT_LE(PeakAbs(out[1][0], 0, 48000), 0.70795f);  // the plain limiter holds too
}

TEST_F(FxChainTest, LimiterReleasesOverFiftyMilliseconds) {
  SetRecord(Plim, kSlot, {1, -6});
  Build();
  int n = 48000, loud = 24000;
  std::vector<float> l(n, 0.1f);
  for (int i = 0; i < loud; i++) l[i] = i % 2 ? 1.0f : -1.0f;
  std::vector<float> r = l;
  RunChain(chain_, l, r);
  int la = FxChainLatency(chain_);
  EXPECT_EQ(72, la);  // 1.5 ms at 48 kHz
  // 50 ms after the loud part the gain has recovered 63% of the way (in
  // linear gain) from 0.5 towards 1.
  double g50 = l[loud + la + 2400] / 0.1;
  EXPECT_NEAR(0.5 + 0.5 * 0.632, g50, 0.03);
  EXPECT_NEAR(1.0, l[n - 1] / 0.1, 0.001);
}

TEST_F(FxChainTest, LatencyIsTheActualDelay) {
  for (double rate : {44100.0, 48000.0, 96000.0}) {
    ClearInternalArrays();
    SetRecord(Php, kSlot, {1, 60});
    SetRecord(Pnlc, kSlot, {1, 0, 123, 2});
    SetRecord(Pfxg, kSlot, {1, -6});
    SetRecord(Plim, kSlot, {1, 0});
    Build(kSlot, rate);
    int la = (int)std::lround(0.0015 * rate);
    ASSERT_EQ(123 + la, FxChainLatency(chain_)) << rate;
    // Without the high pass the impulse comes out exactly that late.
    SetRecord(Php, kSlot, {0, 60});
    Build(kSlot, rate);
    std::vector<float> l(4000, 0.0f);
    l[100] = 0.25f;
    std::vector<float> r = l;
    RunChain(chain_, l, r, 64);
    int at = (int)(std::max_element(l.begin(), l.end()) - l.begin());
    EXPECT_EQ(100 + FxChainLatency(chain_), at) << rate;
    EXPECT_NEAR(0.25 * 0.501187, l[at], 1e-4);
  }
}

TEST_F(FxChainTest, GainRunsBeforeTheLimiterAndFiltersBeforeCompressors) {
  // +15 dB then a -6 dB limiter: the limiter has the last word.
  SetRecord(Pfxg, kSlot, {1, 15});
  SetRecord(Plim, kSlot, {1, -6});
  Build();
  std::vector<float> l = Noise(0.3, 20000, 3), r = l;
  RunChain(chain_, l, r);
  EXPECT_LE(PeakAbs(l, 0, 20000), 0.50119f);
  // A high pass ahead of the peak compressor keeps a low hum from driving
  // it: a 30 Hz tone at -12 dBFS leaves the 600 Hz high pass 52 dB down,
  // under the threshold (compressed first it would lose 13.5 dB more).
  ClearInternalArrays();
  SetRecord(Php, kSlot, {1, 600});
  SetRecord(Pcomp, kSlot, {1, -30, 1, 100, 4});
  EXPECT_NEAR(-52.0, SineGain(30), 1.0);
}

TEST_F(FxChainTest, MonoBlockPassedTwiceActsOnce) {
  SetRecord(Pcomp, kSlot, {1, -20, 5, 100, 3});
  SetRecord(Pband1, kSlot, {1, 500, 6, 1});
  Build();
  std::vector<float> mono = Noise(0.3, 10000, 4), l = mono, r = mono;
  FxChainProcess(chain_, mono.data(), mono.data(), 10000);
  Build();
  FxChainProcess(chain_, l.data(), r.data(), 10000);
  EXPECT_EQ(l, mono);
}

// Every effect on at once, every parameter at each end of its range and at
// its default, at several rates, with records holding nonsense too: output
// stays finite and bounded, and dies away after the input stops.
TEST_F(FxChainTest, StableAtEveryRangeLimit) {
  struct Param { float* table; int slot; float lo, hi; };
  const Param params[] = {
      {Php, 1, 60, 600},       {Plshelf, 1, 30, 300},  {Plshelf, 2, -12, 12},
      {Plshelf, 3, 0.1f, 8},   {Pband1, 1, 60, 1000},  {Pband1, 2, -12, 12},
      {Pband1, 3, 0.1f, 8},    {Pband2, 1, 1000, 16000}, {Pband2, 2, -12, 12},
      {Pband2, 3, 0.1f, 8},    {Phshelf, 1, 4000, 16000}, {Phshelf, 2, -12, 12},
      {Phshelf, 3, 0.1f, 8},   {Pcomp, 1, -30, 0},     {Pcomp, 2, 0.1f, 50},
      {Pcomp, 3, 10, 1000},    {Pcomp, 4, 1.1f, 4},    {Prms, 1, -30, 0},
      {Prms, 2, 0.1f, 200},    {Prms, 3, 10, 1000},    {Prms, 4, 1.1f, 4},
      {Pnlc, 1, -30, 0},       {Pnlc, 2, 10, 2000},    {Pnlc, 3, 1.1f, 8},
      {Pfxg, 1, -15, 15},      {Plim, 1, -18, 0},
  };
  const float nan = std::nanf("");
  const float inf = INFINITY;
  // Each row: value of every parameter; -1 low end, 1 high end, 0 default,
  // then a row of nonsense values (not a number, infinite, zero, negative).
  // Once with the limiter, whose ceiling would hide a runaway, once without.
  for (int setting = -1; setting <= 2; setting++) {
    for (double rate : {22050.0, 48000.0, 192000.0}) {
      for (bool limiter : {false, true}) {
      ClearInternalArrays();
      for (int fx : {FX_HP, FX_LSHELF, FX_BAND1, FX_BAND2, FX_HSHELF, FX_COMP, FX_RMS,
                     FX_NLC, FX_FXG, FX_LIM})
        Effects[fx].table[kSlot * REC] = 1.0f;
      Plim[kSlot * REC] = limiter ? 1.0f : 0.0f;
      int k = 0;
      for (const Param& p : params) {
        float& v = p.table[kSlot * REC + p.slot];
        if (setting == -1) v = p.lo;
        if (setting == 1) v = p.hi;
        if (setting == 2) {
          const float junk[] = {nan, inf, -inf, 0.0f, -5.0f, 1e30f};
          v = junk[k++ % 6];
        }
      }
      Build(kSlot, rate);
      ASSERT_NE(nullptr, chain_);
      int n = (int)(rate * (setting == 2 ? 3.5 : 1.5)), quiet = (int)rate / 2;
      std::vector<float> l = Noise(1.0, n, 5), r = Noise(1.0, n, 6);
      for (int i = 1000; i < 1100; i++) l[i] = 50.0f;  // a burst far over full scale
      for (int i = quiet; i < n; i++) l[i] = r[i] = 0.0f;
      RunChain(chain_, l, r, 4096);
      ASSERT_TRUE(AllFinite(l) && AllFinite(r)) << setting << " " << rate;
      // At most the filters' and the gain's 63 dB over the burst.
      EXPECT_LE(PeakAbs(l, 0, n), limiter ? 1.0 : 50.0 * 1500) << setting << " " << rate;
      // The tail dies away; nonsense (filters at 1 Hz with 48 dB of gain)
      // rings for seconds, falling all the time.
      for (const std::vector<float>* v : {&l, &r}) {
        double end = PeakAbs(*v, n - 1000, n);
        if (setting == 2)
          EXPECT_LT(PeakAbs(*v, n - (int)rate, n), 0.9 * PeakAbs(*v, quiet, quiet + (int)rate));
        else
          EXPECT_LT(end, 1e-6) << setting << " " << rate;
      }
      }
    }
  }
}

}  // namespace
