// fontenc/ reads encoding description files; it uses fontfile/ for opening
// and reading them, and knows nothing of font formats.
//
// Encoding description files: the header scan that learns the encoding's
// name and aliases.
//
// An encoding file is a line-oriented text file:
//   STARTENCODING name
//   ALIAS name            (any number; the first 20 are kept)
//   SIZE x [y]
//   STARTMAPPING type [x [y]]  ... mapping lines ...  ENDMAPPING
//   ENDENCODING
// The header scan reads up to the first well-formed STARTMAPPING line (or
// ENDENCODING, or the end of the data) and never looks at the mappings.
// ReadEncodingUnicodeMap reads the whole encoding for the characters its
// "STARTMAPPING unicode" sections map.
#pragma once

#include <cstddef>
#include <cstdint>

#include "util/miscutil.h"

struct BufFile;

// The names a file declares: element 0 the encoding's name, then its aliases
// in file order, then none.  None when the file cannot be opened, is not an
// encoding file, or memory is short.  The caller owns the array and its
// strings (all allocated with the library's allocation wrappers).
char **identifyEncodingFile(const char *fileName);

// A code mapping section.  Only the full parse builds them; the header scan
// always leaves the list empty.
struct EncodingMapping;

// What a parse returns; every part allocated with the allocation wrappers.
struct EncodingRecord {
  char *name;                 // from the STARTENCODING line
  char **aliases;             // none, or the alias copies in file order ended by none
  int size;                   // SIZE x; 256 without a SIZE line
  int row_size;               // SIZE x y; 0 otherwise
  EncodingMapping *mappings;  // always none from the header scan
  EncodingRecord *next;       // cache link; always none here
};

// At most this many aliases are kept; later ALIAS lines are ignored.
constexpr int kEncodingMaxAliases = 20;

// Parses an encoding file from `stream`, which stays open.  Only the header
// scan exists (headerOnly non-zero): the code mappings are never built, and
// a request for the full parse gets none.  None also when the stream does not
// begin with a STARTENCODING line or memory runs out.
EncodingRecord *parseEncodingFile(BufFile *stream, int headerOnly);
// Releases a record, its name, its aliases and their array.  None does nothing.
void FreeEncodingRecord(EncodingRecord *record);

// The Unicode characters an encoding file maps.
struct EncodingUnicodeMap {
  FontPtr<char> name;           // from the STARTENCODING line
  bool hasUnicodeMapping = false;  // a STARTMAPPING unicode line was met
  FontPtr<uint32_t> chars;      // ascending, each once; controls left out (codemap.h)
  size_t count = 0;
  uint64_t codes = 0;           // the encoding's number of codes, from its SIZE line
};
enum class EncodingMapResult { Read, NotEncodingFile, OutOfMemory };
// Reads the encoding from `stream` (which stays open) up to ENDENCODING or
// the end of the data: its name, its size, and the characters of every
// "STARTMAPPING unicode" section (the type ignoring case), in which
//   code unicode                       maps one code,
//   code_low code_high unicode_low     maps a range,
//   UNDEFINE code [code_high]          takes codes back,
//   ENDMAPPING                         ends the section.
// How later lines override earlier ones is described in codemap.h.  The last
// SIZE line of the encoding, wherever it stands, gives its size (256 codes
// without one); codes outside it are ignored.  Sections of other types are
// passed over, and so is every malformed line.
EncodingMapResult ReadEncodingUnicodeMap(BufFile *stream, EncodingUnicodeMap *out);

// The line classifier and the process-wide values it leaves behind (the
// parser is therefore not re-entrant).  Results:
//   1 STARTENCODING name      2 STARTMAPPING type [x [y]]   3 ENDMAPPING
//   4 x y                     5 x y z                       6 UNDEFINE x [y]
//   7 x name                  8 SIZE x [y]                  9 ALIAS name
//  -1 ENDENCODING or the end of the data                    -2 anything else
int getnextline(BufFile *stream);

// A word holds at most kEncodingWordMax bytes; a 100th byte cuts it.
constexpr int kEncodingWordMax = 100;
extern char keyword_value[kEncodingWordMax + 1];
// Numbers are 32-bit and wrap: the format has no overflow check.
extern uint32_t number_value, value1, value2, value3;
