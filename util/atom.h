// Process-wide interning of byte strings as small integers.  Atoms are
// numbered from 1 in the order of first interning and are never removed, so
// an Atom and its text stay valid until the process ends.
#pragma once

#include <cstdint>

typedef uint32_t Atom;
constexpr Atom None = 0;

// The atom of the first `length` bytes of `string`.  When the string is not
// interned yet: 0 if makeit is 0, else a new atom.  0 also when memory for a
// new atom cannot be had (the table is then left as it was).
Atom MakeAtom(const char *string, unsigned length, int makeit);

// The interned text of an atom, or none for 0 and for atoms never handed out.
const char *NameForAtom(Atom atom);

// The table's hash of a string (non-negative), for tests.
int AtomHash(const char *string, unsigned length);
