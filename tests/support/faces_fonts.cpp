#include "tests/support/faces_fonts.h"

#include "tests/support/run_tool.h"

std::string MakeFaces(const std::string &dir, const std::vector<std::string> &fonts) {
  std::vector<std::string> args{LORVANE_SOURCE_DIR "/tests/support/make_faces.py", dir};
  args.insert(args.end(), fonts.begin(), fonts.end());
  ToolOptions options;
  options.binary = "/usr/bin/python3";
  options.argv0 = "python3";
  ToolResult r = RunTool(args, options);
  return r.status == 0 ? "" : "make_faces.py failed: " + r.stderrText;
}

FaceCharsets BuiltinFaceCharsets() {
  static std::vector<const Charset *> items = [] {
    size_t count;
    const Charset *builtins = BuiltinCharsets(&count);
    std::vector<const Charset *> v;
    for (size_t i = 0; i < count; i++) v.push_back(&builtins[i]);
    return v;
  }();
  return FaceCharsets{items.data(), items.size()};
}

std::vector<std::string> FaceLines(FaceLibrary *library, const std::string &dir,
                                   const std::string &file, const FaceCharsets &charsets) {
  FaceEntries entries;
  FaceReason reason;
  std::string path = dir + "/" + file;
  switch (FaceFileEntries(library, path.c_str(), file.c_str(), FaceFileKindOf(file.c_str()),
                          charsets, &entries, &reason)) {
    case FaceResult::LeftOut: return {std::string("left out: ") + FaceReasonText(reason)};
    case FaceResult::OutOfMemory: return {"out of memory"};
    case FaceResult::Entries: break;
  }
  std::vector<std::string> lines;
  for (size_t i = 0; i < entries.count; i++) {
    const FaceEntry &e = entries.items.get()[i];
    lines.push_back(e.line);
    // The parts agree with the line.
    if (std::string(e.file) + " " + e.name != e.line) lines.push_back("(parts differ) " + lines.back());
  }
  return lines;
}
