// The bounded reader over a stream: numbers, characters and frames read the
// same whichever way the stream's fills cut the data, and the end of the
// data is noticed and kept.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "fontfile/fontreader.h"
#include "tests/support/membuf.h"
#include "tests/support/streamtest.h"
#include "tests/support/tempdir.h"

namespace {

struct Stream {
  BufFile *file;
  FontReader reader;
  Stream(const std::string &data, int chunk) : file(MemBufOpen(data.data(), data.size(), chunk)) {
    FontReaderInit(&reader, file);
  }
  ~Stream() { BufFileClose(file, 1); }
};

// Fills of one byte cut every number; 4096 cuts some; 8192 holds them all.
constexpr int kChunks[] = {1, 2, 3, 5, 4096, BUFFILESIZE};

TEST(FontReader, NumbersReadTheSameWhereverAFillCutsThem) {
  std::string data = NoiseSample(8998);  // 1285 groups of 7 bytes, then 3;
  for (int chunk : kChunks) {
    SCOPED_TRACE("fills of " + std::to_string(chunk));
    Stream s(data, chunk);
    FontReader *r = &s.reader;
    size_t at = 0;
    auto byte = [&](size_t i) { return uint32_t{static_cast<unsigned char>(data[i])}; };
    while (at + 7 <= data.size()) {
      ASSERT_EQ(FontReaderGet32(r, true),
                byte(at) << 24 | byte(at + 1) << 16 | byte(at + 2) << 8 | byte(at + 3));
      ASSERT_EQ(FontReaderGet16(r, false), byte(at + 5) << 8 | byte(at + 4));
      ASSERT_EQ(static_cast<uint32_t>(FontReaderChar(r)), byte(at + 6));
      at += 7;
      ASSERT_EQ(r->position, at);
    }
    EXPECT_FALSE(r->ended);
    // Past the end: the bytes that are there, then zeros, and the end stays.
    size_t left = data.size() - at;
    uint32_t last = FontReaderGet32(r, false);
    uint32_t expected = 0;
    for (size_t i = 0; i < left; i++) expected |= byte(at + i) << (8 * i);
    EXPECT_EQ(last, expected);
    EXPECT_TRUE(r->ended);
    EXPECT_EQ(FontReaderGet16(r, true), 0);
    EXPECT_EQ(r->position, at + 6);
  }
}

TEST(FontReader, ReadsAndSkipsTakeExactlyTheirBytesWhereverFillsCutThem) {
  std::string data = NoiseSample(20000);
  const size_t sizes[] = {1, 7, 16, 300, 4097, 9000};
  for (int chunk : kChunks) {
    SCOPED_TRACE("fills of " + std::to_string(chunk));
    Stream s(data, chunk);
    FontReader *r = &s.reader;
    std::string got(9000, '\0');
    size_t at = 0, position = 0;
    for (size_t step = 0; at < data.size(); step++) {
      size_t size = sizes[step % std::size(sizes)];
      size_t expected = std::min(size, data.size() - at);
      if (step % 2 == 0) {
        ASSERT_EQ(FontReaderReadUpTo(r, got.data(), size), expected) << at;
        ASSERT_EQ(got.substr(0, expected), data.substr(at, expected)) << at;
        position += expected;
      } else {
        ASSERT_EQ(FontReaderSkip(r, size), expected == size) << at;
        position += size;  // a skip moves by its count, as an exact read does
      }
      at += expected;
      ASSERT_EQ(r->position, position);
      ASSERT_EQ(r->ended, expected < size);
    }
    // At the end a read gets nothing, an exact read gets zeros.
    EXPECT_EQ(FontReaderReadUpTo(r, got.data(), 5), 0u);
    got.assign(3, 'x');
    EXPECT_FALSE(FontReaderRead(r, got.data(), 3));
    EXPECT_EQ(got, std::string(3, '\0'));
    EXPECT_FALSE(FontReaderSkip(r, 1));
    EXPECT_TRUE(FontReaderSkip(r, 0));
  }
}

// A plain file seeks where a skip leaves the buffer, and a seek passes the
// file's end without complaint; the skip must not (a gzip header cut short
// inside its extra field is refused for it).
TEST(FontReader, ASkipPastTheEndOfAPlainFileFails) {
  TempDir dir;
  std::string data = NoiseSample(3 * BUFFILESIZE);
  WriteFile(dir / "f", data);
  for (size_t count : {size_t{10}, data.size() - 1, data.size(), data.size() + 1, size_t{1} << 40}) {
    BufFile *f = BufFileOpenRead(::open((dir / "f").c_str(), O_RDONLY));
    ASSERT_NE(f, nullptr);
    FontReader r;
    FontReaderInit(&r, f);
    EXPECT_EQ(FontReaderSkip(&r, count), count <= data.size()) << count;
    EXPECT_EQ(FontReaderChar(&r), count < data.size() ? static_cast<unsigned char>(data[count]) : BUFFILEEOF);
    BufFileClose(f, 1);
  }
}

// A read that finds the end asks the stream once: on a file each fill is a
// read() of the file, and the LZW filter reads its code groups this way.
TEST(FontReader, AReadAtTheEndFillsOnce) {
  static int fills;
  fills = 0;
  BufFile *f = BufFileCreate(
      nullptr, [](BufFile *) { return ++fills, BUFFILEEOF; }, BufFileSkipByFilling,
      [](BufFile *, int) { return 0; });
  ASSERT_NE(f, nullptr);
  FontReader r;
  FontReaderInit(&r, f);
  char buf[9];
  EXPECT_EQ(FontReaderReadUpTo(&r, buf, sizeof buf), 0u);
  EXPECT_TRUE(r.ended);
  EXPECT_EQ(fills, 1);
  BufFileClose(f, 1);
}

TEST(FontReader, CharactersTellANulFromTheEnd) {
  std::string data("a\0b", 3);
  for (int chunk : {1, 2, BUFFILESIZE}) {
    SCOPED_TRACE("fills of " + std::to_string(chunk));
    Stream s(data, chunk);
    FontReader *r = &s.reader;
    EXPECT_EQ(FontReaderPeek(r), 'a');
    EXPECT_EQ(FontReaderPeek(r), 'a');  // a look takes nothing
    EXPECT_EQ(r->position, 0u);
    EXPECT_EQ(FontReaderChar(r), 'a');
    EXPECT_EQ(FontReaderPeek(r), 0);
    EXPECT_EQ(FontReaderChar(r), 0);
    EXPECT_FALSE(r->ended);
    EXPECT_EQ(FontReaderPeek(r), 'b');
    FontReaderConsume(r, 1);  // the 'b' that the look showed
    EXPECT_EQ(r->position, 3u);
    EXPECT_EQ(FontReaderPeek(r), BUFFILEEOF);
    EXPECT_TRUE(r->ended);
    EXPECT_EQ(FontReaderChar(r), BUFFILEEOF);
    const unsigned char *bytes;
    EXPECT_EQ(FontReaderAhead(r, &bytes), 0u);
    EXPECT_EQ(r->position, 3u);
  }
}

// A frame shows its bytes where the buffer holds them whole and in a copy of
// its own where the fills cut them; either way the bytes are those of the
// file and the reader goes on right after them once the frame is exited,
// explicitly or by leaving its scope.
TEST(FontReader, AFrameShowsItsBytesAndTheReaderGoesOnAfterThem) {
  std::string data = NoiseSample(6000);
  for (int chunk : kChunks) {
    SCOPED_TRACE("fills of " + std::to_string(chunk));
    for (size_t count : {size_t{0}, size_t{1}, size_t{100}, size_t{5000}}) {
      for (bool explicitExit : {true, false}) {
        Stream s(data, chunk);
        FontReader *r = &s.reader;
        FontReaderSkip(r, 10);
        {
          FontFrame frame;
          bool outOfMemory = true;
          ASSERT_TRUE(FontReaderEnterFrame(r, count, &frame, &outOfMemory));
          EXPECT_FALSE(outOfMemory);
          EXPECT_EQ(std::string(frame.bytes, count), data.substr(10, count));
          // In place exactly when the fill that holds the frame's first byte
          // holds all of it (a frame of nothing needs no bytes at all).
          bool inBuffer = count == 0 || 10 % chunk + count <= static_cast<size_t>(chunk);
          EXPECT_EQ(frame.owned == nullptr, inBuffer) << count;
          if (explicitExit) FontReaderExitFrame(&frame);
        }
        EXPECT_EQ(r->position, 10 + count);
        EXPECT_EQ(FontReaderChar(r), static_cast<unsigned char>(data[10 + count]));
        EXPECT_FALSE(r->ended);
      }
    }
  }
}

TEST(FontReader, AFrameBeyondTheDataOrBeyondMemoryIsNotEntered) {
  std::string data = NoiseSample(300);
  for (int chunk : {1, BUFFILESIZE}) {
    Stream s(data, chunk);
    FontFrame frame;
    bool outOfMemory = true;
    EXPECT_FALSE(FontReaderEnterFrame(&s.reader, 301, &frame, &outOfMemory));
    EXPECT_FALSE(outOfMemory);
    EXPECT_EQ(frame.bytes, nullptr);
    EXPECT_TRUE(s.reader.ended);
  }
  // Cut by the fills, the frame needs a copy; without memory for it the
  // reader says so.
  Stream s(data, 7);
  FontFrame frame;
  bool outOfMemory = false;
  FontAllocFailAt(1);
  EXPECT_FALSE(FontReaderEnterFrame(&s.reader, 100, &frame, &outOfMemory));
  FontAllocFailAt(0);
  EXPECT_TRUE(outOfMemory);
  EXPECT_EQ(frame.bytes, nullptr);
}

}  // namespace
