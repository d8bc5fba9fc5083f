#include "text.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "../model/model.h"

// printf's %.Nf of v. Model values are floats, so v * 10^N is exact in a
// double for N <= 3 and rounding it to an integer (ties to even, as printf
// rounds an exact tie) gives printf's digits; anything else goes to printf.
static void AppendFixed(std::string& out, double v, int decimals) {
  static const double scale[] = {1, 10, 100, 1000};
  if (decimals <= 3 && std::isfinite(v) && (double)(float)v == v) {
    double y = std::nearbyint(v * scale[decimals]);
    if (std::fabs(y) < 9e15) {
      char digits[32];
      int n = 0;
      uint64_t u = (uint64_t)std::fabs(y);
      for (int d = 0; d < decimals; d++, u /= 10) digits[n++] = (char)('0' + u % 10);
      if (decimals) digits[n++] = '.';
      do { digits[n++] = (char)('0' + u % 10); u /= 10; } while (u);
      if (std::signbit(v)) digits[n++] = '-';
      while (n) out.push_back(digits[--n]);
      return;
    }
  }
  char buf[400];
  int len = snprintf(buf, sizeof buf, "%.*f", decimals, v);
  if (len >= (int)sizeof buf) {
    std::string big((size_t)len + 1, '\0');
    snprintf(&big[0], big.size(), "%.*f", decimals, v);
    out.append(big.c_str(), (size_t)len);
  } else if (len > 0) {
    out.append(buf, (size_t)len);
  }
}

static void AppendInt(std::string& out, long v) {
  char digits[24];
  int n = 0;
  unsigned long u = v < 0 ? 0UL - (unsigned long)v : (unsigned long)v;
  do { digits[n++] = (char)('0' + u % 10); u /= 10; } while (u);
  if (v < 0) digits[n++] = '-';
  while (n) out.push_back(digits[--n]);
}

void Appendf(std::string& out, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  const char* p = fmt;
  while (*p) {
    const char* lit = p;
    while (*p && *p != '%') p++;
    out.append(lit, (size_t)(p - lit));
    if (!*p) break;
    p++;  // past '%'
    if (*p == 'i' || *p == 'd') {
      AppendInt(out, va_arg(ap, int));
      p++;
    } else if (p[0] == 'l' && (p[1] == 'i' || p[1] == 'd')) {
      AppendInt(out, va_arg(ap, long));
      p += 2;
    } else if (*p == 's') {
      const char* s = va_arg(ap, const char*);
      out.append(s ? s : "");
      p++;
    } else if (p[0] == '.' && p[1] >= '0' && p[1] <= '9' && p[2] == 'f') {
      AppendFixed(out, va_arg(ap, double), p[1] - '0');
      p += 3;
    } else {
      out.push_back('%');  // "%%", or not a conversion of the mix files: kept as text
      if (*p == '%') p++;
    }
  }
  va_end(ap);
}

static unsigned WordSlot(uint64_t packed) {
  return (unsigned)((packed * 0x9E3779B97F4A7C15ULL) >> 57);
}

void WordTable::Add(const char* word, int value) {
  uint64_t k = PackWord(word);
  unsigned i = WordSlot(k);
  while (keys[i] != 0 && keys[i] != k) i = (i + 1) & 127;
  keys[i] = k;
  values[i] = value;
}

int WordTable::Find(uint64_t packed) const {
  if (packed == 0) return -1;
  for (unsigned i = WordSlot(packed);; i = (i + 1) & 127) {
    if (keys[i] == packed) return values[i];
    if (keys[i] == 0) return -1;
  }
}

bool Field::Is(const char* word) const {
  size_t k = strlen(word);
  return k == n && memcmp(p, word, k) == 0;
}

static bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static const double pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

static bool IsDigit(char c) { return (unsigned char)(c - '0') <= 9; }

