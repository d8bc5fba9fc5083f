// Inside the Automation window: the peak envelopes of the wave files, read
// in the background so that the editor never waits for a file.
#ifndef ORVANE_AUTOMATION_ENVELOPE_H
#define ORVANE_AUTOMATION_ENVELOPE_H

#include <string>
#include <vector>

struct Envelope {
  double rate = 0;           // frames per second of the file
  long long frames = 0;      // its length
  int bin = 1;               // frames per peak
  std::vector<float> peak;   // the largest magnitude of each bin, all channels
};

// The path of a channel's wave file as the engine looks it up (relative
// names in the wave directory when one is set); "" for a silent channel.
std::string WavePath(const char* name);

// The envelope of the file at path, or null while it is being read and when
// it cannot be read. A file not asked for before is queued; files are read
// one at a time on a thread of their own.
const Envelope* EnvelopeOf(const std::string& path);

// Run on the event-loop thread each time an envelope has been read.
void OnEnvelopeArrived(void (*fn)());

#endif
