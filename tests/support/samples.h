// The generated files the repository keeps: the sample font directory, the
// fuzz seeds, and the fonts of the directory benchmark.
#pragma once

#include <map>
#include <string>

typedef std::map<std::string, std::string> FileSet;  // name -> content

// samples/fonts/: a few PCF and SNF fonts and a fonts.scale.
FileSet SampleFonts();
// fuzz/corpus/pcf/ and fuzz/corpus/snf/ seeds.
FileSet PcfSeeds();
FileSet SnfSeeds();
// Font number i of a benchmark directory: a PCF font of its own name with
// `glyphs` cell glyphs w x h (by default a small font, 95 glyphs of 6 x 13).
// More glyphs than one row holds are laid out in rows of 256 codes, as in a
// two-byte font.
std::string BenchFontName(int i, int w = 6, int h = 13);
// With `drawn`, glyph-like bitmaps that compress as real ones do.
std::string BenchFont(int i, int glyphs = 95, int w = 6, int h = 13, bool drawn = false);

// Writes every file of a set into dir (which must exist).
void WriteFileSet(const std::string &dir, const FileSet &files);