double ToDouble(Field f) {
  const char* s = f.p;
  const char* e = f.p + f.n;
  // The common field: the whole of it a plain decimal of at most 15 digits.
  {
    const char* p = s + (s < e && *s == '-');
    uint64_t mant = 0;
    const char* d = p;
    while (p < e && IsDigit(*p)) mant = mant * 10 + (uint64_t)(*p++ - '0');
    int digits = (int)(p - d), decimals = 0;
    if (p < e && *p == '.') {
      const char* q = ++p;
      while (p < e && IsDigit(*p)) mant = mant * 10 + (uint64_t)(*p++ - '0');
      decimals = (int)(p - q);
    }
    if (p == e && digits + decimals > 0 && digits + decimals <= 15) {
      double v = (double)mant / pow10[decimals];
      return *s == '-' ? -v : v;
    }
  }
  while (s < e && IsSpace(*s)) s++;
  const char* start = s;
  bool neg = false;
  if (s < e && (*s == '-' || *s == '+')) neg = *s++ == '-';
  uint64_t mant = 0;
  int digits = 0, decimals = 0;
  while (s < e && *s >= '0' && *s <= '9') { mant = mant * 10 + (uint64_t)(*s++ - '0'); digits++; if (digits > 19) break; }
  if (s < e && *s == '.' && digits <= 19) {
    s++;
    while (s < e && *s >= '0' && *s <= '9') {
      mant = mant * 10 + (uint64_t)(*s++ - '0');
      digits++, decimals++;
      if (digits > 19) break;
    }
  }
  bool plain = digits <= 19 && !(s < e && (*s == 'e' || *s == 'E' || *s == 'x' || *s == 'X' ||
                                           (*s >= '0' && *s <= '9')));
  if (plain && digits == 0) {
    // No digits: only inf, nan or a hexadecimal form could still be a number.
    if (s < e && (*s == 'i' || *s == 'I' || *s == 'n' || *s == 'N')) plain = false;
    else return 0.0;
  }
  // Exact in a double and divided once: correctly rounded, as strtod is.
  if (plain && mant <= (1ULL << 53) && decimals <= 22) {
    double v = (double)mant / pow10[decimals];
    return neg ? -v : v;
  }
  std::string copy(start, (size_t)(e - start));
  return strtod(copy.c_str(), nullptr);
}

int ToInt(Field f) {
  const char* s = f.p;
  const char* e = f.p + f.n;
  while (s < e && IsSpace(*s)) s++;
  bool neg = false;
  if (s < e && (*s == '-' || *s == '+')) neg = *s++ == '-';
  long long v = 0;
  while (s < e && *s >= '0' && *s <= '9') {
    v = v * 10 + (*s++ - '0');
    if (v > (long long)INT_MAX + 1) v = (long long)INT_MAX + 1;
  }
  if (neg) return (int)-v;
  return v > INT_MAX ? INT_MAX : (int)v;
}

int TruncToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT_MAX;
  if (v <= -2147483648.0) return INT_MIN;
  return (int)v;
}

// The values cut since ClearReadCuts, by kind, and the size they were cut to.
static int cut_count[NUM_CUT_KINDS];
static size_t cut_to[NUM_CUT_KINDS];

static const struct { const char* one; const char* many; } cut_names[NUM_CUT_KINDS] = {
  {"track name", "track names"}, {"submix name", "submix names"}, {"VCA name", "VCA names"},
  {"cue name", "cue names"}, {"mix name", "mix names"}, {"directory", "directories"},
  {"launch command", "launch commands"}, {"device name", "device names"},
};

void ClearReadCuts() {
  for (int k = 0; k < NUM_CUT_KINDS; k++) cut_count[k] = 0;
}

std::string ReadCutsReport() {
  std::string r;
  for (int k = 0; k < NUM_CUT_KINDS; k++) {
    int c = cut_count[k];
    if (c == 0) continue;
    if (!r.empty()) r += ", ";
    Appendf(r, "%i %s longer than %li characters %s cut", c,
            c == 1 ? cut_names[k].one : cut_names[k].many, (long)cut_to[k],
            c == 1 ? "was" : "were");
  }
  return r;
}

void CopyFieldText(char* dst, size_t n, Field f, CutKind kind) {
  const void* nul = f.n ? memchr(f.p, '\0', f.n) : nullptr;
  size_t len = nul ? (size_t)(static_cast<const char*>(nul) - f.p) : f.n;
  if (n > 0 && len > n - 1) {
    cut_count[kind]++;
    cut_to[kind] = n - 1;
  }
  char room[PATH_LEN + 1];
  size_t k = f.n < sizeof room - 1 ? f.n : sizeof room - 1;
  if (k > n) k = n;
  memcpy(room, f.p, k);
  room[k] = '\0';
  CopyField(dst, n, room);
}

// What a file that is not a regular one is, for the reason of a refusal.
static const char* NotRegular(mode_t mode) {
  if (S_ISDIR(mode)) return "it is a directory, not a regular file";
  if (S_ISFIFO(mode)) return "it is a FIFO, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a regular file";
  if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
  return "it is not a regular file";
}

