// vorlax4: renders the mix of the working directory to a WAV file.
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine.h"
#include "output.h"

static const char usage[] =
    "Usage: vorlax4 [-q] [-o FILE]\n"
    "Renders the mix of the working directory (faders.txt, tracks.txt, prefs.txt)\n"
    "to MixDirName/MixName.wav.\n"
    "\n"
    "  -o FILE     write FILE instead\n"
    "  -q          no progress line\n"
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
    } else if (!strcmp(a, "-o")) {
      if (i + 1 >= argc || !argv[i + 1][0]) return BadCommandLine("-o needs a file name", "");
      options.output = argv[++i];
    } else if (!strncmp(a, "-o", 2)) {
      options.output = a + 2;
    } else {
      return BadCommandLine(a[0] == '-' ? "unknown option " : "unexpected argument ", a);
    }
  }
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) signal(sig, OnSignal);

  std::vector<std::string> errors;
  RenderReport report;
  int status = EXIT_NOT_RENDERED;
  if (LoadMixFiles(&errors)) status = RenderModel(options, &report, &errors);
  for (const std::string& e : errors) fprintf(stderr, "vorlax4: %s\n", e.c_str());
  if (status != EXIT_RENDERED) {
    fprintf(stderr, "vorlax4: nothing rendered\n");
    return status;
  }
  if (report.clipped > 0)
    fprintf(stderr, "vorlax4: warning: %lld samples clipped (peak %+.2f dBFS)\n", report.clipped,
            20 * std::log10(report.peak));
  printf("%s\n", SummaryLine(report).c_str());
  return EXIT_RENDERED;
}
