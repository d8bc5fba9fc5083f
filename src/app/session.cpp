// The session: what the user did since the mix was last stored or recalled,
// undo and redo, and the questions asked before work could be lost (quitting
// with unsaved changes, replacing a mix file this run did not load).
//
// Every widget callback and menu item of every window is wrapped once when
// the windows are built: the original runs, then AfterEdit compares the model
// with a copy of it (the shadow) and keeps only the bytes that changed, old
// and new, as one undo step. Refreshes fire no callbacks and so record
// nothing. Edits made outside a callback (a file chooser's answer, another
// window's own operations) are caught by AfterEdit after each event, or by an
// explicit call.
#include "app.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Menu_.H>
#include <FL/fl_ask.H>

#include "../files/text.h"
#include "../model/model.h"

// --- Questions ---------------------------------------------------------------

static int AskWithDialog(const char* title, const char* question, const char* b0,
                         const char* b1, const char* b2) {
  fl_message_title(title);
  return fl_choice("%s", b0, b1, b2, question);
}
int (*AskUser)(const char* title, const char* question, const char* b0, const char* b1,
               const char* b2) = AskWithDialog;

// --- The model as bytes ------------------------------------------------------

static size_t table_at[NUM_MODEL_TABLES];  // offset of each table in a copy
static std::string shadow;                 // the model as the last step left it
static std::string stored;                 // the model as last stored or recalled
static bool started = false;

static char* TableBytes(int t) { return static_cast<char*>(ModelTables[t].data); }

static void CopyModel(std::string& to, int files) {
  for (int t = 0; t < NUM_MODEL_TABLES; t++)
    if (ModelTables[t].file & files) memcpy(&to[table_at[t]], TableBytes(t), ModelTables[t].size);
}

bool Unsaved() {
  if (!started) return false;
  for (int t = 0; t < NUM_MODEL_TABLES; t++)
    if (memcmp(&stored[table_at[t]], TableBytes(t), ModelTables[t].size) != 0) return true;
  return false;
}

// The control window's title: the mix name and a mark while changes are unsaved.
static void ShowMark() {
  if (!ControlWindow) return;
  char title[NAME_LEN + 16] = "Orvane";
  if (Unsaved()) snprintf(title, sizeof title, "Orvane - %s *", MixName);
  if (!ControlWindow->label() || strcmp(ControlWindow->label(), title) != 0)
    ControlWindow->copy_label(title);
}

// --- Undo history ------------------------------------------------------------

struct Change {
  int table;
  size_t offset;           // in the table
  std::string before, after;
};
struct Step {
  std::string label;
  std::vector<Change> changes;
  const void* source;      // the widget whose callback made it, if any
  size_t bytes;
};
static std::deque<Step> undo_steps, redo_steps;
static size_t history_bytes = 0;
static bool may_merge = false;           // the last step may still grow
static const void* current_source = nullptr;
static int in_callback = 0;

const size_t UNDO_BUDGET = 32u << 20;

size_t UndoSteps() { return undo_steps.size(); }
size_t RedoSteps() { return redo_steps.size(); }
size_t UndoBytes() { return history_bytes; }

static size_t Weigh(Step& s) {
  s.bytes = sizeof(Step) + s.label.capacity();
  for (const Change& c : s.changes)
    s.bytes += sizeof(Change) + c.before.capacity() + c.after.capacity();
  return s.bytes;
}

// Drops the oldest steps (then the farthest redo steps) beyond the budget;
// the newest step is always kept.
static void KeepWithinBudget() {
  while (history_bytes > UNDO_BUDGET && undo_steps.size() + redo_steps.size() > 1) {
    if (undo_steps.size() > 1 || redo_steps.empty()) {
      history_bytes -= undo_steps.front().bytes;
      undo_steps.pop_front();
    } else {
      history_bytes -= redo_steps.front().bytes;
      redo_steps.pop_front();
    }
  }
}

