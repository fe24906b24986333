// Outline and bitmap-only OpenType fonts written at test time by
// tests/support/make_faces.py (fontTools), and the entries the faces layer
// gives for them.
#pragma once

#include <string>
#include <vector>

#include "faces/faces.h"

// Writes one font file into `dir` per JSON description (see make_faces.py); the
// script's error text, "" when all were written.
std::string MakeFaces(const std::string &dir, const std::vector<std::string> &fonts);

// The built-in encodings, as the faces layer takes them.
FaceCharsets BuiltinFaceCharsets();

// What the faces layer makes of one file: its lines ("file font-name", in
// order), or "left out: <reason>", or "out of memory".
std::vector<std::string> FaceLines(FaceLibrary *library, const std::string &dir,
                                   const std::string &file, const FaceCharsets &charsets);
