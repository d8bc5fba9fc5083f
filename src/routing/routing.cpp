// The Submix Matrix and the VCA Matrix: input channels in banks of five, one
// row per channel, eight toggle buttons per row. The two windows are twins:
// one builder, one refresh and one edit, each given the description of its
// matrix (labels, widget tables, assignment tables).
#include "routing.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Spinner.H>
#include <FL/Fl_Value_Output.H>

#include "../app/app.h"
#include "../model/model.h"

#define DEFINE_MATRIX_CELL(r, s) \
  Fl_Round_Button* sub_button_##r##s; Fl_Round_Button* vca_button_##r##s;
#define DEFINE_MATRIX_ROW(r)                               \
  Fl_Value_Output* sub_ch_##r; Fl_Input* sub_text_##r;     \
  Fl_Value_Output* vca_ch_##r; Fl_Input* vca_text_##r;
ORVANE_MATRIX_CELLS(DEFINE_MATRIX_CELL)
ORVANE_MATRIX_ROWS(DEFINE_MATRIX_ROW)
Fl_Spinner* SubBank;
Fl_Spinner* VcaBank;

enum { ROWS = 5, COLS = 8, BANKS = 24 };

// The addresses of each matrix's widget pointers, row by row.
#define SUB_CELL(r, s) &sub_button_##r##s,
#define VCA_CELL(r, s) &vca_button_##r##s,
#define SUB_CH(r) &sub_ch_##r,
#define VCA_CH(r) &vca_ch_##r,
#define SUB_TEXT(r) &sub_text_##r,
#define VCA_TEXT(r) &vca_text_##r,
static Fl_Round_Button** const sub_buttons[ROWS * COLS] = {ORVANE_MATRIX_CELLS(SUB_CELL)};
static Fl_Round_Button** const vca_buttons[ROWS * COLS] = {ORVANE_MATRIX_CELLS(VCA_CELL)};
static Fl_Value_Output** const sub_chs[ROWS] = {ORVANE_MATRIX_ROWS(SUB_CH)};
static Fl_Value_Output** const vca_chs[ROWS] = {ORVANE_MATRIX_ROWS(VCA_CH)};
static Fl_Input** const sub_texts[ROWS] = {ORVANE_MATRIX_ROWS(SUB_TEXT)};
static Fl_Input** const vca_texts[ROWS] = {ORVANE_MATRIX_ROWS(VCA_TEXT)};

// What tells the two matrices apart.
struct MatrixDef {
  const char* window_label;
  const char* title;
  Fl_Round_Button** const* buttons;   // ROWS x COLS
  Fl_Value_Output** const* chs;       // ROWS
  Fl_Input** const* texts;            // ROWS
  Fl_Spinner** bank;
  int* asn;                           // NUM_ASN_ROWS x 8
  int* on;                            // 8
  void (*refresh)();
  Fl_Callback* edit_cb;
  Fl_Callback* refresh_cb;
};

static const MatrixDef submix = {
  "Submix Matrix", "Submix Assignments", sub_buttons, sub_chs, sub_texts, &SubBank,
  SubAsn, SubOn, UpdateSubmix, Call<SubmixToArray>, Call<UpdateSubmix>};
static const MatrixDef vca = {
  "VCA Matrix", "VCA Assignments", vca_buttons, vca_chs, vca_texts, &VcaBank,
  VcaAsn, VcaOn, UpdateVCA, Call<VcaToArray>, Call<UpdateVCA>};

static const int button_x[COLS] = {208, 238, 269, 300, 331, 362, 393, 424};
static const char* const button_label[COLS] = {"1", "2", "3", "4", "5", "6", "7", "8"};

