// The entries of outline, collection, Type 1, symbol and bitmap-only
// OpenType fonts written by fontTools at test time: one case per rule of the
// font name's fields, the encodings a face covers, and the reasons a file is
// left out.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/faces_fonts.h"
#include "tests/support/tempdir.h"

namespace {

// A name's fields up to AVERAGE_WIDTH for the usual face: no OS/2 vendor
// the table knows, family "Test", weight 400, upright, normal width.
const std::string kPlain = "-misc-test-medium-r-normal--0-0-0-0-p-0";
const std::vector<std::string> kAscii = {"ascii-0", "iso10646-1"};
const std::vector<std::string> kLatin1 = {"ascii-0", "iso8859-1", "iso10646-1"};

struct FaceCase {
  const char *what;
  std::string font;                    // make_faces.py's JSON for the file
  // "file name" without the charset (or, with no charsets, whole lines), or
  // "left out: ...".
  std::vector<std::string> names;
  std::vector<std::string> charsets = kAscii;
};

std::string fileOf(const FaceCase &c) {
  size_t at = c.font.find("\"file\":\"") + 8;
  return c.font.substr(at, c.font.find('"', at) - at);
}

std::vector<std::string> expectedLines(const FaceCase &c) {
  std::vector<std::string> lines = c.charsets.empty() ? c.names : std::vector<std::string>{};
  for (const std::string &n : c.names) {
    if (n.rfind("left out", 0) == 0) return {n};
    for (const std::string &cs : c.charsets) lines.push_back(n + "-" + cs);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

const std::vector<FaceCase> &Cases() {
  static const std::vector<FaceCase> cases = [] {
    std::string longName(300, 'x');
    std::vector<FaceCase> v = {
        // FOUNDRY: the vendor table, case and padding ignored, then the
        // manufacturer name, then misc.
        {"a known vendor ID names the foundry", R"({"file":"v1.ttf","vendor":"ADBE"})",
         {"v1.ttf -adobe-test-medium-r-normal--0-0-0-0-p-0"}},
        {"a vendor ID matches ignoring case and trailing spaces", R"({"file":"v2.ttf","vendor":"b&h "})",
         {"v2.ttf -b&h-test-medium-r-normal--0-0-0-0-p-0"}},
        {"a vendor ID padded with NULs", R"({"file":"v3.ttf","vendor":"MS\u0000\u0000"})",
         {"v3.ttf -microsoft-test-medium-r-normal--0-0-0-0-p-0"}},
        {"two vendor IDs of one foundry", R"({"file":"v4.otf","vendor":"TMC"})",
         {"v4.otf -monotype-test-medium-r-normal--0-0-0-0-p-0"}},
        {"an unknown vendor falls back to the first listed name the manufacturer holds",
         R"({"file":"v5.ttf","vendor":"XYZW","names":[[1,3,1,1033,"Test"],[8,3,1,1033,"URW and Linotype"]]})",
         {"v5.ttf -linotype-test-medium-r-normal--0-0-0-0-p-0"}},
        {"the manufacturer from the Macintosh record",
         R"({"file":"v6.ttf","names":[[1,3,1,1033,"Test"],[8,1,0,0,"Bitstream Inc."]]})",
         {"v6.ttf -bitstream-test-medium-r-normal--0-0-0-0-p-0"}},
        {"no OS/2 table and no manufacturer gives misc", R"({"file":"v7.ttf","os2":false})",
         {"v7.ttf " + kPlain}},

        // FAMILY_NAME: the record rule.
        {"the Windows English record beats the Macintosh one",
         R"({"file":"f1.ttf","names":[[1,1,0,0,"Mac"],[1,3,1,1033,"Win"]]})",
         {"f1.ttf -misc-win-medium-r-normal--0-0-0-0-p-0"}},
        {"the Macintosh Roman record, decoded from Mac OS Roman",
         R"({"file":"f2.ttf","names":[[1,1,0,0,"Caf\u00e9 \u00c5"]]})",
         {"f2.ttf -misc-caf\xe9 \xe5-medium-r-normal--0-0-0-0-p-0"}},
        {"a Windows record outside ISO 8859-1 counts as absent",
         R"({"file":"f3.ttf","names":[[1,3,1,1033,"\u0141\u00f3d\u017a"],[1,1,0,0,"Lodz"]]})",
         {"f3.ttf -misc-lodz-medium-r-normal--0-0-0-0-p-0"}},
        // FreeType's own family name writes what it cannot show as '?',
        // which becomes a space.
        {"a Macintosh record outside ISO 8859-1 counts as absent",
         R"({"file":"f4.ttf","names":[[1,1,0,0,"\u2122"],[1,3,1,1033,"\u2122"],[6,3,1,1033,"PSName"]]})",
         {"f4.ttf -misc- -medium-r-normal--0-0-0-0-p-0"}},
        {"a UTF-16 record of odd length counts as absent",
         R"({"file":"f5.ttf","names":[[1,3,1,1033,{"hex":"0041004200"}],[1,1,0,0,"Odd"]]})",
         {"f5.ttf -misc-odd-medium-r-normal--0-0-0-0-p-0"}},
        {"a UTF-16 record with a lone surrogate counts as absent",
         R"({"file":"f6.ttf","names":[[1,3,1,1033,{"hex":"d8000041"}],[1,1,0,0,"Lone"]]})",
         {"f6.ttf -misc-lone-medium-r-normal--0-0-0-0-p-0"}},
        {"a record longer than a name may be counts as absent",
         R"({"file":"f7.ttf","names":[[1,3,1,1033,")" + longName + R"("],[1,1,0,0,"Short"]]})",
         {"f7.ttf -misc-short-medium-r-normal--0-0-0-0-p-0"}},
        {"the typographic family is not the family",
         R"({"file":"f8.ttf","names":[[16,3,1,1033,"Typo"],[1,3,1,1033,"Fam"]]})",
         {"f8.ttf -misc-fam-medium-r-normal--0-0-0-0-p-0"}},
        {"with no English record, FreeType's family name",
         R"({"file":"f9.ttf","names":[[1,3,1,1031,"Deutsch"]]})",
         {"f9.ttf -misc-deutsch-medium-r-normal--0-0-0-0-p-0"}},
        {"with no family at all, the PostScript name",
         R"({"file":"f10.ttf","names":[[6,3,1,1033,"Post-Script"]]})",
         {"f10.ttf -misc-post script-medium-r-normal--0-0-0-0-p-0"}},
        {"dashes, wildcards, commas and quotes become spaces; Latin-1 capitals are lowered",
         R"({"file":"f11.ttf","names":[[1,3,1,1033,"A-B*C?D,E\"\u00c9COLE"]]})",
         {"f11.ttf -misc-a b c d e \xe9" "cole-medium-r-normal--0-0-0-0-p-0"}},
        {"control characters cannot break the line; a NUL ends the name",
         R"({"file":"f12.ttf","names":[[1,3,1,1033,"Two\nLines\u0000"]]})",
         {"f12.ttf -misc-two lines-medium-r-normal--0-0-0-0-p-0"}},
    };
    // WEIGHT_NAME: the weight classes at the edges of each band.
    const std::pair<int, const char *> weights[] = {
        {1, "thin"},       {150, "thin"},     {151, "extralight"}, {250, "extralight"},
        {251, "light"},    {350, "light"},    {351, "medium"},     {550, "medium"},
        {551, "semibold"}, {650, "semibold"}, {700, "bold"},       {750, "bold"},
        {800, "extrabold"}, {850, "extrabold"}, {851, "black"},    {1000, "black"}};
    for (auto [weight, name] : weights) {
      std::string file = "w" + std::to_string(weight) + ".ttf";
      v.push_back({"a weight class names the weight",
                   R"({"file":")" + file + R"(","weight":)" + std::to_string(weight) + "}",
                   {file + " -misc-test-" + name + "-r-normal--0-0-0-0-p-0"}});
    }
    // SETWIDTH_NAME: each width class, and values outside 1..9.
    const char *widths[] = {"normal",   "ultracondensed", "extracondensed", "condensed",
                            "semicondensed", "normal",  "semiexpanded",   "expanded",
                            "extraexpanded", "ultraexpanded", "normal"};
    for (int width = 0; width <= 10; width++) {
      std::string file = "s" + std::to_string(width) + ".otf";
      v.push_back({"a width class names the set width",
                   R"({"file":")" + file + R"(","width":)" + std::to_string(width) + "}",
                   {file + " -misc-test-medium-r-" + widths[width] + "--0-0-0-0-p-0"}});
    }
    std::vector<FaceCase> more = {
        {"a weight class of 0 leaves the weight to the bold style flag",
         R"({"file":"w0.ttf","weight":0,"fsSelection":32,"macStyle":1})",
         {"w0.ttf -misc-test-bold-r-normal--0-0-0-0-p-0"}},
        {"no OS/2 table: the bold style flag gives bold", R"({"file":"wb.ttf","os2":false,"macStyle":1})",
         {"wb.ttf -misc-test-bold-r-normal--0-0-0-0-p-0"}},

        // SLANT.
        {"fsSelection's italic bit gives i", R"({"file":"i1.ttf","fsSelection":1})",
         {"i1.ttf -misc-test-medium-i-normal--0-0-0-0-p-0"}},
        {"head's macStyle italic bit gives i", R"({"file":"i2.ttf","macStyle":2})",
         {"i2.ttf -misc-test-medium-i-normal--0-0-0-0-p-0"}},
        {"an italic face whose subfamily says oblique gives o",
         R"({"file":"i3.ttf","fsSelection":1,"names":[[1,3,1,1033,"Test"],[2,3,1,1033,"Bold OBLIQUE"]]})",
         {"i3.ttf -misc-test-medium-o-normal--0-0-0-0-p-0"}},
        {"an upright face whose subfamily says oblique stays r",
         R"({"file":"i4.ttf","names":[[1,3,1,1033,"Test"],[2,3,1,1033,"Oblique"]]})",
         {"i4.ttf " + kPlain}},

        // SPACING.
        {"not fixed pitch gives p", R"({"file":"p1.ttf","fixed":0,"overhang":true})", {"p1.ttf " + kPlain}},
        {"fixed pitch inside the cell gives c", R"({"file":"p2.ttf","fixed":1})",
         {"p2.ttf -misc-test-medium-r-normal--0-0-0-0-c-0"}},
        {"fixed pitch reaching left of the cell gives m", R"({"file":"p3.otf","fixed":1,"overhang":true})",
         {"p3.otf -misc-test-medium-r-normal--0-0-0-0-m-0"}},

        // Encodings: iso10646-1 with a Unicode map, and each built-in one
        // whose characters are all there.
        {"a Latin-1 face covers ascii-0 and iso8859-1", R"({"file":"c1.ttf","chars":["latin_1"]})",
         {"c1.ttf " + kPlain}, kLatin1},
        {"a Windows Latin 1 face covers the encodings whose characters it all has",
         R"({"file":"c5.ttf","chars":["cp1252"]})", {"c5.ttf " + kPlain},
         {"ascii-0", "iso10646-1", "iso8859-1", "iso8859-15", "microsoft-cp1252"}},
        {"a KOI8-R face does not cover the Cyrillic encodings with letters it lacks",
         R"({"file":"c6.otf","chars":["koi8_r"]})", {"c6.otf " + kPlain}, {"ascii-0", "iso10646-1", "koi8-r"}},
        {"one character missing loses the encoding", R"({"file":"c2.ttf","chars":[[32,125]]})",
         {"c2.ttf " + kPlain}, {"iso10646-1"}},
        {"a face with only a Macintosh map covers nothing", R"({"file":"c3.ttf","cmap":"none"})",
         {"left out: no face covers an encoding"}},
        {"unless FreeType makes a Unicode map from its glyph names",
         R"({"file":"c4.ttf","cmap":"none","glyphs":"distinct"})", {"c4.ttf " + kPlain}},

        // Symbol faces.
        {"a face whose only map is a symbol map is fontspecific", R"({"file":"y1.ttf","cmap":"symbol"})",
         {"y1.ttf " + kPlain}, {"adobe-fontspecific"}},
        {"a Type 1 font with its own encoding is fontspecific",
         R"({"file":"y2.pfb","type1":{"FamilyName":"Sym","Encoding":"custom"}})",
         {"y2.pfb -misc-sym-medium-r-normal--0-0-0-0-p-0"}, {"adobe-fontspecific"}},

        // Collections: the faces after the first are :N:file.
        {"the faces of a collection",
         R"({"file":"k1.ttc","faces":[{"names":[[1,3,1,1033,"First"]]},{"names":[[1,3,1,1033,"Second"]]},{"names":[[1,3,1,1033,"Third"]],"weight":700}]})",
         {"k1.ttc -misc-first-medium-r-normal--0-0-0-0-p-0",
          ":1:k1.ttc -misc-second-medium-r-normal--0-0-0-0-p-0",
          ":2:k1.ttc -misc-third-bold-r-normal--0-0-0-0-p-0"}},
        {"a CFF collection", R"({"file":"k2.otc","faces":[{"vendor":"ADBE"},{"fixed":1}]})",
         {"k2.otc -adobe-test-medium-r-normal--0-0-0-0-p-0",
          ":1:k2.otc -misc-test-medium-r-normal--0-0-0-0-c-0"}},

        // Type 1.
        {"a Type 1 font's FontInfo",
         R"({"file":"t1.pfa","chars":["latin_1"],"type1":{"FamilyName":"Tee One","FullName":"Tee One","Weight":"Demi","Notice":"Copyright URW"}})",
         {"t1.pfa -urw-tee one-demi-r-normal--0-0-0-0-p-0"}, kLatin1},
        {"a Type 1 italic angle gives i; no weight gives medium; no notice gives misc",
         R"({"file":"t2.pfb","type1":{"FamilyName":"Tee","FullName":"Tee Italic","ItalicAngle":-12}})",
         {"t2.pfb -misc-tee-medium-i-normal--0-0-0-0-p-0"}},
        {"a Type 1 oblique, narrow, fixed pitch font",
         R"({"file":"t3.pfa","type1":{"FamilyName":"Tee","FullName":"Tee Narrow Oblique","ItalicAngle":-9.5,"isFixedPitch":true,"Weight":"Book"}})",
         {"t3.pfa -misc-tee-book-o-condensed--0-0-0-0-m-0"}},
        {"a Type 1 condensed font; oblique without an angle stays r",
         R"({"file":"t4.pfb","type1":{"FamilyName":"Tee","FullName":"Tee Condensed Oblique","Notice":"Adobe and URW"}})",
         {"t4.pfb -adobe-tee-medium-r-condensed--0-0-0-0-p-0"}},

        // Bitmap-only OpenType: one entry per strike.
        {"the strikes of a fixed-pitch .otb", R"({"file":"b1.otb","strikes":[12,16],"fixed":1})",
         {"b1.otb -misc-test-medium-r-normal--12-116-75-75-c-60",
          "b1.otb -misc-test-medium-r-normal--16-154-75-75-c-80"}},
        {"a proportional .otb: the average advance in tenths of a pixel",
         R"({"file":"b2.otb","strikes":[10],"vendor":"BITS","weight":700})",
         {"b2.otb -bitstream-test-bold-r-normal--10-96-75-75-p-55"}},
        {"a .otb's BDF properties replace the fields they name, strike by strike",
         R"({"file":"b3.otb","strikes":[8,16],"bdf":[[16,{"FOUNDRY":"Bitco","FAMILY_NAME":"BDF-Family","SLANT":"I","AVERAGE_WIDTH":77,"POINT_SIZE":160,"CHARSET_REGISTRY":"ISO10646"}]]})",
         {"b3.otb -bitco-bdf family-medium-i-normal--16-160-75-75-p-77-iso10646-0",
          "b3.otb -bitco-bdf family-medium-i-normal--16-160-75-75-p-77-iso10646-1",
          "b3.otb -misc-test-medium-r-normal--8-77-75-75-p-45-ascii-0",
          "b3.otb -misc-test-medium-r-normal--8-77-75-75-p-45-iso10646-1"},
         {}},
        {"a symbol .otb", R"({"file":"b4.otb","cmap":"symbol"})",
         {"b4.otb -misc-test-medium-r-normal--16-154-75-75-p-85"}, {"adobe-fontspecific"}},

        // Files left out.
        {"an outline font file without outlines", R"({"file":"n1.ttf","format":"otb"})",
         {"left out: no face has outlines"}},
        {"a .otb without strikes", R"({"file":"n2.otb","format":"ttf"})",
         {"left out: no face has a bitmap strike"}},
    };
    v.insert(v.end(), more.begin(), more.end());
    return v;
  }();
  return cases;
}

