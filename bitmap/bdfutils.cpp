#include "bitmap/bdfutils.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "util/miscutil.h"

int bdfFileLineNum = 0;
int64_t bdfFileByteCount = 0;

namespace {

// Does any byte of the word equal the byte that `pattern` repeats?
inline bool hasByte(uint64_t word, uint64_t pattern) {
  uint64_t x = word ^ pattern;
  return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
}

// Copies one line's bytes from [p, end) to buf from n on, dropping carriage
// returns, until a line feed (not consumed), the end of the piece, or a full
// line (room characters; the byte at the cut is consumed and dropped, `full`
// set).  Lines are short: eight bytes at a time while no line feed or
// carriage return is among them, then byte by byte.
const unsigned char *appendLine(const unsigned char *p, const unsigned char *end, char *buf,
                                int &n, int room, bool &full, bool &newline) {
  constexpr uint64_t kLineFeeds = 0x0A0A0A0A0A0A0A0Aull, kReturns = 0x0D0D0D0D0D0D0D0Dull;
  char *out = buf + n;
  char *const outEnd = buf + room;
  while (end - p >= 8 && outEnd - out >= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    if (hasByte(word, kLineFeeds) || hasByte(word, kReturns)) break;
    std::memcpy(out, &word, 8);
    p += 8;
    out += 8;
  }
  while (p < end) {
    unsigned char c = *p;
    if (c == '\n') {
      newline = true;
      break;
    }
    ++p;
    if (c == '\r') continue;
    if (out == outEnd) {
      full = true;
      break;
    }
    *out++ = static_cast<char>(c);
  }
  n = static_cast<int>(out - buf);
  return p;
}

// One line as the stream holds it: false at the end of the data.
bool readPhysicalLine(BufFile *file, char *buf, int len, int &n) {
  const int room = len - 1;
  n = 0;
  for (;;) {
    if (file->remaining <= 0) {
      int c = file->fill(file);
      if (c == BUFFILEEOF) return false;
      // fill consumed one byte already: give it back to the buffer walk.
      --file->cursor;
      ++file->remaining;
    }
    const unsigned char *p = file->cursor;
    bool full = false, newline = false;
    const unsigned char *after = appendLine(p, p + file->remaining, buf, n, room, full, newline);
    if (newline) {
      ++after;
      ++bdfFileLineNum;
    }
    bool ended = full || newline;
    int used = static_cast<int>(after - p);
    bdfFileByteCount += used;
    file->cursor += used;
    file->remaining -= used;
    if (ended) return true;
  }
}

void message(const char *prefix, const char *format, va_list args) {
  std::fprintf(stderr, prefix, bdfFileLineNum);
  std::vfprintf(stderr, format, args);
}

// scanf's %d: optional white space, sign, at least one digit.  Returns 1 and
// advances on success, 0 when no number stands there, -1 for a number too
// long to convert here exactly (left to the C library).
int scanInt(const char *&p, int &value) {
  const char *s = p;
  while (bdfIsSpace(static_cast<unsigned char>(*s))) ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = *s++ == '-';
  if (*s < '0' || *s > '9') return 0;
  int digits = 0;
  int v = 0;
  for (; *s >= '0' && *s <= '9'; ++s) {
    if (++digits > 9) return -1;
    v = v * 10 + (*s - '0');
  }
  value = negative ? -v : v;
  p = s;
  return 1;
}

int hexDigit(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

char *bdfGetLineLength(BufFile *file, char *buf, int len, int *length) {
  for (;;) {
    int n;
    if (!readPhysicalLine(file, buf, len, n)) return nullptr;
    buf[n] = '\0';
    if (n == 0 || bdfBegins(buf, "COMMENT")) continue;
    *length = n;
    return buf;
  }
}

char *bdfGetLine(BufFile *file, char *buf, int len) {
  int n;
  return bdfGetLineLength(file, buf, len, &n);
}

void bdfError(const char *format, ...) {
  va_list args;
  va_start(args, format);
  message("BDF Error on line %d: ", format, args);
  va_end(args);
}

void bdfWarning(const char *format, ...) {
  va_list args;
  va_start(args, format);
  message("BDF Warning on line %d: ", format, args);
  va_end(args);
}

int bdfScanInts(const char *line, const char *keyword, size_t keyLength, const char *format,
                int *values, int count) {
  for (size_t i = 0; i < keyLength; i++)
    if (line[i] != keyword[i]) return 0;
  const char *p = line + keyLength;
  for (int i = 0; i < count; i++) {
    int r = scanInt(p, values[i]);
    if (r == 0) return i;
    if (r < 0) {
      // Out-of-range numbers convert as the C library converts them.
      int v[4] = {0, 0, 0, 0};
      int got = std::sscanf(line, format, &v[0], &v[1], &v[2], &v[3]);
      for (int k = 0; k < got && k < count; k++) values[k] = v[k];
      return got < 0 ? 0 : got;
    }
  }
  return count;
}

int bdfScanWord(const char *line, const char *keyword, size_t keyLength, char *word, size_t size) {
  for (size_t i = 0; i < keyLength; i++)
    if (line[i] != keyword[i]) return 0;
  const char *p = line + keyLength;
  while (bdfIsSpace(static_cast<unsigned char>(*p))) ++p;
  size_t n = 0;
  for (; *p && !bdfIsSpace(static_cast<unsigned char>(*p)); ++p)
    if (n + 1 < size) word[n++] = *p;
  word[n] = '\0';
  return n > 0 ? 1 : 0;
}

Atom bdfForceMakeAtom(const char *text) {
  return MakeAtom(text, static_cast<unsigned>(std::strlen(text)), 1);
}

Atom bdfGetPropertyValue(const char *text, BdfFileState *state) {
  const char *s = text;
  while (*s == ' ' || *s == '\t') ++s;
  auto atom = [state](const char *value, size_t length) {
    Atom a = MakeAtom(value, static_cast<unsigned>(length), 1);
    if (a == None) bdfOutOfMemory(state);
    return a;
  };
  if (!*s) return atom("", 0);
  if (*s != '"') return atom(s, std::strcspn(s, " \t\r\n"));

  // A value never grows when its doubled quotes are folded, so a copy as long
  // as the rest of the text suffices; a reader's line always fits the local
  // buffer.
  ++s;
  size_t rest = std::strlen(s);
  char local[BdfLineBuffer];
  FontPtr<char> heap;
  char *copy = local;
  if (rest >= sizeof local) {
    heap.reset(static_cast<char *>(FontAlloc(rest + 1)));
    if (!heap) return bdfOutOfMemory(state);
    copy = heap.get();
  }
  size_t n = 0;
  for (;;) {
    if (!*s) {
      bdfError("unterminated quoted string property: %s\n", text);
      return 0;
    }
    if (*s == '"') {
      if (s[1] != '"') break;  // the closing quote; the rest is ignored
      ++s;
    }
    copy[n++] = *s++;
  }
  copy[n] = '\0';
  return atom(copy, n);
}

int bdfIsInteger(const char *text) {
  unsigned char c = static_cast<unsigned char>(*text);
  if (!((c >= '0' && c <= '9') || c == '+' || c == '-')) return 0;
  for (++text; *text; ++text)
    if (*text < '0' || *text > '9') return 0;
  return 1;
}

int bdfSpecialProperty(FontRec *font, FontProp *prop, char isString, BdfFileState *state) {
  static const char *const SpecialAtoms[] = {
      "FONT_ASCENT", "FONT_DESCENT", "DEFAULT_CHAR", "POINT_SIZE",   "RESOLUTION",  "X_HEIGHT",
      "WEIGHT",      "QUAD_WIDTH",   "FONT",         "RESOLUTION_X", "RESOLUTION_Y",
  };
  const char *name = NameForAtom(prop->name);
  if (!name) return 0;
  int row = 0;
  constexpr int rows = sizeof SpecialAtoms / sizeof SpecialAtoms[0];
  while (row < rows && std::strcmp(name, SpecialAtoms[row]) != 0) ++row;
  const int index = static_cast<int>(prop - font->info.props);
  switch (row) {
    case 0:
      if (!isString) {
        font->info.fontAscent = static_cast<int16_t>(prop->value);
        state->sawFontAscent = true;
      }
      return 1;
    case 1:
      if (!isString) {
        font->info.fontDescent = static_cast<int16_t>(prop->value);
        state->sawFontDescent = true;
      }
      return 1;
    case 2:
      if (!isString) {
        font->info.defaultChar = static_cast<uint16_t>(prop->value);
        state->sawDefaultChar = true;
      }
      return 1;
    case 3: state->pointSizeProp = index; return 0;
    case 4: state->resolutionProp = index; return 0;
    case 5: state->xHeightProp = index; return 0;
    case 6: state->weightProp = index; return 0;
    case 7: state->quadWidthProp = index; return 0;
    case 8: state->fontNameProp = index; return 0;
    case 9: state->xResolutionProp = index; return 0;
    case 10: state->yResolutionProp = index; return 0;
    default: return 0;
  }
}

unsigned char bdfHexByte(const char *text) {
  unsigned value = 0;
  for (int i = 0; i < 2; i++) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    int d = hexDigit(c);
    if (d < 0)
      bdfError("bad hex char '%c'", c);
    else
      value = value * 16 + static_cast<unsigned>(d);
  }
  return static_cast<unsigned char>(value);
}
