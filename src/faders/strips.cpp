// The fader strips: the strip-to-channel mapping of the Bank spinner, the
// edits that copy strip widgets into the model, and the refreshes that copy
// the model back into the Faders window.
#include <cstring>

#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Spinner.H>
#include <FL/Fl_Value_Input.H>
#include <FL/Fl_Value_Output.H>

#include "../app/app.h"
#include "../model/model.h"
#include "strips.h"

static const char kUnavailable[] = "(unavailable)";

// A spinner's value truncated toward zero, kept inside what an int holds.
static int Truncated(double v) {
  if (!(v > -1e6 && v < 1e6)) return v > 0 ? 1000000 : -1000000;
  return (int)v;
}

int CurrentRow() {
  int r = Truncated(TimeIndex->value() - 1.0);
  if (r < 0) return 0;
  if (r >= NUM_ROWS) return NUM_ROWS - 1;
  return r;
}

// The bank's first input channel less one: banks 1..12 give 0, 10, ..., 110.
static int BankBase() { return Truncated((Bank->value() - 1.0) * 10.0); }

int StripSlot(int k) {
  double b = Bank->value();
  if (k >= 1 && k <= 10) {
    int c = BankBase() + k;
    return c >= 1 && c <= NUM_INPUTS ? c : -1;
  }
  if (k == 11 || k == 12) {
    int c = Truncated(b + 127.0) + (k == 12 ? NUM_GROUPS : 0);
    int first = k == 11 ? GroupSlot(1) : VcaSlot(1);
    return c >= first && c < first + 8 ? c : -1;
  }
  return k == MASTER_STRIP ? 0 : -1;
}

// A name or cue slot shown in a text field, never read past its size.
static void ShowText(Fl_Input* field, const char* slot, size_t size) {
  field->value(slot, (int)strnlen(slot, size - 1));
}

// --- Refreshes -----------------------------------------------------------

// Sets every present strip of a column from a table: at the current row for
// an automation plane, or per channel.
template <class W, class V>
static void ShowColumn(W** const column[], int strips, const V* table, bool per_row) {
  int r = CurrentRow();
  for (int k = 1; k <= strips; k++) {
    int c = StripSlot(k);
    if (c >= 0) (*column[k - 1])->value(table[per_row ? Cell(c, r) : c]);
  }
}

void UpdateVolumes() { ShowColumn(volColumn, 13, Volume, true); }
void UpdateOffset() { ShowColumn(ofsColumn, 13, Offset, true); }
void UpdateRamp() { ShowColumn(rampColumn, 13, Ramp, true); }
void UpdateShape() { ShowColumn(shapeColumn, 13, Shape, true); }
void UpdateChannelActive() { ShowColumn(AColumn, 13, ChanActive, true); }
void UpdatePan() { ShowColumn(panColumn, 13, Pan, false); }
void UpdateSolos() { ShowColumn(soloColumn, 12, SoloArray, false); }
void UpdateMutes() { ShowColumn(muteColumn, 12, MuteArray, false); }

// Channel numbers of strips 1..10; strips 11 and 12 show the bank number,
// which is also the number of the bank's submix and VCA.
void UpdateDisplayNumbers() {
  int base = BankBase();
  for (int k = 1; k <= 10; k++) (*DispNumColumn[k - 1])->value(base + k);
  int b = Truncated(Bank->value());
  DispNum11->value(b);
  DispNum12->value(b);
}

void UpdateNames() {
  for (int k = 1; k <= 12; k++) {
    int c = StripSlot(k);
    if (c >= 0)
      ShowText(*nameColumn[k - 1], NameBuffer[c], NAME_LEN);
    else if (k > 10)
      (*nameColumn[k - 1])->value(kUnavailable);
  }
  ShowText(name13, NameBuffer[0], NAME_LEN);
  UpdateDisplayNumbers();
}

void UpdateCueName() { ShowText(CueName, CueNameBuffer[CurrentRow()], CUE_LEN); }
void UpdateMixName() { ShowText(MixNameInput, MixName, NAME_LEN); }

// After TimeIndex or Bank changed, and after a recall of faders.txt.
void StageVolVarnUpdate() {
  UpdateIndexActive();
  UpdateChannelActive();
  UpdateTime();
  UpdateVolumes();
  UpdatePan();
  UpdateMutes();
  UpdateSolos();
  UpdateDisplayNumbers();
  UpdateCueName();
  UpdateNames();
  UpdateOffset();
  UpdateRamp();
  UpdateShape();
}

void UpdateFaders() {
  StageVolVarnUpdate();
  UpdateMixName();
}

// --- Edits ---------------------------------------------------------------

// Rewrites a whole column from its widgets, then clears the status line.
template <class W, class V>
static void StoreColumn(W** const column[], int strips, V* table, bool per_row) {
  int r = CurrentRow();
  for (int k = 1; k <= strips; k++) {
    int c = StripSlot(k);
    if (c >= 0) table[per_row ? Cell(c, r) : c] = static_cast<V>((*column[k - 1])->value());
  }
  ClearStatus();
}

void VolumeToArray() { StoreColumn(volColumn, 13, Volume, true); }
void OffsetToArray() { StoreColumn(ofsColumn, 13, Offset, true); }
void ChannelActiveToArray() { StoreColumn(AColumn, 13, ChanActive, true); }
void SoloToArray() { StoreColumn(soloColumn, 12, SoloArray, false); }
void MuteToArray() { StoreColumn(muteColumn, 12, MuteArray, false); }

// Stores strip k's value of a column when the strip shows a channel and the
// value passes the column's check; clears the status line either way.
static void StoreStrip(Fl_Value_Input** const column[], int k, float* table, bool per_row,
                       bool (*valid)(double)) {
  if (k >= 1 && k <= NUM_STRIPS) {
    int c = StripSlot(k);
    double v = (*column[k - 1])->value();
    if (c >= 0 && valid(v)) table[per_row ? Cell(c, CurrentRow()) : c] = (float)v;
  }
  ClearStatus();
}

static bool RampValid(double v) { return v >= 0.0; }
static bool ShapeValid(double v) { return v > 0.0; }
static bool PanValid(double v) { return v >= -100.0 && v <= 100.0; }

void RampToArray(int k) { StoreStrip(rampColumn, k, Ramp, true, RampValid); }
void ShapeToArray(int k) { StoreStrip(shapeColumn, k, Shape, true, ShapeValid); }
void PanToArray(int k) { StoreStrip(panColumn, k, Pan, false, PanValid); }

// Names of strips 1..12, cut to the 127 characters of a name slot. Other
// windows show names too: the whole view follows.
void StoreNames() {
  for (int k = 1; k <= 12; k++) {
    int c = StripSlot(k);
    if (c >= 0) CopyField(NameBuffer[c], NAME_LEN, (*nameColumn[k - 1])->value());
  }
  UpdateView();
}

void CueNameToArray() { CopyField(CueNameBuffer[CurrentRow()], CUE_LEN, CueName->value()); }
void StoreMixName() { CopyField(MixName, NAME_LEN, MixNameInput->value()); }
