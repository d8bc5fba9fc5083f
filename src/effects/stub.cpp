// Placeholder until the Effects and Reverb windows land.
#include "effects.h"
#include <FL/Fl_Double_Window.H>
Fl_Round_Button* SelectRegularChannel;
Fl_Round_Button* SelectGroupChannel;
Fl_Round_Button* SelectMasterChannel;
Fl_Spinner* RegularNum;
Fl_Spinner* GroupNum;
Fl_Output* NameInEffects;
Fl_Double_Window* make_window1() {
  Fl_Double_Window* w = new Fl_Double_Window(520, 620, "Effects");
  w->end();
  return w;
}
Fl_Double_Window* make_window7() {
  Fl_Double_Window* w = new Fl_Double_Window(410, 255, "Reverb");
  w->end();
  return w;
}
void UpdateEffects() {}
void UpdateReverbSettings() {}
