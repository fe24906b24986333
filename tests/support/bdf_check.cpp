#include "tests/support/bdf_check.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "bitmap/bdfread.h"
#include "tests/support/membuf.h"

StderrCapture::StderrCapture() {
  std::fflush(stderr);
  saved_ = dup(2);
  std::FILE *tmp = std::tmpfile();
  file_ = dup(fileno(tmp));
  std::fclose(tmp);
  dup2(file_, 2);
}

StderrCapture::~StderrCapture() { finish(); }

std::string StderrCapture::finish() {
  if (saved_ < 0) return "";
  std::fflush(stderr);
  dup2(saved_, 2);
  close(saved_);
  saved_ = -1;
  std::string text;
  lseek(file_, 0, SEEK_SET);
  char buf[4096];
  ssize_t n;
  while ((n = read(file_, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  close(file_);
  return text;
}

BdfLoaded::~BdfLoaded() {
  if (status == Successful) bdfFreeFontBits(&font);
}

std::unique_ptr<BdfLoaded> LoadBdf(const std::string &text, int bit, int byte, int glyphPad,
                                   int scanUnit) {
  auto loaded = std::make_unique<BdfLoaded>();
  BufFile *file = MemBufOpen(text.data(), text.size());
  StderrCapture capture;
  loaded->status = bdfReadFont(&loaded->font, file, bit, byte, glyphPad, scanUnit);
  loaded->messages = capture.finish();
  BufFileClose(file, 1);
  return loaded;
}

std::vector<std::string> PropertyNames(const FontInfo &info) {
  std::vector<std::string> names;
  for (int i = 0; i < info.propCount; i++) {
    const char *n = NameForAtom(info.props[i].name);
    names.push_back(n ? n : "");
  }
  return names;
}

std::string BdfErrorText(int line, const std::string &text) {
  return "BDF Error on line " + std::to_string(line) + ": " + text;
}