int ReadWholeFile(const char* name, std::string* out, std::string* why) {
  out->clear();
  struct stat st;
  if (stat(name, &st) != 0) {
    if (errno == ENOENT) return 0;
    *why = strerror(errno);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    *why = NotRegular(st.st_mode);
    return -1;
  }
  // Non-blocking, in case a FIFO took the file's place since the stat.
  int fd = open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT) return 0;
    *why = strerror(errno);
    return -1;
  }
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *why = S_ISREG(st.st_mode) ? strerror(errno) : NotRegular(st.st_mode);
    close(fd);
    return -1;
  }
  if (st.st_size > 0) out->reserve((size_t)st.st_size);
  char chunk[65536];
  for (;;) {
    ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *why = strerror(errno);
      close(fd);
      out->clear();
      return -1;
    }
    if (got == 0) break;
    out->append(chunk, (size_t)got);
  }
  close(fd);
  if ((off_t)out->size() != st.st_size) {
    *why = "the file changed while it was read";
    out->clear();
    return -1;
  }
  return 1;
}

static bool Fail(std::string* why, const std::string& what) {
  *why = what;
  return false;
}

const char* const kReadOnly = "read-only";

// name with its symbolic links followed to the file they end at (which may
// not exist yet: a save then creates it there).
static bool ResolveLinks(const std::string& name, std::string* path, std::string* why) {
  std::string p = name;
  for (int hops = 0; hops < 40; hops++) {
    struct stat st;
    if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *path = p;
      return true;
    }
    std::vector<char> target((size_t)(st.st_size > 0 ? st.st_size : 255) + 2);
    ssize_t n = readlink(p.c_str(), target.data(), target.size());
    if (n < 0) return Fail(why, strerror(errno));
    if ((size_t)n >= target.size()) return Fail(why, "the symbolic link changed while it was read");
    std::string t(target.data(), (size_t)n);
    size_t slash = p.rfind('/');
    if (t[0] != '/' && slash != std::string::npos) t = p.substr(0, slash + 1) + t;
    p = t;
  }
  return Fail(why, strerror(ELOOP));
}

// The temporary files of saves and renders: .BASE.PID.N.tmp, BASE one of the
// mix files or a wave file. Returns the PID, or 0 when name is none of them.
static long TempOwner(const char* name) {
  size_t n = strlen(name);
  if (n < 8 || name[0] != '.' || strcmp(name + n - 4, ".tmp") != 0) return 0;
  const char* end = name + n - 4;  // at ".tmp"
  const char* p = end;
  auto Digits = [&](const char* stop) {  // steps p back over ".DIGITS"
    const char* q = stop;
    while (q > name && IsDigit(q[-1])) q--;
    if (q == stop || q - 1 <= name || q[-1] != '.') return false;
    p = q - 1;
    return true;
  };
  if (!Digits(end)) return 0;
  const char* counter = p;
  if (!Digits(counter)) return 0;
  std::string base(name + 1, (size_t)(p - name - 1));
  bool ours = base == "faders.txt" || base == "prefs.txt" || base == "tracks.txt" ||
              (base.size() > 4 && base.compare(base.size() - 4, 4, ".wav") == 0);
  if (!ours) return 0;
  long pid = strtol(p + 1, nullptr, 10);
  return pid > 0 && p + 1 < counter ? pid : 0;
}

// Removes from dir the temporary files whose process no longer runs. A file
// of a live process (or of one this user may not signal) is never touched.
static void RemoveStaleTemps(const std::string& dir) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  while (struct dirent* e = readdir(d)) {
    long pid = TempOwner(e->d_name);
    if (pid <= 0 || pid == (long)getpid() || pid > INT_MAX) continue;
    if (kill((pid_t)pid, 0) == 0 || errno != ESRCH) continue;
    std::string path = dir + "/" + e->d_name;
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) unlink(path.c_str());
  }
  closedir(d);
}

// A free name .BASE.PID.N.SUFFIX beside the file, created exclusively.
static int CreateBeside(const SaveFile& f, const char* suffix, mode_t mode, std::string* name,
                        std::string* why) {
  for (int attempt = 0; attempt < 100; attempt++) {
    *name = f.dir + "/." + f.base + "." + std::to_string(getpid()) + "." +
            std::to_string(attempt) + suffix;
    int fd = open(name->c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) return fd;
    if (errno != EEXIST) {
      *why = strerror(errno);
      return -1;
    }
  }
  *why = "no free temporary file name";
  return -1;
}

