// The session on the real windows, headless: every kind of edit marks the
// mix unsaved and is one undo step that restores the model byte for byte;
// stores and recalls clear the mark; the history stays within its budget;
// a store asks before replacing a mix this run did not load; quitting asks
// only when something is unsaved.
#include <cstring>
#include <functional>
#include <string>

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Spinner.H>
#include <FL/Fl_Value_Input.H>
#include <gtest/gtest.h>

#include "app/app.h"
#include "faders/faders.h"
#include "model/model.h"
#include "prefs/prefs.h"
#include "routing/routing.h"
#include "testlib.h"

namespace {

std::string ModelNow() {
  std::string s;
  for (const ModelTable& t : ModelTables) s.append(static_cast<const char*>(t.data), t.size);
  return s;
}

void Fresh() {
  BuildEditorOnce();
  ClearInternalArrays();
  UpdateGUI();
  StartSession();
  test_answer = 2;
  questions_asked = 0;
}

std::string Title() { return ControlWindow->label(); }
std::string Status() { return TextResponse->value(); }

void Pick(Fl_Double_Window* w, const char* menu, const char* item) {
  for (int i = 0; i < w->children(); i++)
    if (auto* m = dynamic_cast<Fl_Menu_Button*>(w->child(i)))
      if (m->label() && strcmp(m->label(), menu) == 0) m->picked(m->find_item(item));
}

void SetTimeIndex(int index) {
  TimeIndex->value(index);
  TimeIndex->do_callback();
}

struct Edit {
  const char* kind;
  std::function<void()> run;
  const char* undo_status;
};

const Edit kEdits[] = {
  {"volume", [] { SetTimeIndex(3); vol2->value(-6); vol2->do_callback(); },
   "Undo: volume, channel 2, time index 3"},
  {"row insert", [] { SetTimeIndex(1); Pick(FadersWindow, "Edit Index", "Insert Index"); },
   "Undo: Insert Index"},
  {"matrix button", [] { sub_button_A1->value(1); sub_button_A1->do_callback(); },
   "Undo: submix assignment, channel 1"},
  {"track name", [] { name1->value("kick.wav"); name1->do_callback(); },
   "Undo: name, channel 1"},
  {"pan", [] { pan3->value(-40); pan3->do_callback(); }, "Undo: pan, channel 3"},
};

// Each kind of edit: the mark and the title, then undo back to the stored
// state (mark gone) and redo, each restoring the exact model bytes.
TEST(Session, EveryEditMarksAndUndoesExactly) {
  for (const Edit& e : kEdits) {
    SCOPED_TRACE(e.kind);
    Fresh();
    std::string before = ModelNow();
    EXPECT_FALSE(Unsaved());
    e.run();
    std::string after = ModelNow();
    ASSERT_NE(after, before);
    EXPECT_TRUE(Unsaved());
    EXPECT_EQ(Title(), "Orvane - MixFilename *");
    size_t steps = UndoSteps();
    while (UndoSteps() > 0) UndoEdit();
    EXPECT_EQ(ModelNow(), before);
    EXPECT_FALSE(Unsaved());
    EXPECT_EQ(Title(), "Orvane");
    while (RedoSteps() > 0) RedoEdit();
    EXPECT_EQ(ModelNow(), after);
    EXPECT_EQ(UndoSteps(), steps);
    UndoEdit();
    EXPECT_EQ(Status(), e.undo_status);
  }
  // Refreshes fire no callback: they record nothing.
  Fresh();
  UpdateGUI();
  UpdatePreferences();
  EXPECT_EQ(UndoSteps(), 0u);
  EXPECT_FALSE(UndoEdit());
  EXPECT_EQ(Status(), "Nothing to undo");
}

// Store All and Recall All make the model the stored state; undoing a
// recall brings back the model as it was before it, and marks it unsaved.
TEST(Session, StoreAndRecallClearTheMark) {
  Fresh();
  ScopedWorkDir dir;
  SetTimeIndex(1);
  A1->value(1);
  A1->do_callback();
  vol1->value(-3);
  vol1->do_callback();
  SaveAll();
  EXPECT_EQ(Status(), "Save Complete");
  EXPECT_FALSE(Unsaved());
  EXPECT_EQ(Title(), "Orvane");
  UndoEdit();
  EXPECT_TRUE(Unsaved());
  RedoEdit();
  EXPECT_FALSE(Unsaved());

  Fresh();  // a new run in a folder holding that mix
  std::string fresh = ModelNow();
  vol1->value(-9);
  vol1->do_callback();
  std::string edited = ModelNow();
  Pick(ControlWindow, "Recall", "Recall All");
  EXPECT_FALSE(Unsaved());
  EXPECT_EQ(Volume[Cell(1, 0)], -3.0f);
  std::string recalled = ModelNow();
  UndoEdit();
  EXPECT_EQ(Status(), "Undo: Recall All");
  EXPECT_EQ(ModelNow(), edited);
  EXPECT_TRUE(Unsaved());
  RedoEdit();
  EXPECT_EQ(ModelNow(), recalled);
  UndoEdit();
  UndoEdit();
  EXPECT_EQ(ModelNow(), fresh);
  EXPECT_EQ(questions_asked, 0);
}

// 1,000 volume edits are 1,000 steps in well under 1 MB, and undoing them
// all gives the reset model back. Steps of 600 KB each are dropped oldest
// first once the history passes its budget.
TEST(Session, ThousandStepsWithinTheBudget) {
  Fresh();
  std::string before = ModelNow();
  for (int i = 0; i < 1000; i++) {
    SetTimeIndex(1 + i % 200);
    vol1->value(-(i % 7) - 1);
    vol1->do_callback();
  }
  EXPECT_EQ(UndoSteps(), 1000u);
  EXPECT_LT(UndoBytes(), 1000u * 1024);
  while (UndoEdit()) {
  }
  EXPECT_EQ(ModelNow(), before);

  Fresh();
  for (int i = 1; i <= 60; i++) {
    for (float& v : Volume) v = (float)i;
    AfterEdit("every volume");
  }
  EXPECT_LE(UndoBytes(), UNDO_BUDGET);
  EXPECT_GT(UndoSteps(), 40u);
  EXPECT_LT(UndoSteps(), 60u);
  UndoEdit();
  EXPECT_EQ(Volume[7], 59.0f);
}

// A folder holding a mix this run did not load: every store and Mix asks
// first. Cancel leaves the files as they were; "Recall All first" loads
// them and stores nothing; after that nothing is asked until a file changes
// on disk.
TEST(Session, ReplacingAMixNotRecalledAsks) {
  Fresh();
  ScopedWorkDir dir;
  const std::string faders = "Demo\nt\t0\t0.000\t0\nv\t1\t-4.00\nend\n";
  const std::string tracks = "1 kick.wav +\nend\n";
  const std::string prefs = "pre\ton\nend\n";
  WriteFileBytes("faders.txt", faders);
  WriteFileBytes("tracks.txt", tracks);
  WriteFileBytes("prefs.txt", prefs);
  StartSession();
  EXPECT_EQ(Status(), "faders.txt, tracks.txt, prefs.txt found: Recall All to load this mix");
  EXPECT_STREQ(MixName, "MixFilename");  // nothing read at start

  test_answer = 0;
  for (void (*store)() : {SaveAll, Mix, StageWriteToFile, WriteTracksFile, WritePreferencesFile})
    store();
  EXPECT_EQ(questions_asked, 5);
  EXPECT_NE(last_question.find("not recalled (prefs.txt)"), std::string::npos) << last_question;
  EXPECT_EQ(ReadFileBytes("faders.txt"), faders);
  EXPECT_EQ(ReadFileBytes("tracks.txt"), tracks);
  EXPECT_EQ(ReadFileBytes("prefs.txt"), prefs);

  test_answer = 1;
  SaveAll();
  EXPECT_STREQ(MixName, "Demo");
  EXPECT_EQ(PreviewOn, 1);
  EXPECT_EQ(ReadFileBytes("faders.txt"), faders);
  EXPECT_FALSE(Unsaved());

  SaveAll();
  EXPECT_EQ(questions_asked, 6);
  WriteFileBytes("tracks.txt", "1 snare.wav +\nend\n");  // another editor
  StageWriteToFile();
  EXPECT_EQ(questions_asked, 6);
  test_answer = 0;
  SaveAll();
  EXPECT_EQ(questions_asked, 7);
  EXPECT_NE(last_question.find("tracks.txt changed on disk"), std::string::npos);
  EXPECT_EQ(ReadFileBytes("tracks.txt"), "1 snare.wav +\nend\n");
}

// Quitting asks only with unsaved changes; Cancel keeps the program,
// "Store All and quit" stores first, and keeps the program when the store
// became "Recall All first".
TEST(Session, QuitAsksOnlyWhenUnsaved) {
  Fresh();
  ScopedWorkDir dir;
  EXPECT_TRUE(MayQuit());
  EXPECT_EQ(questions_asked, 0);
  MixNameInput->value("Night");
  MixNameInput->do_callback();
  EXPECT_EQ(Title(), "Orvane - Night *");
  test_answer = 0;
  EXPECT_FALSE(MayQuit());
  test_answer = 2;
  EXPECT_TRUE(MayQuit());
  EXPECT_FALSE(FileExists("faders.txt"));
  test_answer = 1;
  EXPECT_TRUE(MayQuit());
  EXPECT_EQ(ReadFileBytes("faders.txt").substr(0, 6), "Night\n");
  EXPECT_EQ(questions_asked, 3);

  Fresh();  // a new run: the folder holds a mix it did not recall
  MixNameInput->value("Day");
  MixNameInput->do_callback();
  test_answer = 1;
  EXPECT_FALSE(MayQuit());
  EXPECT_EQ(questions_asked, 2);
  EXPECT_STREQ(MixName, "Night");
}

}  // namespace
