#include "util/atom.h"

#include <cstring>

#include "util/miscutil.h"

namespace {

struct AtomRecord {
  char *name;  // stored right after the record, NUL-terminated
  int length;
  int hash;
  Atom atom;
};

AtomRecord **hashTable = nullptr;
int hashSize = 0;
int hashMask = 0;
int rehash = 0;
int hashUsed = 0;
Atom lastAtom = 0;
AtomRecord **reverseMap = nullptr;
int reverseMapSize = 0;

// Rotate-and-xor over the bytes taken as signed chars, so that bytes 0x80 to
// 0xFF widen with ones in the upper bits; the result is made non-negative.
// A plain shift by 3 would push every byte but the last eleven out of the
// word: font names that end alike ("...-75-75-C-60-ISO8859-1") would all
// share one hash and one probe chain, and interning the names of a
// directory would take time quadratic in its number of fonts.  For names of
// up to ten ASCII bytes the rotation gives the same values as the shift.
int Hash(const char *string, int len) {
  uint32_t h = 0;
  while (len--)
    h = ((h << 3) | (h >> 29)) ^
        static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*string++)));
  int32_t s = static_cast<int32_t>(h);
  if (s < 0) s = static_cast<int32_t>(0u - h);  // -2^31 stays negative
  return s;
}

int NameEqual(const char *a, const char *b, int l) {
  return std::memcmp(a, b, static_cast<size_t>(l)) == 0 ? 1 : 0;
}

// Home slot and probe step.  The hash is taken as unsigned so that the one
// value negation cannot make positive (-2^31) still probes inside the table.
int homeSlot(int h, int mask) { return static_cast<int>(static_cast<uint32_t>(h) & static_cast<uint32_t>(mask)); }
int probeStep(int h, int modulus) {
  return static_cast<int>((static_cast<uint32_t>(h) % static_cast<uint32_t>(modulus)) | 1u);
}

int findEmptySlot(AtomRecord **table, int size, int h) {
  int i = homeSlot(h, size - 1);
  if (table[i]) {
    int step = probeStep(h, size - 3);
    do {
      i += step;
      if (i >= size) i -= size;
    } while (table[i]);
  }
  return i;
}

int ResizeHashTable() {
  int newHashSize = hashSize ? hashSize * 2 : 1024;
  auto **newHashTable = FontAllocN<AtomRecord *>(static_cast<size_t>(newHashSize));
  if (!newHashTable) return 0;
  for (int i = 0; i < newHashSize; i++) newHashTable[i] = nullptr;
  for (int i = 0; i < hashSize; i++) {
    if (!hashTable[i]) continue;
    newHashTable[findEmptySlot(newHashTable, newHashSize, hashTable[i]->hash)] = hashTable[i];
  }
  FontFree(hashTable);
  hashTable = newHashTable;
  hashSize = newHashSize;
  hashMask = newHashSize - 1;
  rehash = hashMask - 2;
  return 1;
}

int ResizeReverseMap() {
  int newSize = reverseMapSize ? reverseMapSize * 2 : 1000;
  auto *grown = static_cast<AtomRecord **>(
      FontReallocArray(reverseMap, static_cast<size_t>(newSize), sizeof(AtomRecord *)));
  if (!grown) return 0;
  reverseMap = grown;
  reverseMapSize = newSize;
  return 1;
}

}  // namespace

Atom MakeAtom(const char *string, unsigned len, int makeit) {
  // Lengths beyond int range cannot be stored in a record; no caller has one.
  if (len > static_cast<unsigned>(INT32_MAX - static_cast<int>(sizeof(AtomRecord)) - 1)) return None;
  int length = static_cast<int>(len);
  int hash = Hash(string, length);
  int h = 0;
  if (hashTable) {
    h = homeSlot(hash, hashMask);
    if (hashTable[h]) {
      int r = 0;
      for (;;) {
        AtomRecord *rec = hashTable[h];
        if (rec->hash == hash && rec->length == length && NameEqual(rec->name, string, length))
          return rec->atom;
        if (!r) r = probeStep(hash, rehash);
        h += r;
        if (h >= hashSize) h -= hashSize;
        if (!hashTable[h]) break;
      }
    }
  }
  if (!makeit) return None;

  // Everything that can fail is obtained before the table changes, so a
  // failure leaves the table exactly as it was.
  if (lastAtom + 1 >= static_cast<Atom>(reverseMapSize) && !ResizeReverseMap()) return None;
  if (hashUsed >= hashSize / 2) {
    // A table that cannot grow stays in use while it has a free slot; the
    // growth is tried again at every later insertion.
    if (!ResizeHashTable() && !hashTable) return None;
    if (hashUsed >= hashSize - 1) return None;
    h = findEmptySlot(hashTable, hashSize, hash);
  }
  auto *rec = static_cast<AtomRecord *>(FontAlloc(sizeof(AtomRecord) + static_cast<size_t>(length) + 1));
  if (!rec) return None;
  rec->name = reinterpret_cast<char *>(rec + 1);
  std::memcpy(rec->name, string, static_cast<size_t>(length));
  rec->name[length] = '\0';
  rec->length = length;
  rec->hash = hash;
  rec->atom = ++lastAtom;
  hashTable[h] = rec;
  hashUsed++;
  reverseMap[rec->atom] = rec;
  return rec->atom;
}

const char *NameForAtom(Atom atom) {
  if (atom == None || atom > lastAtom) return nullptr;
  return reverseMap[atom]->name;
}

int AtomHash(const char *string, unsigned length) { return Hash(string, static_cast<int>(length)); }

AtomTableStats AtomGetStats() { return {hashSize, hashUsed, reverseMapSize, lastAtom}; }
