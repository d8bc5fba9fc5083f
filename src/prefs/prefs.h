// Preferences: the Preferences window, its edits and the window colour.
#ifndef ORVANE_PREFS_H
#define ORVANE_PREFS_H

class Fl_Double_Window;

Fl_Double_Window* make_window3();
void UpdatePreferences();
void SetColor();

#endif
