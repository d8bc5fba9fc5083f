// The control window: status line, Show and Hide of the six tool windows,
// Mix, the Recall and Store menus, Quit; and the program's shortcuts.
#include "app.h"

#include <cstdlib>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Progress.H>

#include "../automation/automation.h"
#include "../effects/effects.h"
#include "../faders/faders.h"
#include "../files/text.h"
#include "../model/model.h"
#include "../prefs/prefs.h"
#include "../routing/routing.h"

Fl_Double_Window* ControlWindow;
Fl_Double_Window* FadersWindow;
Fl_Double_Window* EffectsWindow;
Fl_Double_Window* PrefsWindow;
Fl_Double_Window* SubWindow;
Fl_Double_Window* VCAWindow;
Fl_Double_Window* ReverbWindow;
Fl_Double_Window* AutomationWindow;
Fl_Output* TextResponse;
Fl_Progress* MixProgress;
Fl_Button* MixCancel;

// A window shown shows the model.
static void Show(Fl_Double_Window* w) {
  if (!w) return;
  UpdateWindow(w);
  w->show();
}
static void Hide(Fl_Double_Window* w) { if (w) w->hide(); }

void ShowFaders() { Show(FadersWindow); }
void ShowEffects() { Show(EffectsWindow); }
void ShowPrefs() { Show(PrefsWindow); }
void ShowSubs() { Show(SubWindow); }
void ShowVCAs() { Show(VCAWindow); }
void ShowReverb() { Show(ReverbWindow); }
void ShowAutomation() { Show(AutomationWindow); }
void HideFaders() { Hide(FadersWindow); }
void HideEffects() { Hide(EffectsWindow); }
void HidePrefs() { Hide(PrefsWindow); }
void HideSubs() { Hide(SubWindow); }
void HideVCAs() { Hide(VCAWindow); }
void HideReverb() { Hide(ReverbWindow); }
void HideAutomation() { Hide(AutomationWindow); }

// Quit, Ctrl+q and closing the control window: asks first when changes are
// unsaved.
void ProgramExit() {
  if (MayQuit()) exit(0);
}

// The status line's colours: as built, or the warning's.
static Fl_Color statusColor, statusTextColor;
static void StatusColors(bool warning) {
  if (!TextResponse) return;
  TextResponse->color(warning ? FL_RED : statusColor);
  TextResponse->textcolor(warning ? FL_WHITE : statusTextColor);
  TextResponse->redraw();
}

// Reports carry names and paths from the user's files: shown escaped.
void ShowStatus() {
  StatusColors(false);
  if (TextResponse) TextResponse->value(Escaped(tbuffer).c_str());
}
void ShowStatusWarning() {
  ShowStatus();
  StatusColors(true);
}
void ClearStatus() {
  StatusColors(false);
  if (TextResponse) TextResponse->value("");
}

// One row a widget of the control window, in creation order.
enum Kind { BUTTON, HIDE_BUTTON, CAPTION, STATUS, MENU, PROGRESS, CANCEL };
struct ControlRow {
  Kind kind;
  const char* label;
  int x, y, w, h;
  int shortcut;
  void (*action)();
  const Fl_Menu_Item* menu;
};

