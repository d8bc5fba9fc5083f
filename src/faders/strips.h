// Inside the Faders window: each strip column as a table of its widgets'
// addresses (index k - 1 for strip k), walked by the builder, the edits and
// the refreshes.
#ifndef ORVANE_FADERS_STRIPS_H
#define ORVANE_FADERS_STRIPS_H

#include "faders.h"

#define ORVANE_DECLARE_COLUMN_TABLE(T, stem, n) extern T** const stem##Column[n];
ORVANE_FADER_COLUMNS(ORVANE_DECLARE_COLUMN_TABLE)
#undef ORVANE_DECLARE_COLUMN_TABLE

enum { NUM_STRIPS = 13, NUM_BROWSE = 10, MASTER_STRIP = 13 };

#endif
