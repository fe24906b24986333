// The header scan of encoding files, and the reading of their Unicode
// mapping sections (ReadEncodingUnicodeMap, at the end).
//
// Reading works a line at a time, through the bounded reader.  gettoken
// reads one token and hands back the character that ended it (the
// lookahead), which the next gettoken of the same line starts from; a new
// line always starts with a fresh read, so a lookahead left at the end of a
// line is dropped (only a stray token on an UNDEFINE line gives its
// lookahead back to the stream, see undefineLine).  A pending NUL is passed
// over: the next token starts with the byte after it, where a NUL is a bad
// character like any other.  Only a NUL read where a line begins ends the
// data.
#include "fontenc/encparse.h"

#include <cstring>
#include <strings.h>

#include "fontenc/codemap.h"
#include "fontfile/bufio.h"
#include "fontfile/fileio.h"
#include "fontfile/fontreader.h"
#include "util/miscutil.h"

char keyword_value[kEncodingWordMax + 1];
uint32_t number_value, value1, value2, value3;

namespace {

// Lookahead meaning "a line begins: read the next byte", where a NUL ends the
// data.  Distinct from a pending NUL (0), after which a NUL is a bad
// character, and which stops a skip.
constexpr int kNoChar = -2;

enum Token { EOF_TOKEN, EOL_TOKEN, NUMBER_TOKEN, KEYWORD_TOKEN, ERROR_TOKEN };

// getnextline results.
enum Line {
  kEndEncoding = -1,
  kBadLine = -2,
  kStartEncoding = 1,
  kStartMapping = 2,
  kEndMapping = 3,
  kCodeRange = 4,
  kCodeRangeTarget = 5,
  kUndefine = 6,
  kCodeName = 7,
  kSize = 8,
  kAlias = 9,
};

// White space of the POSIX locale, newline excluded (it ends the line).
inline bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; }

inline bool startsWord(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '/' || c == '_' || c == '-' ||
         c == '.';
}

inline bool endsWord(int c) { return c == BUFFILEEOF || c == 0 || c == '\n' || isBlank(c) || c == '#'; }

// Every hex digit is worth its value in every base: the format does not
// check a digit against the base.
inline int digitValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Passes over the rest of the line from lookahead c, the newline included.
// A pending NUL stops the skip at once: reading resumes right after the NUL.
void skipEndOfLine(FontReader *r, int c) {
  if (c == 0 || c == '\n' || c == BUFFILEEOF) return;
  FontReaderSkipPast(r, '\n');
}

// A number starting with digit c; returns the character that ended it.
// 0x / 0X make it hexadecimal, another leading 0 octal.  Unsigned 32-bit
// arithmetic: a long number wraps instead of overflowing.
int getnum(FontReader *r, int c, uint32_t *value) {
  uint32_t base = 10;
  if (c == '0') {
    base = 8;
    c = FontReaderChar(r);
    if (c == 'x' || c == 'X') {
      base = 16;
      c = FontReaderChar(r);
    }
  }
  uint32_t n = 0;
  for (int d; (d = digitValue(c)) >= 0; c = FontReaderChar(r)) n = n * base + static_cast<uint32_t>(d);
  *value = n;
  return c;
}

// One token, starting from lookahead c; *cp receives the new lookahead.
int gettoken(FontReader *r, int c, int *cp) {
  *cp = kNoChar;
  if (c == kNoChar) {
    c = FontReaderChar(r);
    if (c == 0) return EOF_TOKEN;  // a NUL where a line begins
  } else if (c == 0) {
    c = FontReaderChar(r);  // the NUL that ended the last token is passed over
  }
  while (isBlank(c)) c = FontReaderChar(r);
  if (c == BUFFILEEOF) return EOF_TOKEN;
  if (c == '\n') return EOL_TOKEN;
  if (c == '#') {
    skipEndOfLine(r, kNoChar);
    return EOL_TOKEN;
  }
  if (c >= '0' && c <= '9') {
    *cp = getnum(r, c, &number_value);
    return NUMBER_TOKEN;
  }
  if (!startsWord(c)) return ERROR_TOKEN;  // only the bad character is consumed
  // keyword_value holds kEncodingWordMax bytes and the NUL.  The byte that
  // fills it is stored and also handed back as the lookahead, so a word of
  // exactly kEncodingWordMax bytes can never be followed by the line's end.
  int n = 0;
  for (;;) {
    keyword_value[n++] = static_cast<char>(c);
    if (n == kEncodingWordMax) break;
    c = FontReaderChar(r);
    if (endsWord(c)) break;
  }
  keyword_value[n] = '\0';
  *cp = c;
  return KEYWORD_TOKEN;
}

// True when only white space or a comment remains on the line (the end of
// the data counts as the end of a line).  The rest of the line is passed
// over either way.
bool endOfLine(FontReader *r, int c) {
  int token = gettoken(r, c, &c);
  if (token == EOL_TOKEN || token == EOF_TOKEN) return true;
  skipEndOfLine(r, c);
  return false;
}

