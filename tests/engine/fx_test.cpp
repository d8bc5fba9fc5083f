// The channel effects and the two reverbs built from the model's records and
// run on measured signals: filter responses, the compressors' static curves
// and timing, the limiter's ceiling, look-ahead, order, the reverbs' decay,
// reflections, width, filters and taps, and stability at every limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "fx.h"
#include "model/model.h"

namespace {

using Signal = std::vector<float>;
const double kRate = 48000, kPi = 3.14159265358979323846;
const int kSlot = 5;

void SetRecord(float* table, int slot, const std::vector<float>& values) {
  std::copy(values.begin(), values.end(), table + slot * REC);
}
Signal Sine(double freq, double amp, double rate, int frames) {
  Signal v(frames);
  for (int i = 0; i < frames; i++) v[i] = (float)(amp * std::sin(2 * kPi * freq * i / rate));
  return v;
}
Signal Noise(double amp, int frames, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<float> dist(0.0f, (float)amp);
  Signal v(frames);
  for (float& x : v) x = dist(gen);
  return v;
}
// A square wave of amplitude amp from frame start on: the same level on
// every frame.
Signal Square(double amp, int frames, int start = 0) {
  Signal v(frames, 0.0f);
  for (int i = start; i < frames; i++) v[i] = (float)((i / 50) % 2 ? amp : -amp);
  return v;
}
double Db(double linear) { return 20 * std::log10(linear); }
double RmsDb(const Signal& v, int from, int to) {
  double s = 0;
  for (int i = from; i < to; i++) s += (double)v[i] * v[i];
  return 10 * std::log10(s / (to - from));
}
double PeakAbs(const Signal& v, int from, int to) {
  double m = 0;
  for (int i = from; i < to; i++) m = std::max(m, (double)std::fabs(v[i]));
  return m;
}
bool AllFinite(const Signal& v) {
  return std::all_of(v.begin(), v.end(), [](float x) { return std::isfinite(x); });
}

class FxChainTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearInternalArrays(); }
  void TearDown() override { FxChainDestroy(chain_); }
  FxChain* Build(int slot = kSlot, double rate = kRate) {
    FxChainDestroy(chain_);
    return chain_ = FxChainCreate(slot, rate);
  }
  // A chain of that one record alone.
  void Only(float* table, const std::vector<float>& rec) {
    ClearInternalArrays();
    SetRecord(table, kSlot, rec);
    Build();
  }
  // Runs the chain in place in blocks of an awkward size (so that blocks
  // never line up with the chain's own passes).
  void Run(Signal& l, Signal& r, int block = 1000) {
    for (int off = 0; off < (int)l.size(); off += block)
      FxChainProcess(chain_, &l[off], &r[off], std::min(block, (int)l.size() - off));
  }
  // Steady-state gain in dB of a freshly built chain for a sine at freq,
  // over a whole number of periods (at least four and half a second) after
  // half a second or more of settling.
  double SineGain(double freq, double rate = kRate) {
    Build(kSlot, rate);
    double periods = std::max(4.0, std::ceil(freq / 2));
    int measure = (int)std::lround(periods * rate / freq);
    int n = measure + std::max(measure, (int)rate / 2);
    Signal l = Sine(freq, 0.25, rate, n), r = l, in = l;
    Run(l, r);
    return RmsDb(l, n - measure, n) - RmsDb(in, n - measure, n);
  }
  FxChain* chain_ = nullptr;
};

TEST_F(FxChainTest, NothingOnBuildsNoChain) {
  EXPECT_EQ(nullptr, Build());
  EXPECT_EQ(0, FxChainLatency(nullptr));
  FxChainProcess(nullptr, nullptr, nullptr, 10);  // a bypassed channel costs nothing
  SetRecord(Prev, kSlot, {1, -6});                // sends are not part of the chain
  SetRecord(Php, kSlot, {0.5f, 100});             // only 1.0 is on
  EXPECT_EQ(nullptr, Build());
  SetRecord(Php, 140, {1, 100});  // VCAs carry no audio
  EXPECT_EQ(nullptr, Build(140));
  EXPECT_EQ(nullptr, Build(-1));
}

