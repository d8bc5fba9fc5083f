// The control window and the six tool windows as the real builders leave
// them, headless.
#include <sstream>
#include <string>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Output.H>
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
    s << '\n';
  }
  for (Fl_Double_Window* w : {ControlWindow, FadersWindow, EffectsWindow, PrefsWindow,
                              SubWindow, VCAWindow, ReverbWindow})
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
            "Orvane 390x175\nFaders 620x575\nEffects 520x620\nPreferences 430x375\n"
            "Submix Matrix 460x280\nVCA Matrix 460x280\nReverb 410x255\n");
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

}  // namespace