// The bad line's remainder is passed over; returns the bad-line result.
int badLine(FontReader *r, int token, int c) {
  if (token != EOL_TOKEN && token != EOF_TOKEN) skipEndOfLine(r, c);
  return kBadLine;
}

int numberLine(FontReader *r, int c) {
  value1 = number_value;
  int token = gettoken(r, c, &c);
  if (token == KEYWORD_TOKEN) return endOfLine(r, c) ? kCodeName : kBadLine;
  if (token != NUMBER_TOKEN) return badLine(r, token, c);
  value2 = number_value;
  token = gettoken(r, c, &c);
  if (token == EOL_TOKEN) return kCodeRange;
  if (token == NUMBER_TOKEN) {
    value3 = number_value;  // the rest of the line is not examined
    return kCodeRangeTarget;
  }
  return badLine(r, token, c);
}

// A keyword followed by a name and the end of the line.
int nameLine(FontReader *r, int c, int result) {
  int token = gettoken(r, c, &c);
  if (token != KEYWORD_TOKEN) return badLine(r, token, c);
  return endOfLine(r, c) ? result : kBadLine;
}

int undefineLine(FontReader *r, int c) {
  int token = gettoken(r, c, &c);
  if (token != NUMBER_TOKEN) return badLine(r, token, c);
  value1 = number_value;
  token = gettoken(r, c, &c);
  if (token == EOL_TOKEN) {
    value2 = value1;
    return kUndefine;
  }
  if (token == NUMBER_TOKEN) {
    value2 = number_value;
    return endOfLine(r, c) ? kUndefine : kBadLine;
  }
  // A stray token: the next line starts right after it, with the character
  // that ended it (a cut word's 100th byte included), which the line's fresh
  // read must see again.  A NUL there is passed over as after any token; an
  // error token has consumed only its own character.
  if (token == KEYWORD_TOKEN && c != BUFFILEEOF && c != 0) FontReaderUnget(r);
  return kBadLine;
}

int sizeLine(FontReader *r, int c) {
  int token = gettoken(r, c, &c);
  if (token != NUMBER_TOKEN) return badLine(r, token, c);
  value1 = number_value;
  token = gettoken(r, c, &c);
  if (token == EOL_TOKEN) {
    value2 = 0;
    return kSize;
  }
  if (token == NUMBER_TOKEN) {
    value2 = number_value;  // the rest of the line is not examined
    return kSize;
  }
  return badLine(r, token, c);
}

int startMappingLine(FontReader *r, int c) {
  int token = gettoken(r, c, &c);
  if (token != KEYWORD_TOKEN) return badLine(r, token, c);
  token = gettoken(r, c, &c);
  if (token == EOL_TOKEN) {
    value1 = 0;
    return kStartMapping;
  }
  if (token != NUMBER_TOKEN) return badLine(r, token, c);
  value1 = number_value;
  token = gettoken(r, c, &c);
  if (token == EOL_TOKEN) return kStartMapping;
  if (token != NUMBER_TOKEN) return badLine(r, token, c);
  value2 = number_value;
  return endOfLine(r, c) ? kStartMapping : kBadLine;
}

int keywordLine(FontReader *r, int c) {
  if (strcasecmp(keyword_value, "STARTENCODING") == 0) return nameLine(r, c, kStartEncoding);
  if (strcasecmp(keyword_value, "ALIAS") == 0) return nameLine(r, c, kAlias);
  if (strcasecmp(keyword_value, "SIZE") == 0) return sizeLine(r, c);
  if (strcasecmp(keyword_value, "STARTMAPPING") == 0) return startMappingLine(r, c);
  if (strcasecmp(keyword_value, "UNDEFINE") == 0) return undefineLine(r, c);
  if (strcasecmp(keyword_value, "ENDMAPPING") == 0) return endOfLine(r, c) ? kEndMapping : kBadLine;
  if (strcasecmp(keyword_value, "ENDENCODING") == 0) return endOfLine(r, c) ? kEndEncoding : kBadLine;
  skipEndOfLine(r, c);
  return kBadLine;
}

char *copyString(const char *s) {
  size_t n = std::strlen(s) + 1;
  auto *copy = static_cast<char *>(FontAlloc(n));
  if (copy) std::memcpy(copy, s, n);
  return copy;
}

// The alias copies of one scan; released unless handed to the record.
struct AliasList {
  char *names[kEncodingMaxAliases] = {};
  int count = 0;
  ~AliasList() {
    for (int i = 0; i < count; i++) FontFree(names[i]);
  }
};

struct RecordDeleter {
  void operator()(EncodingRecord *r) const { FreeEncodingRecord(r); }
};

