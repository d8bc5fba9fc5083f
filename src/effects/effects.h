// Channel effects: channel selection, effect records, the Effects window and
// the Reverb window.
#ifndef ORVANE_EFFECTS_H
#define ORVANE_EFFECTS_H

class Fl_Double_Window;
class Fl_Output;
class Fl_Round_Button;
class Fl_Spinner;

extern Fl_Round_Button* SelectRegularChannel;
extern Fl_Round_Button* SelectGroupChannel;
extern Fl_Round_Button* SelectMasterChannel;
extern Fl_Spinner* RegularNum;
extern Fl_Spinner* GroupNum;
extern Fl_Output* NameInEffects;

Fl_Double_Window* make_window1();   // Effects window
Fl_Double_Window* make_window7();   // Reverb window

// Load step: the Effects window's effect widgets and the Reverb window's
// return widgets from the records of CNL.
void UpdateEffects();
// The Reverb window's filter, width and position widgets (full refresh only).
void UpdateReverbSettings();

#endif