bool BeginSave(const char* name, SaveFile* f, std::string* why) {
  *f = SaveFile();
  if (!ResolveLinks(name, &f->path, why)) return false;
  f->dir = ".";
  f->base = f->path;
  size_t slash = f->path.rfind('/');
  if (slash != std::string::npos) {
    f->dir = slash ? f->path.substr(0, slash) : "/";
    f->base = f->path.substr(slash + 1);
  }
  struct stat old;
  if (stat(f->path.c_str(), &old) == 0) {
    if (!S_ISREG(old.st_mode)) return Fail(why, NotRegular(old.st_mode));
    // As the user would find it: root may write anything, others what
    // the mode and the owner allow (a read-only file system shows later).
    if (faccessat(AT_FDCWD, f->path.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES)
      return Fail(why, kReadOnly);
    f->exists = true;
    f->links = (unsigned long)old.st_nlink;
    f->inPlace = old.st_nlink > 1;
  } else if (errno != ENOENT) {
    return Fail(why, strerror(errno));
  }
  RemoveStaleTemps(f->dir);
  f->fd = CreateBeside(*f, ".tmp", 0666, &f->temp, why);
  if (f->fd < 0) return false;
  if (f->exists) {
    // The owner and group first (a change of owner clears set-id bits),
    // then the mode. An owner this user cannot give is kept by writing in place.
    if ((old.st_uid != geteuid() || old.st_gid != getegid()) &&
        fchown(f->fd, old.st_uid, old.st_gid) != 0)
      f->inPlace = true;
    fchmod(f->fd, old.st_mode & 07777);
  }
  return true;
}

void AbortSave(SaveFile* f) {
  if (f->fd >= 0) close(f->fd), f->fd = -1;
  if (!f->temp.empty()) unlink(f->temp.c_str());
  f->temp.clear();
}

// Copies the whole of the file open on from into to, from its start, and
// cuts to to that length; flushed to the disk.
static bool CopyInto(int from, int to, std::string* why) {
  if (lseek(from, 0, SEEK_SET) != 0) return Fail(why, strerror(errno));
  char chunk[65536];
  off_t at = 0;
  for (;;) {
    ssize_t got = read(from, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Fail(why, strerror(errno));
    if (got == 0) break;
    for (ssize_t done = 0; done < got;) {
      ssize_t put = pwrite(to, chunk + done, (size_t)(got - done), at);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return Fail(why, put < 0 ? strerror(errno) : "nothing could be written");
      done += put, at += put;
    }
  }
  if (ftruncate(to, at) != 0 || fsync(to) != 0) return Fail(why, strerror(errno));
  return true;
}

// The in-place replacement: a complete copy of the old file beside it,
// then the new bytes into the file itself, then the copy removed. If the
// write fails the old bytes are put back; if even that fails the copy stays.
static bool ReplaceInPlace(SaveFile* f, std::string* why) {
  int target = open(f->path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (target < 0) return Fail(why, strerror(errno));
  std::string copy, failed;
  int keep = CreateBeside(*f, ".old", 0600, &copy, why);
  if (keep < 0) {
    close(target);
    return false;
  }
  if (!CopyInto(target, keep, why)) {
    *why = "no complete copy of the old file could be made (" + *why + ")";
    close(keep), unlink(copy.c_str()), close(target);
    return false;
  }
  bool ok = CopyInto(f->fd, target, &failed);
  if (!ok) {
    std::string ignored;
    if (CopyInto(keep, target, &ignored)) {
      unlink(copy.c_str());
      *why = failed;
    } else {
      *why = failed + "; the old file is kept as " + copy;
    }
  } else {
    unlink(copy.c_str());
    f->note = f->base + (f->links > 1 ? " has " + std::to_string(f->links) + " names"
                                      : " belongs to another user") +
              ": written in place (a copy of the old file was kept until the write was complete)";
  }
  close(keep);
  if (close(target) != 0 && ok) ok = Fail(why, strerror(errno));
  return ok;
}

bool CommitSave(SaveFile* f, std::string* why) {
  bool ok = fsync(f->fd) == 0 || Fail(why, strerror(errno));
  if (ok && f->inPlace) {
    ok = ReplaceInPlace(f, why);
    close(f->fd);
    f->fd = -1;
    unlink(f->temp.c_str());
    f->temp.clear();
    return ok;
  }
  int fd = f->fd;
  f->fd = -1;
  if (close(fd) != 0 && ok) ok = Fail(why, strerror(errno));
  if (ok && rename(f->temp.c_str(), f->path.c_str()) != 0) ok = Fail(why, strerror(errno));
  if (!ok) {
    AbortSave(f);
    return false;
  }
  f->temp.clear();
  // Make the rename itself last; the file is saved whatever this returns.
  int dfd = open(f->dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return true;
}

bool SafeWriteFile(const char* name, const std::string& bytes, std::string* why,
                   size_t* written, std::string* note) {
  if (written) *written = 0;
  if (note) note->clear();
  SaveFile f;
  if (!BeginSave(name, &f, why)) return false;
  const char* at = bytes.data();
  size_t left = bytes.size();
  bool ok = true;
  while (ok && left > 0) {
    ssize_t put = write(f.fd, at, left);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) ok = Fail(why, strerror(errno));
    else if (put == 0) ok = Fail(why, "nothing could be written");
    else {
      at += put, left -= (size_t)put;
      if (written) *written += (size_t)put;
    }
  }
  if (!ok) {
    AbortSave(&f);
    return false;
  }
  if (!CommitSave(&f, why)) return false;
  if (note) *note = f.note;
  return true;
}

std::string Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  const unsigned char* s = (const unsigned char*)text.data();
  size_t n = text.size();
  auto Hex = [&out](unsigned char c) {
    static const char digits[] = "0123456789abcdef";
    out += "\\x";
    out += digits[c >> 4];
    out += digits[c & 15];
  };
  for (size_t i = 0; i < n;) {
    unsigned char c = s[i];
    if (c >= 0x20 && c < 0x7f) {
      out += (char)c, i++;
    } else if (c == '\n' || c == '\t' || c == '\r') {
      out += c == '\n' ? "\\n" : c == '\t' ? "\\t" : "\\r";
      i++;
    } else if (c < 0x80) {
      Hex(c), i++;
    } else {
      // A whole UTF-8 sequence passes, unless it encodes a C1 control.
      size_t len = c >= 0xc2 && c <= 0xdf ? 2 : c >= 0xe0 && c <= 0xef ? 3 : c >= 0xf0 && c <= 0xf4 ? 4 : 0;
      bool valid = len && i + len <= n;
      for (size_t k = 1; valid && k < len; k++) valid = (s[i + k] & 0xc0) == 0x80;
      if (valid && len == 3) valid = !(c == 0xe0 && s[i + 1] < 0xa0) && !(c == 0xed && s[i + 1] >= 0xa0);
      if (valid && len == 4) valid = !(c == 0xf0 && s[i + 1] < 0x90) && !(c == 0xf4 && s[i + 1] >= 0x90);
      if (valid && len == 2 && c == 0xc2 && s[i + 1] < 0xa0) valid = false;  // U+0080..U+009F
      if (!valid) {
        Hex(c), i++;
      } else {
        out.append((const char*)s + i, len);
        i += len;
      }
    }
  }
  return out;
}

std::string ExpandHome(const char* path) {
  const char* home = getenv("HOME");
  if (path[0] == '~' && path[1] == '/' && home && home[0]) {
    std::string h = home;
    if (h.back() == '/') h.pop_back();
    return h + (path + 1);
  }
  return path;
}

std::string LastSaveError, LastSaveNote;

void ReportNotSaved(const char* name, const std::string& why) {
  LastSaveError = why;
  LastSaveNote.clear();
  if (why == kReadOnly)
    snprintf(tbuffer, TBUF_LEN, "%s is read-only: not saved", name);
  else
    snprintf(tbuffer, TBUF_LEN, "%s not saved: %s", name, why.c_str());
  printf("%s\n", Escaped(tbuffer).c_str());
  fflush(stdout);
}

void ReportSaved(const char* name, long bytes, const std::string& note) {
  LastSaveNote = note;
  snprintf(tbuffer, TBUF_LEN, "Wrote %li bytes to %s", bytes, name);
  if (!note.empty()) {
    size_t used = strlen(tbuffer);
    snprintf(tbuffer + used, TBUF_LEN - used, "; %s", note.c_str());
    printf("%s\n", note.c_str());
    fflush(stdout);
  }
}