// The line classifier over the bounded reader.
int nextLine(FontReader *r) {
  for (;;) {
    int c;
    switch (gettoken(r, kNoChar, &c)) {
      case EOF_TOKEN:
        return kEndEncoding;
      case EOL_TOKEN:
        continue;  // blank or comment line
      case NUMBER_TOKEN:
        return numberLine(r, c);
      case KEYWORD_TOKEN:
        return keywordLine(r, c);
      default:
        return kBadLine;  // only the bad character was consumed
    }
  }
}

}  // namespace

int getnextline(BufFile *f) {
  FontReader reader;
  FontReaderInit(&reader, f);
  return nextLine(&reader);
}

void FreeEncodingRecord(EncodingRecord *record) {
  if (!record) return;
  FontFree(record->name);
  if (record->aliases)
    for (char **a = record->aliases; *a; a++) FontFree(*a);
  FontFree(record->aliases);
  FontFree(record);
}

EncodingRecord *parseEncodingFile(BufFile *f, int headerOnly) {
  if (!headerOnly) return nullptr;  // the mapping sections are never built
  FontReader reader;
  FontReaderInit(&reader, f);
  if (nextLine(&reader) != kStartEncoding) return nullptr;

  std::unique_ptr<EncodingRecord, RecordDeleter> record(
      static_cast<EncodingRecord *>(FontAlloc(sizeof(EncodingRecord))));
  if (!record) return nullptr;
  *record = EncodingRecord{nullptr, nullptr, 256, 0, nullptr, nullptr};
  record->name = copyString(keyword_value);
  if (!record->name) return nullptr;

  AliasList aliases;
  for (;;) {
    int line = nextLine(&reader);
    if (line == kEndEncoding || line == kStartMapping) break;
    if (line == kSize) {
      record->size = static_cast<int>(value1);
      record->row_size = static_cast<int>(value2);
    } else if (line == kAlias && aliases.count < kEncodingMaxAliases) {
      char *alias = copyString(keyword_value);
      if (!alias) return nullptr;
      aliases.names[aliases.count++] = alias;
    }
  }
  if (aliases.count > 0) {
    char **list = FontAllocN<char *>(static_cast<size_t>(aliases.count) + 1);
    if (!list) return nullptr;
    for (int i = 0; i < aliases.count; i++) list[i] = aliases.names[i];
    list[aliases.count] = nullptr;
    aliases.count = 0;  // the record owns the copies now
    record->aliases = list;
  }
  return record.release();
}

char **identifyEncodingFile(const char *fileName) {
  BufFile *f = FontFileOpen(fileName);
  if (!f) return nullptr;
  EncodingRecord *record = parseEncodingFile(f, 1);
  FontFileClose(f);
  if (!record) return nullptr;

  size_t n = 0;
  if (record->aliases)
    while (record->aliases[n]) n++;
  char **names = FontAllocN<char *>(n + 2);
  if (!names) {
    FreeEncodingRecord(record);
    return nullptr;
  }
  names[0] = record->name;
  for (size_t i = 0; i < n; i++) names[i + 1] = record->aliases[i];
  names[n + 1] = nullptr;
  FontFree(record->aliases);
  FontFree(record);
  return names;
}

EncodingMapResult ReadEncodingUnicodeMap(BufFile *f, EncodingUnicodeMap *out) {
  FontReader reader;
  FontReaderInit(&reader, f);
  if (nextLine(&reader) != kStartEncoding) return EncodingMapResult::NotEncodingFile;
  out->name.reset(copyString(keyword_value));
  if (!out->name) return EncodingMapResult::OutOfMemory;

  CodeMap map;
  uint32_t size = 256, rowSize = 0;
  // Mapping lines count only inside a unicode section: elsewhere (before
  // the first section, between sections, in a cmap or postscript section)
  // their codes mean something else or nothing.
  bool inUnicode = false;
  bool ok = true;
  for (;;) {
    int line = nextLine(&reader);
    if (line == kEndEncoding) break;
    switch (line) {
      case kSize:
        size = value1;
        rowSize = value2;
        break;
      case kStartMapping:
        // A section that is not closed ends at the next one.
        inUnicode = strcasecmp(keyword_value, "unicode") == 0;
        out->hasUnicodeMapping |= inUnicode;
        break;
      case kEndMapping:
        inUnicode = false;
        break;
      case kCodeRange:
        if (inUnicode) ok = map.assign(value1, value1, value2);
        break;
      case kCodeRangeTarget:
        // A range whose end lies before its start names no code.
        if (inUnicode && value1 <= value2) ok = map.assign(value1, value2, value3);
        break;
      case kUndefine:
        if (inUnicode && value1 <= value2) ok = map.unassign(value1, value2);
        break;
      default:
        break;  // names (x name), a second STARTENCODING, ALIAS, bad lines
    }
    if (!ok) return EncodingMapResult::OutOfMemory;
  }
  out->codes = EncodingCodeCount(size, rowSize);
  if (!map.characters(size, rowSize, &out->chars, &out->count)) return EncodingMapResult::OutOfMemory;
  return EncodingMapResult::Read;
}
