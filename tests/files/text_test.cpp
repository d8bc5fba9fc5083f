// The number formatting and conversion of the mix files agree with printf
// and strtod, which define the formats.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "files/text.h"

TEST(MixFileText, FixedPointIsPrintfs) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> exp(-30, 40);
  std::uniform_real_distribution<double> unit(-1, 1);
  const char* formats[] = {"%.0f", "%.1f", "%.2f", "%.3f"};
  for (int i = 0; i < 400000; i++) {
    float v;
    switch (i % 4) {
      case 0: v = (float)(unit(rng) * std::ldexp(1.0, exp(rng))); break;
      case 1: v = (float)((int)(unit(rng) * 20000)) / 16.0f; break;   // exact ties
      case 2: v = (float)((int)(unit(rng) * 200000)) / 1000.0f; break;
      default: v = (float)(unit(rng) * 1e4); break;
    }
    for (const char* f : formats) {
      char want[512];
      snprintf(want, sizeof want, f, v);
      std::string got;
      Appendf(got, f, v);
      ASSERT_EQ(got, want) << f << " of " << v;
    }
  }
  float special[] = {0.0f, -0.0f, -0.0004f, 0.5f, 1.5f, 2.5f, -2.5f, 12.5f, 13.5f, 3e38f, -3e38f,
                     INFINITY, -INFINITY, NAN, 1e-45f};
  for (float v : special)
    for (const char* f : formats) {
      char want[512];
      snprintf(want, sizeof want, f, v);
      std::string got;
      Appendf(got, f, v);
      EXPECT_EQ(got, want) << f;
    }
  std::string line;
  Appendf(line, "%i %s %li|%.2f%%", -2147483647 - 1, "x", 9000000000L, 1.005f);
  EXPECT_EQ(line, "-2147483648 x 9000000000|1.00%");
}

TEST(MixFileText, ConversionIsStrtods) {
  std::mt19937 rng(11);
  const char* samples[] = {"", " ", "-", "+", ".", "-.", "1", "-0", "+5", " \t\n12.5x", "0.1",
                           "123456789012345678901234567890", "1e5", "1E-3", "0x1A", "inf", "-nan",
                           "Infinity", "12..5", "9007199254740993", "0.0000000000000000000000001",
                           "1.7976931348623157e309", "  -3.25\t", "7\x00" "5"};
  for (const char* s : samples) {
    Field f{s, strlen(s)};
    double want = strtod(s, nullptr), got = ToDouble(f);
    if (std::isnan(want)) EXPECT_TRUE(std::isnan(got)) << s;
    else EXPECT_EQ(memcmp(&want, &got, sizeof got), 0) << s << " " << want << " " << got;
  }
  char buf[64];
  for (int i = 0; i < 200000; i++) {
    int digits = 1 + (int)(rng() % 18), point = (int)(rng() % (digits + 1));
    std::string s = rng() % 2 ? "-" : "";
    for (int d = 0; d < digits; d++) {
      if (d == point) s += '.';
      s += (char)('0' + rng() % 10);
    }
    snprintf(buf, sizeof buf, "%s", s.c_str());
    double want = strtod(buf, nullptr), got = ToDouble(Field{s.data(), s.size()});
    ASSERT_EQ(memcmp(&want, &got, sizeof got), 0) << s;
  }
  EXPECT_EQ(ToInt(Field{"2147483648", 10}), 2147483647);
  EXPECT_EQ(ToInt(Field{"-2147483649", 11}), -2147483647 - 1);
  EXPECT_EQ(ToInt(Field{" 12abc", 6}), 12);
  EXPECT_EQ(TruncToInt(16.9), 16);
  EXPECT_EQ(TruncToInt(-16.9), -16);
  EXPECT_EQ(TruncToInt(NAN), 0);
}
