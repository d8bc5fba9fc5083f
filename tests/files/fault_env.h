// Faults of the disk made real for one forked child: a directory mounted
// read-only, or a tiny file system that fills up. Each lives in a private
// mount namespace of the child, so nothing outside the child ever sees it.
// (Tests run as root, so file permissions would stop nothing.) Where no
// private mount namespace can be made (a container that forbids unshare),
// the child exits with NO_NAMESPACE and the test is skipped with a reason.
#ifndef ORVANE_TESTS_FAULT_ENV_H
#define ORVANE_TESTS_FAULT_ENV_H

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

enum { NO_NAMESPACE = 77 };

struct ChildRun {
  int exit_code = -1;  // the function's result, or -1 when the child died
  std::string out;     // what the child printed on standard output
};

// Runs fn in a forked child with its standard output piped back.
template <typename F>
ChildRun RunInChild(F fn) {
  ChildRun result;
  int fds[2];
  if (pipe(fds) != 0) return result;
  fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    dup2(fds[1], 1);
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

inline bool WriteSmallFile(const char* path, const std::string& text) {
  int fd = open(path, O_WRONLY);
  if (fd < 0) return false;
  bool ok = write(fd, text.data(), text.size()) == (ssize_t)text.size();
  return close(fd) == 0 && ok;
}

// In the child: a mount namespace of its own whose mounts do not reach the
// parent. As root a plain one; otherwise inside a user namespace of its own.
inline bool PrivateMounts() {
  if (unshare(CLONE_NEWNS) != 0) {
    uid_t uid = geteuid();
    gid_t gid = getegid();
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
    WriteSmallFile("/proc/self/setgroups", "deny");
    if (!WriteSmallFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !WriteSmallFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
      return false;
  }
  return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// In the child: dir (and all below it) mounted read-only over itself, and
// the child's working directory moved onto the read-only mount.
inline bool ReadOnlyDirectory(const std::string& dir) {
  return PrivateMounts() && mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0 &&
         mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0 &&
         chdir(dir.c_str()) == 0;
}

// In the child: an empty file system of kib KiB mounted over dir, which
// becomes the working directory.
inline bool TinyDisk(const std::string& dir, int kib) {
  std::string size = "size=" + std::to_string(kib) + "k";
  return PrivateMounts() && mount("tmpfs", dir.c_str(), "tmpfs", 0, size.c_str()) == 0 &&
         chdir(dir.c_str()) == 0;
}

// In the child: fills the disk of the working directory with the file
// "filler" until no byte more fits.
inline void FillDisk() {
  int fd = open("filler", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  static char block[4096];
  while (write(fd, block, sizeof block) > 0) {
  }
  while (write(fd, block, 1) > 0) {
  }
  close(fd);
}

// In the child: root dropped for the user and group nobody (65534), so that
// file permissions count. False where that cannot be done (not root).
enum { NO_OTHER_USER = 78 };
inline bool BecomeNobody() {
  return setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0 && geteuid() == 65534;
}

#endif
