// The control window as built by the real builder, headless.
#include <cstring>
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

struct Expect {
  const char* label;
  int x, y, w, h;
  int shortcut;
};

// Creation order, geometry and shortcuts of the 23 widgets.
const int S = FL_CTRL | FL_SHIFT;
const Expect kControl[] = {
  {"Mix", 295, 50, 82, 20, FL_CTRL + 'm'}, {"Show", 8, 71, 40, 20, FL_CTRL + 'f'},
  {"Show", 198, 127, 40, 20, FL_CTRL + 'p'}, {"Show", 103, 71, 40, 20, FL_CTRL + 'e'},
  {"Show", 10, 127, 40, 20, FL_CTRL + 'g'}, {nullptr, 8, 15, 367, 20, 0},
  {"Faders", 30, 47, 32, 16, 0}, {"Effects", 127, 47, 32, 16, 0},
  {"Preferences", 224, 103, 32, 16, 0}, {"Subs", 34, 102, 32, 16, 0},
  {"Hide", 50, 71, 40, 20, S + 'f'}, {"Hide", 145, 71, 40, 20, S + 'e'},
  {"Hide", 240, 127, 40, 20, S + 'p'}, {"Hide", 52, 127, 40, 20, S + 'g'},
  {"Quit", 336, 140, 41, 20, FL_CTRL + 'q'}, {"Recall", 295, 80, 82, 20, 0},
  {"Store", 295, 110, 82, 20, 0}, {"Show", 103, 127, 40, 20, FL_CTRL + 'v'},
  {"VCAs", 127, 102, 32, 16, 0}, {"Hide", 145, 127, 40, 20, S + 'v'},
  {"Show", 198, 71, 40, 20, FL_CTRL + 'r'}, {"Reverb", 222, 47, 32, 16, 0},
  {"Hide", 240, 71, 40, 20, S + 'r'},
};

TEST(ControlWindow, WidgetsInCreationOrder) {
  BuildEditorOnce();
  ASSERT_NE(ControlWindow, nullptr);
  EXPECT_EQ(ControlWindow->w(), 390);
  EXPECT_EQ(ControlWindow->h(), 175);
  EXPECT_STREQ(ControlWindow->label(), "Orvane");
  EXPECT_EQ(ControlWindow->color(), (Fl_Color)97);
  ASSERT_EQ(ControlWindow->children(), 23);
  for (int i = 0; i < 23; i++) {
    Fl_Widget* w = ControlWindow->child(i);
    const Expect& e = kControl[i];
    SCOPED_TRACE(i + 1);
    if (e.label)
      EXPECT_STREQ(w->label(), e.label);
    else
      EXPECT_EQ(w, TextResponse);
    EXPECT_EQ(w->x(), e.x);
    EXPECT_EQ(w->y(), e.y);
    EXPECT_EQ(w->w(), e.w);
    EXPECT_EQ(w->h(), e.h);
    if (e.shortcut) {
      Fl_Button* b = dynamic_cast<Fl_Button*>(w);
      ASSERT_NE(b, nullptr);
      EXPECT_EQ(b->shortcut(), e.shortcut);
    }
    if (e.label && !strcmp(e.label, "Hide")) {
      EXPECT_EQ(w->color(), (Fl_Color)45);
    }
    if (e.h == 16) {
      EXPECT_EQ(w->labelcolor(), (Fl_Color)215);
      EXPECT_EQ(w->color(), (Fl_Color)48);
    }
  }
}

std::string MenuText(const char* label) {
  for (int i = 0; i < ControlWindow->children(); i++) {
    Fl_Menu_Button* m = dynamic_cast<Fl_Menu_Button*>(ControlWindow->child(i));
    if (!m || strcmp(m->label(), label)) continue;
    std::string s;
    for (const Fl_Menu_Item* it = m->menu(); it && it->label(); it = it->next()) {
      s += it->label();
      if (it->shortcut()) s += " [" + std::to_string(it->shortcut()) + "]";
      if (it->labelsize() != 14) s += " (size)";
      s += "|";
    }
    return s;
  }
  return "";
}

TEST(ControlWindow, RecallAndStoreMenus) {
  BuildEditorOnce();
  EXPECT_EQ(MenuText("Recall"),
            "Recall Faders / Effects|Recall Track Names|Recall Preferences|Recall All|");
  EXPECT_EQ(MenuText("Store"),
            "Store Faders / Effects|Store Track Names|Store Preferences|Store All [" +
                std::to_string(FL_CTRL + 's') + "]|");
}

TEST(ControlWindow, StatusLineShowsAndClears) {
  BuildEditorOnce();
  snprintf(tbuffer, sizeof tbuffer, "Wrote %li bytes to faders.txt", 12L);
  ShowStatus();
  EXPECT_STREQ(TextResponse->value(), "Wrote 12 bytes to faders.txt");
  ClearStatus();
  EXPECT_STREQ(TextResponse->value(), "");
}

TEST(ControlWindow, ToolWindowsExistHiddenWithTheirLabels) {
  BuildEditorOnce();
  struct { Fl_Double_Window* w; const char* label; int width, height; } windows[] = {
    {FadersWindow, "Faders", 620, 575}, {EffectsWindow, "Effects", 520, 620},
    {PrefsWindow, "Preferences", 430, 375}, {SubWindow, "Submix Matrix", 460, 280},
    {VCAWindow, "VCA Matrix", 460, 280}, {ReverbWindow, "Reverb", 410, 255},
  };
  for (auto& e : windows) {
    ASSERT_NE(e.w, nullptr) << e.label;
    EXPECT_STREQ(e.w->label(), e.label);
    EXPECT_EQ(e.w->w(), e.width);
    EXPECT_EQ(e.w->h(), e.height);
    EXPECT_FALSE(e.w->shown());
  }
}

}  // namespace