static Fl_Double_Window* BuildMatrix(const MatrixDef& m) {
  Fl_Double_Window* w = new Fl_Double_Window(460, 280, m.window_label);
  w->color((Fl_Color)97);
  w->when(FL_WHEN_CHANGED);
  for (int k = 0; k < ROWS; k++) {
    for (int s = 0; s < COLS; s++) {
      Fl_Round_Button* o =
          new Fl_Round_Button(button_x[s], 77 + 40 * k, 17, 15, button_label[s]);
      o->type(FL_TOGGLE_BUTTON);
      o->down_box(FL_DOWN_BOX);
      o->labelcolor((Fl_Color)175);
      o->align(Fl_Align(FL_ALIGN_TOP));
      o->callback(m.edit_cb);
      *m.buttons[k * COLS + s] = o;
    }
    {
      Fl_Value_Output* o = new Fl_Value_Output(20, 74 + 40 * k, 30, 18);
      o->textsize(12);
      o->when(FL_WHEN_CHANGED | FL_WHEN_NOT_CHANGED);
      *m.chs[k] = o;
    }
    {
      Fl_Input* o = new Fl_Input(65, 74 + 40 * k, 120, 18);
      o->textsize(12);
      o->when(FL_WHEN_NEVER);
      *m.texts[k] = o;
    }
  }
  {
    Fl_Spinner* o = new Fl_Spinner(20, 30, 40, 24, "Bank");
    o->labelsize(12);
    o->labelcolor((Fl_Color)175);
    o->minimum(1);
    o->maximum(BANKS);
    o->step(1);
    o->value(1);
    o->textsize(12);
    o->align(Fl_Align(FL_ALIGN_TOP_LEFT));
    o->when(FL_WHEN_CHANGED);
    o->callback(m.refresh_cb);
    *m.bank = o;
  }
  {
    Fl_Box* o = new Fl_Box(306, 26, 35, 16, m.title);
    o->labelcolor((Fl_Color)175);
  }
  w->end();
  return w;
}

// The first assignment row of the bank shown. The spinner keeps its value in
// 1..24, but a typed "nan" or a value set by code could leave it outside:
// such a value counts as the nearest bank, so no row past 119 is touched.
static int BankBase(const MatrixDef& m) {
  double v = (*m.bank)->value();
  if (!(v >= 1)) v = 1;
  if (v > BANKS) v = BANKS;
  return (int)(v - 1) * ROWS;
}

static void Refresh(const MatrixDef& m) {
  if (!*m.bank) return;   // not built yet
  int b = BankBase(m);
  for (int k = 0; k < ROWS; k++) (*m.texts[k])->value(NameBuffer[b + k + 1]);
  for (int k = 0; k < ROWS; k++) (*m.chs[k])->value(b + k + 1);
  for (int k = 0; k < ROWS; k++)
    for (int s = 0; s < COLS; s++)
      (*m.buttons[k * COLS + s])->value(m.asn[(b + k) * 8 + s]);
}

// Stores the whole bank shown, whichever button was clicked, and recomputes
// the in-use flags from all 128 rows (channels 121..127 included).
static void Edit(const MatrixDef& m) {
  if (!*m.bank) return;
  int b = BankBase(m);
  for (int k = 0; k < ROWS; k++)
    for (int s = 0; s < COLS; s++)
      m.asn[(b + k) * 8 + s] = (*m.buttons[k * COLS + s])->value() ? 1 : 0;
  for (int s = 0; s < 8; s++) m.on[s] = 0;
  for (int s = 0; s < 8; s++)
    for (int r = 0; r < NUM_ASN_ROWS; r++)
      if (m.asn[r * 8 + s] == 1) m.on[s] = 1;
  m.refresh();
  ClearStatus();
}

Fl_Double_Window* make_window5() { return BuildMatrix(submix); }
Fl_Double_Window* make_window6() { return BuildMatrix(vca); }
void UpdateSubmix() { Refresh(submix); }
void UpdateVCA() { Refresh(vca); }
void SubmixToArray() { Edit(submix); }
void VcaToArray() { Edit(vca); }
