// The control window and the six tool windows as the real builders leave
// them, headless.
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Spinner.H>
#include <FL/Fl_Value_Input.H>
#include <gtest/gtest.h>

#include "app/app.h"
#include "model/model.h"
#include "testlib.h"

namespace {

std::string Key(int k) {
  std::string s = k & FL_SHIFT ? " S-" : " ";
  return s + "C-" + char(k & 0xff);
}

// Creation order, label, geometry, shortcuts and menu items of the control
// window, then every tool window's label and size (all hidden).
TEST(ControlWindow, LayoutMenusAndToolWindows) {
  BuildEditorOnce();
  std::ostringstream s;
  for (int i = 0; i < ControlWindow->children(); i++) {
    Fl_Widget* w = ControlWindow->child(i);
    s << (w->label() ? w->label() : "-") << ' ' << w->x() << ',' << w->y() << ' ' << w->w()
      << 'x' << w->h();
    if (auto* b = dynamic_cast<Fl_Button*>(w))
      if (b->shortcut()) s << Key(b->shortcut());
    if (auto* m = dynamic_cast<Fl_Menu_Button*>(w))
      for (const Fl_Menu_Item* it = m->menu(); it && it->label(); it = it->next())
        s << " [" << it->label() << (it->shortcut() ? Key(it->shortcut()) : "") << ']';
    s << (w->visible() ? "\n" : " hidden\n");
  }
  for (Fl_Double_Window* w : {ControlWindow, FadersWindow, EffectsWindow, PrefsWindow,
                              SubWindow, VCAWindow, ReverbWindow, AutomationWindow})
    s << w->label() << ' ' << w->w() << 'x' << w->h() << (w->shown() ? " shown\n" : "\n");
  EXPECT_EQ(s.str(),
            "Mix 295,50 82x20 C-m\nShow 8,71 40x20 C-f\nShow 198,127 40x20 C-p\n"
            "Show 103,71 40x20 C-e\nShow 10,127 40x20 C-g\n- 8,15 367x20\n"
            "Faders 30,47 32x16\nEffects 127,47 32x16\nPreferences 224,103 32x16\n"
            "Subs 34,102 32x16\nHide 50,71 40x20 S-C-f\nHide 145,71 40x20 S-C-e\n"
            "Hide 240,127 40x20 S-C-p\nHide 52,127 40x20 S-C-g\nQuit 336,140 41x20 C-q\n"
            "Recall 295,80 82x20 [Recall Faders / Effects] [Recall Track Names] "
            "[Recall Preferences] [Recall All]\n"
            "Store 295,110 82x20 [Store Faders / Effects] [Store Track Names] "
            "[Store Preferences] [Store All C-s]\n"
            "Show 103,127 40x20 C-v\nVCAs 127,102 32x16\nHide 145,127 40x20 S-C-v\n"
            "Show 198,71 40x20 C-r\nReverb 222,47 32x16\nHide 240,71 40x20 S-C-r\n"
            "- 8,152 250x18 hidden\nCancel 264,150 64x22 hidden\n"
            "Automation 30,179 32x16\nShow 103,177 40x20 C-a\nHide 145,177 40x20 S-C-a\n"
            "Orvane 390x205\nFaders 620x575\nEffects 520x620\nPreferences 430x375\n"
            "Submix Matrix 460x280\nVCA Matrix 460x280\nReverb 410x255\n"
            "Automation 900x520\n");
  EXPECT_EQ(ControlWindow->child(5), TextResponse);
}

TEST(ControlWindow, StatusLineShowsAndClears) {
  BuildEditorOnce();
  snprintf(tbuffer, sizeof tbuffer, "Wrote %li bytes to faders.txt", 12L);
  ShowStatus();
  EXPECT_STREQ(TextResponse->value(), "Wrote 12 bytes to faders.txt");
  ClearStatus();
  EXPECT_STREQ(TextResponse->value(), "");
}

// The decimals a step fixes: 0.1 one, 0.01 two, 0.001 three, 1 none.
int Decimals(double step) {
  int d = 0;
  for (double s = step; d < 9 && std::fabs(s - std::round(s)) > 1e-9; s *= 10) d++;
  return d;
}

// Every value field and spinner with a step, in every window, shows its value
// with the step's decimals as soon as the windows are built and refreshed.
void CheckDecimals(Fl_Group* g, const std::string& where, int* checked) {
  for (int i = 0; i < g->children(); i++) {
    Fl_Widget* w = g->child(i);
    const char* text = nullptr;
    double step = 0, value = 0;
    if (auto* v = dynamic_cast<Fl_Value_Input*>(w)) {
      text = v->input.value(), step = v->step(), value = v->value();
    } else if (auto* s = dynamic_cast<Fl_Spinner*>(w)) {
      text = static_cast<Fl_Input*>(s->child(0))->value(), step = s->step(), value = s->value();
    } else if (Fl_Group* inner = w->as_group()) {
      CheckDecimals(inner, where, checked);
    }
    if (!text || step <= 0) continue;
    char want[64];
    snprintf(want, sizeof want, "%.*f", Decimals(step), value);
    EXPECT_STREQ(text, want) << where << " child " << i << " " << (w->label() ? w->label() : "");
    ++*checked;
  }
}

TEST(Windows, ValueFieldsShowTheirStepsDecimalsFromTheStart) {
  BuildEditorOnce();
  int checked = 0;
  for (Fl_Double_Window* w : {ControlWindow, FadersWindow, EffectsWindow, PrefsWindow,
                              SubWindow, VCAWindow, ReverbWindow})
    CheckDecimals(w, w->label(), &checked);
  EXPECT_EQ(checked, 28 + 2 + 15 + 2);  // Faders, Effects, Preferences, the matrices
}

}  // namespace
