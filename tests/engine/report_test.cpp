// The engine's summary line, read back by the editor field for field (its
// progress lines and a render stopped on request: e2e/engine_progress_test).
#include <gtest/gtest.h>

#include <string>

#include "engine.h"
#include "testlib.h"

namespace {

// The editor reads every field of the engine's summary line as written.
TEST(EngineReport, SummaryLineReadsBack) {
  RenderReport r;
  r.output = "mixes/Take: 2.wav";
  r.frames = 96000 * 3 + 48000;
  r.rate = 96000;
  r.channels = 1;
  r.bits = 16;
  r.peak = 0.5;
  r.clipped = 12;
  r.seconds = 1.25;
  EXPECT_EQ("mixes/Take: 2.wav|3.5 s|96000 Hz|1 ch|16 bit|peak -6.02|12 clipped|1.25 s|",
            SummaryFields(SummaryLine(r)));
  r.peak = 0;
  EXPECT_EQ("mixes/Take: 2.wav|3.5 s|96000 Hz|1 ch|16 bit|peak -inf|12 clipped|1.25 s|",
            SummaryFields(SummaryLine(r)));
}

}  // namespace
