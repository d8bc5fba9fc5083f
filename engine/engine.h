// The render engine's core: loads the three mix files into the editor's mix
// model, checks every source, and renders the model in memory to a WAV file.
// The program vorlax4 (main.cpp) is a thin command line around it; tests and
// benchmarks render from a model they set up themselves.
#ifndef VORLAX4_ENGINE_H
#define VORLAX4_ENGINE_H

#include <atomic>
#include <string>
#include <vector>

#include "model/model.h"

#define VORLAX4_VERSION ORVANE_VERSION

// Exit statuses of vorlax4.
enum { EXIT_RENDERED = 0, EXIT_BAD_COMMAND_LINE = 1, EXIT_NOT_RENDERED = 2 };

// Resets the model and reads faders.txt, tracks.txt and prefs.txt of the
// working directory with the editor's readers. Every file that is missing or
// unreadable adds a message naming it and the cause; false when any failed.
// A mix in which no channel names a wave file is refused here ("nothing to
// mix").
bool LoadMixFiles(std::vector<std::string>* errors);

struct RenderOptions {
  std::string output;     // the file to write; empty: MixDirName/MixName.wav
  bool progress = false;  // an updating "rendering NAME: N%" line on stderr
  int blockFrames = 16384; // frames per processing block
  int threads = 0;        // worker threads for the channels; 0: one per core
  // Set once a block to the share of the render done (0..100), when given.
  std::atomic<int>* percent = nullptr;
  // When given and set, the render stops at the next block: the temporary
  // output is removed, the previous output stays, "render cancelled".
  const std::atomic<bool>* cancel = nullptr;
};

struct RenderReport {
  std::string output;     // the path written
  long long frames = 0;   // frames in the file
  int rate = 0, channels = 0, bits = 0;
  double peak = 0;        // largest absolute sample before clipping, full scale 1
  long long clipped = 0;  // samples clipped at the output
  double seconds = 0;     // wall-clock time of the render
  long long nonFinite = 0;  // source samples that were not numbers, replaced by 0
  std::vector<std::string> warnings;  // what did not stop the render, each naming its file
};

// The default output: MixDirName/MixName.wav (working directory when
// MixDirName is empty, "/" in the name made "_").
std::string DefaultOutputPath();

// Renders the model as it stands. Before any audio is read every source is
// checked; all problems are added to errors (each naming its file and the
// cause) and nothing is written. Returns EXIT_RENDERED or EXIT_NOT_RENDERED.
int RenderModel(const RenderOptions& options, RenderReport* report,
                std::vector<std::string>* errors);

// The one summary line printed on standard output (without newline); the
// non-finite samples replaced are mentioned only when there were any.
std::string SummaryLine(const RenderReport& report);

#endif
