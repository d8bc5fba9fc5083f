// engine_bench [SECONDS [ROUNDS]]: the render engine against sox's plain mix.
// Generates 16 stereo 24-bit 48 kHz sources of equal length with sox, then
// alternates `sox -m -v 1 ...` and `vorlax4` on them, ROUNDS times each,
// and compares the median times. Last line: bypass_ratio=X full_ratio=Y,
// the engine's time over sox's with no effect on (bypass) and with every
// effect on all 16 channels and both reverbs in use (full).
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

static const int kSources = 16;

// Runs argv in dir with its output silenced; the wall-clock seconds, or -1
// when it fails.
static double Timed(const std::string& dir, const std::vector<std::string>& argv) {
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
  if (rc == 0) waitpid(pid, &status, 0);
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
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

// faders.txt of the bench mix: nothing on, or every effect on every channel
// with both reverbs fed. The thresholds sit below the sources' levels (about
// -26 dBFS), so that every compressor and the limiter work all the time.
static std::string FadersText(bool full) {
  if (!full) return "BenchMix\n\nend\n";
  std::string text = "BenchMix\n\n";
  char line[128];
  for (int n = 1; n <= kSources; n++) {
    const char* formats[] = {
        "hp\t%i\t80.0\n",          "comp\t%i\t-36.0\t5.0\t100.0\t3.0\n",
        "rms\t%i\t-34.0\t10.0\t150.0\t2.0\n", "nlc\t%i\t-33.0\t300.0\t2.0\n",
        "lim\t%i\t-34.0\n",         "band1\t%i\t400.0\t-3.0\t1.0\n",
        "band2\t%i\t3000.0\t2.0\t1.5\n", "hshelf\t%i\t8000.0\t1.5\t0.7\n",
        "lshelf\t%i\t120.0\t2.0\t0.7\n", "rev\t%i\t-12.0\n",
        "trev\t%i\t-18.0\n",        "fxg\t%i\t6.0\n",
    };
    for (const char* f : formats) {
      snprintf(line, sizeof line, f, n);
      text += line;
    }
  }
  text += "\nrtn\t-6.0\t150.0\ntrtn\t-9.0\t150.0\t5.0\nrlp\t7000\nrhp\t150\nwidth\t50\n"
          "pos\t37\t39\t43\n\nend\n";
  return text;
}

static double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int main(int argc, char** argv) {
  double seconds = argc > 1 ? atof(argv[1]) : 30;
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

  // The sources, all different, and the tracks and preferences files.
  std::string tracks;
  std::vector<std::string> sox = {"sox", "-D", "-m"};
  char name[32], cmd[512];
  for (int n = 1; n <= kSources; n++) {
    snprintf(name, sizeof name, "src%02d.wav", n);
    snprintf(cmd, sizeof cmd,
             "cd %s && sox -q -n -r 48000 -b 24 -c 2 %s synth %g sine %d pinknoise vol 0.05",
             dir.c_str(), name, seconds, 80 * n + 40);
    if (system(cmd) != 0) {
      fprintf(stderr, "engine_bench: sox could not make the sources\n");
      return 1;
    }
    tracks += std::to_string(n) + " " + name + " +\n";
    sox.insert(sox.end(), {"-v", "1", name});
  }
  sox.insert(sox.end(), {"-b", "24", "sox.wav"});
  Write(dir + "/tracks.txt", tracks + "end\n");
  Write(dir + "/prefs.txt", "pre\toff\noutbits\t24\ndither\t1\nend\n");
  printf("engine_bench: %d stereo 24-bit 48 kHz sources of %g s, %d rounds\n", kSources, seconds,
         rounds);

  double ratio[2] = {-1, -1};
  for (int full = 0; full < 2; full++) {
    std::string faders = FadersText(full);
    if (faders.empty()) continue;
    Write(dir + "/faders.txt", faders);
    std::vector<double> tSox, tEngine;
    for (int r = 0; r < rounds; r++) {
      double a = Timed(dir, sox);
      double b = Timed(dir, {engine, "-q", "-o", "engine.wav"});
      if (a < 0 || b < 0) {
        fprintf(stderr, "engine_bench: %s failed\n", a < 0 ? "sox" : engine.c_str());
        return 1;
      }
      tSox.push_back(a);
      tEngine.push_back(b);
      printf("%s round %d: sox %.3f s, vorlax4 %.3f s\n", full ? "full" : "bypass", r + 1, a, b);
    }
    ratio[full] = Median(tEngine) / Median(tSox);
    printf("%s: sox median %.3f s, vorlax4 median %.3f s\n", full ? "full" : "bypass",
           Median(tSox), Median(tEngine));
  }
  system(("rm -rf " + dir).c_str());
  char f[32] = "n/a";
  if (ratio[1] >= 0) snprintf(f, sizeof f, "%.3f", ratio[1]);
  printf("bypass_ratio=%.3f full_ratio=%s\n", ratio[0], f);
  return 0;
}
