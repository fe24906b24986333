// What a packager ships: the manual page renders cleanly and documents every
// message the program can print, and an install into DESTDIR works.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>

#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"

namespace {

std::string Capture(const std::string &command, int *status) {
  std::string out;
  FILE *p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  *status = pclose(p);
  return out;
}

std::string Collapse(const std::string &text) {
  return std::regex_replace(text, std::regex("\\s+"), " ");
}

// The message formats that the sources under `dir` pass to `writer` (a
// pattern ending where the format argument begins).  With `handedOn`, also
// the texts that end a line and are handed to a function as an argument (a
// message that a step passes on to the writer).
std::vector<std::string> MessageFormats(const std::string &dir, const std::string &writer,
                                        bool handedOn) {
  std::vector<std::string> formats;
  const std::string literal = "\"((?:[^\"\\\\]|\\\\.)*)\"";
  std::regex call(writer + "\\s*" + literal);
  std::regex argument("[,{]\\s*\"((?:[^\"\\\\]|\\\\.)*\\\\n)\"");
  for (const auto &e : std::filesystem::directory_iterator(std::string(LORVANE_SOURCE_DIR) + "/" + dir)) {
    if (e.path().extension() != ".cpp") continue;
    std::string src = ReadFile(e.path().string());
    for (std::sregex_iterator it(src.begin(), src.end(), call), end; it != end; ++it)
      formats.push_back((*it)[1].str());
    if (!handedOn) continue;
    for (std::sregex_iterator it(src.begin(), src.end(), argument), end; it != end; ++it)
      formats.push_back((*it)[1].str());
  }
  return formats;
}

TEST(ManualPage, RendersWithoutWarnings) {
  int status = 0;
  std::string out = Capture("groff -man -Tascii -ww '" LORVANE_SOURCE_DIR "/man/lorvane.1' 2>&1 >/dev/null", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out, "");
}

TEST(ManualPage, DocumentsEveryMessageTheProgramPrints) {
  int status = 0;
  std::string page = Collapse(Capture("groff -man -Tascii '" LORVANE_SOURCE_DIR "/man/lorvane.1' 2>/dev/null | col -b", &status));
  ASSERT_EQ(status, 0);
  std::vector<std::string> formats = MessageFormats("tool", "fprintf\\(\\s*stderr,", false);
  ASSERT_GT(formats.size(), 15u);
  // Messages of the driver begin with the program's name; those of the BDF
  // reader follow their own line prefix.
  for (std::string &format : formats) format = format.rfind("%s: ", 0) == 0 ? format.substr(4) : "";
  std::vector<std::string> bdf = MessageFormats("bitmap", "bdf(?:Error|Warning|Fail|FailForMemory)\\(\\s*\\w+,", true);
  ASSERT_GT(bdf.size(), 30u);
  formats.insert(formats.end(), bdf.begin(), bdf.end());
  for (const std::string &format : formats) {
    // Every fixed text between the conversions is what the page must show
    // (a summary line's labels as much as a message's words).
    std::string unescaped = std::regex_replace(format, std::regex("\\\\\""), "\"");
    unescaped = std::regex_replace(unescaped, std::regex("\\\\n$"), "");
    std::regex conversion("%[-+ #0-9.*]*(?:ll|l|z)?[a-z]");
    for (std::sregex_token_iterator it(unescaped.begin(), unescaped.end(), conversion, -1), end;
         it != end; ++it) {
      std::string text = Collapse(*it);
      while (!text.empty() && text.front() == ' ') text.erase(0, 1);
      while (!text.empty() && text.back() == ' ') text.pop_back();
      if (text.size() < 4) continue;
      EXPECT_NE(page.find(text), std::string::npos) << "message not in the manual page: " << text;
    }
  }
}

// The texts of a verbose run that are not formats of their own: the reasons
// a font file is left out (the scan's table of them) and the notes on the
// fonts indexed.
TEST(ManualPage, DocumentsEveryVerboseReasonAndNote) {
  int status = 0;
  std::string page = Collapse(Capture("groff -man -Tascii '" LORVANE_SOURCE_DIR "/man/lorvane.1' 2>/dev/null | col -b", &status));
  ASSERT_EQ(status, 0);
  std::string scan = ReadFile(LORVANE_SOURCE_DIR "/tool/dirscan.cpp");
  const std::string literal = "\"((?:[^\"\\\\]|\\\\.)*)\"";
  std::smatch table;
  ASSERT_TRUE(std::regex_search(scan, table, std::regex("kSkipTexts\\[\\] = \\{([^}]*)\\}")));
  std::vector<std::string> texts;
  std::string reasons = table[1].str();
  std::regex text(literal);
  for (std::sregex_iterator it(reasons.begin(), reasons.end(), text), end; it != end; ++it)
    if ((*it)[1].length() > 0) texts.push_back((*it)[1].str());
  EXPECT_EQ(texts.size(), 10u);
  size_t reasonCount = texts.size();
  std::regex note("note\\(\\s*\\w+,\\s*" + literal + "\\)");
  for (std::sregex_iterator it(scan.begin(), scan.end(), note), end; it != end; ++it)
    texts.push_back((*it)[1].str());
  EXPECT_EQ(texts.size() - reasonCount, 3u);
  // The reasons an outline or .otb file is left out: the faces layer's and
  // those of the tool's face scan.
  std::string faces = ReadFile(LORVANE_SOURCE_DIR "/faces/faces.cpp");
  std::regex faceReason("case FaceReason::\\w+: return " + literal + ";");
  size_t before = texts.size();
  for (std::sregex_iterator it(faces.begin(), faces.end(), faceReason), end; it != end; ++it)
    if ((*it)[1].length() > 0) texts.push_back((*it)[1].str());
  EXPECT_EQ(texts.size() - before, 6u);
  std::string faceScan = ReadFile(LORVANE_SOURCE_DIR "/tool/facescan.cpp");
  std::regex scanReason("reason = " + literal + ";");
  for (std::sregex_iterator it(faceScan.begin(), faceScan.end(), scanReason), end; it != end; ++it)
    texts.push_back((*it)[1].str());
  EXPECT_EQ(texts.size() - before, 8u);
  for (const std::string &t : texts)
    EXPECT_NE(page.find(t), std::string::npos) << "verbose text not in the manual page: " << t;
}

TEST(Install, HonoursPrefixAndDestdir) {
  TempDir dest;
  int status = 0;
  std::string log = Capture("DESTDIR='" + dest.path() + "' cmake --install '" LORVANE_BUILD_DIR
                            "' --prefix /opt/lv 2>&1", &status);
  ASSERT_EQ(status, 0) << log;
  std::string binary = dest / "opt/lv/bin/lorvane";
  EXPECT_TRUE(FileExists(binary));
  EXPECT_TRUE(FileExists(dest / "opt/lv/share/man/man1/lorvane.1"));
  EXPECT_NE(ReadFile(dest / "opt/lv/share/doc/lorvane/LICENSE").find("Copyright (c) 2026 The lorvane developers"),
            std::string::npos);
  EXPECT_TRUE(FileExists(dest / "opt/lv/share/doc/lorvane/NEWS.md"));
  TempDir fonts;
  ToolOptions options;
  options.binary = binary;
  options.cwd = fonts.path();
  ToolResult r = RunTool({}, options);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ReadFile(fonts / "fonts.dir"), "0\n");
}

}  // namespace
