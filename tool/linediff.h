// The lines that turn one text into another, for showing how an index file
// would change.
//
//   SplitLines   cuts a text into lines (each with its newline, when it has one)
//   DiffLines    reports, in text order, the lines of the old text that go
//                and the lines of the new text that come
//
// The differences are found by anchoring on lines that occur exactly once in
// each text and keeping the longest run of such anchors that is in the same
// order in both; between anchors the same is done again, after the lines
// equal at both ends of the stretch are set aside.  A stretch without any
// such line is shown as all of its old lines going and all of its new lines
// coming.  Index files consist almost entirely of unique lines, so the
// result is the shortest list of changes in practice, at a cost of
// n log n, never the n * m of a full comparison.
//
// Equal lines are found by sorting, not by a hash table: an index file is
// anyone's to write, and lines chosen to collide in a table would make every
// lookup walk them all.  Sorting costs n log n comparisons whatever the
// lines are.
#pragma once

#include <cstddef>
#include <cstdint>

#include "util/miscutil.h"

struct TextLine {
  const char *text;
  size_t length;  // the newline included, when the line has one
  uint32_t hash;
};

struct LineList {
  FontPtr<TextLine> lines;
  size_t count = 0;
};

// The most lines a list can hold: its array stays within one allocation.
constexpr size_t kMaxLines = kFontAllocLimit / sizeof(TextLine);

// The lines of `text` after those `out` holds already.  False when memory is
// short or the list would pass kMaxLines.  The lines point into `text`.
bool SplitLines(const char *text, size_t size, LineList *out);

// '-' with a line of `old`, '+' with a line of `now`.
using LineChangeFunction = void (*)(void *context, char change, const TextLine &line);

// Calls `report` for every line that goes or comes, in the order of the
// texts.  False when memory is short (some changes may have been reported).
// `comparisons`, when given, is increased by the number of line comparisons
// made: the work the comparison did.
bool DiffLines(const LineList &old, const LineList &now, LineChangeFunction report, void *context,
               size_t *comparisons = nullptr);