static Fl_Menu_Item menu_Recall[] = {
  {"Recall Faders / Effects", 0, Call<StageReadFromFile>, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
  {"Recall Track Names", 0, Call<ReadTracksFile>, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
  {"Recall Preferences", 0, Call<ReadPreferencesFile>, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
  {"Recall All", 0, Call<RecallAll>, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
  {0, 0, 0, 0, 0, 0, 0, 0, 0}
};

static Fl_Menu_Item menu_Store[] = {
  {"Store Faders / Effects", 0, Call<StageWriteToFile>, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
  {"Store Track Names", 0, Call<WriteTracksFile>, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
  {"Store Preferences", 0, Call<WritePreferencesFile>, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
  {"Store All", FL_CTRL + 's', Call<SaveAll>, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
  {0, 0, 0, 0, 0, 0, 0, 0, 0}
};

static const int S = FL_CTRL | FL_SHIFT;
static const ControlRow control_rows[] = {
  {BUTTON, "Mix", 295, 50, 82, 20, FL_CTRL + 'm', Mix, 0},
  {BUTTON, "Show", 8, 71, 40, 20, FL_CTRL + 'f', ShowFaders, 0},
  {BUTTON, "Show", 198, 127, 40, 20, FL_CTRL + 'p', ShowPrefs, 0},
  {BUTTON, "Show", 103, 71, 40, 20, FL_CTRL + 'e', ShowEffects, 0},
  {BUTTON, "Show", 10, 127, 40, 20, FL_CTRL + 'g', ShowSubs, 0},
  {STATUS, 0, 8, 15, 367, 20, 0, 0, 0},
  {CAPTION, "Faders", 30, 47, 32, 16, 0, 0, 0},
  {CAPTION, "Effects", 127, 47, 32, 16, 0, 0, 0},
  {CAPTION, "Preferences", 224, 103, 32, 16, 0, 0, 0},
  {CAPTION, "Subs", 34, 102, 32, 16, 0, 0, 0},
  {HIDE_BUTTON, "Hide", 50, 71, 40, 20, S + 'f', HideFaders, 0},
  {HIDE_BUTTON, "Hide", 145, 71, 40, 20, S + 'e', HideEffects, 0},
  {HIDE_BUTTON, "Hide", 240, 127, 40, 20, S + 'p', HidePrefs, 0},
  {HIDE_BUTTON, "Hide", 52, 127, 40, 20, S + 'g', HideSubs, 0},
  {BUTTON, "Quit", 336, 140, 41, 20, FL_CTRL + 'q', ProgramExit, 0},
  {MENU, "Recall", 295, 80, 82, 20, 0, 0, menu_Recall},
  {MENU, "Store", 295, 110, 82, 20, 0, 0, menu_Store},
  {BUTTON, "Show", 103, 127, 40, 20, FL_CTRL + 'v', ShowVCAs, 0},
  {CAPTION, "VCAs", 127, 102, 32, 16, 0, 0, 0},
  {HIDE_BUTTON, "Hide", 145, 127, 40, 20, S + 'v', HideVCAs, 0},
  {BUTTON, "Show", 198, 71, 40, 20, FL_CTRL + 'r', ShowReverb, 0},
  {CAPTION, "Reverb", 222, 47, 32, 16, 0, 0, 0},
  {HIDE_BUTTON, "Hide", 240, 71, 40, 20, S + 'r', HideReverb, 0},
  // Shown only while the engine runs (Escape cancels too).
  {PROGRESS, 0, 8, 152, 250, 18, 0, 0, 0},
  {CANCEL, "Cancel", 264, 150, 64, 22, 0, CancelMix, 0},
  // Below the progress row: the curve view of the automation.
  {CAPTION, "Automation", 30, 179, 32, 16, 0, 0, 0},
  {BUTTON, "Show", 103, 177, 40, 20, FL_CTRL + 'a', ShowAutomation, 0},
  {HIDE_BUTTON, "Hide", 145, 177, 40, 20, S + 'a', HideAutomation, 0},
};

static void RunAction(Fl_Widget*, void* action) {
  reinterpret_cast<void (*)()>(action)();
}

static Fl_Double_Window* build_control_window() {
  Fl_Double_Window* w = new Fl_Double_Window(390, 205, "Orvane");
  w->color((Fl_Color)97);
  for (const ControlRow& r : control_rows) {
    switch (r.kind) {
      case BUTTON:
      case HIDE_BUTTON: {
        Fl_Button* o = new Fl_Button(r.x, r.y, r.w, r.h, r.label);
        o->shortcut(r.shortcut);
        if (r.kind == HIDE_BUTTON) o->color((Fl_Color)45);
        if (r.action != Mix && r.action != ProgramExit) o->labelsize(12);
        o->callback(RunAction, reinterpret_cast<void*>(r.action));
        break;
      }
      case STATUS: {
        TextResponse = new Fl_Output(r.x, r.y, r.w, r.h);
        TextResponse->labelsize(12);
        TextResponse->textsize(12);
        statusColor = TextResponse->color();
        statusTextColor = TextResponse->textcolor();
        break;
      }
      case PROGRESS: {
        MixProgress = new Fl_Progress(r.x, r.y, r.w, r.h);
        MixProgress->minimum(0);
        MixProgress->maximum(100);
        MixProgress->selection_color(fl_rgb_color(110, 165, 230));
        MixProgress->labelsize(12);
        MixProgress->hide();
        break;
      }
      case CANCEL: {
        MixCancel = new Fl_Button(r.x, r.y, r.w, r.h, r.label);
        MixCancel->callback(RunAction, reinterpret_cast<void*>(r.action));
        MixCancel->hide();
        break;
      }
      case CAPTION: {
        Fl_Box* o = new Fl_Box(r.x, r.y, r.w, r.h, r.label);
        o->color((Fl_Color)48);
        o->labelsize(12);
        o->labelcolor((Fl_Color)215);
        break;
      }
      case MENU: {
        Fl_Menu_Button* o = new Fl_Menu_Button(r.x, r.y, r.w, r.h, r.label);
        o->menu(r.menu);
        break;
      }
    }
  }
  w->end();
  // Escape and the window manager's close take the quit path: the control
  // window is never hidden while the program runs.
  w->callback(Call<ProgramExit>);
  ControlWindow = w;
  return w;
}

Fl_Double_Window* make_window4() {
  Fl_Double_Window* w = build_control_window();
  w->show();
  return w;
}

void BuildAllWindows(bool show) {
  EffectsWindow = make_window1();
  FadersWindow = make_window2();
  PrefsWindow = make_window3();
  SubWindow = make_window5();
  VCAWindow = make_window6();
  ReverbWindow = make_window7();
  make_window8();
  if (show)
    make_window4();
  else
    build_control_window();
  InstallShortcuts();
  StartSession();
}

// The program's shortcuts, run before any widget sees the key: the control
// window's buttons, "Store All", undo and redo. The Mix buttons of the tool windows
// share Ctrl+m with the control window's.

static bool MatchShortcut(int keys) {
  int mods = Fl::event_state() & (FL_CTRL | FL_SHIFT | FL_ALT | FL_META);
  return mods == (keys & (FL_CTRL | FL_SHIFT)) && Fl::event_key() == (keys & 0xffff);
}

// A field commits what was typed into it when it loses the focus; a
// shortcut does the same first, so that Ctrl+s or Ctrl+m right after typing
// a name stores and mixes the name as it reads on the screen.
static void CommitFocusedField() {
  Fl_Widget* f = Fl::focus();
  if (!f) return;
  Fl::focus(nullptr);
  Fl::focus(f);
}

static void RunShortcut(void (*action)()) {
  CommitFocusedField();
  action();
}

static void Undo() { UndoEdit(); }
static void Redo() { RedoEdit(); }

// Shortcuts of no button: Store All (a menu item), undo and redo.
static const struct EditShortcut {
  int keys;
  void (*action)();
} edit_shortcuts[] = {
  {FL_CTRL + 's', SaveAll}, {FL_CTRL + 'z', Undo}, {S + 'z', Redo}, {FL_CTRL + 'y', Redo}};

static int Dispatch(int event, Fl_Window* w) {
  if (MixRunning()) return MixRunEvent(event, w);
  if ((event == FL_KEYBOARD || event == FL_SHORTCUT) && !Fl::modal() &&
      (Fl::event_state() & FL_CTRL)) {
    for (const ControlRow& r : control_rows)
      if (r.shortcut && MatchShortcut(r.shortcut)) { RunShortcut(r.action); return 1; }
    for (const EditShortcut& e : edit_shortcuts)
      if (MatchShortcut(e.keys)) { RunShortcut(e.action); return 1; }
  }
  int handled = Fl::handle_(event, w);
  AfterEvent(event);
  return handled;
}

void InstallShortcuts() { Fl::event_dispatch(Dispatch); }