// The changed runs of whole elements of every table against the shadow;
// runs closer than kGap bytes are joined. Whole elements make an edit of the
// same field always the same run. The shadow takes the new bytes.
static std::vector<Change> TakeChanges() {
  const size_t kGap = 16;
  std::vector<Change> out;
  for (int t = 0; t < NUM_MODEL_TABLES; t++) {
    const char* now = TableBytes(t);
    char* was = &shadow[table_at[t]];
    size_t n = ModelTables[t].size, e = ModelTables[t].element;
    if (memcmp(was, now, n) == 0) continue;
    for (size_t i = 0; i < n;) {
      if (was[i] == now[i]) { i++; continue; }
      size_t start = i - i % e, end = i + 1, same = 0;
      for (size_t j = end; j < n && same < kGap; j++) {
        if (was[j] != now[j]) { end = j + 1; same = 0; } else same++;
      }
      end = std::min(n, (end + e - 1) / e * e);
      out.push_back({t, start, std::string(was + start, end - start),
                     std::string(now + start, end - start)});
      i = end;
    }
    memcpy(was, now, n);
  }
  return out;
}

static bool SameLayout(const std::vector<Change>& a, const std::vector<Change>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++)
    if (a[i].table != b[i].table || a[i].offset != b[i].offset ||
        a[i].before.size() != b[i].before.size())
      return false;
  return true;
}

// A drag of a slider, or typing into the same field, grows the last step
// instead of adding one per movement or key.
static bool Continues(const Step& top, const std::vector<Change>& changes) {
  if (!may_merge || !current_source || top.source != current_source) return false;
  Fl_Widget* w = static_cast<Fl_Widget*>(const_cast<void*>(current_source));
  bool typing = Fl::event() == FL_KEYBOARD && Fl::focus() && Fl::focus()->inside(w);
  return (Fl::event() == FL_DRAG || typing) && SameLayout(top.changes, changes);
}

void AfterEdit(const char* what) {
  if (!started) return;
  std::vector<Change> changes = TakeChanges();
  if (changes.empty()) return;
  if (!what && !undo_steps.empty() && Continues(undo_steps.back(), changes)) {
    Step& top = undo_steps.back();
    for (size_t i = 0; i < changes.size(); i++) top.changes[i].after = changes[i].after;
  } else {
    Step s;
    if (what) {
      s.label = what;
    } else {
      char label[160];
      DescribeModelByte(changes[0].table, changes[0].offset, label, sizeof label);
      s.label = label;
    }
    s.changes = std::move(changes);
    s.source = what ? nullptr : current_source;
    history_bytes += Weigh(s);
    undo_steps.push_back(std::move(s));
    for (const Step& r : redo_steps) history_bytes -= r.bytes;
    redo_steps.clear();
    KeepWithinBudget();
  }
  may_merge = true;
  ShowMark();
}

// Moves the newest step of from onto to, putting its before (undo) or after
// (redo) bytes into the model and the shadow, and shows the model again.
static bool Replay(std::deque<Step>& from, std::deque<Step>& to, bool undo) {
  AfterEdit(nullptr);
  const char* verb = undo ? "Undo" : "Redo";
  if (from.empty()) {
    snprintf(tbuffer, TBUF_LEN, "Nothing to %s", undo ? "undo" : "redo");
    ShowStatus();
    return false;
  }
  Step s = std::move(from.back());
  from.pop_back();
  for (const Change& c : s.changes) {
    const std::string& bytes = undo ? c.before : c.after;
    memcpy(TableBytes(c.table) + c.offset, bytes.data(), bytes.size());
    memcpy(&shadow[table_at[c.table] + c.offset], bytes.data(), bytes.size());
  }
  snprintf(tbuffer, TBUF_LEN, "%s: %s", verb, s.label.c_str());
  to.push_back(std::move(s));
  may_merge = false;
  UpdateGUI();  // the whole view and the status
  ShowMark();
  return true;
}

bool UndoEdit() { return Replay(undo_steps, redo_steps, true); }
bool RedoEdit() { return Replay(redo_steps, undo_steps, false); }

// --- Hooking every callback --------------------------------------------------

