// Pieces shared by the test-font generators: a byte writer with a chosen
// byte order, glyph metrics and font properties.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct GenMetric {
  int16_t leftBearing = 0;
  int16_t rightBearing = 0;
  int16_t width = 0;
  int16_t ascent = 0;
  int16_t descent = 0;
  uint16_t attributes = 0;
};

struct GenProperty {
  std::string name;
  bool isString = false;
  std::string text;   // the value of a string property
  int32_t value = 0;  // the value of an integer property
};

inline GenProperty StringProp(std::string name, std::string text) {
  return {std::move(name), true, std::move(text), 0};
}
inline GenProperty IntProp(std::string name, int32_t value) {
  return {std::move(name), false, "", value};
}

// The properties every sample font carries: FONT and a few usual ones.
std::vector<GenProperty> TypicalProperties(const std::string &fontName, int pixelSize);

// Appends numbers to a byte string in one byte order.
class ByteWriter {
 public:
  explicit ByteWriter(bool msbFirst = false) : msbFirst_(msbFirst) {}
  void u8(uint32_t v) { bytes_.push_back(static_cast<char>(v & 0xFF)); }
  void u16(uint32_t v);
  void u32(uint32_t v);
  void metric(const GenMetric &m);  // six 16-bit numbers in xCharInfo order
  void raw(const std::string &s) { bytes_ += s; }
  void zeros(size_t n) { bytes_.append(n, '\0'); }
  void padTo(size_t multiple) { zeros((multiple - bytes_.size() % multiple) % multiple); }
  size_t size() const { return bytes_.size(); }
  std::string &bytes() { return bytes_; }
  bool msbFirst() const { return msbFirst_; }

 private:
  bool msbFirst_;
  std::string bytes_;
};

// A string pool of NUL-terminated texts and the offset of each.
struct StringPool {
  std::string bytes;
  uint32_t add(const std::string &text);
};

// Glyph metrics of a monospaced font of `count` glyphs, cell w x h.
std::vector<GenMetric> CellGlyphs(int count, int w, int h, int descent);

// Deterministic bitmap bytes for a glyph: rows of `rowBytes`, `rows` rows.
std::string GlyphBitmap(int index, int rowBytes, int rows);
// A glyph-like bitmap of `width` pixels a row: a few strokes placed by the
// index, mostly blank, so that it compresses as real glyphs do.
std::string DrawnGlyphBitmap(int index, int width, int rowBytes, int rows);

// Stores a 32-bit number at `offset` of `bytes`, least significant byte
// first: tests use it to break generated files in one place.
void PutLSB32(std::string &bytes, size_t offset, uint32_t value);
uint32_t GetLSB32(const std::string &bytes, size_t offset);
