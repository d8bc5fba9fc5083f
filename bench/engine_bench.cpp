// engine_bench [SECONDS [ROUNDS]]: the render engine against sox's plain mix.
// Generates 32 stereo 24-bit 48 kHz sources of SECONDS each with sox, then
// runs ROUNDS rounds, each of which runs every case in turn: `sox -m -v 1
// ...` on the case's sources, then `vorlax4` on the case's mix. The medians
// of the rounds are compared; as every round holds every case, a machine
// that slows down or speeds up during the run affects them all alike. The
// cases:
//   bypass   16 channels, no effect
//   full     16 channels, every effect, both reverbs
//   session  32 channels, each with high pass, two bands, high shelf and a
//            peak compressor, two submixes with effects, reverb sends on
//            all and tap-reverb sends on a quarter, a master limiter
//   dense    the session with every channel's fader moving all the time,
//            shapes other than 1
// Goals: bypass at most 0.2, full at most 1.0, session at most 0.5 of sox's
// time, dense at most 1.2 times session. sox should take at least 3 s a
// round (a warning says when it does not) so that the figures hold on a
// busy machine. Last line:
//   bypass_ratio=A full_ratio=B session_ratio=C dense_over_session=D
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

static const int kSources = 32;

// Runs argv in dir with its output silenced; the wall-clock seconds, or -1
// when it fails. cpu receives the processor seconds it used (user and
// system, all its threads).
static double Timed(const std::string& dir, const std::vector<std::string>& argv, double* cpu) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", 1 /* O_WRONLY */, 0);
  std::string cwd;
  char buf[4096];
  if (getcwd(buf, sizeof buf)) cwd = buf;
  if (chdir(dir.c_str()) != 0) return -1;
  auto t0 = std::chrono::steady_clock::now();
  pid_t pid;
  int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ);
  int status = 0;
  struct rusage use = {};
  if (rc == 0) wait4(pid, &status, 0, &use);
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  *cpu = use.ru_utime.tv_sec + use.ru_stime.tv_sec + 1e-6 * (use.ru_utime.tv_usec + use.ru_stime.tv_usec);
  posix_spawn_file_actions_destroy(&fa);
  if (chdir(cwd.c_str()) != 0) return -1;
  return rc == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -1;
}

static void Write(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "w");
  if (!f || fwrite(text.data(), 1, text.size(), f) != text.size() || fclose(f) != 0) {
    fprintf(stderr, "engine_bench: cannot write %s\n", path.c_str());
    exit(1);
  }
}

// Appends one record per channel n in [from, to] made from format.
static void PerChannel(std::string* text, const char* format, int from, int to,
                       bool (*which)(int) = nullptr) {
  char line[128];
  for (int n = from; n <= to; n++) {
    if (which && !which(n)) continue;
    snprintf(line, sizeof line, format, n);
    *text += line;
  }
}

static const char kReverbs[] =
    "\nrtn\t-6.0\t150.0\ntrtn\t-9.0\t150.0\t5.0\nrlp\t7000\nrhp\t150\nwidth\t50\n"
    "pos\t37\t39\t43\n";

// The full case: every effect on every channel with both reverbs fed. The
// thresholds sit below the sources' levels (about -26 dBFS), so that every
// compressor and the limiter work all the time.
static std::string FullText() {
  std::string text = "BenchMix\n\n";
  const char* formats[] = {
      "hp\t%i\t80.0\n",          "comp\t%i\t-36.0\t5.0\t100.0\t3.0\n",
      "rms\t%i\t-34.0\t10.0\t150.0\t2.0\n", "nlc\t%i\t-33.0\t300.0\t2.0\n",
      "lim\t%i\t-34.0\n",         "band1\t%i\t400.0\t-3.0\t1.0\n",
      "band2\t%i\t3000.0\t2.0\t1.5\n", "hshelf\t%i\t8000.0\t1.5\t0.7\n",
      "lshelf\t%i\t120.0\t2.0\t0.7\n", "rev\t%i\t-12.0\n",
      "trev\t%i\t-18.0\n",        "fxg\t%i\t6.0\n",
  };
  for (const char* f : formats) PerChannel(&text, f, 1, 16);
  return text + kReverbs + "\nend\n";
}

// The session: 1-16 through submix 1, 17-28 through submix 2, 29-32 direct.
// With dense on, every channel's fader moves all the time: a point on every
// row, each ramp lasting until the next row, shapes from 0.5 to 3 but 1.
static std::string SessionText(bool dense, double seconds) {
  std::string text = "BenchMix\n\nsubname\t1\tDrums\nsub\t1\t1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16\n"
                     "subname\t2\tBand\nsub\t2\t17,18,19,20,21,22,23,24,25,26,27,28\n\n";
  const char* formats[] = {"hp\t%i\t60.0\n", "band1\t%i\t400.0\t-3.0\t1.0\n",
                           "band2\t%i\t3000.0\t2.0\t1.5\n", "hshelf\t%i\t8000.0\t1.5\t0.7\n",
                           "comp\t%i\t-32.0\t5.0\t100.0\t3.0\n", "rev\t%i\t-14.0\n"};
  for (const char* f : formats) PerChannel(&text, f, 1, kSources);
  PerChannel(&text, "trev\t%i\t-18.0\n", 1, kSources, [](int n) { return n % 4 == 0; });
  text += "comp\tG\t1\t-30.0\t10.0\t120.0\t2.0\nband1\tG\t1\t200.0\t2.0\t0.8\n"
          "lshelf\tG\t2\t150.0\t-2.0\t0.7\nrms\tG\t2\t-28.0\t20.0\t200.0\t2.5\n"
          "lim\tM\t-1.0\n";
  text += kReverbs;
  if (dense) {
    const double step = std::max(0.5, seconds / 500);
    char line[128];
    int row = 0;
    for (double t = 0; t < seconds; t += step, row++) {
      snprintf(line, sizeof line, "\nt\t%.0f\t%.3f\t0\n", std::floor(t / 60), t - 60 * std::floor(t / 60));
      text += line;
      for (int n = 1; n <= kSources; n++) {
        double shape = 0.5 + 0.25 * ((n + row) % 11);
        if (shape == 1.0) shape = 1.25;
        snprintf(line, sizeof line, "v\t%i\t%.2f\nrmp\t%.3f\nshape\t%.3f\n", n,
                 -2.0 - 3 * ((n + row) % 4), step, shape);
        text += line;
      }
    }
  }
  return text + "\nend\n";
}

