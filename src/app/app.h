// Application shell: the control window with its status line, the window
// globals, showing and hiding the tool windows, the program's shortcuts.
#ifndef ORVANE_APP_H
#define ORVANE_APP_H

#include <cstddef>
#include <string>

class Fl_Button;
class Fl_Double_Window;
class Fl_File_Chooser;
class Fl_Output;
class Fl_Progress;
class Fl_Text_Buffer;
class Fl_Value_Input;
class Fl_Widget;
class Fl_Window;

extern Fl_Double_Window* ControlWindow;
extern Fl_Double_Window* FadersWindow;
extern Fl_Double_Window* EffectsWindow;
extern Fl_Double_Window* PrefsWindow;
extern Fl_Double_Window* SubWindow;
extern Fl_Double_Window* VCAWindow;
extern Fl_Double_Window* ReverbWindow;
extern Fl_Double_Window* AutomationWindow;
extern Fl_Output* TextResponse;
// Shown in the control window while the engine runs: its progress and the
// button that stops it.
extern Fl_Progress* MixProgress;
extern Fl_Button* MixCancel;
// Every reason a failed mix gave, readable and copyable ("Mix report"),
// built at the first mix.
extern Fl_Double_Window* MixReportWindow;
extern Fl_Text_Buffer* MixReportBuffer;

// Builds the control window, shows it and returns it.
Fl_Double_Window* make_window4();
// Builds all windows in start-up order (the control window last,
// shown at once when show is true) and installs the program's shortcuts.
void BuildAllWindows(bool show);

void ShowFaders();
void ShowEffects();
void ShowPrefs();
void ShowSubs();
void ShowVCAs();
void ShowReverb();
void ShowAutomation();
void HideFaders();
void HideEffects();
void HidePrefs();
void HideSubs();
void HideVCAs();
void HideReverb();
void HideAutomation();
void ProgramExit();

// The whole view (src/app/view.cpp): every window's refresh from the model,
// one table row a window. None changes the model or fires an edit callback.
// A window calls UpdateView after an edit that other windows show too (a
// channel name); UpdateGUI adds the status text of tbuffer (at start and
// after a recall); UpdateWindow refreshes one window (when it is shown).
void UpdateView();
void UpdateGUI();
void UpdateWindow(Fl_Double_Window* window);

// A value field made before its step shows the step's decimals only once its
// value changes: this shows them at once (0.01: "0.00").
void ShowStepDecimals(Fl_Value_Input* field);

// The file chooser opened last, and what it is for: a strip of the Faders
// window (1..10) or a directory of the Preferences window (1..3).
extern int BrowseNumber;
extern Fl_File_Chooser* CH;

// Status line: show tbuffer, or clear the field; a warning shows tbuffer in
// colours that cannot be missed, until the status line next changes.
void ShowStatus();
void ShowStatusWarning();
void ClearStatus();

// Installs the dispatcher that runs the program's Ctrl shortcuts before any
// widget sees the key, so that a focused text field cannot swallow them.
void InstallShortcuts();

// Actions of the control window and the tool windows' Mix buttons: the
// file steps, their report in the status line, and the refreshes.
void StageReadFromFile();
void StageWriteToFile();
void ReadTracksFile();
void WriteTracksFile();
void ReadPreferencesFile();
void WritePreferencesFile();
void SaveAll();
void RecallAll();
void Mix();

// The desktop program: --help and --version answered without a display
// (the exit status, or -1 to go on); the class "orvane" and the icon for
// every window, set before the first is shown; the render engine's command,
// Path followed by "vorlax4" (a Path beginning with "~/" under $HOME),
// where an empty Path means the vorlax4 beside the editor's own program
// when there is one, else the search path's.
int AnswerCommandLine(int argc, char** argv);
void SetWindowIdentity();
std::string EngineCommand();

// The render engine (mixrun.cpp): RunEngine starts it, shows its progress
// and waits for it with the windows drawing but taking no input, then
// reports. CancelMix asks it to stop (Cancel, Escape). MixRunEvent is what
// the event dispatcher does with every event while it runs.
void RunEngine();
void CancelMix();
bool MixRunning();
int MixRunEvent(int event, Fl_Window* window);

// The session: unsaved changes, undo and redo, and the questions asked before
// the user's work could be lost.
// After the windows are built: hooks every widget callback and menu item so
// that each edit becomes an undo step, takes the model as the stored state
// and reports mix files found in the working directory. Run again, it starts
// a new session on the model as it is (no history, nothing unsaved).
void StartSession();
// Records what changed in the model since the last step as one undo step;
// what labels it ("Recall All"), or null to name it from what changed
// ("volume, channel 2, time index 3"). Edits made outside a widget callback
// call it themselves.
void AfterEdit(const char* what);
// After an event handled outside a hooked callback.
void AfterEvent(int event);
bool UndoEdit();   // Ctrl+z
bool RedoEdit();   // Ctrl+Shift+z, Ctrl+y
// The model differs from what was last stored or recalled.
bool Unsaved();
size_t UndoSteps();
size_t RedoSteps();
// Memory the history holds; at most UNDO_BUDGET (the oldest steps are dropped
// beyond it, the newest is always kept).
size_t UndoBytes();
extern const size_t UNDO_BUDGET;
// After a recall: the files (MixFile bits) now hold what the model holds
// (parsed: the text the reader parsed, or null).
void MixFileRecalled(int files, const std::string* parsed);
// After every store, saved or not: files are the ones saved.
void MixFilesStored(int files);
// Before a store: asks when a file to be replaced was neither recalled nor
// stored by this run, or changed on disk since. False: do not write.
bool MayReplaceMixFiles(int files);
// Before quitting: asks when changes are unsaved. False: keep running.
bool MayQuit();
// Every question goes through here (answer 0, 1 or 2 for b0, b1, b2; b0 is
// also the answer to Escape). Tests put their own answer in.
extern int (*AskUser)(const char* title, const char* question, const char* b0,
                      const char* b1, const char* b2);

// A widget callback that runs a function of no arguments.
template <void (*F)()>
void Call(Fl_Widget*, void*) { F(); }

#endif
