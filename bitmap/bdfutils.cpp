#include "bitmap/bdfutils.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

// Bytes that end or alter a line, or end its text.
constexpr struct LineBytes {
  bool special[256];
  constexpr LineBytes() : special() {
    special[int{'\n'}] = special[int{'\r'}] = special[int{'\0'}] = true;
  }
} lineBytes;

// Nearly every line lies whole in the stream's buffer, ends in a line feed
// (perhaps after one carriage return) and fits the limit: it is used where
// it lies.  False, with nothing taken, for any other line.
bool lineInPlace(BdfFileState &s, const unsigned char *b, size_t avail, size_t *stored) {
  const size_t limit = avail < BdfLineBuffer ? avail : BdfLineBuffer;
  const unsigned char *nul = nullptr;
  for (size_t i = 0; i < limit; i++) {
    const unsigned char c = b[i];
    if (!lineBytes.special[c]) continue;
    if (c == '\0') {
      if (!nul) nul = b + i;
      continue;
    }
    size_t taken = i + 1;
    if (c == '\r') {
      if (taken >= avail || b[taken] != '\n') return false;
      ++taken;
    }
    *stored = i;
    const char *text = reinterpret_cast<const char *>(b);
    s.line = {text, nul ? reinterpret_cast<const char *>(nul) : text + i};
    FontReaderConsume(&s.in, taken);
    ++s.lineNumber;
    return true;
  }
  return false;
}

// Any other line, copied: carriage returns are dropped wherever they stand,
// a line feed ends the line, and at the limit the line is cut (the byte at
// the cut is taken and dropped).  False at the end of the data.
bool copyLine(BdfFileState &s, size_t *stored) {
  const size_t room = BdfLineBuffer - 1;
  size_t n = 0;
  for (bool ended = false; !ended;) {
    const unsigned char *b;
    const size_t avail = FontReaderAhead(&s.in, &b);
    if (!avail) return false;
    size_t i = 0;
    while (i < avail && !ended) {
      const unsigned char c = b[i++];
      if (c == '\n') {
        ++s.lineNumber;
        ended = true;
      } else if (c != '\r') {
        ended = n == room;
        if (!ended) s.copy[n++] = static_cast<char>(c);
      }
    }
    FontReaderConsume(&s.in, i);
  }
  *stored = n;
  const void *nul = std::memchr(s.copy, '\0', n);
  s.line = {s.copy, nul ? static_cast<const char *>(nul) : s.copy + n};
  return true;
}

void message(const BdfFileState &s, const char *prefix, const char *format, va_list args) {
  std::fprintf(stderr, prefix, s.lineNumber);
  std::vfprintf(stderr, format, args);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

}  // namespace

bool bdfNextLine(BdfFileState &s) {
  for (;;) {
    const unsigned char *b;
    const size_t avail = FontReaderAhead(&s.in, &b);
    if (!avail) return false;
    size_t stored;
    if (!lineInPlace(s, b, avail, &stored) && !copyLine(s, &stored)) return false;
    if (stored > 0 && !s.line.startsWith("COMMENT")) return true;
  }
}

void bdfError(const BdfFileState &s, const char *format, ...) {
  va_list args;
  va_start(args, format);
  message(s, "BDF Error on line %d: ", format, args);
  va_end(args);
}

void bdfWarning(const BdfFileState &s, const char *format, ...) {
  va_list args;
  va_start(args, format);
  message(s, "BDF Warning on line %d: ", format, args);
  va_end(args);
}

bool bdfFail(const BdfFileState &s, const char *format, ...) {
  va_list args;
  va_start(args, format);
  message(s, "BDF Error on line %d: ", format, args);
  va_end(args);
  return false;
}

BdfInteger bdfParseInteger(const char *p, const char *end) {
  constexpr uint64_t kNegativeLimit = uint64_t{1} << 63;  // the magnitude of INT64_MIN
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  uint64_t magnitude = 0;  // held at kNegativeLimit + 1 once past every limit
  const char *first = p;
  for (; p < end && isDigit(*p); ++p) {
    uint64_t next = magnitude > kNegativeLimit / 10
                        ? kNegativeLimit + 1
                        : magnitude * 10 + static_cast<uint64_t>(*p - '0');
    magnitude = next > kNegativeLimit ? kNegativeLimit + 1 : next;
  }
  int64_t value;
  if (negative)
    value = magnitude >= kNegativeLimit ? INT64_MIN : -static_cast<int64_t>(magnitude);
  else
    value = magnitude >= kNegativeLimit ? INT64_MAX : static_cast<int64_t>(magnitude);
  return {value, p > first, p};
}

BdfText BdfTokens::word() {
  skipSpace();
  const char *start = p;
  while (p < end && !bdfIsSpace(static_cast<unsigned char>(*p))) ++p;
  return {start, p};
}

bool BdfTokens::integer(int32_t *value) {
  skipSpace();
  BdfInteger n = bdfParseInteger(p, end);
  if (!n.digits) return false;
  *value = static_cast<int32_t>(n.value);  // modulo 2^32
  p = n.next;
  return true;
}

int BdfTokens::integers(int32_t *values, int count) {
  int n = 0;
  while (n < count && integer(&values[n])) ++n;
  return n;
}

