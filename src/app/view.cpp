// The whole view: the table of the windows' refreshes, which copy the model
// into the widgets, and the state the windows share through the shell.
#include "app.h"

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Value_Input.H>

#include "../automation/automation.h"
#include "../effects/effects.h"
#include "../faders/faders.h"
#include "../prefs/prefs.h"
#include "../routing/routing.h"

int BrowseNumber = 1;
Fl_File_Chooser* CH;

// One row a window: the window and its refresh. The Effects window's refresh
// also sets the Reverb window's return widgets, which follow its channel.
static const struct {
  Fl_Double_Window** window;
  void (*refresh)();
} window_refreshes[] = {
  {&EffectsWindow, UpdateEffects},
  {&ReverbWindow, UpdateReverbSettings},
  {&FadersWindow, UpdateFaders},
  {&PrefsWindow, UpdatePreferences},
  {&SubWindow, UpdateSubmix},
  {&VCAWindow, UpdateVCA},
  {&AutomationWindow, UpdateAutomation},
};

void UpdateView() {
  for (const auto& w : window_refreshes)
    if (*w.window) w.refresh();
}

void UpdateGUI() {
  ShowStatus();
  UpdateView();
}

void UpdateWindow(Fl_Double_Window* window) {
  for (const auto& w : window_refreshes)
    if (window && *w.window == window) w.refresh();
}

void ShowStepDecimals(Fl_Value_Input* field) {
  char text[128];
  field->format(text);
  field->input.value(text);
}
