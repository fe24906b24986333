#include "util/utilbitmap.h"

namespace {

// Entry b is b with its eight bits in reverse order.
constexpr struct ReverseTable {
  unsigned char value[256];
  constexpr ReverseTable() : value() {
    for (int b = 0; b < 256; b++) {
      int r = 0;
      for (int bit = 0; bit < 8; bit++)
        if (b & (1 << bit)) r |= 0x80 >> bit;
      value[b] = static_cast<unsigned char>(r);
    }
  }
} _reverse_byte;

}  // namespace

void BitOrderInvert(unsigned char *bytes, long count) {
  for (long i = 0; i < count; i++) bytes[i] = _reverse_byte.value[bytes[i]];
}

void TwoByteSwap(unsigned char *bytes, long count) {
  for (long i = 0; i + 1 < count; i += 2) {
    unsigned char c = bytes[i];
    bytes[i] = bytes[i + 1];
    bytes[i + 1] = c;
  }
}

void FourByteSwap(unsigned char *bytes, long count) {
  for (long i = 0; i + 3 < count; i += 4) {
    unsigned char c = bytes[i];
    bytes[i] = bytes[i + 3];
    bytes[i + 3] = c;
    c = bytes[i + 1];
    bytes[i + 1] = bytes[i + 2];
    bytes[i + 2] = c;
  }
}