static double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int main(int argc, char** argv) {
  double seconds = argc > 1 ? atof(argv[1]) : 300;
  int rounds = argc > 2 ? atoi(argv[2]) : 5;
  if (seconds <= 0 || rounds <= 0) {
    fprintf(stderr, "usage: engine_bench [SECONDS [ROUNDS]]\n");
    return 1;
  }
  char self[4096];
  ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
  if (len <= 0) return 1;
  self[len] = 0;
  std::string engine = std::string(self).substr(0, std::string(self).rfind('/') + 1) + "vorlax4";
  char tmpl[] = "/tmp/engine_bench.XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  std::string dir = tmpl;

  // The sources, all different, and the preferences file.
  char name[32], cmd[512];
  for (int n = 1; n <= kSources; n++) {
    snprintf(name, sizeof name, "src%02d.wav", n);
    snprintf(cmd, sizeof cmd,
             "cd %s && sox -q -n -r 48000 -b 24 -c 2 %s synth %g sine %d pinknoise vol 0.03",
             dir.c_str(), name, seconds, 40 * n + 40);
    if (system(cmd) != 0) {
      fprintf(stderr, "engine_bench: sox could not make the sources\n");
      system(("rm -rf " + dir).c_str());
      return 1;
    }
  }
  Write(dir + "/prefs.txt", "pre\toff\noutbits\t24\ndither\t1\nend\n");
  printf("engine_bench: stereo 24-bit 48 kHz sources of %g s, %d rounds\n", seconds, rounds);

  struct Case {
    const char* name;
    int sources;
    std::string faders;
    double ratio = -1, engine = -1;
    std::vector<double> soxTimes = {}, engineTimes = {}, soxCpu = {}, engineCpu = {};
  } cases[] = {{"bypass", 16, "BenchMix\n\nend\n"},
               {"full", 16, FullText()},
               {"session", kSources, SessionText(false, seconds)},
               {"dense", kSources, SessionText(true, seconds)}};
  for (int r = 0; r < rounds; r++) {
    for (Case& c : cases) {
      std::string tracks;
      std::vector<std::string> sox = {"sox", "-D", "-m"};
      for (int n = 1; n <= c.sources; n++) {
        snprintf(name, sizeof name, "src%02d.wav", n);
        tracks += std::to_string(n) + " " + name + " +\n";
        sox.insert(sox.end(), {"-v", "1", name});
      }
      sox.insert(sox.end(), {"-b", "24", "sox.wav"});
      Write(dir + "/tracks.txt", tracks + "end\n");
      Write(dir + "/faders.txt", c.faders);
      double ca = 0, cb = 0;
      double a = Timed(dir, sox, &ca);
      double b = Timed(dir, {engine, "-q", "-o", "engine.wav"}, &cb);
      if (a < 0 || b < 0) {
        fprintf(stderr, "engine_bench: %s failed\n", a < 0 ? "sox" : engine.c_str());
        system(("rm -rf " + dir).c_str());
        return 1;
      }
      c.soxTimes.push_back(a);
      c.engineTimes.push_back(b);
      c.soxCpu.push_back(ca);
      c.engineCpu.push_back(cb);
      printf("%s round %d: sox %.3f s (cpu %.3f s), vorlax4 %.3f s (cpu %.3f s)\n", c.name, r + 1,
             a, ca, b, cb);
      fflush(stdout);
    }
  }
  for (Case& c : cases) {
    c.engine = Median(c.engineTimes);
    c.ratio = c.engine / Median(c.soxTimes);
    // On a machine busy with other work the processor time says what the
    // wall-clock time cannot: how much work each did.
    printf("%s: sox median %.3f s, vorlax4 median %.3f s, ratio %.3f (cpu ratio %.3f)\n", c.name,
           Median(c.soxTimes), c.engine, c.ratio, Median(c.engineCpu) / Median(c.soxCpu));
    if (Median(c.soxTimes) < 3)
      printf("%s: warning: sox took less than 3 s a round; run with more SECONDS\n", c.name);
  }
  system(("rm -rf " + dir).c_str());
  printf("goals: bypass <= 0.2, full <= 1.0, session <= 0.5, dense <= 1.2 x session\n");
  printf("bypass_ratio=%.3f full_ratio=%.3f session_ratio=%.3f dense_over_session=%.3f\n",
         cases[0].ratio, cases[1].ratio, cases[2].ratio, cases[3].engine / cases[2].engine);
  return 0;
}