// Which files a --scalable run opens, by their names.
TEST(FaceFiles, KindBySuffixIgnoringCase) {
  const std::pair<const char *, FaceFileKind> cases[] = {
      {"a.ttf", FaceFileKind::Outline},   {"B.TTC", FaceFileKind::Outline},
      {"c.Otf", FaceFileKind::Outline},   {"d.otc", FaceFileKind::Outline},
      {"e.pfa", FaceFileKind::Outline},   {"f.PFB", FaceFileKind::Outline},
      {"g.otb", FaceFileKind::BitmapOnly}, {"h.OTB", FaceFileKind::BitmapOnly},
      {"i.ttf.gz", FaceFileKind::Other},  {"j.pcf", FaceFileKind::Other},
      {"ttf", FaceFileKind::Other},       {"k.afm", FaceFileKind::Other},
  };
  for (auto [name, kind] : cases) EXPECT_EQ(FaceFileKindOf(name), kind) << name;
}

// A build without FreeType reads no face and says why.
TEST(FaceFiles, WithoutFreeTypeNothingIsRead) {
  FaceLibrary *library = FaceLibraryOpen();
  EXPECT_EQ(library != nullptr, FacesSupported());
  FaceLibraryClose(library);
  if (FacesSupported()) return;
  FaceEntries entries;
  FaceReason reason;
  EXPECT_EQ(FaceFileEntries(nullptr, "/nonexistent/a.ttf", "a.ttf", FaceFileKind::Outline,
                            BuiltinFaceCharsets(), &entries, &reason),
            FaceResult::LeftOut);
  EXPECT_STREQ(FaceReasonText(reason), "this lorvane was built without FreeType");
}

