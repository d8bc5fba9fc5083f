// Preferences: the Preferences window, its edits and the window colour.
#ifndef ORVANE_PREFS_H
#define ORVANE_PREFS_H

class Fl_Button;
class Fl_Double_Window;
class Fl_File_Chooser;
class Fl_Input;
class Fl_Round_Button;
class Fl_Spinner;
class Fl_Value_Input;

// The widgets of the Preferences window.
extern Fl_Round_Button *PreOn, *PreOff;
extern Fl_Value_Input *Preview_Min, *Preview_Length, *Preview_Sec, *Preview_Msec;
extern Fl_Value_Input *Xin_Min, *Xin_Sec, *Xin_Msec;
extern Fl_Value_Input *Xout_Min, *Xout_Sec, *Xout_Msec;
extern Fl_Value_Input *head, *tail;
extern Fl_Button* MixButton;
extern Fl_Input *PathDisplay, *WavDirDisplay, *MixDirDisplay, *LaunchDisplay;
extern Fl_Round_Button *outbits16button, *outbits24button, *monobutton;
extern Fl_Value_Input* panlaw;
extern Fl_Button *browseD1, *browseD2, *browseD3;
extern Fl_Spinner *dither, *bgcolor;

Fl_Double_Window* make_window3();
void UpdatePreferences();
void SetColor();

// Edit callbacks: each copies its widgets into the mix model.
void PreviewOnSwitch();
void PreviewOffSwitch();
void PreviewToArray();
void XinToArray();
void XoutToArray();
void HeadTailToArray();
void Outbits16ToArray();
void Outbits24ToArray();
void MonoToArray();
void PanlawToArray();
void DitherToArray();
void StorePath();
void StoreWaveDir();
void StoreMixDir();
void StoreLaunch();

// Directory choosers: target 1 Path, 2 WavDirName, 3 MixDirName.
void ChooseDirectory(int target);
void Set_Directory(Fl_File_Chooser*, void*);
// Stores dir into the target's field and text field; a directory that does
// not fit is refused with a message in the status line.
void StoreDirectory(int target, const char* dir);

#endif
