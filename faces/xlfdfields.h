// The fields of the font name (XLFD) of an outline or bitmap-only face, and
// the rules that make each field from what a font file declares.  Nothing
// here knows FreeType: faces.cpp reads the values, these rules turn them
// into text.
//
// A name is fourteen fields, each written after a '-':
//   -FOUNDRY-FAMILY_NAME-WEIGHT_NAME-SLANT-SETWIDTH_NAME-ADD_STYLE_NAME-
//   PIXEL_SIZE-POINT_SIZE-RESOLUTION_X-RESOLUTION_Y-SPACING-AVERAGE_WIDTH-
//   CHARSET_REGISTRY-CHARSET_ENCODING
// Its text is ISO 8859-1, lower-cased as a whole.
#pragma once

#include <cstddef>
#include <cstdint>

enum XlfdField {
  kFoundry,
  kFamilyName,
  kWeightName,
  kSlant,
  kSetwidthName,
  kAddStyleName,
  kPixelSize,
  kPointSize,
  kResolutionX,
  kResolutionY,
  kSpacing,
  kAverageWidth,
  kCharsetRegistry,
  kCharsetEncoding,
  kXlfdFieldCount
};

// A field holds at most this many bytes: a longer text from a font counts
// as absent.  With the family and thirteen such fields and the dashes a name
// still fits the 1023 bytes an index file's field may hold.
constexpr size_t kFieldMax = 48;
// The family name is the one long field real fonts have.
constexpr size_t kFamilyMax = 255;

struct XlfdName {
  char fields[kXlfdFieldCount][kFamilyMax + 1];
};

// Sets a field from `length` bytes of ISO 8859-1 text.  Inside a field each
// of - * ? , " becomes a space, and so does every control character, so that
// no field can split the name or its line.  False (the field unchanged) when
// the text is longer than the field may hold.
bool SetXlfdField(XlfdName *name, XlfdField field, const char *text, size_t length);
// The same for NUL-terminated text; none counts as absent (false).
bool SetXlfdText(XlfdName *name, XlfdField field, const char *text);
void SetXlfdNumber(XlfdName *name, XlfdField field, long value);
// The registry and encoding from an encoding name "registry-encoding", cut
// at its last '-'.  False (the fields unchanged) when there is none.
bool SetXlfdCharset(XlfdName *name, const char *charsetName);

// The name, lower-cased, into out (NUL-terminated); its length.
size_t ComposeXlfdName(const XlfdName &name, char *out, size_t size);
// Room ComposeXlfdName needs at most.
constexpr size_t kXlfdNameMax = kFamilyMax + (kXlfdFieldCount - 1) * kFieldMax + kXlfdFieldCount + 1;
static_assert(kXlfdNameMax <= 1024);

// Where the name records' text comes from.
enum class NameCoding { Utf16BE, MacRoman };
enum class NameText { Ok, Absent, OutOfMemory };
// Decodes a name record of `length` bytes into ISO 8859-1 text at out (at
// most kFamilyMax bytes and a NUL; a NUL in the record ends the text there,
// as it ends a C string).  Absent: the record is bad UTF-16 (an odd
// length, a lone surrogate), holds a character outside ISO 8859-1, or is
// longer than a field may hold.
NameText DecodeNameRecord(const unsigned char *bytes, size_t length, NameCoding coding, char *out);

// The foundry of a four-character OS/2 vendor ID (spaces and NULs around it
// trimmed, case ignored), or none when the vendor table does not list it.
const char *FoundryOfVendor(const char vendor[4]);
// The first foundry of the manufacturer list (adobe ... urw) that `text`
// contains, ignoring case; none when it holds none of them.
const char *FoundryInText(const char *text);
// Whether `text` contains `word` (lower-case ASCII), ignoring case.
bool ContainsIgnoringCase(const char *text, const char *word);

// WEIGHT_NAME of an OS/2 weight class (1..1000), SETWIDTH_NAME of a width
// class (1..9; any other value gives "normal").
const char *WeightOfClass(unsigned weightClass);
const char *SetwidthOfClass(unsigned widthClass);
