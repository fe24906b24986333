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
// Font number i of the benchmark directory: a small PCF font of its own name.
std::string BenchFontName(int i);
std::string BenchFont(int i);

// Writes every file of a set into dir (which must exist).
void WriteFileSet(const std::string &dir, const FileSet &files);