class Faces : public testing::Test {
 protected:
  void SetUp() override {
    if (!FacesSupported()) GTEST_SKIP() << "built without FreeType";
  }
  static void SetUpTestSuite() {
    if (!FacesSupported()) return;
    dir_ = new TempDir;
    std::vector<std::string> fonts;
    for (const FaceCase &c : Cases()) fonts.push_back(c.font);
    made_ = MakeFaces(dir_->path(), fonts);
    library_ = FaceLibraryOpen();
  }
  static void TearDownTestSuite() {
    FaceLibraryClose(library_);
    delete dir_;
  }
  static TempDir *dir_;
  static std::string made_;
  static FaceLibrary *library_;
};
TempDir *Faces::dir_;
std::string Faces::made_;
FaceLibrary *Faces::library_;

TEST_F(Faces, EachRuleOfTheName) {
  ASSERT_EQ(made_, "");
  ASSERT_TRUE(library_);
  for (const FaceCase &c : Cases()) {
    EXPECT_EQ(FaceLines(library_, dir_->path(), fileOf(c), BuiltinFaceCharsets()), expectedLines(c))
        << c.what;
  }
}

// Files FreeType refuses or that claim absurd contents.
TEST_F(Faces, BrokenFilesAreLeftOutWithTheirReason) {
  ASSERT_EQ(made_, "");
  std::string font;
  {
    std::ifstream in(dir_->path() + "/v1.ttf", std::ios::binary);
    font.assign(std::istreambuf_iterator<char>(in), {});
  }
  ASSERT_FALSE(font.empty());
  auto put32 = [](std::string &s, uint32_t v) {
    for (int shift : {24, 16, 8, 0}) s += static_cast<char>(v >> shift);
  };
  // A collection header claiming 2000 faces, each at the same real font.
  std::string many = "ttcf";
  put32(many, 0x00010000);
  put32(many, 2000);
  uint32_t at = 12 + 4 * 2000;
  for (int i = 0; i < 2000; i++) put32(many, at);
  many += font;
  many.resize(std::max<size_t>(many.size(), 2000 * 40), '\0');
  const struct {
    const char *file;
    std::string bytes;
    const char *expected;
  } cases[] = {
      {"text.ttf", "not a font at all\n", "left out: FreeType cannot read it as a font"},
      {"empty.otf", "", "left out: FreeType cannot read it as a font"},
      {"cut.ttf", font.substr(0, font.size() / 3), "left out: FreeType cannot read it as a font"},
      {"many.ttc", many, "left out: it claims more faces than a font collection holds"},
  };
  for (const auto &c : cases) {
    std::ofstream(dir_->path() + "/" + c.file, std::ios::binary) << c.bytes;
    EXPECT_EQ(FaceLines(library_, dir_->path(), c.file, BuiltinFaceCharsets()),
              std::vector<std::string>{c.expected})
        << c.file;
  }
}

