// Placeholder until the Faders window lands; replaced by the real code.
#include "faders.h"
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Spinner.H>
Fl_Spinner* TimeIndex;
Fl_Spinner* Bank;
int BrowseNumber;
Fl_File_Chooser* CH;
Fl_Double_Window* make_window2() {
  Fl_Double_Window* w = new Fl_Double_Window(620, 575, "Faders");
  w->end();
  return w;
}
void StageVolVarnUpdate() {}
void UpdateGUI() {}
void UpdateNames() {}
void UpdateSolos() {}
void UpdateMutes() {}
