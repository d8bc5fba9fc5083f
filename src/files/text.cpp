#include "text.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

int ReadWholeFile(const char* name, std::string* out, std::string* why) {
  out->clear();
  int fd = open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return 0;
    *why = strerror(errno);
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    *why = strerror(errno);
    close(fd);
    return -1;
  }
  if (S_ISREG(st.st_mode) && st.st_size > 0) out->reserve((size_t)st.st_size);
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
  if (S_ISREG(st.st_mode) && (off_t)out->size() != st.st_size) {
    *why = "the file changed while it was read";
    out->clear();
    return -1;
  }
  return 1;
}

static bool Fail(std::string* why, const char* what) {
  *why = what;
  return false;
}

bool SafeWriteFile(const char* name, const std::string& bytes, std::string* why,
                   size_t* written) {
  if (written) *written = 0;
  std::string dir = ".", base = name;
  if (const char* slash = strrchr(name, '/')) {
    dir.assign(name, (size_t)(slash - name));
    if (dir.empty()) dir = "/";
    base = slash + 1;
  }
  std::string tmp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; attempt++) {
    tmp = dir + "/." + base + "." + std::to_string(getpid()) + "." + std::to_string(attempt) + ".tmp";
    fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return Fail(why, strerror(errno));
  }
  if (fd < 0) return Fail(why, "no free temporary file name");
  struct stat old;
  if (stat(name, &old) == 0 && S_ISREG(old.st_mode)) fchmod(fd, old.st_mode & 07777);

  const char* at = bytes.data();
  size_t left = bytes.size();
  bool ok = true;
  while (ok && left > 0) {
    ssize_t put = write(fd, at, left);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) ok = Fail(why, strerror(errno));
    else if (put == 0) ok = Fail(why, "nothing could be written");
    else {
      at += put, left -= (size_t)put;
      if (written) *written += (size_t)put;
    }
  }
  if (ok && fsync(fd) != 0) ok = Fail(why, strerror(errno));
  if (close(fd) != 0 && ok) ok = Fail(why, strerror(errno));
  if (ok && rename(tmp.c_str(), name) != 0) ok = Fail(why, strerror(errno));
  if (!ok) {
    unlink(tmp.c_str());
    return false;
  }
  // Make the rename itself last; the file is saved whatever this returns.
  int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return true;
}

std::string LastSaveError;

void ReportNotSaved(const char* name, const std::string& why) {
  LastSaveError = why;
  snprintf(tbuffer, TBUF_LEN, "%s not saved: %s", name, why.c_str());
  printf("%s\n", tbuffer);
  fflush(stdout);
}
