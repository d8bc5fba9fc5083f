// fader_file_bench: the store and the recall of faders.txt for the maximal
// mix, each against plain file I/O of the same bytes done the same way.
//   store  = read the old file, keep its foreign lines, build, save safely
//   write  = save the same bytes safely (temporary file, fsync, rename)
//   recall = read faders.txt, ParseBufferMulti, ReadVolumes
//   read   = read the same file into memory
// Prints the file size, the medians and, last, the two ratios.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "files/files.h"
#include "files/text.h"
#include "model/model.h"
#include "../tests/files/maximal_mix.h"

static double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

static double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int main(int argc, char** argv) {
  int runs = argc > 1 ? atoi(argv[1]) : 9;
  if (runs < 1) runs = 1;
  std::string base = getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp";
  std::string tmpl = base + "/fader-bench-XXXXXX";
  if (!mkdtemp(&tmpl[0]) || chdir(tmpl.c_str()) != 0) {
    perror("fader_file_bench: temporary directory");
    return 1;
  }

  BuildMaximalMix();
  if (!SaveFaderFile()) {
    printf("fader_file_bench: %s\n", tbuffer);
    return 1;
  }
  std::string text, why;
  ReadWholeFile("faders.txt", &text, &why);

  std::vector<double> store, write, recall, read;
  for (int i = 0; i < runs; i++) {
    double t0 = Seconds();
    SaveFaderFile();
    double t1 = Seconds();
    SafeWriteFile("plain.txt", text, &why);
    double t2 = Seconds();
    LoadFaderFile();
    double t3 = Seconds();
    std::string copy;
    ReadWholeFile("plain.txt", &copy, &why);
    double t4 = Seconds();
    store.push_back(t1 - t0), write.push_back(t2 - t1);
    recall.push_back(t3 - t2), read.push_back(t4 - t3);
    if (copy.size() != text.size()) printf("fader_file_bench: the plain read came back short\n");
  }

  std::filesystem::current_path(base);
  std::filesystem::remove_all(tmpl);

  double ms = 1000;
  printf("faders.txt: %zu bytes, %d runs\n", text.size(), runs);
  printf("store  median %.3f ms   plain safe write %.3f ms\n", Median(store) * ms, Median(write) * ms);
  printf("recall median %.3f ms   plain read       %.3f ms\n", Median(recall) * ms, Median(read) * ms);
  printf("store_ratio=%.2f recall_ratio=%.2f\n", Median(store) / Median(write),
         Median(recall) / Median(read));
  return 0;
}
