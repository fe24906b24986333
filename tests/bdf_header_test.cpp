// The header and property sections of BDF files, read whole.
#include <gtest/gtest.h>

#include "bitmap/bdfread.h"
#include "tests/support/bdf_check.h"
#include "tests/support/bdf_writer.h"

namespace {

BdfFont withProps(std::vector<BdfProperty> props) {
  BdfFont font = BdfSampleFont();
  font.properties = std::move(props);
  return font;
}

std::vector<BdfProperty> ascentDescent() { return {BdfInt("FONT_ASCENT", 14), BdfInt("FONT_DESCENT", 2)}; }

// The failure that `text` gives: status (BadFont unless the file asks for
// more memory than can be had) and the whole message text.
void expectFailure(const std::string &text, const std::string &messages, int status = BadFont) {
  auto r = LoadBdf(text);
  EXPECT_EQ(r->status, status);
  EXPECT_EQ(r->messages, messages);
}

TEST(BdfHeader, OnlyVersion21IsAccepted) {
  BdfFont font = BdfSampleFont();
  font.version = "2.2";
  expectFailure(WriteBdf(font), BdfErrorText(1, "bad 'STARTFONT'\n"));
  font.version = "2.1 trailing words";
  EXPECT_EQ(LoadBdf(WriteBdf(font))->status, Successful);
  // Glued to its keyword, the version still scans.
  std::string glued = WriteBdf(BdfSampleFont());
  glued.replace(0, 13, "STARTFONT2.1");
  EXPECT_EQ(LoadBdf(glued)->status, Successful);
  expectFailure("FONT x\n", BdfErrorText(1, "bad 'STARTFONT'\n"));
  expectFailure("", BdfErrorText(0, "bad 'STARTFONT'\n"));
  expectFailure("STARTFONT\n", BdfErrorText(1, "bad 'STARTFONT'\n"));
}

TEST(BdfHeader, HeaderLinesInOrder) {
  std::string good = WriteBdf(BdfSampleFont());
  expectFailure(BdfDropLine(good, "FONT "), BdfErrorText(2, "bad 'FONT'\n"));
  expectFailure("STARTFONT 2.1\nFONT   \n", BdfErrorText(2, "bad 'FONT'\n"));
  expectFailure(BdfDropLine(good, "SIZE"), BdfErrorText(3, "missing 'SIZE'\n"));
  expectFailure(BdfDropLine(good, "FONTBOUNDINGBOX"), BdfErrorText(4, "missing 'FONTBOUNDINGBOX'\n"));
  BdfFont font = BdfSampleFont();
  for (const char *bad : {"12 75", "x 75 75", "12 75 y"}) {
    font.size = bad;
    expectFailure(WriteBdf(font), BdfErrorText(3, "bad 'SIZE'\n"));
  }
  for (const char *small : {"0.5 75 75", "12 0 75", "12 75 -1", "nan 75 75"}) {
    font.size = small;
    expectFailure(WriteBdf(font), BdfErrorText(3, "SIZE values must be > 0\n"));
  }
}

TEST(BdfHeader, HeaderFontNameBecomesFontProperty) {
  BdfFont font = BdfSampleFont();
  font.headerName = "  Some Name  with blanks ";
  auto r = LoadBdf(WriteBdf(font));
  ASSERT_EQ(r->status, Successful);
  EXPECT_EQ(StringProperty(r->font.info, "FONT"), "Some Name  with blanks ");
  // A FONT in the section wins and the header line is not used.
  font.properties.push_back(BdfString("FONT", "from-section"));
  auto s = LoadBdf(WriteBdf(font));
  ASSERT_EQ(s->status, Successful);
  EXPECT_EQ(StringProperty(s->font.info, "FONT"), "from-section");
}

TEST(BdfProperties, AddedPropertiesFromSize) {
  struct Case {
    const char *size;
    long pointSize;
    std::optional<long> resolution;
    long x, y;
  } cases[] = {{"9.7 75 75", 96, 103, 75, 75},
               {"12 75 75", 120, 103, 75, 75},
               {"12 100 100", 120, 138, 100, 100},
               {"12 75 100", 120, std::nullopt, 75, 100}};
  for (const Case &c : cases) {
    BdfFont font = BdfSampleFont();
    font.size = c.size;
    auto r = LoadBdf(WriteBdf(font));
    ASSERT_EQ(r->status, Successful) << c.size;
    const FontInfo &fi = r->font.info;
    EXPECT_EQ(IntProperty(fi, "POINT_SIZE"), c.pointSize) << c.size;
    EXPECT_EQ(IntProperty(fi, "RESOLUTION"), c.resolution) << c.size;
    EXPECT_EQ(IntProperty(fi, "RESOLUTION_X"), c.x);
    EXPECT_EQ(IntProperty(fi, "RESOLUTION_Y"), c.y);
  }
  BdfFont font = BdfSampleFont();
  font.size = "12 75 100";
  auto r = LoadBdf(WriteBdf(font));
  EXPECT_EQ(PropertyNames(r->font.info),
            (std::vector<std::string>{"POINT_SIZE", "FONT", "WEIGHT", "RESOLUTION_X",
                                      "RESOLUTION_Y", "X_HEIGHT", "QUAD_WIDTH"}));
}

TEST(BdfProperties, ValuesOfEveryKind) {
  auto font = withProps({BdfInt("FONT_ASCENT", 14), {"COPYRIGHT", "\"Say \"\"hi\"\" twice\""},
                         {"EMPTY", "\"\""}, {"LONE_MINUS", "-"}, {"PLUS", "+42"},
                         {"TRAILING", "\"kept\" ignored words"}, BdfInt("FONT_DESCENT", 2),
                         BdfInt("DEFAULT_CHAR", 65), BdfString("DEFAULT_CHAR", "dropped"),
                         {"BIG", "4294967297"}});
  auto r = LoadBdf(WriteBdf(font));
  ASSERT_EQ(r->status, Successful) << r->messages;
  const FontInfo &fi = r->font.info;
  EXPECT_EQ(StringProperty(fi, "COPYRIGHT"), "Say \"hi\" twice");
  EXPECT_EQ(StringProperty(fi, "EMPTY"), "");
  EXPECT_EQ(IntProperty(fi, "LONE_MINUS"), 0);
  EXPECT_EQ(IntProperty(fi, "PLUS"), 42);
  EXPECT_EQ(StringProperty(fi, "TRAILING"), "kept");
  EXPECT_EQ(IntProperty(fi, "BIG"), 1);  // converted like atoi: the low 32 bits
  EXPECT_EQ(fi.fontAscent, 14);
  EXPECT_EQ(fi.fontDescent, 2);
  EXPECT_EQ(fi.defaultChar, 65);
  for (const std::string &name : PropertyNames(fi)) {
    EXPECT_NE(name, "FONT_ASCENT");
    EXPECT_NE(name, "FONT_DESCENT");
    EXPECT_NE(name, "DEFAULT_CHAR");
  }
  EXPECT_EQ(r->messages, "");
}

TEST(BdfProperties, BadPropertyLines) {
  // Lines: 1-4 header, 5 STARTPROPERTIES, 6 and on the properties.
  auto lineOf = [](int i) { return 6 + i; };
  struct Case {
    BdfProperty prop;
    std::string message;
  } cases[] = {
      {{"WEIGHT_NAME", "Bold"}, "invalid 'WEIGHT_NAME' parameter value\n"},
      {{"PIXEL_SIZE", "12 13"}, "invalid 'PIXEL_SIZE' parameter value\n"},
      {{"PIXEL_SIZE", ""}, "missing 'PIXEL_SIZE' parameter value\n"},
      {{"FAMILY_NAME", "\"never closed"},
       "unterminated quoted string property: \"never closed\n"},
      {{"FAMILY_NAME", "\"ends \"\""}, "unterminated quoted string property: \"ends \"\"\n"},
      {{"", "   "}, "missing '' parameter value\n"},
  };
  for (const Case &c : cases) {
    auto font = withProps({BdfInt("FONT_ASCENT", 14), c.prop, BdfInt("FONT_DESCENT", 2)});
    expectFailure(WriteBdf(font), BdfErrorText(lineOf(1), c.message));
  }
}

TEST(BdfProperties, DeclaredCountMustMatch) {
  auto font = withProps(ascentDescent());
  font.declaredProperties = 3;
  expectFailure(WriteBdf(font),
                BdfErrorText(8, "\"STARTPROPERTIES 3\" followed by only 2 properties\n"));
  font.declaredProperties = 1;
  expectFailure(WriteBdf(font), BdfErrorText(7, "missing 'ENDPROPERTIES'\n"));
  font.declaredProperties = 0;
  expectFailure(WriteBdf(font),
                BdfErrorText(6, "missing 'ENDPROPERTIES'\n"));
  font.properties.clear();
  expectFailure(WriteBdf(font),
                BdfErrorText(6, "missing 'FONT_ASCENT' or 'FONT_DESCENT' properties\n"));
  font.declaredProperties = -5;  // a negative count reads no lines either
  expectFailure(WriteBdf(font),
                BdfErrorText(6, "missing 'FONT_ASCENT' or 'FONT_DESCENT' properties\n"));
  auto quotedAscent = withProps({BdfString("FONT_ASCENT", "14"), BdfInt("FONT_DESCENT", 2)});
  expectFailure(WriteBdf(quotedAscent),
                BdfErrorText(8, "missing 'FONT_ASCENT' or 'FONT_DESCENT' properties\n"));
  std::string text = WriteBdf(BdfSampleFont());
  expectFailure(BdfDropLine(text, "STARTPROPERTIES"), BdfErrorText(5, "missing 'STARTPROPERTIES'\n"));
  std::string bad = text;
  bad.replace(bad.find("STARTPROPERTIES 2"), 17, "STARTPROPERTIES x");
  expectFailure(bad, BdfErrorText(5, "bad 'STARTPROPERTIES'\n"));
}

TEST(BdfProperties, HugeDeclaredCountsAreRefusedOrBelievedOnlyAsFarAsRead) {
  auto font = withProps(ascentDescent());
  font.declaredProperties = 2147483647;
  expectFailure(WriteBdf(font), BdfErrorText(5, "Couldn't allocate stringProps (2147483653*4)\n"),
                AllocFailure);
  font.declaredProperties = 10000000;
  expectFailure(WriteBdf(font), BdfErrorText(5, "Couldn't allocate props (10000006*8)\n"),
                AllocFailure);
  // Within the ceiling, the declared count costs nothing until lines come.
  font.declaredProperties = 8000000;
  auto r = LoadBdf(WriteBdf(font));
  EXPECT_EQ(r->messages,
            BdfErrorText(8, "\"STARTPROPERTIES 8000000\" followed by only 2 properties\n"));
}

TEST(BdfProperties, CommentsAndEmptyLinesBetweenProperties) {
  std::string text = WriteBdf(BdfSampleFont());
  size_t at = text.find("FONT_DESCENT");
  text.insert(at, "COMMENT a remark\n\n\r\nCOMMENTARY too\n");
  auto r = LoadBdf(text);
  ASSERT_EQ(r->status, Successful);
  BdfFont font = BdfSampleFont();
  font.declaredProperties = 3;
  std::string broken = WriteBdf(font);
  broken.insert(broken.find("ENDPROPERTIES"), "COMMENT\n\n");
  // The comment lines count as lines, not as properties.
  EXPECT_EQ(LoadBdf(broken)->messages,
            BdfErrorText(10, "\"STARTPROPERTIES 3\" followed by only 2 properties\n"));
}

TEST(BdfProperties, PlaceholdersGivenInTheFileAreReplaced) {
  auto font = withProps({BdfInt("FONT_ASCENT", 14), BdfInt("FONT_DESCENT", 2),
                         BdfInt("X_HEIGHT", -1), BdfString("QUAD_WIDTH", "-1"),
                         BdfInt("WEIGHT", -1)});
  font.glyphs.push_back(BdfBoxGlyph("x", 120, 5, 7, 0, 0, 6));
  auto r = LoadBdf(WriteBdf(font));
  ASSERT_EQ(r->status, Successful);
  EXPECT_EQ(IntProperty(r->font.info, "X_HEIGHT"), 7);
  EXPECT_EQ(StringProperty(r->font.info, "QUAD_WIDTH"), "-1");
  EXPECT_EQ(IntProperty(r->font.info, "WEIGHT"), 10);
}

}  // namespace
