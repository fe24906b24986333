#include "faces/faces.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "fontfile/fontreader.h"

void FaceEntries::Clear() {
  for (size_t i = 0; i < count; i++) FontFree(items.get()[i].line);
  count = 0;
}

FaceFileKind FaceFileKindOf(const char *fileName) {
  static constexpr struct {
    const char *suffix;
    FaceFileKind kind;
  } kSuffixes[] = {{".ttf", FaceFileKind::Outline}, {".ttc", FaceFileKind::Outline},
                   {".otf", FaceFileKind::Outline}, {".otc", FaceFileKind::Outline},
                   {".pfa", FaceFileKind::Outline}, {".pfb", FaceFileKind::Outline},
                   {".otb", FaceFileKind::BitmapOnly}};
  size_t length = std::strlen(fileName);
  if (length < 4) return FaceFileKind::Other;
  char suffix[5];
  for (int i = 0; i < 4; i++) {
    char c = fileName[length - 4 + i];
    suffix[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  suffix[4] = '\0';
  for (const auto &s : kSuffixes)
    if (std::strcmp(suffix, s.suffix) == 0) return s.kind;
  return FaceFileKind::Other;
}

const char *FaceReasonText(FaceReason reason) {
  switch (reason) {
    case FaceReason::None: return "";
    case FaceReason::NotSupported: return "this lorvane was built without FreeType";
    case FaceReason::CannotOpen: return "FreeType cannot read it as a font";
    case FaceReason::TooManyFaces: return "it claims more faces than a font collection holds";
    case FaceReason::NoOutlines: return "no face has outlines";
    case FaceReason::NoStrikes: return "no face has a bitmap strike";
    case FaceReason::NoEncoding: return "no face covers an encoding";
  }
  return "";
}

#ifndef LORVANE_FACES_FREETYPE

bool FacesSupported() { return false; }
FaceLibrary *FaceLibraryOpen() { return nullptr; }
void FaceLibraryClose(FaceLibrary *) {}
FaceResult FaceFileEntries(FaceLibrary *, const char *, const char *, FaceFileKind,
                           const FaceCharsets &, FaceEntries *out, FaceReason *reason) {
  out->Clear();
  *reason = FaceReason::NotSupported;
  return FaceResult::LeftOut;
}
FaceResult FaceMemoryEntries(FaceLibrary *, const unsigned char *, size_t, const char *,
                             FaceFileKind, const FaceCharsets &, FaceEntries *out,
                             FaceReason *reason) {
  out->Clear();
  *reason = FaceReason::NotSupported;
  return FaceResult::LeftOut;
}

#else

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BDF_H
#include FT_MODULE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H
#include FT_TYPE1_TABLES_H

#include "faces/xlfdfields.h"

struct FaceLibrary {
  FT_MemoryRec_ memory;
  FT_Library freetype = nullptr;
  // An allocation failed that was not refused for its size alone: memory is
  // short, which is the run's failure, not the file's.  A request above the
  // library's ceiling is a hostile file's, and only leaves the file out.
  bool memoryShort = false;
};

namespace {

// More faces than this in one collection is not a real font (the largest
// collections hold a few dozen): the file is left out rather than opened
// face after face.
constexpr long kMaxFaces = 1024;
// Glyph metrics loaded per file for the average widths of .otb strikes; a
// file past the budget gets FreeType's own estimate for its later strikes.
constexpr long kGlyphLoadBudget = long{1} << 18;

FaceLibrary *libraryOf(FT_Memory memory) { return static_cast<FaceLibrary *>(memory->user); }

void noteRefusal(FT_Memory memory, long size) {
  if (static_cast<unsigned long>(size) <= kFontAllocLimit) libraryOf(memory)->memoryShort = true;
}
void *freetypeAlloc(FT_Memory memory, long size) {
  void *p = size > 0 ? FontAlloc(static_cast<size_t>(size)) : nullptr;
  if (!p && size > 0) noteRefusal(memory, size);
  return p;
}
void freetypeFree(FT_Memory, void *block) { FontFree(block); }
void *freetypeRealloc(FT_Memory memory, long, long newSize, void *block) {
  void *p = newSize > 0 ? FontRealloc(block, static_cast<size_t>(newSize)) : nullptr;
  if (!p && newSize > 0) noteRefusal(memory, newSize);
  return p;
}

// What one file's faces are read into.
struct FileScan {
  FaceLibrary *library;
  const char *fileName;
  FaceFileKind kind;
  const FaceCharsets *charsets;
  FaceEntries *out;
  bool sawCandidate = false;  // a face had outlines (or, for .otb, a strike)
  bool failed = false;        // memory ran out
  long glyphLoads = 0;
};

// Faces close when they go out of scope.
struct FaceCloser {
  void operator()(FT_FaceRec_ *face) const { FT_Done_Face(face); }
};
using FacePtr = std::unique_ptr<FT_FaceRec_, FaceCloser>;

bool addLine(FileScan *scan, const char *file, const char *name) {
  size_t fileLength = std::strlen(file), nameLength = std::strlen(name);
  size_t lineLength = fileLength + 1 + nameLength;
  char *line = static_cast<char *>(FontAlloc(lineLength + 1 + fileLength + 1));
  FaceEntries *out = scan->out;
  if (!line || !FontReaderReserveN(out->items, &out->capacity, out->count + 1)) {
    FontFree(line);
    scan->failed = true;
    return false;
  }
  std::memcpy(line, file, fileLength);
  line[fileLength] = ' ';
  std::memcpy(line + fileLength + 1, name, nameLength + 1);
  char *fileCopy = line + lineLength + 1;
  std::memcpy(fileCopy, file, fileLength + 1);
  out->items.get()[out->count++] = FaceEntry{line, fileCopy, line + fileLength + 1};
  return true;
}

// Fields that the font's own BDF properties set for a strike, whatever the
// computed name says: a bit per XlfdField.
struct Overrides {
  XlfdName values;
  unsigned mask = 0;
};

bool addName(FileScan *scan, const char *file, XlfdName *name, const char *charset,
             const Overrides &overrides) {
  if (!SetXlfdCharset(name, charset)) return true;  // not a registry-encoding name
  for (int f = kCharsetRegistry; f <= kCharsetEncoding; f++)
    if (overrides.mask & 1u << f) std::memcpy(name->fields[f], overrides.values.fields[f], kFamilyMax + 1);
  char text[kXlfdNameMax];
  ComposeXlfdName(*name, text, sizeof text);
  return addLine(scan, file, text);
}

bool faceHasGlyph(void *context, uint32_t c) {
  return FT_Get_Char_Index(static_cast<FT_Face>(context), c) != 0;
}

// The lines of one face (or strike) named `name`: a single fontspecific one
// for a symbol face, else iso10646-1 and every encoding it covers, when it
// has a Unicode map.
bool addEncodings(FileScan *scan, FT_Face face, const char *file, bool symbol, XlfdName *name,
                  const Overrides &overrides) {
  if (symbol) return addName(scan, file, name, "adobe-fontspecific", overrides);
  // FreeType makes a Unicode map from the glyph names of a face that has
  // none; one that maps no character is no map.
  FT_UInt glyph = 0;
  if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) return true;
  FT_Get_First_Char(face, &glyph);
  if (glyph == 0) return true;
  if (!addName(scan, file, name, "iso10646-1", overrides)) return false;
  for (size_t i = 0; i < scan->charsets->count; i++) {
    const Charset &charset = *scan->charsets->items[i];
    if (CharsetCovered(charset, faceHasGlyph, face) &&
        !addName(scan, file, name, charset.name, overrides))
      return false;
  }
  return true;
}

// The text of name record `nameId` by the record rule: the Windows Unicode
// English record, else the Macintosh Roman English one, a record that does
// not decode counting as absent.  False when there is none.
bool nameRecord(FileScan *scan, FT_Face face, FT_UShort nameId, char *out) {
  FT_UInt count = FT_Get_Sfnt_Name_Count(face);
  FT_SfntName mac{};
  bool haveMac = false;
  for (FT_UInt i = 0; i < count; i++) {
    FT_SfntName record;
    if (FT_Get_Sfnt_Name(face, i, &record) != 0 || record.name_id != nameId) continue;
    if (record.platform_id == TT_PLATFORM_MICROSOFT &&
        (record.encoding_id == TT_MS_ID_UNICODE_CS || record.encoding_id == TT_MS_ID_UCS_4) &&
        record.language_id == TT_MS_LANGID_ENGLISH_UNITED_STATES) {
      NameText t = DecodeNameRecord(record.string, record.string_len, NameCoding::Utf16BE, out);
      if (t == NameText::OutOfMemory) scan->failed = true;
      if (t == NameText::Ok) return true;
    } else if (!haveMac && record.platform_id == TT_PLATFORM_MACINTOSH &&
               record.encoding_id == TT_MAC_ID_ROMAN && record.language_id == TT_MAC_LANGID_ENGLISH) {
      mac = record;
      haveMac = true;
    }
  }
  if (!haveMac) return false;
  NameText t = DecodeNameRecord(mac.string, mac.string_len, NameCoding::MacRoman, out);
  if (t == NameText::OutOfMemory) scan->failed = true;
  return t == NameText::Ok;
}

// FAMILY_NAME when the font's own record is absent: FreeType's family name,
// then the PostScript name.
void fallbackFamily(FT_Face face, XlfdName *name) {
  if (SetXlfdText(name, kFamilyName, face->family_name)) return;
  if (SetXlfdText(name, kFamilyName, FT_Get_Postscript_Name(face))) return;
  name->fields[kFamilyName][0] = '\0';
}

void setFixedFields(XlfdName *name) {
  name->fields[kAddStyleName][0] = '\0';
  for (XlfdField f : {kPixelSize, kPointSize, kResolutionX, kResolutionY, kAverageWidth})
    SetXlfdNumber(name, f, 0);
}

// The fields of a TrueType or OpenType face (and of any other face that is
// not Type 1: without its tables every field takes its fallback).
void sfntFields(FileScan *scan, FT_Face face, XlfdName *name) {
  auto *os2 = static_cast<TT_OS2 *>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  auto *head = static_cast<TT_Header *>(FT_Get_Sfnt_Table(face, FT_SFNT_HEAD));
  auto *hhea = static_cast<TT_HoriHeader *>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
  auto *post = static_cast<TT_Postscript *>(FT_Get_Sfnt_Table(face, FT_SFNT_POST));
  char text[kFamilyMax + 1];

  const char *foundry = os2 ? FoundryOfVendor(reinterpret_cast<const char *>(os2->achVendID)) : nullptr;
  if (!foundry && nameRecord(scan, face, TT_NAME_ID_MANUFACTURER, text)) foundry = FoundryInText(text);
  SetXlfdText(name, kFoundry, foundry ? foundry : "misc");

  if (!(nameRecord(scan, face, TT_NAME_ID_FONT_FAMILY, text) && SetXlfdText(name, kFamilyName, text)))
    fallbackFamily(face, name);

  // A weight class of 0 is no weight at all: the style flags decide.
  if (os2 && os2->usWeightClass != 0)
    SetXlfdText(name, kWeightName, WeightOfClass(os2->usWeightClass));
  else
    SetXlfdText(name, kWeightName, face->style_flags & FT_STYLE_FLAG_BOLD ? "bold" : "medium");

  bool italic = (os2 && (os2->fsSelection & 1)) || (head && (head->Mac_Style & 2));
  const char *slant = "r";
  if (italic)
    slant = nameRecord(scan, face, TT_NAME_ID_FONT_SUBFAMILY, text) && ContainsIgnoringCase(text, "oblique")
                ? "o"
                : "i";
  SetXlfdText(name, kSlant, slant);
  SetXlfdText(name, kSetwidthName, os2 ? SetwidthOfClass(os2->usWidthClass) : "normal");
  setFixedFields(name);

  const char *spacing = "p";
  if (post && post->isFixedPitch != 0) {
    bool fitsCell = head && hhea && head->xMin >= 0 && head->xMax <= hhea->advance_Width_Max &&
                    head->yMax <= hhea->Ascender && -long{head->yMin} <= -long{hhea->Descender};
    spacing = fitsCell ? "c" : "m";
  }
  SetXlfdText(name, kSpacing, spacing);
}

// The fields of a Type 1 face, from its FontInfo.
void type1Fields(FT_Face face, const PS_FontInfoRec &info, XlfdName *name) {
  const char *foundry = FoundryInText(info.notice);
  SetXlfdText(name, kFoundry, foundry ? foundry : "misc");
  if (!SetXlfdText(name, kFamilyName, info.family_name)) fallbackFamily(face, name);
  if (!SetXlfdText(name, kWeightName, info.weight)) SetXlfdText(name, kWeightName, "medium");
  const char *slant = "r";
  if (info.italic_angle != 0) slant = ContainsIgnoringCase(info.full_name, "oblique") ? "o" : "i";
  SetXlfdText(name, kSlant, slant);
  bool condensed = ContainsIgnoringCase(info.full_name, "narrow") ||
                   ContainsIgnoringCase(info.full_name, "condensed");
  SetXlfdText(name, kSetwidthName, condensed ? "condensed" : "normal");
  setFixedFields(name);
  SetXlfdText(name, kSpacing, info.is_fixed_pitch ? "m" : "p");
}

// A symbol face: its only character map is a Windows symbol map, or, for
// Type 1, its built-in encoding is not the standard one.
bool isSymbolFace(FT_Face face, bool type1) {
  if (type1) {
    T1_EncodingType encoding = T1_ENCODING_TYPE_STANDARD;
    FT_Get_PS_Font_Value(face, PS_DICT_ENCODING_TYPE, 0, &encoding, sizeof encoding);
    return encoding != T1_ENCODING_TYPE_STANDARD;
  }
  return face->num_charmaps == 1 && face->charmaps[0]->platform_id == TT_PLATFORM_MICROSOFT &&
         face->charmaps[0]->encoding_id == TT_MS_ID_SYMBOL_CS;
}

// The fields of a face by its kind, and whether it is a symbol face.
bool faceFields(FileScan *scan, FT_Face face, XlfdName *name) {
  PS_FontInfoRec info;
  bool type1 = !FT_IS_SFNT(face) && FT_Get_PS_Font_Info(face, &info) == 0;
  if (type1)
    type1Fields(face, info, name);
  else
    sfntFields(scan, face, name);
  return isSymbolFace(face, type1);
}

// Ten times the strike's average advance in pixels, rounded, over the
// glyphs the strike has; FreeType's estimate when the budget is spent or no
// glyph loads.
long averageWidth(FileScan *scan, FT_Face face, int strike) {
  long sum = 0, glyphs = 0;
  for (FT_Long g = 0; g < face->num_glyphs && scan->glyphLoads < kGlyphLoadBudget; g++) {
    scan->glyphLoads++;
    if (FT_Load_Glyph(face, static_cast<FT_UInt>(g), FT_LOAD_BITMAP_METRICS_ONLY) != 0) continue;
    sum += face->glyph->advance.x;  // 26.6 pixels
    glyphs++;
  }
  if (glyphs == 0 || scan->glyphLoads >= kGlyphLoadBudget) return 10L * face->available_sizes[strike].width;
  return (sum * 10 + 32 * glyphs) / (64 * glyphs);
}

// The properties a strike's BDF table may give, in field order.
constexpr const char *kBdfProperties[kXlfdFieldCount] = {
    "FOUNDRY",      "FAMILY_NAME", "WEIGHT_NAME",  "SLANT",   "SETWIDTH_NAME",
    "ADD_STYLE_NAME", "PIXEL_SIZE", "POINT_SIZE",  "RESOLUTION_X", "RESOLUTION_Y",
    "SPACING",      "AVERAGE_WIDTH", "CHARSET_REGISTRY", "CHARSET_ENCODING"};

void bdfOverrides(FT_Face face, Overrides *overrides) {
  for (int f = 0; f < kXlfdFieldCount; f++) {
    BDF_PropertyRec prop;
    if (FT_Get_BDF_Property(face, kBdfProperties[f], &prop) != 0) continue;
    auto field = static_cast<XlfdField>(f);
    bool set = true;
    if (prop.type == BDF_PROPERTY_TYPE_ATOM)
      set = SetXlfdText(&overrides->values, field, prop.u.atom);
    else if (prop.type == BDF_PROPERTY_TYPE_INTEGER)
      SetXlfdNumber(&overrides->values, field, prop.u.integer);
    else if (prop.type == BDF_PROPERTY_TYPE_CARDINAL)
      SetXlfdNumber(&overrides->values, field, static_cast<long>(prop.u.cardinal));
    else
      set = false;
    if (set) overrides->mask |= 1u << f;
  }
}

// One fonts.dir name per strike and encoding.
bool strikeLines(FileScan *scan, FT_Face face, const char *file, const XlfdName &faceName,
                 bool symbol) {
  for (int s = 0; s < face->num_fixed_sizes; s++) {
    if (FT_Select_Size(face, s) != 0) continue;
    XlfdName name = faceName;
    long pixels = (face->available_sizes[s].y_ppem + 32) >> 6;
    SetXlfdNumber(&name, kPixelSize, pixels);
    SetXlfdNumber(&name, kPointSize, (pixels * 7227 + 375) / 750);  // pixels * 722.7 / 75
    SetXlfdNumber(&name, kResolutionX, 75);
    SetXlfdNumber(&name, kResolutionY, 75);
    SetXlfdText(&name, kSpacing, FT_IS_FIXED_WIDTH(face) ? "c" : "p");
    SetXlfdNumber(&name, kAverageWidth, averageWidth(scan, face, s));
    Overrides overrides;
    bdfOverrides(face, &overrides);
    for (int f = 0; f < kCharsetRegistry; f++)
      if (overrides.mask & 1u << f) std::memcpy(name.fields[f], overrides.values.fields[f], kFamilyMax + 1);
    if (!addEncodings(scan, face, file, symbol, &name, overrides)) return false;
  }
  return true;
}

// The lines of one open face.
bool faceLines(FileScan *scan, FT_Face face, long index) {
  char file[32 + 1024];
  if (index == 0) {
    if (std::strlen(scan->fileName) >= sizeof file) return true;
    std::strcpy(file, scan->fileName);
  } else if (std::snprintf(file, sizeof file, ":%ld:%s", index, scan->fileName) >= static_cast<int>(sizeof file)) {
    return true;
  }
  bool bitmapOnly = scan->kind == FaceFileKind::BitmapOnly;
  if (bitmapOnly ? face->num_fixed_sizes <= 0 : !FT_IS_SCALABLE(face)) return true;
  scan->sawCandidate = true;
  XlfdName name;
  bool symbol = faceFields(scan, face, &name);
  if (bitmapOnly) return strikeLines(scan, face, file, name, symbol);
  return addEncodings(scan, face, file, symbol, &name, Overrides{});
}

FaceResult scanFile(FaceLibrary *library, const FT_Open_Args &args, const char *fileName,
                    FaceFileKind kind, const FaceCharsets &charsets, FaceEntries *out,
                    FaceReason *reason) {
  out->Clear();
  *reason = FaceReason::None;
  library->memoryShort = false;
  FileScan scan{library, fileName, kind, &charsets, out};
  long faces = 1;
  bool opened = false;
  for (long index = 0; index < faces && !scan.failed && !library->memoryShort; index++) {
    FT_Face raw = nullptr;
    if (FT_Open_Face(library->freetype, &args, index, &raw) != 0) continue;
    FacePtr face(raw);
    if (index == 0) {
      opened = true;
      faces = face->num_faces;
      if (faces > kMaxFaces) {
        *reason = FaceReason::TooManyFaces;
        return FaceResult::LeftOut;
      }
    }
    faceLines(&scan, face.get(), index);
  }
  if (scan.failed || library->memoryShort) {
    out->Clear();
    return FaceResult::OutOfMemory;
  }
  if (out->count == 0) {
    *reason = !opened              ? FaceReason::CannotOpen
              : scan.sawCandidate  ? FaceReason::NoEncoding
              : kind == FaceFileKind::BitmapOnly ? FaceReason::NoStrikes
                                                 : FaceReason::NoOutlines;
    return FaceResult::LeftOut;
  }
  FaceEntry *items = out->items.get();
  std::sort(items, items + out->count,
            [](const FaceEntry &a, const FaceEntry &b) { return std::strcmp(a.line, b.line) < 0; });
  size_t kept = 1;
  for (size_t i = 1; i < out->count; i++) {
    if (std::strcmp(items[i].line, items[kept - 1].line) == 0)
      FontFree(items[i].line);
    else
      items[kept++] = items[i];
  }
  out->count = kept;
  return FaceResult::Entries;
}

}  // namespace

bool FacesSupported() { return true; }

FaceLibrary *FaceLibraryOpen() {
  auto *library = static_cast<FaceLibrary *>(FontAlloc(sizeof(FaceLibrary)));
  if (!library) return nullptr;
  new (library) FaceLibrary;
  library->memory.user = library;
  library->memory.alloc = freetypeAlloc;
  library->memory.free = freetypeFree;
  library->memory.realloc = freetypeRealloc;
  if (FT_New_Library(&library->memory, &library->freetype) != 0) {
    FontFree(library);
    return nullptr;
  }
  // A module that cannot be added is passed over without an error: a
  // library missing one would leave its fonts out, so memory running out
  // here is a library that cannot be had.
  FT_Add_Default_Modules(library->freetype);
  if (library->memoryShort) {
    FaceLibraryClose(library);
    return nullptr;
  }
  return library;
}

void FaceLibraryClose(FaceLibrary *library) {
  if (!library) return;
  FT_Done_Library(library->freetype);
  FontFree(library);
}

FaceResult FaceFileEntries(FaceLibrary *library, const char *path, const char *fileName,
                           FaceFileKind kind, const FaceCharsets &charsets, FaceEntries *out,
                           FaceReason *reason) {
  FT_Open_Args args{};
  args.flags = FT_OPEN_PATHNAME;
  args.pathname = const_cast<char *>(path);
  return scanFile(library, args, fileName, kind, charsets, out, reason);
}

FaceResult FaceMemoryEntries(FaceLibrary *library, const unsigned char *bytes, size_t size,
                             const char *fileName, FaceFileKind kind,
                             const FaceCharsets &charsets, FaceEntries *out, FaceReason *reason) {
  FT_Open_Args args{};
  args.flags = FT_OPEN_MEMORY;
  args.memory_base = bytes;
  args.memory_size = static_cast<FT_Long>(size);
  return scanFile(library, args, fileName, kind, charsets, out, reason);
}

#endif
