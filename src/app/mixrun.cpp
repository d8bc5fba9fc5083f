// The render engine run from the editor: started with pipes for its standard
// output, standard error and progress lines, watched from the event loop so
// that the windows keep drawing, the progress shown in the control window,
// cancelled on request, and its outcome reported. While it runs no window
// takes input but the Cancel button and Escape (MixRunEvent).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>

#include "app.h"
#include "../files/text.h"
#include "../mixrun/mixrun.h"
#include "../model/model.h"

extern char** environ;

Fl_Double_Window* MixReportWindow;
Fl_Text_Buffer* MixReportBuffer;

namespace {

// The descriptor number the engine finds its progress pipe at.
const int kProgressFd = 3;
// Seconds from SIGTERM to SIGKILL for an engine that does not stop.
const double kKillAfter = 3.0;
// What is kept of the engine's standard output (its end, where the summary
// is) and standard error (its start, where the first reasons are).
const size_t kKeep = 1 << 20;

enum { OUT, ERR, PROGRESS, STREAMS };

struct EngineRun {
  pid_t pid = -1;
  int fd[STREAMS] = {-1, -1, -1};  // read ends of the engine's pipes
  LineSplitter progressLines;
  int percent = -1;                // none reported yet
  double started = 0, cancelledAt = 0;
  bool killed = false;
  std::string shown;               // the status text last shown
  std::string title;               // the control window's title before the run
  EngineOutcome outcome;
};
EngineRun* running;  // the engine being run, or none

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Passes bytes on to the editor's own descriptor fd, as far as it takes them.
void PassOn(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;
    p += w, n -= size_t(w);
  }
}

