// Routing: the submix and VCA assignment matrices.
#ifndef ORVANE_ROUTING_H
#define ORVANE_ROUTING_H

class Fl_Double_Window;
class Fl_Input;
class Fl_Round_Button;
class Fl_Spinner;
class Fl_Value_Output;

// The five rows A..E of a bank and the 40 cells (row, submix or VCA 1..8),
// row by row. Each matrix has one global widget pointer per cell and row.
#define ORVANE_MATRIX_ROWS(X) X(A) X(B) X(C) X(D) X(E)
#define ORVANE_MATRIX_ROW_CELLS(X, r) \
  X(r, 1) X(r, 2) X(r, 3) X(r, 4) X(r, 5) X(r, 6) X(r, 7) X(r, 8)
#define ORVANE_MATRIX_CELLS(X)                                          \
  ORVANE_MATRIX_ROW_CELLS(X, A) ORVANE_MATRIX_ROW_CELLS(X, B)           \
  ORVANE_MATRIX_ROW_CELLS(X, C) ORVANE_MATRIX_ROW_CELLS(X, D)           \
  ORVANE_MATRIX_ROW_CELLS(X, E)

#define ORVANE_DECLARE_MATRIX_CELL(r, s) \
  extern Fl_Round_Button* sub_button_##r##s; extern Fl_Round_Button* vca_button_##r##s;
#define ORVANE_DECLARE_MATRIX_ROW(r)                                      \
  extern Fl_Value_Output* sub_ch_##r; extern Fl_Input* sub_text_##r;      \
  extern Fl_Value_Output* vca_ch_##r; extern Fl_Input* vca_text_##r;
ORVANE_MATRIX_CELLS(ORVANE_DECLARE_MATRIX_CELL)
ORVANE_MATRIX_ROWS(ORVANE_DECLARE_MATRIX_ROW)
#undef ORVANE_DECLARE_MATRIX_CELL
#undef ORVANE_DECLARE_MATRIX_ROW

extern Fl_Spinner* SubBank;
extern Fl_Spinner* VcaBank;

Fl_Double_Window* make_window5();   // Submix Matrix
Fl_Double_Window* make_window6();   // VCA Matrix
void UpdateSubmix();
void UpdateVCA();
void SubmixToArray();
void VcaToArray();

#endif
