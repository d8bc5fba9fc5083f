// Placeholder until the Preferences window lands.
#include "prefs.h"
#include <FL/Fl_Double_Window.H>
Fl_Double_Window* make_window3() {
  Fl_Double_Window* w = new Fl_Double_Window(430, 375, "Preferences");
  w->end();
  return w;
}
void UpdatePreferences() {}
void SetColor() {}
