#include "faces/xlfdfields.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "fontfile/bufio.h"
#include "fontfile/fontreader.h"
#include "util/miscutil.h"

namespace {

// The foundries, in one place: the OS/2 vendor IDs that name one, and the
// names looked for in a manufacturer name or a Type 1 notice, in the order
// they are tried.
struct VendorFoundry {
  const char *vendor;
  const char *foundry;
};
constexpr VendorFoundry kVendors[] = {
    {"ADBE", "adobe"},  {"AGFA", "agfa"},         {"APPL", "apple"},    {"ARPH", "arphic"},
    {"B&H", "b&h"},     {"BITS", "bitstream"},    {"DYNA", "dynalab"},  {"IBM", "ibm"},
    {"ITC", "itc"},     {"LINO", "linotype"},     {"MONO", "monotype"}, {"MS", "microsoft"},
    {"MT", "monotype"}, {"TMC", "monotype"},      {"URW", "urw"},
};
constexpr const char *kManufacturers[] = {
    "adobe", "agfa",      "apple",    "arphic", "bitstream", "dynalab",
    "ibm",   "itc",       "linotype", "microsoft", "monotype", "urw",
};

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

size_t fieldRoom(XlfdField field) { return field == kFamilyName ? kFamilyMax : kFieldMax; }

// Mac OS Roman bytes 0x80..0xFF as Unicode (the lower half is ASCII).
constexpr uint16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

// A stream over bytes in memory that FreeType holds: one fill delivers them
// where they lie, so the bounded reader reads a name record without a copy.
struct MemorySpan {
  const unsigned char *bytes;
  size_t left;
};
int spanFill(BufFile *f) {
  auto *span = static_cast<MemorySpan *>(f->state);
  int n = span->left < size_t{INT_MAX} ? static_cast<int>(span->left) : INT_MAX;
  unsigned char *at = const_cast<unsigned char *>(span->bytes);  // delivered, never written
  span->bytes += n;
  span->left -= static_cast<size_t>(n);
  return BufFileDeliver(f, at, n);
}
int spanClose(BufFile *, int) { return 0; }

}  // namespace

bool SetXlfdField(XlfdName *name, XlfdField field, const char *text, size_t length) {
  if (length > fieldRoom(field)) return false;
  char *out = name->fields[field];
  for (size_t i = 0; i < length; i++) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    bool replaced = c == '-' || c == '*' || c == '?' || c == ',' || c == '"' || c < 0x20 ||
                    (c >= 0x7F && c < 0xA0);
    out[i] = replaced ? ' ' : static_cast<char>(c);
  }
  out[length] = '\0';
  return true;
}

bool SetXlfdText(XlfdName *name, XlfdField field, const char *text) {
  return text && SetXlfdField(name, field, text, std::strlen(text));
}

// A negative number (a strike's average width from a right-to-left or a
// damaged font, a property's value) is written with a tilde for its sign, as
// names write negative numbers, so that the field holds no dash.
void SetXlfdNumber(XlfdName *name, XlfdField field, long value) {
  unsigned long magnitude = value < 0 ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
  std::snprintf(name->fields[field], kFieldMax + 1, "%s%lu", value < 0 ? "~" : "", magnitude);
}

bool SetXlfdCharset(XlfdName *name, const char *charsetName) {
  const char *dash = std::strrchr(charsetName, '-');
  if (!dash) return false;
  size_t registryLength = static_cast<size_t>(dash - charsetName);
  if (registryLength > kFieldMax || std::strlen(dash + 1) > kFieldMax) return false;
  SetXlfdField(name, kCharsetRegistry, charsetName, registryLength);
  SetXlfdText(name, kCharsetEncoding, dash + 1);
  return true;
}

size_t ComposeXlfdName(const XlfdName &name, char *out, size_t size) {
  size_t n = 0;
  for (int f = 0; f < kXlfdFieldCount; f++) {
    const char *text = name.fields[f];
    size_t length = std::strlen(text);
    if (size - n < length + 2) break;  // cannot happen with a buffer of kXlfdNameMax
    out[n++] = '-';
    std::memcpy(out + n, text, length);
    n += length;
  }
  out[n] = '\0';
  CopyISOLatin1Lowered(out, out, static_cast<int>(n));
  return n;
}

NameText DecodeNameRecord(const unsigned char *bytes, size_t length, NameCoding coding, char *out) {
  size_t chars = coding == NameCoding::Utf16BE ? length / 2 : length;
  if ((coding == NameCoding::Utf16BE && length % 2 != 0) || chars > kFamilyMax)
    return NameText::Absent;
  MemorySpan span{bytes, length};
  BufFile *file = BufFileCreate(&span, spanFill, BufFileSkipByFilling, spanClose);
  if (!file) return NameText::OutOfMemory;
  FontReader reader;
  FontReaderInit(&reader, file);
  NameText result = NameText::Ok;
  for (size_t i = 0; i < chars && result == NameText::Ok; i++) {
    // A surrogate, lone or paired, is outside ISO 8859-1 too: either way the
    // record counts as absent.
    int c = coding == NameCoding::Utf16BE ? FontReaderGet16(&reader, true) : FontReaderChar(&reader);
    if (c < 0) break;  // the end: `ended` makes the record absent
    if (coding == NameCoding::MacRoman && c >= 0x80) c = static_cast<int>(kMacRomanHigh[c - 0x80]);
    if (c > 0xFF) result = NameText::Absent;
    out[i] = static_cast<char>(c);
  }
  if (reader.ended) result = NameText::Absent;
  BufFileClose(file, 1);
  out[result == NameText::Ok ? chars : 0] = '\0';
  return result;
}

const char *FoundryOfVendor(const char vendor[4]) {
  size_t begin = 0, end = 4;
  auto blank = [](char c) { return c == ' ' || c == '\0'; };
  while (begin < end && blank(vendor[begin])) begin++;
  while (end > begin && blank(vendor[end - 1])) end--;
  for (const VendorFoundry &v : kVendors) {
    size_t length = std::strlen(v.vendor);
    if (length != end - begin) continue;
    size_t i = 0;
    while (i < length && lowerAscii(vendor[begin + i]) == lowerAscii(v.vendor[i])) i++;
    if (i == length) return v.foundry;
  }
  return nullptr;
}

const char *FoundryInText(const char *text) {
  if (!text) return nullptr;
  for (const char *foundry : kManufacturers)
    if (ContainsIgnoringCase(text, foundry)) return foundry;
  return nullptr;
}

bool ContainsIgnoringCase(const char *text, const char *word) {
  if (!text) return false;
  size_t length = std::strlen(word);
  for (; *text; text++) {
    size_t i = 0;
    while (i < length && lowerAscii(text[i]) == word[i]) i++;
    if (i == length) return true;
  }
  return false;
}

const char *WeightOfClass(unsigned weightClass) {
  static constexpr struct {
    unsigned upTo;
    const char *name;
  } kWeights[] = {{150, "thin"},   {250, "extralight"}, {350, "light"},    {550, "medium"},
                  {650, "semibold"}, {750, "bold"},     {850, "extrabold"}};
  for (const auto &w : kWeights)
    if (weightClass <= w.upTo) return w.name;
  return "black";
}

const char *SetwidthOfClass(unsigned widthClass) {
  static constexpr const char *kWidths[] = {
      "ultracondensed", "extracondensed", "condensed",     "semicondensed", "normal",
      "semiexpanded",   "expanded",       "extraexpanded", "ultraexpanded"};
  return widthClass >= 1 && widthClass <= 9 ? kWidths[widthClass - 1] : "normal";
}