// Each band at its frequency; the high pass 3 dB down at its frequency and
// flat far above; shelves at their gain two decades or more from the corner
// (the low shelf at its default 500 Hz, above its slider's range); at 22050
// Hz a 16 kHz band is held at 9922.5 Hz and stays stable.
TEST_F(FxChainTest, FilterResponses) {
  const struct { float* table; std::vector<float> rec; double freq, db, rate = kRate; } cases[] = {
      {Pband1, {1, 500, 6, 1}, 500, 6},         {Pband1, {1, 60, -12, 8}, 60, -12},
      {Pband1, {1, 1000, 12, 0.1f}, 1000, 12},  {Pband2, {1, 2500, -6, 1}, 2500, -6},
      {Pband2, {1, 16000, 12, 8}, 16000, 12},   {Pband2, {1, 1000, -12, 0.1f}, 1000, -12},
      {Php, {1, 60}, 60, -3.01},   {Php, {1, 100}, 100, -3.01},   {Php, {1, 600}, 600, -3.01},
      {Php, {1, 60}, 1200, 0},     {Php, {1, 100}, 2000, 0},      {Php, {1, 600}, 12000, 0},
      {Plshelf, {1, 500, 9, 1}, 4, 9},          {Plshelf, {1, 500, 9, 1}, 20000, 0},
      {Plshelf, {1, 30, -12, 0.7f}, 1, -12},    {Phshelf, {1, 4000, -12, 1}, 23000, -12},
      {Phshelf, {1, 4000, -12, 1}, 40, 0},      {Phshelf, {1, 8000, 6, 2}, 23500, 6},
      {Pband2, {1, 16000, 12, 8}, 0.45 * 22050, 12, 22050}};
  for (const auto& c : cases) {
    Only(c.table, c.rec);
    EXPECT_NEAR(c.db, SineGain(c.freq, c.rate), 0.1) << c.rec[1] << " Hz record at " << c.freq;
  }
  for (float f : {60.0f, 100.0f, 600.0f}) {
    Only(Php, {1, f});
    EXPECT_LT(SineGain(f / 4), -23.0) << f;  // 12 dB per octave below
  }
}

// Output level against the static curve: square waves (peak and RMS alike)
// and a sine, whose level for the RMS compressor is its RMS.
TEST_F(FxChainTest, CompressorsFollowTheirStaticCurveInSteadyState) {
  const double sine = Db(0.5 / std::sqrt(2.0));
  const struct { float* table; float thr, ratio; double level, expect; bool sine; } cases[] = {
      {Pcomp, -20, 4, -6, -20 + 14.0 / 4, false},    {Pcomp, -30, 1.1f, 0, -30 + 30 / 1.1, false},
      {Pcomp, -10, 2, -20, -20, false},  // below the threshold: untouched
      {Prms, -20, 4, -6, -20 + 14.0 / 4, false},     {Prms, -30, 4, -3, -30 + 27.0 / 4, false},
      {Prms, -20, 2, sine, -20 + (sine + 20) / 2, true}};
  for (const auto& c : cases) {
    Only(c.table, {1, c.thr, 10, 100, c.ratio});
    Signal l = c.sine ? Sine(1000, 0.5, kRate, 48000) : Square(std::pow(10, c.level / 20), 48000);
    Signal r = l;
    Run(l, r);
    EXPECT_NEAR(c.expect, RmsDb(l, 24000, 48000), 0.1) << c.thr << " " << c.ratio;
    if (!c.sine) {
      EXPECT_NEAR(c.expect, Db(PeakAbs(r, 40000, 48000)), 0.1);
    }
  }
}

TEST_F(FxChainTest, CompressorsStereoLinkOnTheLargerSide) {
  SetRecord(Pcomp, kSlot, {1, -20, 1, 100, 4});
  Build();
  Signal l = Square(0.5, 24000), r = Square(0.05, 24000);
  Run(l, r);
  double gain = Db(PeakAbs(l, 20000, 24000) / 0.5);
  EXPECT_NEAR(gain, Db(PeakAbs(r, 20000, 24000) / 0.05), 0.01);
  EXPECT_NEAR(-20 + (Db(0.5) + 20) / 4 - Db(0.5), gain, 0.1);
}

