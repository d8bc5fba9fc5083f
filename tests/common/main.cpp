// gtest main for every test binary: FLTK's fatal handler would exit the
// process, so it is turned into a failed test instead.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include <FL/Fl.H>
#include <gtest/gtest.h>

static void FailOnFatal(const char* format, ...) {
  char text[1024];
  va_list ap;
  va_start(ap, format);
  vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  fprintf(stderr, "FLTK fatal error in a test: %s\n", text);
  ADD_FAILURE() << "FLTK fatal error: " << text;
  abort();
}

int main(int argc, char** argv) {
  Fl::fatal = FailOnFatal;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