static std::unordered_map<Fl_Widget*, Fl_Callback*> original_callbacks;
struct ItemHook {
  Fl_Callback* callback;
  void* data;
  const char* label;
};
static std::deque<ItemHook> item_hooks;  // a deque keeps their addresses

// Runs a callback, then records what it changed as one step.
static void RunHooked(Fl_Callback* cb, Fl_Widget* w, void* data, const void* source,
                      const char* label) {
  const void* outer = current_source;
  current_source = source;
  in_callback++;
  cb(w, data);
  in_callback--;
  AfterEdit(label);
  current_source = outer;
}

static void HookedWidget(Fl_Widget* w, void* data) {
  auto it = original_callbacks.find(w);
  if (it != original_callbacks.end()) RunHooked(it->second, w, data, w, nullptr);
}

static void HookedItem(Fl_Widget* w, void* data) {
  ItemHook* h = static_cast<ItemHook*>(data);
  RunHooked(h->callback, w, h->data, nullptr, h->label);
}

static void Hook(Fl_Widget* w) {
  if (Fl_Group* g = w->as_group())
    for (int i = 0; i < g->children(); i++) Hook(g->child(i));
  if (Fl_Menu_* m = dynamic_cast<Fl_Menu_*>(w)) {
    for (int i = 0; m->menu() && i < m->size(); i++) {
      Fl_Menu_Item* item = const_cast<Fl_Menu_Item*>(&m->menu()[i]);
      if (!item->label() || !item->callback() || item->callback() == HookedItem) continue;
      item_hooks.push_back({item->callback(), item->user_data(), item->label()});
      item->callback(HookedItem, &item_hooks.back());
    }
  }
  Fl_Callback* cb = w->callback();
  if (!cb || cb == Fl_Widget::default_callback || cb == HookedWidget) return;
  original_callbacks[w] = cb;
  w->callback(HookedWidget, w->user_data());
}

// After each event that was not handled inside a hooked callback.
// A press or a release ends a drag: the next one is a step of its own.
void AfterEvent(int event) {
  if (in_callback || event == FL_MOVE || event == FL_ENTER || event == FL_LEAVE) return;
  AfterEdit(nullptr);
  if (event == FL_PUSH || event == FL_RELEASE) may_merge = false;
}

// --- The mix files in the working directory ---------------------------------

static const struct { int file; const char* name; } kMixFiles[] = {
  {IN_FADERS, "faders.txt"}, {IN_TRACKS, "tracks.txt"}, {IN_PREFS, "prefs.txt"}};

// A file's content as this run last read or wrote it.
struct Seen {
  bool known;
  off_t size;
  struct timespec mtime;
  uint64_t hash;
};
static Seen seen[3];

static uint64_t Hash(const std::string& s) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

static bool Exists(const char* name) {
  struct stat st;
  return stat(name, &st) == 0;
}

// What the file holds now; false when it cannot be read.
static bool Look(const char* name, Seen* s, std::string* text) {
  struct stat st;
  std::string why;
  if (stat(name, &st) != 0 || ReadWholeFile(name, text, &why) <= 0) return false;
  *s = {true, st.st_size, st.st_mtim, Hash(*text)};
  return true;
}

static bool Unchanged(int i) {
  struct stat st;
  const Seen& s = seen[i];
  if (stat(kMixFiles[i].name, &st) != 0) return true;  // gone: nothing to lose
  if (st.st_size == s.size && st.st_mtim.tv_sec == s.mtime.tv_sec &&
      st.st_mtim.tv_nsec == s.mtime.tv_nsec)
    return true;
  Seen now;
  std::string text;
  return Look(kMixFiles[i].name, &now, &text) && now.size == s.size && now.hash == s.hash;
}

// The file now holds what the model holds in the tables it stores.
static void InSync(int file, const std::string* expected) {
  for (int i = 0; i < 3; i++) {
    if (!(kMixFiles[i].file & file)) continue;
    Seen now;
    std::string text;
    if (!Look(kMixFiles[i].name, &now, &text)) continue;
    if (expected && text != *expected) continue;  // not what was parsed: not recalled
    seen[i] = now;
    if (started) CopyModel(stored, kMixFiles[i].file);
  }
}

