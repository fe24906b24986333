#include "tests/support/fontinfo_util.h"

#include <cstring>
#include <stdexcept>

#include "tests/support/membuf.h"
#include "util/miscutil.h"

ReadResult::~ReadResult() {
  if (status == Successful) FontInfoFreeProps(&info);
}

void ReadInfo(InfoReader reader, const std::string &bytes, ReadResult *out, int chunk) {
  std::memset(&out->info, 0, sizeof out->info);
  BufFile *f = MemBufOpen(bytes.data(), bytes.size(), chunk);
  if (!f) throw std::runtime_error("out of memory");
  out->status = reader(&out->info, f);
  BufFileClose(f, 1);
}

namespace {
int find(const FontInfo &info, const std::string &name) {
  for (int i = 0; i < info.propCount; i++) {
    const char *n = NameForAtom(info.props[i].name);
    if (n && name == n) return i;
  }
  return -1;
}
}  // namespace

std::optional<std::string> StringProperty(const FontInfo &info, const std::string &name) {
  int i = find(info, name);
  if (i < 0 || !info.isStringProp[i]) return std::nullopt;
  const char *v = NameForAtom(static_cast<Atom>(info.props[i].value));
  return v ? std::optional<std::string>(v) : std::nullopt;
}

std::optional<int32_t> IntProperty(const FontInfo &info, const std::string &name) {
  int i = find(info, name);
  if (i < 0 || info.isStringProp[i]) return std::nullopt;
  return info.props[i].value;
}

bool SameMetric(const xCharInfo &a, const GenMetric &b) {
  return a.leftBearing == b.leftBearing && a.rightBearing == b.rightBearing &&
         a.width == b.width && a.ascent == b.ascent && a.descent == b.descent &&
         a.attributes == b.attributes;
}

std::string PropertiesText(const FontInfo &info) {
  std::string text;
  for (int i = 0; i < info.propCount; i++) {
    const char *name = NameForAtom(info.props[i].name);
    text += name ? name : "?";
    text += ' ';
    if (info.isStringProp[i]) {
      const char *value = NameForAtom(static_cast<Atom>(info.props[i].value));
      text += value ? value : "?";
    } else {
      text += std::to_string(info.props[i].value);
    }
    text += '\n';
  }
  return text;
}

int SweepReadAllocationFailures(InfoReader reader, const std::string &bytes, std::string *problem) {
  for (long n = 1;; n++) {
    ReadResult r;
    BufFile *f = MemBufOpen(bytes.data(), bytes.size());
    FontAllocFailAt(n);
    r.status = reader(&r.info, f);
    bool injected = FontAllocCount() >= n;
    FontAllocFailAt(0);
    BufFileClose(f, 1);
    if (!injected) {
      if (r.status == Successful) return static_cast<int>(n - 1);
      *problem = "the read without a failure gave status " + std::to_string(r.status);
      return -1;
    }
    if (r.status != AllocFailure || r.info.props || r.info.isStringProp) {
      *problem = "allocation " + std::to_string(n) + " failing gave status " +
                 std::to_string(r.status) + (r.info.props ? " and left properties" : "");
      return -1;
    }
  }
}
