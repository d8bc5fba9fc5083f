// Fader automation: the time index table, the thirteen fader strips, their
// refreshes and the Faders window.
#ifndef ORVANE_FADERS_H
#define ORVANE_FADERS_H

class Fl_Button;
class Fl_Double_Window;
class Fl_File_Chooser;
class Fl_Input;
class Fl_Output;
class Fl_Spinner;
class Fl_Value_Input;
class Fl_Value_Output;

// Header widgets of the Faders window.
extern Fl_Input* MixNameInput;
extern Fl_Button* MixButton3;
extern Fl_Spinner* TimeIndex;
extern Fl_Button* IndexActive;
extern Fl_Input* CueName;
extern Fl_Value_Input* GuiMin;
extern Fl_Value_Input* GuiSec;
extern Fl_Value_Input* GuiMsec;
extern Fl_Spinner* Bank;

// The strip widgets: one global per column and strip (vol1 .. vol13, ...).
// A column lists its kind, its stem and how many strips carry it.
#define ORVANE_STRIPS_10(X, T, stem) \
  X(T, stem, 1) X(T, stem, 2) X(T, stem, 3) X(T, stem, 4) X(T, stem, 5) \
  X(T, stem, 6) X(T, stem, 7) X(T, stem, 8) X(T, stem, 9) X(T, stem, 10)
#define ORVANE_STRIPS_12(X, T, stem) ORVANE_STRIPS_10(X, T, stem) X(T, stem, 11) X(T, stem, 12)
#define ORVANE_STRIPS_13(X, T, stem) ORVANE_STRIPS_12(X, T, stem) X(T, stem, 13)

#define ORVANE_FADER_COLUMNS(X)                                              \
  X(Fl_Button, solo, 12) X(Fl_Button, mute, 12)                              \
  X(Fl_Value_Output, DispNum, 12) X(Fl_Input, name, 12)                      \
  X(Fl_Button, browse, 10) X(Fl_Button, A, 13) X(Fl_Spinner, vol, 13)        \
  X(Fl_Value_Input, ofs, 13) X(Fl_Value_Input, ramp, 13)                     \
  X(Fl_Value_Input, shape, 13) X(Fl_Value_Input, pan, 13)

#define ORVANE_DECLARE_STRIP_WIDGET(T, stem, k) extern T* stem##k;
#define ORVANE_DECLARE_COLUMN(T, stem, n) ORVANE_STRIPS_##n(ORVANE_DECLARE_STRIP_WIDGET, T, stem)
ORVANE_FADER_COLUMNS(ORVANE_DECLARE_COLUMN)
#undef ORVANE_DECLARE_COLUMN
#undef ORVANE_DECLARE_STRIP_WIDGET

extern Fl_Output* name13;   // the master's name, read-only

Fl_Double_Window* make_window2();

// Current row (0..511) from TimeIndex, and the channel slot that strip k
// (1..13) shows in the current bank, or -1 when the strip shows none.
int CurrentRow();
int StripSlot(int k);

// Time index table.
void StoreTime();
void IndexActiveToArray();
void UpdateTime();
void UpdateIndexActive();
void InsertIndex();
void RemoveIndex();
void Propagate();

// Strip edits (copy widgets into the model).
void VolumeToArray();
void OffsetToArray();
void RampToArray(int k);
void ShapeToArray(int k);
void ChannelActiveToArray();
void PanToArray(int k);
void SoloToArray();
void MuteToArray();
void StoreNames();
void CueNameToArray();
void StoreMixName();

// Browse buttons: opens the file chooser for strip k; its callback stores
// the chosen file as the strip's channel name.
void ChooseFile(int k);
void Set_File(Fl_File_Chooser* chooser, void* data);
// What Set_File does with the chooser's report (null or a directory when
// nothing was chosen).
void StoreChosenFile(const char* path);

// Refreshes (never change the model, never fire edit callbacks).
void StageVolVarnUpdate();
void UpdateFaders();   // the whole window, for the whole view (app.h)
void UpdateVolumes();
void UpdateOffset();
void UpdateRamp();
void UpdateShape();
void UpdateChannelActive();
void UpdatePan();
void UpdateSolos();
void UpdateMutes();
void UpdateDisplayNumbers();
void UpdateNames();
void UpdateCueName();
void UpdateMixName();

#endif