void MixFileRecalled(int file, const std::string* parsed) {
  InSync(file, parsed);
}

static int last_stored = 0;  // the files the last store saved

void MixFilesStored(int files) {
  last_stored = files;
  // What a store itself changes in the model (the placeholder track names
  // and their mutes), saved or not, is no edit of the user's: it goes into
  // the shadow and the stored state alike.
  if (started)
    for (int t = 0; t < NUM_MODEL_TABLES; t++) {
      const char* now = TableBytes(t);
      size_t at = table_at[t], n = ModelTables[t].size;
      if (memcmp(&shadow[at], now, n) == 0) continue;
      for (size_t i = 0; i < n; i++)
        if (shadow[at + i] != now[i]) shadow[at + i] = stored[at + i] = now[i];
    }
  InSync(files, nullptr);
  may_merge = false;
  ShowMark();
}

bool MayReplaceMixFiles(int files) {
  AfterEdit(nullptr);
  std::string unread, changed;
  for (int i = 0; i < 3; i++) {
    if (!(kMixFiles[i].file & files) || !Exists(kMixFiles[i].name)) continue;
    std::string& list = seen[i].known ? changed : unread;
    if (seen[i].known && Unchanged(i)) continue;
    list += list.empty() ? "" : ", ";
    list += kMixFiles[i].name;
  }
  if (unread.empty() && changed.empty()) return true;
  std::string q;
  if (!unread.empty()) q = "This folder holds a mix that was not recalled (" + unread + ").";
  if (!changed.empty())
    q += (q.empty() ? "" : "\n") + changed + " changed on disk since this editor last " +
         "recalled or stored it.";
  q += "\nReplace it?";
  int answer = AskUser("Replace mix files", q.c_str(), "Cancel", "Recall All first",
                       "Replace it");
  if (answer == 2) return true;
  if (answer == 1) {
    RecallAll();
  } else {
    CopyField(tbuffer, TBUF_LEN, "Nothing stored: the mix files in this folder are as they were");
    ShowStatus();
  }
  return false;
}

bool MayQuit() {
  AfterEdit(nullptr);
  if (!Unsaved()) return true;
  int answer = AskUser("Unsaved changes", "The mix has changes that were not stored.", "Cancel",
                       "Store All and quit", "Quit without storing");
  if (answer == 2) return true;
  if (answer == 1) {
    // Quits only when all three were saved: not when the store was
    // cancelled, failed, or became "Recall All first".
    last_stored = 0;
    SaveAll();
    return last_stored == ALL_MIX_FILES && !Unsaved();
  }
  return false;
}

// --- Start ------------------------------------------------------------------

void StartSession() {
  if (!started) {
    size_t at = 0;
    for (int t = 0; t < NUM_MODEL_TABLES; t++) {
      table_at[t] = at;
      at += ModelTables[t].size;
    }
    shadow.assign(ModelSize(), '\0');
    stored.assign(ModelSize(), '\0');
    for (Fl_Double_Window* w : {EffectsWindow, FadersWindow, PrefsWindow, SubWindow, VCAWindow,
                                ReverbWindow, AutomationWindow, ControlWindow})
      if (w) Hook(w);
    started = true;
  }
  CopyModel(shadow, ALL_MIX_FILES);
  CopyModel(stored, ALL_MIX_FILES);
  undo_steps.clear();
  redo_steps.clear();
  history_bytes = 0;
  may_merge = false;
  for (Seen& s : seen) s.known = false;
  std::string found;
  for (const auto& f : kMixFiles)
    if (Exists(f.name)) found += std::string(found.empty() ? "" : ", ") + f.name;
  if (!found.empty()) {
    snprintf(tbuffer, TBUF_LEN, "%s found: Recall All to load this mix", found.c_str());
    ShowStatus();
  }
  ShowMark();
}
