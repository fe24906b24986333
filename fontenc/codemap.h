// The Unicode characters of an encoding, from its code assignments in file
// order.
//
// An encoding file's mapping lines assign ranges of codes to ranges of
// Unicode characters and take assignments back (UNDEFINE).  A later line
// wins for every code it names: it replaces what an earlier line assigned
// to the code, and an UNDEFINE leaves the code unmapped until a later line
// assigns it again.  Only codes within the encoding's size count, and the
// size is known only once the whole file is read, so the assignments are
// kept as ranges and resolved at the end.
//
// Memory and work follow the lines, never the numbers on them: a range of
// 2^31 codes is one record, resolving n records sorts them (n log n), and
// the characters are collected in a bitmap of the Unicode range, so the
// result is bounded by U+10FFFF whatever the codes claim.
#pragma once

#include <cstddef>
#include <cstdint>

#include "util/miscutil.h"

class CodeMap {
 public:
  // Codes low..high (low <= high) map to unicodeLow, unicodeLow + 1, ...
  // False when memory is short.
  bool assign(uint32_t low, uint32_t high, uint32_t unicodeLow);
  // Codes low..high (low <= high) are unmapped.
  bool unassign(uint32_t low, uint32_t high);

  // The characters that the codes within the encoding map to, ascending,
  // each once.  A one-byte encoding (rowSize 0) has the codes 0..size-1; a
  // two-byte one has `size` rows of `rowSize` columns, code row * 256 +
  // column.  Left out: the controls U+0000-U+001F and U+007F-U+009F, the
  // surrogates U+D800-U+DFFF and anything beyond U+10FFFF, which are not
  // characters a face can draw.  False when memory is short.
  bool characters(uint32_t size, uint32_t rowSize, FontPtr<uint32_t> *chars, size_t *count) const;

 private:
  struct Assignment {
    uint32_t low, high;
    uint32_t unicode;  // of `low`
    bool mapped;       // false: UNDEFINE
  };
  bool add(const Assignment &a);

  FontPtr<Assignment> items_;  // in file order: a later one wins
  size_t count_ = 0;
  size_t capacity_ = 0;
};

// The number of codes of an encoding of that size (see CodeMap::characters).
uint64_t EncodingCodeCount(uint32_t size, uint32_t rowSize);
