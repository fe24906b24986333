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

// Records are never freed, so they are laid one after another into blocks
// rather than allocated one by one: the glyph names of a large font stay
// together, away from the font's bitmaps.  Records interleaved with the
// bitmaps would leave the freed bitmaps as small holes between records,
// which the allocator can never merge, and every later font would be
// allocated into those scattered holes.  A record larger than a quarter
// block gets an allocation of its own, so long values waste no block.
// 64 KiB holds some 1,500 records of typical names (a 24-byte record and
// its text, rounded to 8 bytes): a large font's glyph names take a few
// blocks, and the last block of a run wastes at most one block.
constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kOwnAllocation = kBlockSize / 4;
char *blockNext = nullptr;
size_t blockRoom = 0;

// Polynomial hash (h * 31 + byte, bytes unsigned); the top bit is cleared,
// as the record keeps the hash as a non-negative int.  Each byte moves the
// earlier ones by a factor of 31, more than the span of digits or of letters
// of one case, so names built from a small alphabet ("uni0100" to
// "uniEB5F", font names differing in a digit or two) get distinct values.
// Shift- or rotate-by-3-and-xor hashes give such names only a few thousand
// values: every lookup then walks a chain of records with equal hash and
// length, and the walks lengthen with the number of names (bench/NOTES.md
// has the figures).  Names that differ in their last byte land in neighbouring slots,
// so the glyph names of a font, interned and looked up in file order, touch
// the table and the records in order instead of at random.
// Four bytes a step give the same value with a quarter of the multiplies in
// the chain of dependent steps: h * 31^4 + b0 * 31^3 + b1 * 31^2 + b2 * 31 + b3.
int Hash(const char *string, int len) {
  auto *s = reinterpret_cast<const unsigned char *>(string);
  uint32_t h = 0;
  for (; len >= 4; len -= 4, s += 4)
    h = h * 923521u + s[0] * 29791u + s[1] * 961u + s[2] * 31u + s[3];
  for (; len > 0; --len) h = h * 31u + *s++;
  return static_cast<int>(h & 0x7FFFFFFFu);
}

// Most names are short (property names, glyph names): up to 16 bytes are
// compared as two overlapping pairs of words, without a call.
int NameEqual(const char *a, const char *b, int l) {
  if (l >= 8 && l <= 16) {
    uint64_t a0, a1, b0, b1;
    std::memcpy(&a0, a, 8);
    std::memcpy(&b0, b, 8);
    std::memcpy(&a1, a + l - 8, 8);
    std::memcpy(&b1, b + l - 8, 8);
    return ((a0 ^ b0) | (a1 ^ b1)) == 0 ? 1 : 0;
  }
  return std::memcmp(a, b, static_cast<size_t>(l)) == 0 ? 1 : 0;
}

// Home slot and probe step; the step is odd, so it visits every slot of the
// power-of-two table.
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

// Room for a record of `size` bytes; none when memory ran out.
AtomRecord *allocRecord(size_t size) {
  size = (size + alignof(AtomRecord) - 1) & ~(alignof(AtomRecord) - 1);
  if (size > kOwnAllocation) return static_cast<AtomRecord *>(FontAlloc(size));
  if (size > blockRoom) {
    auto *block = static_cast<char *>(FontAlloc(kBlockSize));
    if (!block) return nullptr;
    blockNext = block;
    blockRoom = kBlockSize;
  }
  auto *rec = reinterpret_cast<AtomRecord *>(blockNext);
  blockNext += size;
  blockRoom -= size;
  return rec;
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

// Recently found records, in front of the table, by the length and the
// first and last eight bytes of their text.  Every font of a directory
// brings the same property names and mostly the same values; finding one
// here spares hashing the whole text and probing the table (bench/NOTES.md
// has what that saves).  A miss costs a few instructions, and the table
// answers.  256 slots hold a font's few dozen property names and common
// values several times over, so they seldom push each other out.
//
// The slot: each half is multiplied by a large odd constant with well-mixed
// bits, 2^64 divided by the golden ratio (made odd) and the 64-bit prime
// 0xC2B2AE3D27D4EB4F (the second of xxHash64's primes), so that every input
// bit reaches the top bits of its product; the halves and the length are
// xored, and the top kRecentBits bits, the best mixed, pick the slot.
constexpr int kRecentBits = 8;
AtomRecord *recent[1 << kRecentBits];

unsigned recentSlot(const char *s, int length) {
  uint64_t head = 0, tail = 0;
  if (length >= 8) {
    std::memcpy(&head, s, 8);
    std::memcpy(&tail, s + length - 8, 8);
  } else {
    std::memcpy(&head, s, static_cast<size_t>(length));
  }
  uint64_t h = (head * 0x9E3779B97F4A7C15ull) ^ (tail * 0xC2B2AE3D27D4EB4Full) ^
               static_cast<uint64_t>(length);
  return static_cast<unsigned>(h >> (64 - kRecentBits));
}

}  // namespace

Atom MakeAtom(const char *string, unsigned len, int makeit) {
  // Lengths beyond int range cannot be stored in a record; no caller has one.
  if (len > static_cast<unsigned>(INT32_MAX - static_cast<int>(sizeof(AtomRecord)) - 1)) return None;
  int length = static_cast<int>(len);
  AtomRecord *&seen = recent[recentSlot(string, length)];
  if (seen && seen->length == length && NameEqual(seen->name, string, length)) return seen->atom;
  int hash = Hash(string, length);
  int h = 0;
  if (hashTable) {
    h = homeSlot(hash, hashMask);
    if (hashTable[h]) {
      int r = 0;
      for (;;) {
        AtomRecord *rec = hashTable[h];
        if (rec->hash == hash && rec->length == length && NameEqual(rec->name, string, length)) {
          seen = rec;
          return rec->atom;
        }
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
  AtomRecord *rec = allocRecord(sizeof(AtomRecord) + static_cast<size_t>(length) + 1);
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
  seen = rec;
  return rec->atom;
}

const char *NameForAtom(Atom atom) {
  if (atom == None || atom > lastAtom) return nullptr;
  return reverseMap[atom]->name;
}

int AtomHash(const char *string, unsigned length) { return Hash(string, static_cast<int>(length)); }

