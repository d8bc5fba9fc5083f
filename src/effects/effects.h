// Channel effects: channel selection, effect records, the Effects window and
// the Reverb window.
#ifndef ORVANE_EFFECTS_H
#define ORVANE_EFFECTS_H

class Fl_Button;
class Fl_Double_Window;
class Fl_Output;
class Fl_Round_Button;
class Fl_Spinner;
class Fl_Value_Slider;

extern Fl_Round_Button* SelectRegularChannel;
extern Fl_Round_Button* SelectGroupChannel;
extern Fl_Round_Button* SelectMasterChannel;
extern Fl_Spinner* RegularNum;
extern Fl_Spinner* GroupNum;
extern Fl_Output* NameInEffects;

// On/off switches of the effect grid (Effects window) and of the reverb
// filters (Reverb window).
#define ORVANE_FX_SWITCHES(X)                                               \
  X(comp0) X(rms0) X(nlc0) X(lim0) X(lshelf0) X(band1_0) X(band2_0)         \
  X(hshelf0) X(hpass0) X(fxg0) X(rev_state) X(trev_state) X(Rev_HP0)        \
  X(Rev_LP0)

// Parameter sliders of the effect grid, then those of the Reverb window.
#define ORVANE_FX_SLIDERS(X)                                                \
  X(comp1) X(comp2) X(comp3) X(comp4) X(rms1) X(rms2) X(rms3) X(rms4)       \
  X(nlc1) X(nlc2) X(nlc3) X(lim1) X(lshelf1) X(lshelf2) X(lshelf3)          \
  X(band1_1) X(band1_2) X(band1_3) X(band2_1) X(band2_2) X(band2_3)         \
  X(hshelf1) X(hshelf2) X(hshelf3) X(hpass1) X(fxg1) X(rev_send)            \
  X(trev_send) X(rev_rtn) X(rev_size) X(trev_rtn) X(trev_size) X(trev_taps) \
  X(Rev_HP1) X(Rev_LP1) X(rev_width) X(rev_positionX) X(rev_positionY)      \
  X(rev_positionZ)

#define ORVANE_DECLARE_SWITCH(name) extern Fl_Button* name;
#define ORVANE_DECLARE_SLIDER(name) extern Fl_Value_Slider* name;
ORVANE_FX_SWITCHES(ORVANE_DECLARE_SWITCH)
ORVANE_FX_SLIDERS(ORVANE_DECLARE_SLIDER)
#undef ORVANE_DECLARE_SWITCH
#undef ORVANE_DECLARE_SLIDER

Fl_Double_Window* make_window1();   // Effects window
Fl_Double_Window* make_window7();   // Reverb window

// Load step: the Effects window's channel name and effect widgets and the
// Reverb window's return widgets from the records of CNL.
void UpdateEffects();
// The Reverb window's filter, width and position widgets (full refresh only).
void UpdateReverbSettings();

#endif
