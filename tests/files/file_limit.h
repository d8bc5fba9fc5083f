// A full disk, faked: runs a function in a forked child whose files may not
// grow past a limit (RLIMIT_FSIZE, with SIGXFSZ ignored, so that a write
// past it fails with EFBIG instead of killing the child).
#ifndef ORVANE_TESTS_FILE_LIMIT_H
#define ORVANE_TESTS_FILE_LIMIT_H

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

struct ChildResult {
  int exit_code = -1;  // the function's result, or -1 when the child died
  std::string out;     // what the child printed on standard output
};

template <typename F>
ChildResult RunWithFileLimit(rlim_t limit, F fn) {
  ChildResult result;
  int fds[2];
  if (pipe(fds) != 0) return result;
  fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    dup2(fds[1], 1);
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit rl = {limit, limit};
    setrlimit(RLIMIT_FSIZE, &rl);
    int rc = fn();
    fflush(stdout);
    _exit(rc);
  }
  close(fds[1]);
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) result.out.append(buf, (size_t)n);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  return result;
}

#endif
