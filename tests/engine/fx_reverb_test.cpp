// The two reverbs built from the model's globals: decay time, reflections,
// width, filters, return level, the tap pattern, and a minute in the
// largest room without growing.
#include <gtest/gtest.h>

#include "fx_test_util.h"

using namespace fxtest;

namespace {

const double kRate = 48000;

// Sabine's decay time of a room of length len feet (L x 0.62 L x 0.38 L).
double Sabine(double len) {
  double w = 0.62 * len, h = 0.38 * len;
  return 0.049 * len * w * h / (0.3 * 2 * (len * w + len * h + w * h));
}

// The room length a reverb works with: nonsense means the default, and
// lengths are held within 5 .. 5000 ft.
double RoomLength(float v) {
  return std::isfinite(v) ? std::min(5000.0, std::max(5.0, (double)v)) : 150.0;
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
  void Render(const std::vector<float>& in, bool tap = false, double rate = kRate) {
    ReverbDestroy(unit_);
    unit_ = tap ? TapReverbCreate(rate) : ReverbCreate(rate);
    ASSERT_NE(nullptr, unit_);
    int n = (int)in.size();
    l.assign(n, 0.0f);
    r.assign(n, 0.0f);
    for (int off = 0; off < n; off += 1500) {
      int k = std::min(1500, n - off);
      ReverbProcess(unit_, in.data() + off, l.data() + off, r.data() + off, k);
    }
  }
  static std::vector<float> Impulse(int frames) {
    std::vector<float> v(frames, 0.0f);
    v[0] = 1.0f;
    return v;
  }
  ReverbUnit* unit_ = nullptr;
  std::vector<float> l, r;
};

TEST_F(ReverbTest, RunsOnlyWhenSomeSendIsOn) {
  ClearInternalArrays();
  EXPECT_EQ(nullptr, ReverbCreate(kRate));
  EXPECT_EQ(nullptr, TapReverbCreate(kRate));
  SetRecord(Prev, 0, {1, 0});  // the master's sends are ignored
  SetRecord(Ptrev, 0, {1, 0});
  EXPECT_EQ(nullptr, ReverbCreate(kRate));
  EXPECT_EQ(nullptr, TapReverbCreate(kRate));
  SetRecord(Prev, 130, {1, 0});  // a submix's send counts
  ReverbUnit* u = ReverbCreate(kRate);
  EXPECT_NE(nullptr, u);
  EXPECT_EQ(nullptr, TapReverbCreate(kRate));
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
    for (int i = n - 1; i >= 0; i--)
      edc[i] = edc[i + 1] + (double)l[i] * l[i] + (double)r[i] * r[i];
    auto cross = [&](double db) {
      int i = 0;
      while (i < n && 10 * std::log10(edc[i] / edc[0]) > db) i++;
      return i;
    };
    double measured = 2.0 * (cross(-35) - cross(-5)) / kRate;
    EXPECT_NEAR(t60, measured, 0.2 * t60) << len << " ft";
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
  Prhp[0] = 1;
  Prlp[0] = 1;
  Prev_width = 0;
  std::vector<float> in = Noise(0.1, 96000, 7);
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

TEST_F(ReverbTest, FiltersActOnTheReturn) {
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
}

TEST_F(ReverbTest, ReturnLevelScalesTheReturnAndAddsToTheBus) {
  std::vector<float> in = Noise(0.1, 20000, 8);
  for (bool tap : {false, true}) {
    Prtn[0] = Ptrtn[0] = 0;
    Render(in, tap);
    std::vector<float> full = l;
    Prtn[0] = Ptrtn[0] = -6;
    Render(in, tap);
    for (int i = 0; i < 20000; i += 97) EXPECT_NEAR(full[i] * 0.501187f, l[i], 1e-6) << tap;
  }
  // The return is added to what the bus holds.
  ReverbUnit* u = ReverbCreate(kRate);
  std::vector<float> zero(500, 0.0f), bl(500, 0.5f), br(500, -0.5f);
  ReverbProcess(u, zero.data(), bl.data(), br.data(), 500);
  EXPECT_EQ(std::vector<float>(500, 0.5f), bl);
  EXPECT_EQ(std::vector<float>(500, -0.5f), br);
  ReverbDestroy(u);
}

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
  Prev_position[0] = 0;
  Prev_position[1] = 100;
  Prev_position[2] = 0;
  int n = 60 * (int)kRate, loud = 2 * (int)kRate;
  std::vector<float> in = Noise(1.0, loud, 9);
  in.resize(n, 0.0f);
  Render(in);
  ASSERT_TRUE(AllFinite(l) && AllFinite(r));
  double prev = INFINITY;
  for (int s = 4; s < 60; s++) {
    double e = 0;
    for (int i = s * (int)kRate; i < (s + 1) * (int)kRate; i++)
      e += (double)l[i] * l[i] + (double)r[i] * r[i];
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

// Both reverbs at every end of every range, at the defaults and with
// nonsense in the globals, at low and high rates: finite, and silent again
// after the input stops.
TEST_F(ReverbTest, StableAtEveryRangeLimit) {
  const float nan = std::nanf("");
  for (int setting = -1; setting <= 2; setting++) {
    for (double rate : {22050.0, 96000.0}) {
      ClearInternalArrays();
      SetRecord(Prev, 1, {1, 0});
      SetRecord(Ptrev, 1, {1, 0});
      if (setting != 0) {
        bool hi = setting == 1;
        Prtn[0] = hi ? 0 : -24;
        Prtn[1] = hi ? 1000 : 25;
        Ptrtn[0] = hi ? 0 : -24;
        Ptrtn[1] = hi ? 500 : 25;
        Ptrtn[2] = hi ? 11 : 1;
        Prhp[0] = Prlp[0] = 1;
        Prhp[1] = hi ? 1000 : 60;
        Prlp[1] = hi ? 12000 : 2000;
        Prev_width = hi ? 100 : 0;
        for (float& p : Prev_position) p = hi ? 100 : 0;
      }
      if (setting == 2) {
        Prtn[0] = INFINITY;
        Prtn[1] = nan;
        Ptrtn[1] = -1e9f;
        Ptrtn[2] = 1e9f;
        Prhp[1] = -5;
        Prlp[1] = 1e9f;
        Prev_width = nan;
        Prev_position[0] = -INFINITY;
      }
      for (bool tap : {false, true}) {
        double len = RoomLength(tap ? Ptrtn[1] : Prtn[1]);
        int quiet = (int)rate, n = quiet + (int)(rate * (Sabine(len) * 3 + 2 * len / 1125 + 0.5));
        std::vector<float> in = Noise(1.0, quiet, 10);
        in.resize(n, 0.0f);
        Render(in, tap, rate);
        ASSERT_TRUE(AllFinite(l) && AllFinite(r)) << setting << " " << rate << " " << tap;
        for (const std::vector<float>* v : {&l, &r}) {
          double whole = PeakAbs(*v, 0, n), end = PeakAbs(*v, n - 1000, n);
          EXPECT_TRUE(end == 0 || end < 1e-4 * whole) << setting << " " << rate << " " << tap;
        }
      }
    }
  }
}

}  // namespace
