// Compressed fonts, run through the tool: a .gz or .Z font is indexed exactly
// like the plain file, the preferred suffix of a base name is the only file
// opened, and compressed files that cannot be read are skipped.  fonts.dir and
// standard error are compared whole.
#include <gtest/gtest.h>

#include <cctype>

#include "tests/support/bdf_writer.h"
#include "tests/support/compressed.h"
#include "tests/support/lzw_encoder.h"
#include "tests/support/pcf_writer.h"
#include "tests/support/run_tool.h"
#include "tests/support/snf_writer.h"
#include "tests/support/streamtest.h"
#include "tests/support/tempdir.h"

namespace {

// Base names of one letter: the driver's hash of a one-byte name is the byte,
// so fonts.dir lists them in alphabetical order.

// A font large enough that its glyph tables span many buffers of every
// stream, lying between the properties and the encodings.
std::string bigPcf(const std::string &fontName) {
  PcfFont font = TypicalPcf(fontName, 3000, 16, 24);
  font.msbFirst = true;
  return WritePcf(font);
}

// `plain` packed for a file with `suffix` (".gz", ".Z"), by the system's
// gzip or compress.  Without compress, .Z data comes from the project's own
// encoder.
std::string pack(const std::string &suffix, const std::string &plain) {
  if (suffix == ".Z" && !HaveProgram("compress")) return LzwEncode(plain);
  return Packed(suffix == ".gz" ? "gzip" : "compress", plain);
}

// The number of bytes that gzip -d recovers from possibly cut data (it reads
// .Z data too).
size_t decodedLength(const std::string &packed) {
  TempDir scratch;
  WriteFile(scratch / "in", packed);
  RunShell("gzip -dc < " + ShellQuote(scratch / "in") + " > " + ShellQuote(scratch / "out") +
           " 2>/dev/null");
  return ReadFile(scratch / "out").size();
}

class CompressedFonts : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string why = MissingPrograms({"gzip"}); !why.empty()) GTEST_SKIP() << why;
  }
};

TEST_F(CompressedFonts, AreIndexedExactlyLikeThePlainFiles) {
  const std::string p = WritePcf(TypicalPcf("-Lorvane-Small-Medium-R-Normal--13-130-75-75-C-60-ISO8859-1"));
  const std::string q = bigPcf("-Lorvane-Big-Bold-R-Normal--24-240-75-75-C-160-ISO10646-1");
  const std::string s = WriteSnf(TypicalSnf("-Lorvane-Term-Medium-R-Normal--20-200-75-75-C-100-ISO8859-1", 95, 10, 20));
  const std::string t = WriteSnf(TypicalSnf("-Lorvane-BigTerm-Medium-R-Normal--24-240-75-75-C-160-ISO8859-1", 2000, 16, 24));
  struct Variant {
    std::string suffix;
    std::string (*packer)(const std::string &suffix, const std::string &plain);
  };
  auto asIs = [](const std::string &, const std::string &plain) { return plain; };
  // Maximum width 12 fills the code table within each big font, many times.
  auto narrowLzw = [](const std::string &, const std::string &plain) {
    LzwEncodeOptions options;
    options.maxBits = 12;
    options.clearWhenFull = true;
    return LzwEncode(plain, options);
  };
  for (const Variant &v : {Variant{"", asIs}, Variant{".gz", pack}, Variant{".Z", pack},
                           Variant{".Z", narrowLzw}}) {
    SCOPED_TRACE("suffix '" + v.suffix + "'");
    TempDir dir;
    WriteFile(dir / ("p.pcf" + v.suffix), v.packer(v.suffix, p));
    WriteFile(dir / ("q.pcf" + v.suffix), v.packer(v.suffix, q));
    WriteFile(dir / ("s.snf" + v.suffix), v.packer(v.suffix, s));
    WriteFile(dir / ("t.snf" + v.suffix), v.packer(v.suffix, t));
    Indexed r = IndexDirectory(dir);
    EXPECT_EQ(r.run.status, 0);
    EXPECT_EQ(r.run.stderrText, "");
    EXPECT_EQ(r.fontsDir,
              "4\n"
              "p.pcf" + v.suffix + " -lorvane-small-medium-r-normal--13-130-75-75-c-60-iso8859-1\n"
              "q.pcf" + v.suffix + " -lorvane-big-bold-r-normal--24-240-75-75-c-160-iso10646-1\n"
              "s.snf" + v.suffix + " -lorvane-term-medium-r-normal--20-200-75-75-c-100-iso8859-1\n"
              "t.snf" + v.suffix + " -lorvane-bigterm-medium-r-normal--24-240-75-75-c-160-iso8859-1\n");
  }
}

