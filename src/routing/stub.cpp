// Placeholder until the matrices land.
#include "routing.h"
#include <FL/Fl_Double_Window.H>
Fl_Double_Window* make_window5() {
  Fl_Double_Window* w = new Fl_Double_Window(460, 280, "Submix Matrix");
  w->end();
  return w;
}
Fl_Double_Window* make_window6() {
  Fl_Double_Window* w = new Fl_Double_Window(460, 280, "VCA Matrix");
  w->end();
  return w;
}
void UpdateSubmix() {}
void UpdateVCA() {}
void SubmixToArray() {}
void VcaToArray() {}
