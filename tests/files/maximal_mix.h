// The largest mix the model holds: all 512 rows in use with cue names, all
// 144 channel slots with a point on every row (offset, ramp and shape set),
// every effect on for slots 0..135, full routing, pan, reverbs, submix mutes
// and solos. Shared by the file tests and the fader file benchmark.
#ifndef ORVANE_TESTS_MAXIMAL_MIX_H
#define ORVANE_TESTS_MAXIMAL_MIX_H

#include <cstdio>

#include "model/model.h"

inline void BuildMaximalMix() {
  ClearInternalArrays();
  CopyField(MixName, NAME_LEN, "Maximal Mix");
  for (int r = 0; r < NUM_ROWS; r++) {
    IndexActiveArray[r] = 1;
    IndexMin[r] = (float)(r / 60);
    IndexSec[r] = (float)(r % 60) + 0.25f;
    IndexMsec[r] = (float)(r * 7 % 1000);
    snprintf(CueNameBuffer[r], CUE_LEN, "Cue %i", r + 1);
    for (int c = 0; c < NUM_SLOTS; c++) {
      int i = Cell(c, r);
      ChanActive[i] = 1;
      Volume[i] = -(float)((c + r) % 60) - (float)(r % 100) / 100.0f;
      Offset[i] = (float)(c % 7) * 0.125f + 0.5f;
      Ramp[i] = (float)(r % 5) + 0.25f;
      Shape[i] = 0.5f + (float)(c % 3) * 0.75f;
    }
  }
  for (const EffectDef& fx : Effects)
    for (int c = 0; c < NUM_FX_SLOTS; c++) {
      float* rec = fx.table + c * REC;
      rec[0] = 1.0f;
      for (int k = 1; k < fx.count; k++) rec[k] = (float)((c * 3 + k * 11) % 200) / 10.0f - 5.0f;
    }
  for (int c = 0; c < NUM_SLOTS; c++) Pan[c] = (float)(c % 201 - 100);
  Pan[100] = 12.0f;
  for (int s = 0; s < 8; s++) {
    SubOn[s] = VcaOn[s] = 1;
    snprintf(NameBuffer[GroupSlot(s + 1)], NAME_LEN, "Group number %i", s + 1);
    snprintf(NameBuffer[VcaSlot(s + 1)], NAME_LEN, "VCA number %i", s + 1);
    for (int n = 1; n <= NUM_INPUTS; n++) SubAsn[(n - 1) * 8 + s] = VcaAsn[(n - 1) * 8 + s] = 1;
    MuteArray[GroupSlot(s + 1)] = s % 2;
    SoloArray[GroupSlot(s + 1)] = (s + 1) % 2;
  }
  Prtn[0] = -3; Prtn[1] = 80;
  Ptrtn[0] = -6; Ptrtn[1] = 120; Ptrtn[2] = 7;
  Prhp[0] = 1; Prhp[1] = 200;
  Prlp[0] = 1; Prlp[1] = 6000;
  Prev_width = 75;
  Prev_position[0] = 10; Prev_position[1] = 20; Prev_position[2] = 30;
}

#endif
