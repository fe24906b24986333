// Reading BDF text with the library's reader in tests: the messages it
// wrote, the font it built and its properties by name.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bitmap/bitmapfont.h"
#include "tests/support/fontinfo_util.h"

// Collects what is written to standard error (file descriptor 2) between
// construction and finish().
class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  std::string finish();

 private:
  int saved_ = -1;
  int file_ = -1;
};

struct BdfLoaded {
  int status = 0;
  FontRec font = {};
  std::string messages;
  BitmapFont *bitmap() const { return static_cast<BitmapFont *>(font.fontPrivate); }
  BdfLoaded() = default;
  BdfLoaded(const BdfLoaded &) = delete;
  ~BdfLoaded();
};

// bdfReadFont over the text with the given bitmap parameters.
std::unique_ptr<BdfLoaded> LoadBdf(const std::string &text, int bit = 1, int byte = 0,
                                   int glyphPad = 1, int scanUnit = 1);

// The names of a FontInfo's properties, in order.
std::vector<std::string> PropertyNames(const FontInfo &info);

// "BDF Error on line N: " + text, as the reader writes it.
std::string BdfErrorText(int line, const std::string &text);