// Of two files of one base name only the preferred one is opened, whichever
// was created first; when it cannot be read it is skipped and the other file
// is not tried in its place.
TEST_F(CompressedFonts, OnlyThePreferredSuffixIsOpened) {
  struct Pair {
    std::string winner, loser;
  };
  const Pair pairs[] = {{".pcf", ".pcf.Z"},    {".pcf", ".pcf.gz"}, {".pcf.Z", ".pcf.gz"},
                        {".snf.Z", ".snf.gz"}, {".pcf.gz", ".snf"}};
  auto font = [](const std::string &suffix) {
    std::string name = "Font" + suffix;  // tells in fonts.dir which file was read
    std::string plain = suffix.starts_with(".pcf") ? WritePcf(TypicalPcf(name)) : WriteSnf(TypicalSnf(name));
    size_t z = suffix.rfind('.');
    std::string compression = suffix.substr(z);
    return compression == ".gz" || compression == ".Z" ? pack(compression, plain) : plain;
  };
  for (const Pair &pair : pairs)
    for (bool winnerFirst : {true, false})
      for (bool winnerBroken : {false, true}) {
        SCOPED_TRACE(pair.winner + " over " + pair.loser + (winnerFirst ? ", created first" : ", created second") +
                     (winnerBroken ? ", broken" : ""));
        TempDir dir;
        auto writeWinner = [&] { WriteFile(dir / ("a" + pair.winner), winnerBroken ? "broken" : font(pair.winner)); };
        if (winnerFirst) writeWinner();
        WriteFile(dir / ("a" + pair.loser), font(pair.loser));
        if (!winnerFirst) writeWinner();
        Indexed r = IndexDirectory(dir);
        EXPECT_EQ(r.run.status, 0);
        if (winnerBroken) {
          EXPECT_EQ(r.fontsDir, "0\n");
          EXPECT_EQ(r.run.stderrText, SkipMessage(dir, "a" + pair.winner));
        } else {
          std::string lowered = "font" + pair.winner;
          for (char &c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
          EXPECT_EQ(r.fontsDir, "1\na" + pair.winner + " " + lowered + "\n");
          EXPECT_EQ(r.run.stderrText, "");
        }
      }
}

TEST_F(CompressedFonts, UnreadableCompressedFontsAreSkipped) {
  const std::string big = bigPcf("big");
  const uint32_t encodings = PcfTableOffset(big, kPcfEncodings);
  const uint32_t glyphs = PcfTableOffset(big, kPcfMetrics);
  TempDir dir;
  // Plain PCF bytes behind a .gz suffix.
  WriteFile(dir / "a.pcf.gz", big);
  // Compressed data cut off inside the glyph tables, before the encodings.
  for (const char *name : {"b.pcf.gz", "d.pcf.Z"}) {
    std::string suffix = std::string(name).substr(5);
    std::string packed = pack(suffix, big);
    std::string cut = packed.substr(0, packed.size() / 2);
    size_t decoded = decodedLength(cut);
    ASSERT_GT(decoded, glyphs) << name;
    ASSERT_LT(decoded, encodings) << name;
    WriteFile(dir / name, cut);
  }
  // A .Z header announcing 11-bit codes, which are refused.
  std::string badHeader = pack(".Z", big);
  badHeader[2] = static_cast<char>(0x80 | 11);
  WriteFile(dir / "c.pcf.Z", badHeader);
  WriteFile(dir / "e.pcf.gz", pack(".gz", big));
  Indexed r = IndexDirectory(dir);
  EXPECT_EQ(r.run.status, 0);
  EXPECT_EQ(r.fontsDir, "1\ne.pcf.gz big\n");
  EXPECT_EQ(r.run.stderrText, SkipMessage(dir, "a.pcf.gz") + SkipMessage(dir, "b.pcf.gz") + SkipMessage(dir, "c.pcf.Z") +
                                  SkipMessage(dir, "d.pcf.Z"));
}

// A download cut short: the gzip member loses its trailer and perhaps the
// end of its deflate data.  The cut that once lost the end of a font falls
// right after the font's last code, where its decoded text passes the end
// of the filter's first output buffer: inflate has taken every byte but
// still holds the font's last bytes.
TEST(CompressedFontsCut, GzipFontsWhoseDataIsCutAfterTheirTextAreIndexed) {
  const std::string header("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10);  // deflate, no flags
  // A font a little longer than the buffer, padded by a property until the
  // cut at the buffer's end leaves its whole text, at some level.
  std::string cut;
  for (size_t pad = 0; pad < 400 && cut.empty(); pad++) {
    BdfFont font = BdfLargeFont(426);
    font.properties[0] =
        BdfString("FONT", "-Lorvane-Cut-Medium-R-Normal--16-120-75-75-C-80-ISO10646-1");
    font.properties.push_back(BdfString("COPYRIGHT", std::string(pad, 'c')));
    std::string plain = WriteBdf(font);
    if (plain.size() <= kGzipFilterOutput) continue;
    for (int level : {9, 6, 1}) {
      std::string body = RawDeflate(plain, level);
      std::vector<size_t> fills = InflateInputWhereOutputFills(body);
      if (!fills.empty() && RawInflateAll(body.substr(0, fills[0])) == plain) {
        cut = body.substr(0, fills[0]);
        break;
      }
    }
  }
  ASSERT_FALSE(cut.empty());
  TempDir dir;
  WriteFile(dir / "a.bdf.gz", header + cut);
  BdfFont whole = BdfSampleFont();
  whole.properties.push_back(
      BdfString("FONT", "-Lorvane-Whole-Medium-R-Normal--16-120-75-75-C-80-ISO8859-1"));
  WriteFile(dir / "b.bdf.gz", header + RawDeflate(WriteBdf(whole)));  // only the trailer lost
  Indexed r = IndexDirectory(dir);
  EXPECT_EQ(r.run.status, 0);
  EXPECT_EQ(r.run.stderrText, "");
  EXPECT_EQ(r.fontsDir,
            "2\n"
            "a.bdf.gz -lorvane-cut-medium-r-normal--16-120-75-75-c-80-iso10646-1\n"
            "b.bdf.gz -lorvane-whole-medium-r-normal--16-120-75-75-c-80-iso8859-1\n");
}

}  // namespace
