// lorvane's BDF reader beside FreeType's independent one: the same FONT
// name for a range of written fonts, and the same refusals of files broken
// beyond doubt.
#include <gtest/gtest.h>

#ifdef LORVANE_HAVE_FREETYPE

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BDF_H

#include "bitmap/bdfread.h"
#include "tests/support/bdf_check.h"
#include "tests/support/bdf_samples.h"
#include "tests/support/bdf_writer.h"
#include "tests/support/membuf.h"

namespace {

class FreeType {
 public:
  FreeType() { FT_Init_FreeType(&library_); }
  ~FreeType() { FT_Done_FreeType(library_); }
  // Whether FreeType reads the font, and its FONT property if it has one.
  bool read(const std::string &text, std::optional<std::string> *fontName) {
    FT_Face face;
    if (FT_New_Memory_Face(library_, reinterpret_cast<const FT_Byte *>(text.data()),
                           static_cast<FT_Long>(text.size()), 0, &face) != 0)
      return false;
    BDF_PropertyRec prop;
    *fontName = std::nullopt;
    if (FT_Get_BDF_Property(face, "FONT", &prop) == 0 && prop.type == BDF_PROPERTY_TYPE_ATOM &&
        prop.u.atom)
      *fontName = prop.u.atom;
    FT_Done_Face(face);
    return true;
  }

 private:
  FT_Library library_ = nullptr;
};

// lorvane's information reader: whether it reads the font, and its FONT.
bool lorvaneRead(const std::string &text, std::optional<std::string> *fontName) {
  BufFile *file = MemBufOpen(text.data(), text.size());
  FontInfo info = {};
  StderrCapture quiet;
  int status = bdfReadFontInfo(&info, file);
  quiet.finish();
  BufFileClose(file, 1);
  if (status != Successful) return false;
  *fontName = StringProperty(info, "FONT");
  FontInfoFreeProps(&info);
  return true;
}

std::vector<std::pair<std::string, BdfFont>> variedFonts() {
  std::vector<std::pair<std::string, BdfFont>> fonts;
  for (BdfSample &s : BdfSampleFiles()) fonts.emplace_back(s.fileName, s.font);
  BdfFont props = BdfSampleFont();
  props.properties = {BdfString("FONT", "-misc-plain-medium-r-normal--16-120-75-75-c-80-iso8859-1"),
                      BdfInt("FONT_ASCENT", 14),
                      BdfInt("FONT_DESCENT", 2),
                      BdfInt("NEGATIVE", -40),
                      {"PLUS_SIGNED", "+12"},
                      BdfString("EMPTY", ""),
                      BdfString("QUOTES", "say \"hi\" \"\" twice"),
                      {"TRAILING", "\"value\"   "},
                      BdfString("SPACES", "  padded  ")};
  fonts.emplace_back("every kind of property", props);
  BdfFont spaced = BdfSampleFont();
  spaced.properties.push_back({"FONT", "\"-with-blanks-x-medium  -r-\""});
  fonts.emplace_back("blanks in the name", spaced);
  BdfFont twoByte = BdfSampleFont();
  twoByte.properties.push_back(BdfString("FONT", "-two-byte-medium-r-normal--16-120-75-75-c-80-iso10646-1"));
  BdfGlyph unencoded = BdfBoxGlyph("extra", 0, 3, 3);
  unencoded.encoding = "-1";
  BdfGlyph alternate = BdfBoxGlyph("alternate", 0, 3, 3);
  alternate.encoding = "-1 300";
  twoByte.glyphs.insert(twoByte.glyphs.end(),
                        {BdfBoxGlyph("hi", 0x4E00, 16, 16), BdfBoxGlyph("top", 0xFFFD, 8, 8),
                         unencoded, alternate});
  fonts.emplace_back("two-byte and unencoded glyphs", twoByte);
  BdfFont crlf = twoByte;
  crlf.lineEnd = "\r\n";
  fonts.emplace_back("CR LF line ends", crlf);
  BdfFont headerOnly = BdfSampleFont();
  fonts.emplace_back("FONT in the header only", headerOnly);
  return fonts;
}

TEST(BdfFreeType, SameFontNameForEveryWrittenFont) {
  FreeType ft;
  for (const auto &[label, font] : variedFonts()) {
    std::string text = WriteBdf(font);
    std::optional<std::string> theirs, ours;
    ASSERT_TRUE(ft.read(text, &theirs)) << label;
    ASSERT_TRUE(lorvaneRead(text, &ours)) << label;
    ASSERT_TRUE(ours.has_value()) << label;
    if (label == "FONT in the header only") {
      // FreeType exposes a FONT property only when the section gives one;
      // lorvane adds it from the header line.
      EXPECT_EQ(*ours, font.headerName);
      continue;
    }
    // FreeType keeps a doubled quote inside a value as two; in BDF 2.1 it
    // stands for one, as lorvane reads it.
    ASSERT_TRUE(theirs.has_value()) << label;
    std::string folded;
    for (size_t i = 0; i < theirs->size(); i++) {
      folded += (*theirs)[i];
      if ((*theirs)[i] == '"' && i + 1 < theirs->size() && (*theirs)[i + 1] == '"') ++i;
    }
    EXPECT_EQ(folded, *ours) << label;
  }
}

TEST(BdfFreeType, BothRefuseFilesBrokenBeyondDoubt) {
  FreeType ft;
  std::string good = WriteBdf(BdfSampleFont());
  std::optional<std::string> name;
  std::vector<std::pair<std::string, std::string>> broken = {
      {"no STARTFONT line", BdfDropLine(good, "STARTFONT")},
      {"cut off in a glyph", BdfCutAfter(good, "BBX", 2)},
      {"cut off in a bitmap", BdfCutAfter(good, "BITMAP\n", 1) + "FC\n"},
      {"not a font at all", "hello\nworld\n"},
  };
  for (const auto &[label, text] : broken) {
    EXPECT_FALSE(ft.read(text, &name)) << label;
    EXPECT_FALSE(lorvaneRead(text, &name)) << label;
  }
}

TEST(BdfFreeType, AttributesLinesAreLorvanesAlone) {
  // FreeType's reader refuses the optional per-glyph ATTRIBUTES line, which
  // lorvane reads; the written fonts above therefore carry none.
  FreeType ft;
  BdfFont font = BdfSampleFont();
  font.glyphs[0].attributes = "00C0";
  std::optional<std::string> name;
  std::string text = WriteBdf(font);
  EXPECT_FALSE(ft.read(text, &name));
  EXPECT_TRUE(lorvaneRead(text, &name));
}

TEST(BdfFreeType, WhereFreeTypeIsMoreLenientLorvanesRulesHold) {
  // FreeType reads these; lorvane refuses them: only version 2.1 is a BDF
  // font to it, and FONT_ASCENT and FONT_DESCENT are required.
  FreeType ft;
  BdfFont version = BdfSampleFont();
  version.version = "2.2";
  BdfFont noAscent = BdfSampleFont();
  noAscent.properties = {BdfInt("FONT_DESCENT", 2)};
  std::optional<std::string> name;
  for (const BdfFont &font : {version, noAscent}) {
    std::string text = WriteBdf(font);
    EXPECT_TRUE(ft.read(text, &name));
    EXPECT_FALSE(lorvaneRead(text, &name));
  }
}

}  // namespace

#endif  // LORVANE_HAVE_FREETYPE