// %f takes what could begin a number: a sign; "nan", "inf" or "infinity";
// or digits with one point and an exponent, hexadecimal after "0x" (with a
// "p" exponent).  What it took is then converted as strtof converts it,
// which may use less of it ("1e" is 1).  A partial "nan", "infinity", a
// sign or "0x" with nothing after it is no number.
bool BdfTokens::real(float *value) {
  skipSpace();
  char text[BdfLineBuffer];  // what %f takes: at most the line's 1023 characters
  const char *stop = end - p < BdfLineBuffer ? end : p + BdfLineBuffer - 1;
  size_t n = 0;
  auto take = [&](char c) { text[n++] = c, ++p; };
  auto takeWord = [&](const char *word) {
    for (; *word; ++word) {
      if (p == stop || lower(*p) != *word) return false;
      take(*p);
    }
    return true;
  };
  const bool sign = p < stop && (*p == '+' || *p == '-');
  if (sign) take(*p);
  if (p == stop) return false;
  const char first = lower(*p);
  if (first == 'n' || first == 'i') {
    if (!takeWord(first == 'n' ? "nan" : "inf")) return false;
    if (first == 'i' && p < stop && lower(*p) == 'i' && !takeWord("inity")) return false;
  } else {
    bool hex = false, digit = false, point = false, exponent = false;
    if (*p == '0') {
      take('0');
      hex = p < stop && lower(*p) == 'x';
      if (hex) take(*p);
      digit = !hex;
    }
    const char mark = hex ? 'p' : 'e';
    for (; p < stop; ++n, ++p) {
      const char c = *p;
      if (isDigit(c) || (hex && !exponent && bdfHexDigit(c) >= 0))
        digit = true;
      else if (digit && !exponent && lower(c) == mark)
        exponent = point = true;
      else if (!point && c == '.')
        point = true;
      else if (!(exponent && text[n - 1] == mark && (c == '+' || c == '-')))
        break;  // a sign may stand right after the exponent mark only
      text[n] = lower(c) == mark ? mark : c;
    }
    if (n == size_t{sign} + (hex ? 2 : 0)) return false;
  }
  text[n] = '\0';
  char *used;
  float v = std::strtof(text, &used);
  if (used == text) return false;
  *value = v;
  return true;
}

Atom bdfForceMakeAtom(BdfText text) {
  return MakeAtom(text.begin, static_cast<unsigned>(text.size()), 1);
}

Atom bdfGetPropertyValue(const BdfFileState &s, BdfText text) {
  const char *p = text.begin;
  while (p < text.end && (*p == ' ' || *p == '\t')) ++p;
  if (p == text.end) return MakeAtom("", 0, 1);
  if (*p != '"') {
    const char *q = p;
    while (q < text.end && *q != ' ' && *q != '\t') ++q;
    return bdfForceMakeAtom({p, q});
  }
  // A pair of double quotes stands for one; a single one ends the value and
  // the rest of the line is ignored.  The value is never longer than the line.
  char value[BdfLineBuffer];
  size_t n = 0;
  for (++p;; ++p) {
    if (p == text.end)
      return bdfFail(s, "unterminated quoted string property: %.*s\n",
                     static_cast<int>(text.size()), text.begin);
    if (*p == '"' && (++p == text.end || *p != '"')) break;
    value[n++] = *p;
  }
  return MakeAtom(value, static_cast<unsigned>(n), 1);
}

bool bdfIntegerValue(BdfText word, int32_t *value) {
  BdfInteger n = bdfParseInteger(word.begin, word.end);
  if (word.size() == 0 || n.next != word.end) return false;
  *value = static_cast<int32_t>(n.value);  // modulo 2^32
  return true;
}

namespace {

// Properties that set fields of the font information and are not kept; a
// string value is dropped.
struct ConsumedProperty {
  const char *name;
  bool BdfFileState::*seen;
  void (*store)(FontInfo &info, int32_t value);
};
const ConsumedProperty consumedProperties[] = {
    {"FONT_ASCENT", &BdfFileState::sawFontAscent,
     [](FontInfo &info, int32_t v) { info.fontAscent = static_cast<int16_t>(v); }},
    {"FONT_DESCENT", &BdfFileState::sawFontDescent,
     [](FontInfo &info, int32_t v) { info.fontDescent = static_cast<int16_t>(v); }},
    {"DEFAULT_CHAR", &BdfFileState::sawDefaultChar,
     [](FontInfo &info, int32_t v) { info.defaultChar = static_cast<uint16_t>(v); }},
};

// Kept properties that later steps find by reference; a later entry of the
// same name replaces the reference.
struct NotedProperty {
  const char *name;
  int BdfFileState::*ref;
};
const NotedProperty notedProperties[] = {
    {"POINT_SIZE", &BdfFileState::pointSizeProp},
    {"RESOLUTION", &BdfFileState::resolutionProp},
    {"X_HEIGHT", &BdfFileState::xHeightProp},
    {"WEIGHT", &BdfFileState::weightProp},
    {"QUAD_WIDTH", &BdfFileState::quadWidthProp},
    {"FONT", &BdfFileState::fontNameProp},
    {"RESOLUTION_X", &BdfFileState::xResolutionProp},
    {"RESOLUTION_Y", &BdfFileState::yResolutionProp},
};

}  // namespace

bool bdfSpecialProperty(BdfFileState &s, FontInfo *info, int slot) {
  const FontProp &prop = info->props[slot];
  const char *name = NameForAtom(prop.name);
  if (!name) return false;
  for (const ConsumedProperty &c : consumedProperties) {
    if (std::strcmp(name, c.name) != 0) continue;
    if (!info->isStringProp[slot]) {
      c.store(*info, prop.value);
      s.*c.seen = true;
    }
    return true;
  }
  for (const NotedProperty &k : notedProperties)
    if (std::strcmp(name, k.name) == 0) s.*k.ref = slot;
  return false;
}

unsigned char bdfBadHexByte(const BdfFileState &s, char high, char low) {
  unsigned value = 0;
  for (char c : {high, low}) {
    const int d = bdfHexDigit(c);
    if (d < 0)
      bdfError(s, "bad hex char '%c'", c);
    else
      value = value * 16 + static_cast<unsigned>(d);
  }
  return static_cast<unsigned char>(value);
}