// Frames after a step from silence until the reduction reaches 63% of its
// final value, and likewise (to 37%) for the release after the step ends.
TEST_F(FxChainTest, AttackAndReleaseTakeTheirTimes) {
  for (float attack : {1.0f, 10.0f, 50.0f}) {
    for (float* table : {Pcomp, Prms}) {
      Only(table, {1, -20, attack, 200, 4});
      int on = 12000, off = 60000, n = 96000;
      Signal l = Square(0.5, n, on);
      for (int i = off; i < n; i++) l[i] *= 0.02f;  // far below the threshold
      Signal r = l, in = l;
      Run(l, r);
      auto reduction = [&](int i) { return -Db(std::fabs(l[i] / in[i])); };
      double full = reduction(off - 1);
      EXPECT_NEAR((Db(0.5) + 20) * 0.75, full, 0.1);
      int i = on, j = off;
      while (reduction(i) < 0.632 * full) i++;
      double attackMs = (i - on) / kRate * 1000;
      if (table == Prms) {  // the RMS detector's 20 ms window adds its own rise
        EXPECT_GT(attackMs, attack * 0.9);
        continue;
      }
      EXPECT_NEAR(attack, attackMs, attack * 0.1 + 0.05) << attack;
      while (reduction(j) > 0.368 * full) j++;
      EXPECT_NEAR(200, (j - off) / kRate * 1000, 20);
    }
  }
}

TEST_F(FxChainTest, NonLinearCompressorIsDownWhenThePeakArrives) {
  for (float window : {10.0f, 300.0f, 2000.0f}) {
    Only(Pnlc, {1, -20, window, 4});
    int n = (int)window, at = 20000, frames = 40000;
    ASSERT_EQ(n, FxChainLatency(chain_));
    Signal l(frames, 0.01f);  // -40 dB, below the threshold
    for (int i = at; i < at + 5000; i++) l[i] = 0.5f;
    Signal r = l;
    Run(l, r, 777);
    double expect = -20 + (Db(0.5) + 20) / 4;
    // The first loud frame leaves already at the curve's level ...
    EXPECT_NEAR(expect, Db(l[at + n]), 0.1) << window;
    EXPECT_NEAR(expect, Db(r[at + n + 2000]), 0.1) << window;
    // ... quiet frames long before it leave untouched, delayed by N.
    EXPECT_FLOAT_EQ(0.01f, l[at + n - 2 * n - 1]);
    EXPECT_FLOAT_EQ(0.0f, l[n - 1]);
    EXPECT_FLOAT_EQ(0.01f, l[n]);
    EXPECT_LE(Db(PeakAbs(l, 0, frames)), expect + 0.1);  // no overshoot on the way
  }
}