// Reads whatever the engine has written on stream i. False once the stream
// has ended (or failed).
bool ReadStream(EngineRun* r, int i) {
  char buf[65536];
  for (;;) {
    ssize_t n = read(r->fd[i], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
    if (n == 0) return false;
    if (i == PROGRESS) {
      for (const std::string& line : r->progressLines.Feed(buf, size_t(n))) {
        int p = ParseProgressLine(line);
        if (p >= 0 && p <= 100) r->percent = p;
      }
      continue;
    }
    PassOn(i == OUT ? 1 : 2, buf, size_t(n));
    std::string& keep = i == OUT ? r->outcome.out : r->outcome.err;
    if (i == ERR) {
      keep.append(buf, std::min(size_t(n), kKeep - std::min(kKeep, keep.size())));
    } else {
      keep.append(buf, size_t(n));
      if (keep.size() > kKeep) keep.erase(0, keep.size() - kKeep);
    }
  }
}

void CloseStream(EngineRun* r, int i) {
  if (r->fd[i] < 0) return;
  Fl::remove_fd(r->fd[i]);
  close(r->fd[i]);
  r->fd[i] = -1;
}

void OnReadable(FL_SOCKET, void* stream) {
  int i = int(intptr_t(stream));
  if (running && !ReadStream(running, i)) CloseStream(running, i);
}

// A pipe whose ends lie above the standard descriptors and the progress
// descriptor, closed on exec.
bool MakePipe(int* readEnd, int* writeEnd) {
  int p[2];
  if (pipe2(p, O_CLOEXEC) != 0) return false;
  for (int k = 0; k < 2; k++) {
    int high = fcntl(p[k], F_DUPFD_CLOEXEC, 10);
    close(p[k]);
    p[k] = high;
  }
  *readEnd = p[0], *writeEnd = p[1];
  if (p[0] >= 0 && p[1] >= 0) return true;
  int e = errno;
  for (int fd : p)
    if (fd >= 0) close(fd);
  errno = e;
  return false;
}

// Starts the engine: its standard output and error and the progress
// descriptor go to pipes, the environment names the progress descriptor,
// and the signals that stop it have their default actions. Returns 0 or
// the errno of the failure.
int Start(EngineRun* r) {
  int w[STREAMS] = {-1, -1, -1};
  int err = 0;
  for (int i = 0; i < STREAMS && !err; i++)
    if (!MakePipe(&r->fd[i], &w[i])) err = errno;

  std::vector<std::string> env;
  const std::string name = PROGRESS_FD_VARIABLE "=";
  for (char** e = environ; e && *e; e++)
    if (strncmp(*e, name.c_str(), name.size()) != 0) env.push_back(*e);
  env.push_back(name + std::to_string(kProgressFd));
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(&e[0]);
  envp.push_back(nullptr);
  std::string command = r->outcome.command;
  char* argv[] = {&command[0], nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  if (!err) {
    posix_spawn_file_actions_adddup2(&actions, w[OUT], 1);
    posix_spawn_file_actions_adddup2(&actions, w[ERR], 2);
    posix_spawn_file_actions_adddup2(&actions, w[PROGRESS], kProgressFd);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&defaults, sig);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    fflush(stdout);
    fflush(stderr);
    err = posix_spawnp(&r->pid, command.c_str(), &actions, &attr, argv, envp.data());
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  for (int fd : w)
    if (fd >= 0) close(fd);
  for (int i = 0; i < STREAMS; i++) {
    if (r->fd[i] < 0) continue;
    if (err) {
      close(r->fd[i]);
      r->fd[i] = -1;
      continue;
    }
    fcntl(r->fd[i], F_SETFL, fcntl(r->fd[i], F_GETFL) | O_NONBLOCK);
    Fl::add_fd(r->fd[i], FL_READ, OnReadable, reinterpret_cast<void*>(intptr_t(i)));
  }
  return err;
}

// The progress in the status line, the bar and the control window's title.
void ShowProgress(EngineRun* r) {
  if (r->outcome.cancelled) return;
  std::string text = MixingText(r->percent, Now() - r->started);
  if (text == r->shown) return;
  r->shown = text;
  CopyField(tbuffer, TBUF_LEN, text.c_str());
  ShowStatus();
  if (!ControlWindow) return;
  ControlWindow->copy_label((text + " - " + r->title).c_str());
  MixProgress->value(float(r->percent < 0 ? 0 : r->percent));
  MixProgress->copy_label(r->percent < 0 ? "" : (std::to_string(r->percent) + "%").c_str());
}

// The bar and the Cancel button, shown while the engine runs; the control
// window comes to the front, as it shows the progress.
void ShowRunning(EngineRun* r, bool on) {
  if (!ControlWindow) return;
  if (on) {
    r->title = ControlWindow->label() ? ControlWindow->label() : "";
    MixProgress->value(0);
    MixProgress->label("");
    MixProgress->show();
    MixCancel->activate();
    MixCancel->show();
    if (ControlWindow->shown()) ControlWindow->show();
  } else {
    ControlWindow->copy_label(r->title.c_str());
    MixProgress->hide();
    MixCancel->hide();
  }
}

// Built when first shown: a text display needs the display's fonts.
void BuildReportWindow() {
  Fl_Double_Window* w = new Fl_Double_Window(560, 280, "Mix report");
  Fl_Text_Display* text = new Fl_Text_Display(8, 8, 544, 232);
  text->buffer(MixReportBuffer);
  text->textsize(12);
  Fl_Button* close = new Fl_Button(472, 250, 80, 22, "Close");
  close->callback([](Fl_Widget*, void*) { MixReportWindow->hide(); });
  w->resizable(text);
  w->end();
  MixReportWindow = w;
}

}  // namespace

bool MixRunning() { return running != nullptr; }

void CancelMix() {
  EngineRun* r = running;
  if (!r || r->outcome.cancelled) return;
  r->outcome.cancelled = true;
  r->cancelledAt = Now();
  kill(r->pid, SIGTERM);
  CopyField(tbuffer, TBUF_LEN, "Cancelling the mix");
  ShowStatus();
  if (MixCancel) MixCancel->deactivate();
}

// No input while the engine runs: Escape cancels, the Cancel button takes
// its clicks, windows keep drawing and following the pointer; every other
// key, click, wheel turn, paste, drop and close is dropped, so that nothing
// done meanwhile runs afterwards.
int MixRunEvent(int event, Fl_Window* window) {
  switch (event) {
    case FL_KEYBOARD:
    case FL_SHORTCUT:
      if (Fl::event_key() == FL_Escape) CancelMix();
      return 1;
    case FL_PUSH:
    case FL_DRAG:
    case FL_RELEASE:
      if (window == ControlWindow && MixCancel &&
          (Fl::pushed() == MixCancel || (event == FL_PUSH && Fl::event_inside(MixCancel))))
        return Fl::handle_(event, window);
      return 1;
    case FL_SHOW:
    case FL_HIDE:
    case FL_FOCUS:
    case FL_UNFOCUS:
    case FL_ENTER:
    case FL_LEAVE:
    case FL_MOVE:
    case FL_NO_EVENT:
    case FL_SELECTIONCLEAR:
    case FL_SCREEN_CONFIGURATION_CHANGED:
      return Fl::handle_(event, window);
    default:
      return 1;
  }
}

// Runs the engine (EngineCommand: Path followed by "vorlax4") without
// arguments in the working directory. It is started directly, not through a
// shell, so that no text of prefs.txt is ever run as a command; a name
// without "/" is looked up on the search path. The status line gets the outcome; a
// failure is also printed on standard output and every reason is shown in
// the "Mix report" window.
void RunEngine() {
  if (running) return;
  EngineRun r;
  r.outcome.command = EngineCommand();
  const char* search = getenv("PATH");
  r.outcome.searchPath = search ? search : "/bin:/usr/bin";
  r.started = Now();
  // The engine's output is passed on to the editor's own: a reader of it
  // that has gone makes the writes fail, not the editor end.
  void (*pipeAction)(int) = signal(SIGPIPE, SIG_IGN);
  r.outcome.startError = Start(&r);
  std::string waitError;
  if (!r.outcome.startError) {
    running = &r;
    Fl::pushed(nullptr);  // a button held down before the mix gets no drags
    ShowRunning(&r, true);
    for (;;) {
      pid_t done = waitpid(r.pid, &r.outcome.waitStatus, WNOHANG);
      if (done == r.pid) break;
      if (done < 0 && errno != EINTR) {
        waitError = strerror(errno);
        break;
      }
      if (r.outcome.cancelled && !r.killed && Now() - r.cancelledAt >= kKillAfter) {
        kill(r.pid, SIGKILL);
        r.killed = true;
      }
      ShowProgress(&r);
      Fl::wait(0.1);
    }
    // What the engine wrote before it ended is in the pipes; whatever it
    // left running may hold them open, so nothing more is awaited.
    for (int i = 0; i < STREAMS; i++) {
      if (r.fd[i] >= 0) ReadStream(&r, i);
      CloseStream(&r, i);
    }
    Fl::check();  // input that arrived during the run is dropped, not kept
    running = nullptr;
    ShowRunning(&r, false);
  }
  signal(SIGPIPE, pipeAction);

  bool warning = false;
  std::string status = MixStatusText(r.outcome, &warning);
  if (!waitError.empty()) status = "Mix failed: " + r.outcome.command + ": " + waitError;
  CopyField(tbuffer, TBUF_LEN, status.c_str());
  if (warning) ShowStatusWarning();
  else ShowStatus();
  bool failed = status.compare(0, 12, "Mix Complete") != 0;
  if (failed) printf("%s\n", Escaped(status).c_str());  // the command holds Path
  if (!MixReportBuffer) MixReportBuffer = new Fl_Text_Buffer;
  MixReportBuffer->text(MixReportText(r.outcome).c_str());
  if (failed && !r.outcome.cancelled && ControlWindow && ControlWindow->shown()) {
    if (!MixReportWindow) BuildReportWindow();
    MixReportWindow->show();
  }
}
