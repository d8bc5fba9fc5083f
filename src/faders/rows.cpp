// The time index table: the shown row's time and in-use flag, and the row
// operations of the "Edit Index" menu (insert, remove, propagate). Cue names
// stay with their row number; times and cells move.
#include <cstdio>

#include <FL/Fl_Button.H>
#include <FL/Fl_Value_Input.H>

#include "../app/app.h"
#include "../model/model.h"
#include "faders.h"

void StoreTime() {
  int r = CurrentRow();
  IndexMin[r] = (float)GuiMin->value();
  IndexSec[r] = (float)GuiSec->value();
  IndexMsec[r] = (float)GuiMsec->value();
  ClearStatus();
}

void IndexActiveToArray() {
  IndexActiveArray[CurrentRow()] = IndexActive->value();
  ClearStatus();
}

void UpdateTime() {
  int r = CurrentRow();
  GuiMin->value(IndexMin[r]);
  GuiSec->value(IndexSec[r]);
  GuiMsec->value(IndexMsec[r]);
}

void UpdateIndexActive() { IndexActive->value(IndexActiveArray[CurrentRow()]); }

// One channel's cell of the five automation planes.
static void CopyCell(int c, int from, int to) {
  Volume[Cell(c, to)] = Volume[Cell(c, from)];
  Offset[Cell(c, to)] = Offset[Cell(c, from)];
  Ramp[Cell(c, to)] = Ramp[Cell(c, from)];
  Shape[Cell(c, to)] = Shape[Cell(c, from)];
  ChanActive[Cell(c, to)] = ChanActive[Cell(c, from)];
}

static void ResetCell(int c, int r) {
  Volume[Cell(c, r)] = 0.0f;
  Ramp[Cell(c, r)] = 0.0f;
  Shape[Cell(c, r)] = 1.0f;
  Offset[Cell(c, r)] = 0.0f;
  ChanActive[Cell(c, r)] = 0;
}

// A row's in-use flag and time.
static void CopyRow(int from, int to) {
  IndexActiveArray[to] = IndexActiveArray[from];
  IndexMin[to] = IndexMin[from];
  IndexSec[to] = IndexSec[from];
  IndexMsec[to] = IndexMsec[from];
}

// Shows the moved rows and the operation's report.
static void RowRefresh(const char* format, int r) {
  UpdateVolumes();
  UpdateOffset();
  UpdateRamp();
  UpdateShape();
  UpdateIndexActive();
  UpdateChannelActive();
  UpdateTime();
  snprintf(tbuffer, TBUF_LEN, format, r + 1);
  ShowStatus();
}

// Rows r..510 move down one; the old row 511 is lost and row r starts empty.
void InsertIndex() {
  int r = CurrentRow();
  for (int c = 0; c < NUM_SLOTS; c++) {
    for (int j = NUM_ROWS - 1; j > r; j--) CopyCell(c, j - 1, j);
    ResetCell(c, r);
  }
  for (int j = NUM_ROWS - 1; j > r; j--) CopyRow(j - 1, j);
  IndexActiveArray[r] = 0;
  IndexMin[r] = IndexSec[r] = IndexMsec[r] = 0.0f;
  RowRefresh("Inserted new index %i", r);
}

// Rows r+1..511 move up one; row 511 keeps its contents.
void RemoveIndex() {
  int r = CurrentRow();
  ClearStatus();
  for (int c = 0; c < NUM_SLOTS; c++)
    for (int j = r; j < NUM_ROWS - 1; j++) CopyCell(c, j + 1, j);
  for (int j = r; j < NUM_ROWS - 1; j++) CopyRow(j + 1, j);
  RowRefresh("Removed index %i", r);
}

// Row r is copied onto row r + 1, for source rows up to 509 only.
void Propagate() {
  int r = CurrentRow();
  if (r <= 509) {
    for (int c = 0; c < NUM_SLOTS; c++) CopyCell(c, r, r + 1);
    CopyRow(r, r + 1);
  }
  RowRefresh("Propagated index %i forward", r);
}
