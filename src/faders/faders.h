// Fader automation: the time index table, the thirteen fader strips, their
// refreshes and the Faders window.
#ifndef ORVANE_FADERS_H
#define ORVANE_FADERS_H

class Fl_Double_Window;
class Fl_File_Chooser;
class Fl_Spinner;

extern Fl_Spinner* TimeIndex;
extern Fl_Spinner* Bank;

// Browse state shared with the directory chooser of the Preferences window.
extern int BrowseNumber;
extern Fl_File_Chooser* CH;

Fl_Double_Window* make_window2();

// Refreshes (never change the model, never fire edit callbacks).
void StageVolVarnUpdate();
void UpdateGUI();
void UpdateNames();
void UpdateSolos();
void UpdateMutes();

#endif
