// Kept in its own object so that test binaries without the windows never
// pull it from the library.
#include "testlib.h"

#include "app/app.h"
#include "faders/faders.h"
#include "model/model.h"

int test_answer = 2;
int questions_asked = 0;
std::string last_question;

static int AnswerForTests(const char*, const char* question, const char*, const char*,
                          const char*) {
  questions_asked++;
  last_question = question;
  return test_answer;
}

void BuildEditorOnce() {
  AskUser = AnswerForTests;
  static bool built = false;
  if (built) return;
  built = true;
  ClearInternalArrays();
  BuildAllWindows(false);
  UpdateGUI();
}