TEST_F(FxChainTest, LimiterNeverExceedsItsThreshold) {
  for (float thr : {-18.0f, -6.0f, 0.0f}) {
    Only(Plim, {1, thr});
    Signal l = Noise(2.0, 96000, 1), r = Noise(0.5, 96000, 2);
    for (int i = 30000; i < 30010; i++) l[i] = i % 2 ? 30.0f : -30.0f;  // spikes
    Signal in = l;
    Run(l, r, 333);
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
  // 50 ms after a loud part the gain has recovered 63% of the way (in linear
  // gain) from 0.5 towards 1; the look-ahead is 1.5 ms.
  Only(Plim, {1, -6});
  Signal l(48000, 0.1f);
  for (int i = 0; i < 24000; i++) l[i] = i % 2 ? 1.0f : -1.0f;
  Signal r = l;
  Run(l, r);
  ASSERT_EQ(72, FxChainLatency(chain_));
  EXPECT_NEAR(0.5 + 0.5 * 0.632, l[24000 + 72 + 2400] / 0.1, 0.03);
  EXPECT_NEAR(1.0, l[47999] / 0.1, 0.001);
}

// The plain build (for processors without AVX2 and FMA) and the one this
// processor picks give the same sound within rounding.
TEST_F(FxChainTest, BothBuildsAgree) {
  for (const auto& [table, rec] : std::vector<std::pair<float*, std::vector<float>>>{
           {Php, {1, 80}}, {Plshelf, {1, 120, 3, 0.7f}}, {Pband1, {1, 400, -4, 2}},
           {Pband2, {1, 3000, 5, 1}}, {Phshelf, {1, 8000, 2, 1}}, {Pcomp, {1, -20, 2, 100, 3}},
           {Prms, {1, -24, 10, 150, 2}}, {Pnlc, {1, -18, 300, 2}}, {Pfxg, {1, 6}}, {Plim, {1, -3}}})
    SetRecord(table, kSlot, rec);
  Signal out[2][2];
  for (int plain = 0; plain < 2; plain++) {
    FxForcePlainBuild(plain == 1);
    Build();
    FxForcePlainBuild(false);
    out[plain][0] = Noise(0.3, 48000, 11);
    out[plain][1] = Noise(0.2, 48000, 12);
    Run(out[plain][0], out[plain][1], 999);
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

TEST_F(FxChainTest, GainRunsBeforeTheLimiterAndFiltersBeforeCompressors) {
  SetRecord(Pfxg, kSlot, {1, 15});  // +15 dB, then the -6 dB limiter has the last word
  SetRecord(Plim, kSlot, {1, -6});
  Build();
  Signal l = Noise(0.3, 20000, 3), r = l;
  Run(l, r);
  EXPECT_LE(PeakAbs(l, 0, 20000), 0.50119f);
  // A 600 Hz high pass ahead of the peak compressor leaves a 30 Hz tone at
  // -12 dBFS 52 dB down, under the threshold (compressed first it would
  // lose 13.5 dB more).
  ClearInternalArrays();
  SetRecord(Php, kSlot, {1, 600});
  SetRecord(Pcomp, kSlot, {1, -30, 1, 100, 4});
  EXPECT_NEAR(-52.0, SineGain(30), 1.0);
}

// Every effect on at once, every parameter at each end of its range, at its
// default, and nonsense (not a number, infinite, zero, negative), at several
// rates, with and without the limiter (whose ceiling would hide a runaway):
// output finite and bounded, dying away after the input stops.
TEST_F(FxChainTest, StableAtEveryRangeLimit) {
  const struct { float* table; std::vector<float> lo, hi; } ranges[] = {
      {Php, {60}, {600}},
      {Plshelf, {30, -12, 0.1f}, {300, 12, 8}},
      {Pband1, {60, -12, 0.1f}, {1000, 12, 8}},
      {Pband2, {1000, -12, 0.1f}, {16000, 12, 8}},
      {Phshelf, {4000, -12, 0.1f}, {16000, 12, 8}},
      {Pcomp, {-30, 0.1f, 10, 1.1f}, {0, 50, 1000, 4}},
      {Prms, {-30, 0.1f, 10, 1.1f}, {0, 200, 1000, 4}},
      {Pnlc, {-30, 10, 1.1f}, {0, 2000, 8}},
      {Pfxg, {-15}, {15}},
      {Plim, {-18}, {0}}};
  const float junk[] = {std::nanf(""), INFINITY, -INFINITY, 0.0f, -5.0f, 1e30f};
  for (int setting = -1; setting <= 2; setting++)  // low, default, high, nonsense
    for (double rate : {22050.0, 48000.0, 192000.0})
      for (bool limiter : {false, true}) {
        SCOPED_TRACE(testing::Message() << setting << " " << rate << " " << limiter);
        ClearInternalArrays();
        int k = 0;
        for (const auto& p : ranges) {
          float* rec = p.table + kSlot * REC;
          rec[0] = p.table != Plim || limiter ? 1.0f : 0.0f;
          for (size_t i = 0; i < p.lo.size(); i++) {
            if (setting == -1) rec[i + 1] = p.lo[i];
            if (setting == 1) rec[i + 1] = p.hi[i];
            if (setting == 2) rec[i + 1] = junk[k++ % 6];
          }
        }
        ASSERT_NE(nullptr, Build(kSlot, rate));
        int n = (int)(rate * (setting == 2 ? 3.5 : 1.5)), quiet = (int)rate / 2;
        Signal l = Noise(1.0, n, 5), r = Noise(1.0, n, 6);
        for (int i = 1000; i < 1100; i++) l[i] = 50.0f;  // a burst far over full scale
        std::fill(l.begin() + quiet, l.end(), 0.0f);
        std::fill(r.begin() + quiet, r.end(), 0.0f);
        Run(l, r, 4096);
        ASSERT_TRUE(AllFinite(l) && AllFinite(r));
        // At most the filters' and the gain's 63 dB over the burst.
        EXPECT_LE(PeakAbs(l, 0, n), limiter ? 1.0 : 50.0 * 1500);
        // The tail dies away; nonsense (filters at 1 Hz with 48 dB of gain)
        // rings for seconds, falling all the time.
        for (const Signal* v : {&l, &r}) {
          if (setting == 2)
            EXPECT_LT(PeakAbs(*v, n - (int)rate, n), 0.9 * PeakAbs(*v, quiet, quiet + (int)rate));
          else
            EXPECT_LT(PeakAbs(*v, n - 1000, n), 1e-6);
        }
      }
}

// ------------------------------------------------------------------ reverbs

// Sabine's decay time of a room of length len feet (L x 0.62 L x 0.38 L).
double Sabine(double len) {
  double w = 0.62 * len, h = 0.38 * len;
  return 0.049 * len * w * h / (0.3 * 2 * (len * w + len * h + w * h));
}

class ReverbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearInternalArrays();
    SetRecord(Prev, 3, {1, -6});
    SetRecord(Ptrev, 4, {1, -6});
  }
  void TearDown() override { ReverbDestroy(unit_); }
  // Runs in through a freshly built reverb (tap reverb when tap) in blocks
  // of an awkward size; the returns land in l and r.
  void Render(const Signal& in, bool tap = false, double rate = kRate) {
    ReverbDestroy(unit_);
    unit_ = tap ? TapReverbCreate(rate) : ReverbCreate(rate);
    ASSERT_NE(nullptr, unit_);
    int n = (int)in.size();
    l.assign(n, 0.0f);
    r.assign(n, 0.0f);
    for (int off = 0; off < n; off += 1500)
      ReverbProcess(unit_, &in[off], &l[off], &r[off], std::min(1500, n - off));
  }
  static Signal Impulse(int frames) {
    Signal v(frames, 0.0f);
    v[0] = 1.0f;
    return v;
  }
  ReverbUnit* unit_ = nullptr;
  Signal l, r;
};

// Only a send of an input channel or a submix builds a reverb; the return
// is added to what the bus holds.
TEST_F(ReverbTest, RunsOnlyWhenSomeSendIsOnAndAddsToTheBus) {
  ClearInternalArrays();
  SetRecord(Prev, 0, {1, 0});  // the master's sends are ignored
  SetRecord(Ptrev, 0, {1, 0});
  EXPECT_EQ(nullptr, ReverbCreate(kRate));
  EXPECT_EQ(nullptr, TapReverbCreate(kRate));
  SetRecord(Prev, 130, {1, 0});
  ReverbUnit* u = ReverbCreate(kRate);
  ASSERT_NE(nullptr, u);
  EXPECT_EQ(nullptr, TapReverbCreate(kRate));
  Signal zero(500, 0.0f), bl(500, 0.5f), br(500, -0.5f);
  ReverbProcess(u, zero.data(), bl.data(), br.data(), 500);
  EXPECT_EQ(Signal(500, 0.5f), bl);
  EXPECT_EQ(Signal(500, -0.5f), br);
  ReverbDestroy(u);
  ReverbProcess(nullptr, nullptr, nullptr, nullptr, 10);
  ReverbDestroy(nullptr);
}

TEST_F(ReverbTest, TailFallsSixtyDbInTheSabineTime) {
  for (float len : {25.0f, 150.0f, 1000.0f}) {
    Prtn[1] = len;
    double t60 = Sabine(len);
    int n = (int)(kRate * (t60 * 0.8 + 0.5));
    Render(Impulse(n));
    // Schroeder's backward integral; the -5 to -35 dB slope gives T60.
    std::vector<double> edc(n + 1, 0.0);
    for (int i = n - 1; i >= 0; i--) edc[i] = edc[i + 1] + (double)l[i] * l[i] + (double)r[i] * r[i];
    auto cross = [&](double db) {
      int i = 0;
      while (i < n && 10 * std::log10(edc[i] / edc[0]) > db) i++;
      return i;
    };
    EXPECT_NEAR(t60, 2.0 * (cross(-35) - cross(-5)) / kRate, 0.2 * t60) << len << " ft";
  }
}

TEST_F(ReverbTest, FirstSoundIsTheNearestReflection) {
  // Listener at 37 / 39 / 43 % of a 150 ft room: the floor is nearest,
  // 2 x 0.43 x 0.38 x 150 ft away and back.
  Render(Impulse(6000));
  int first = 0;
  while (l[first] == 0.0f && r[first] == 0.0f) first++;
  EXPECT_EQ(std::lround(2 * 0.43 * 0.38 * 150 / 1125 * kRate), first);
  // At the left wall the left reflection arrives at once, on the left only.
  Prev_position[1] = 0;
  Prev_width = 100;
  Render(Impulse(100));
  EXPECT_GT(std::fabs(l[0]), 0.5f);
  EXPECT_EQ(0.0f, r[0]);
}

TEST_F(ReverbTest, WidthZeroIsMonoAndFullWidthDecorrelates) {
  Prev_position[1] = 10;  // close to the left wall
  Prhp[0] = Prlp[0] = 1;
  Prev_width = 0;
  Signal in = Noise(0.1, 96000, 7);
  Render(in);
  EXPECT_EQ(l, r);
  EXPECT_GT(PeakAbs(l, 0, 96000), 0.001);
  Prev_width = 100;
  Render(in);
  double ll = 0, rr = 0, lr = 0;
  for (int i = 48000; i < 96000; i++) {
    ll += (double)l[i] * l[i];
    rr += (double)r[i] * r[i];
    lr += (double)l[i] * r[i];
  }
  EXPECT_LT(std::fabs(lr) / std::sqrt(ll * rr), 0.3);
}

TEST_F(ReverbTest, FiltersAndReturnLevelActOnTheReturn) {
  auto energy = [&](double freq) {
    Render(Sine(freq, 0.1, kRate, 48000));
    return RmsDb(l, 24000, 48000);
  };
  double low = energy(100), high = energy(15000);
  Prhp[0] = 1;
  Prhp[1] = 1000;
  EXPECT_LT(energy(100), low - 30);
  Prhp[0] = 0;
  Prlp[0] = 1;
  Prlp[1] = 2000;
  EXPECT_LT(energy(15000), high - 30);
  EXPECT_NEAR(low, energy(100), 0.5);
  Signal in = Noise(0.1, 20000, 8);
  for (bool tap : {false, true}) {
    Prtn[0] = Ptrtn[0] = 0;
    Render(in, tap);
    Signal full = l;
    Prtn[0] = Ptrtn[0] = -6;
    Render(in, tap);
    for (int i = 0; i < 20000; i += 97) EXPECT_NEAR(full[i] * 0.501187f, l[i], 1e-6) << tap;
  }
}

// Taps spread over two traversals of the room, alternating sides (one tap
// sounds on both), falling 60 dB over T60.
TEST_F(ReverbTest, TapsAlternateOverTwoTraversalsFallingOverT60) {
  Ptrtn[0] = -3;
  for (int count : {1, 5, 11}) {
    Ptrtn[2] = (float)count;
    Render(Impulse(20000), true);
    double span = 2 * 150 / 1125.0, t60 = Sabine(150);
    int found = 0;
    for (int i = 0; i < 20000; i++) found += (l[i] != 0) + (r[i] != 0);
    EXPECT_EQ(count == 1 ? 2 : count, found) << count;
    for (int k = 0; k < count; k++) {
      double t = span * (k + 1) / count;
      int at = (int)std::lround(t * kRate);
      double g = std::pow(10.0, -3 * t / t60) * std::pow(10.0, -3 / 20.0);
      if (count == 1) {
        EXPECT_NEAR(g * std::sqrt(0.5), l[at], 1e-6);
        EXPECT_NEAR(g * std::sqrt(0.5), r[at], 1e-6);
      } else {
        EXPECT_NEAR(g, k % 2 == 0 ? l[at] : r[at], 1e-6) << count << " " << k;
      }
    }
  }
}

// A minute of the largest rooms with the longest tap settings, every switch
// on: two seconds of loud noise, then silence. The reverb's energy falls
// from each second to the next, the taps end after two traversals.
TEST_F(ReverbTest, LargestRoomsStayStableForAMinute) {
  Prtn[1] = 1000;
  Ptrtn[1] = 500;
  Ptrtn[2] = 11;
  Prhp[0] = Prlp[0] = 1;
  Prhp[1] = 60;
  Prlp[1] = 12000;
  Prev_width = 100;
  Prev_position[0] = Prev_position[2] = 0;
  Prev_position[1] = 100;
  int n = 60 * (int)kRate, loud = 2 * (int)kRate;
  Signal in = Noise(1.0, loud, 9);
  in.resize(n, 0.0f);
  Render(in);
  ASSERT_TRUE(AllFinite(l) && AllFinite(r));
  double prev = INFINITY;
  for (int s = 4; s < 60; s++) {
    double e = 0;
    for (int i = s * (int)kRate; i < (s + 1) * (int)kRate; i++) e += (double)l[i] * l[i] + (double)r[i] * r[i];
    EXPECT_LE(e, prev) << "second " << s;
    prev = e;
  }
  EXPECT_LT(PeakAbs(l, n - (int)kRate, n), 1e-6);
  Render(in, true);
  ASSERT_TRUE(AllFinite(l) && AllFinite(r));
  int end = loud + (int)std::lround(1000 / 1125.0 * kRate) + 1;
  EXPECT_GT(PeakAbs(l, end - 2000, end), 0.01);
  EXPECT_EQ(0.0, PeakAbs(l, end, n));
  EXPECT_EQ(0.0, PeakAbs(r, end, n));
}

// Both reverbs at the low and high end of every range, at the defaults and
// with nonsense in the globals, at low and high rates: finite, and silent
// again after the input stops.
TEST_F(ReverbTest, StableAtEveryRangeLimit) {
  const float nan = std::nanf(""), inf = INFINITY;
  struct Globals { float rtn[2], trtn[3], hp[2], lp[2], width, pos[3]; };
  const Globals settings[] = {{{-24, 25}, {-24, 25, 1}, {1, 60}, {1, 2000}, 0, {0, 0, 0}},
                              {{0, 1000}, {0, 500, 11}, {1, 1000}, {1, 12000}, 100, {100, 100, 100}},
                              {{inf, nan}, {-24, -1e9f, 1e9f}, {1, -5}, {1, 1e9f}, nan, {-inf, 0, 0}}};
  for (int setting = -1; setting < 3; setting++) {
    for (double rate : {22050.0, 96000.0}) {
      ClearInternalArrays();
      SetRecord(Prev, 1, {1, 0});
      SetRecord(Ptrev, 1, {1, 0});
      if (setting >= 0) {  // -1: the defaults
        const Globals& g = settings[setting];
        std::copy(g.rtn, g.rtn + 2, Prtn);
        std::copy(g.trtn, g.trtn + 3, Ptrtn);
        std::copy(g.hp, g.hp + 2, Prhp);
        std::copy(g.lp, g.lp + 2, Prlp);
        std::copy(g.pos, g.pos + 3, Prev_position);
        Prev_width = g.width;
      }
      for (bool tap : {false, true}) {
        SCOPED_TRACE(testing::Message() << setting << " " << rate << " " << tap);
        // The room length a reverb works with: nonsense means the default,
        // lengths are held within 5 .. 5000 ft.
        float room = tap ? Ptrtn[1] : Prtn[1];
        double len = std::isfinite(room) ? std::min(5000.0, std::max(5.0, (double)room)) : 150.0;
        int quiet = (int)rate, n = quiet + (int)(rate * (Sabine(len) * 3 + 2 * len / 1125 + 0.5));
        Signal in = Noise(1.0, quiet, 10);
        in.resize(n, 0.0f);
        Render(in, tap, rate);
        ASSERT_TRUE(AllFinite(l) && AllFinite(r));
        for (const Signal* v : {&l, &r}) {
          double end = PeakAbs(*v, n - 1000, n);
          EXPECT_TRUE(end == 0 || end < 1e-4 * PeakAbs(*v, 0, n));
        }
      }
    }
  }
}

}  // namespace
