// vorlax4: renders the mix of the working directory to a WAV file.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "engine.h"
#include "files/text.h"
#include "mixrun/mixrun.h"
#include "output.h"

static const char usage[] =
    "Usage: vorlax4 [-q] [-j N] [-o FILE]\n"
    "Renders the mix of the working directory (faders.txt, tracks.txt, prefs.txt)\n"
    "to MixDirName/MixName.wav.\n"
    "\n"
    "  -o FILE     write FILE instead\n"
    "  -q          no progress line\n"
    "  -j N        render on N threads (default: one per core); the output is\n"
    "              the same whatever N\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 rendered, 1 bad command line, 2 nothing rendered.\n";

// A render stopped by a signal leaves no temporary file behind.
static void OnSignal(int sig) {
  if (wavTempPath[0]) unlink(wavTempPath);
  signal(sig, SIG_DFL);
  raise(sig);
}

// SIGTERM and SIGINT ask the render to stop at its next block; a second one
// stops it at once.
static std::atomic<bool> cancelRequested(false);
static void OnCancel(int sig) {
  if (cancelRequested.exchange(true)) OnSignal(sig);
}

// The progress lines for whoever started the engine (the editor): "progress
// P" whenever P changes and at least every 0.2 s while the render runs, then
// "done" once the output is in place. A write that fails ends the reports;
// the render goes on.
struct ProgressReport {
  int fd = -1;
  std::atomic<int> percent{0};
  std::atomic<bool> stop{false};
  std::thread thread;
  int shown = -1;  // the percentage last written
  ~ProgressReport() { Finish(false); }

  // The descriptor named by the environment, when it is one open for
  // writing; otherwise there are no reports.
  void Start() {
    const char* v = getenv(PROGRESS_FD_VARIABLE);
    if (!v || !*v || strspn(v, "0123456789") != strlen(v) || strlen(v) > 9) return;
    int n = atoi(v);
    int flags = fcntl(n, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) return;
    fd = n;
    signal(SIGPIPE, SIG_IGN);  // a reader gone is a failed write, not the end
    thread = std::thread([this] { Run(); });
  }
  bool Write(const std::string& line) {
    std::string text = line + "\n";
    for (size_t done = 0; done < text.size();) {
      ssize_t w = write(fd, text.data() + done, text.size() - done);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      done += size_t(w);
    }
    return true;
  }
  void Run() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point last;
    while (!stop.load()) {
      int p = percent.load();
      if (p != shown || Clock::now() - last >= std::chrono::milliseconds(200)) {
        if (!Write(ProgressLine(p))) {
          fd = -1;
          return;
        }
        shown = p;
        last = Clock::now();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  // Ends the reports: the last percentage and "done" after a render.
  void Finish(bool rendered) {
    if (!thread.joinable()) return;
    stop = true;
    thread.join();
    if (fd >= 0 && rendered && (shown == 100 || Write(ProgressLine(100)))) Write(kProgressDone);
  }
};

static int BadCommandLine(const char* what, const char* arg) {
  fprintf(stderr, "vorlax4: %s%s\nTry 'vorlax4 --help'.\n", what, arg);
  return EXIT_BAD_COMMAND_LINE;
}

int main(int argc, char** argv) {
  RenderOptions options;
  options.progress = true;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (!strcmp(a, "--help") || !strcmp(a, "-h")) {
      fputs(usage, stdout);
      return EXIT_RENDERED;
    } else if (!strcmp(a, "--version")) {
      printf("vorlax4 " VORLAX4_VERSION "\n");
      return EXIT_RENDERED;
    } else if (!strcmp(a, "-q")) {
      options.progress = false;
    } else if (!strncmp(a, "-j", 2)) {
      const char* v = a[2] ? a + 2 : i + 1 < argc ? argv[++i] : "";
      char* end = nullptr;
      long n = strtol(v, &end, 10);
      if (!v[0] || *end || n < 1 || n > 64)
        return BadCommandLine("-j needs a number of threads (1 to 64)", "");
      options.threads = int(n);
    } else if (!strcmp(a, "-o")) {
      if (i + 1 >= argc || !argv[i + 1][0]) return BadCommandLine("-o needs a file name", "");
      options.output = argv[++i];
    } else if (!strncmp(a, "-o", 2)) {
      options.output = a + 2;
    } else {
      return BadCommandLine(a[0] == '-' ? "unknown option " : "unexpected argument ", a);
    }
  }
  signal(SIGHUP, OnSignal);
  struct sigaction cancel;
  memset(&cancel, 0, sizeof cancel);
  cancel.sa_handler = OnCancel;
  cancel.sa_flags = SA_RESTART;  // reads and writes carry on until the block ends
  sigemptyset(&cancel.sa_mask);
  for (int sig : {SIGINT, SIGTERM}) sigaction(sig, &cancel, nullptr);
  options.cancel = &cancelRequested;
  ProgressReport progress;
  options.percent = &progress.percent;
  progress.Start();

  std::vector<std::string> errors;
  RenderReport report;
  int status = EXIT_NOT_RENDERED;
  if (LoadMixFiles(&errors)) status = RenderModel(options, &report, &errors);
  if (status != EXIT_RENDERED && cancelRequested &&
      (errors.empty() || errors.back() != "render cancelled"))
    errors.push_back("render cancelled");
  // Names and paths come from the user's files: never raw on a terminal.
  for (const std::string& e : errors) fprintf(stderr, "vorlax4: %s\n", Escaped(e).c_str());
  if (status != EXIT_RENDERED) {
    progress.Finish(false);
    fprintf(stderr, "vorlax4: nothing rendered\n");
    return status;
  }
  for (const std::string& w : report.warnings)
    fprintf(stderr, "vorlax4: warning: %s\n", Escaped(w).c_str());
  if (report.clipped > 0)
    fprintf(stderr, "vorlax4: warning: %lld samples clipped (peak %+.2f dBFS)\n", report.clipped,
            20 * std::log10(report.peak));
  printf("%s\n", Escaped(SummaryLine(report)).c_str());
  fflush(stdout);
  progress.Finish(true);
  return EXIT_RENDERED;
}