// An encoding of the run that is not a registry-encoding name gives no
// line; one that is gives its own.
TEST_F(Faces, RunEncodingsByName) {
  ASSERT_EQ(made_, "");
  static const uint32_t abc[] = {'a', 'b', 'c'};
  static const uint32_t euro[] = {0x20AC};
  const Charset own{"abc-0", abc, 3, 3}, undashed{"abc", abc, 3, 3}, missing{"euro-1", euro, 1, 1};
  const Charset *items[] = {&own, &undashed, &missing};
  EXPECT_EQ(FaceLines(library_, dir_->path(), "v7.ttf", FaceCharsets{items, 3}),
            (std::vector<std::string>{"v7.ttf " + kPlain + "-abc-0", "v7.ttf " + kPlain + "-iso10646-1"}));
}

// Every allocation, FreeType's included, can fail: the result is then "out
// of memory", never a file left out or fewer lines.  Not Type 1: FreeType
// 2.12's Type 1 driver crashes when the record inside a new glyph slot
// cannot be allocated (its slot clean-up writes through the missing record).
TEST_F(Faces, EachAllocationFailureIsOutOfMemory) {
  ASSERT_EQ(made_, "");
  for (const char *file : {"k1.ttc", "k2.otc", "b3.otb", "f2.ttf"}) {
    std::vector<std::string> whole = FaceLines(library_, dir_->path(), file, BuiltinFaceCharsets());
    ASSERT_GT(whole.size(), 1u) << file;
    for (long n = 1;; n++) {
      FontAllocFailAt(n);
      std::vector<std::string> got = FaceLines(library_, dir_->path(), file, BuiltinFaceCharsets());
      bool reached = FontAllocCount() < n;
      FontAllocFailAt(0);
      if (reached) {
        EXPECT_EQ(got, whole) << file;
        break;
      }
      EXPECT_EQ(got, std::vector<std::string>{"out of memory"}) << file << " allocation " << n;
    }
  }
}

}  // namespace
