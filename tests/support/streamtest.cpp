#include "tests/support/streamtest.h"

#include "tests/support/membuf.h"
#include "util/miscutil.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <vector>

namespace {
uint32_t nextRandom(uint32_t &state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}
}  // namespace

std::string TextSample(size_t size, uint32_t seed) {
  static const char *const words[] = {
      "STARTCHAR", "ENCODING", "SWIDTH", "DWIDTH", "BBX", "BITMAP", "ENDCHAR", "FONT",
      "-misc-fixed-medium-r-normal--13-120-75-75-c-70-iso8859-1", "00", "7E", "3C",
      "FF", "18", "COPYRIGHT", "\"Public domain\"", "glyph", "0", "1", "-2"};
  constexpr size_t kWords = sizeof(words) / sizeof(words[0]);
  std::string s;
  s.reserve(size + 64);
  uint32_t state = seed;
  while (s.size() < size) {
    uint32_t r = nextRandom(state);
    s += words[r % kWords];
    s += (r >> 12) % 5 == 0 ? '\n' : ' ';
    if ((r >> 16) % 7 == 0) s += std::to_string(r % 1000);
  }
  s.resize(size);
  return s;
}

std::string NoiseSample(size_t size, uint32_t seed) {
  std::string s(size, '\0');
  uint32_t state = seed;
  for (auto &c : s) c = static_cast<char>(nextRandom(state));
  return s;
}

int RunShell(const std::string &command) {
  int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

bool HaveProgram(const std::string &program) {
  return RunShell("command -v " + ShellQuote(program) + " >/dev/null 2>&1") == 0;
}

std::string MissingPrograms(std::initializer_list<std::string> programs) {
  std::string missing;
  for (const std::string &program : programs) {
    if (HaveProgram(program)) continue;
    std::string package = program == "compress" ? "ncompress" : program;
    missing += (missing.empty() ? "" : ", ") + program + " (Debian package " + package + ")";
  }
  return missing.empty() ? "" : "not installed: " + missing;
}

std::string ShellQuote(const std::string &s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'')
      q += "'\\''";
    else
      q += c;
  }
  return q + "'";
}

std::string ReadStream(BufFile *f, int block) {
  std::string out;
  if (block <= 0) {
    for (int c; (c = BufFileGetByte(f)) != BUFFILEEOF;) out.push_back(static_cast<char>(c));
    return out;
  }
  std::vector<char> buf(static_cast<size_t>(block));
  for (int n; (n = BufFileRead(f, buf.data(), block)) > 0;) out.append(buf.data(), static_cast<size_t>(n));
  return out;
}

size_t DrainWithPlan(BufFile *f, const uint8_t *plan, size_t planSize) {
  static const uint8_t kDefaultPlan[] = {0x13};
  if (planSize == 0) {
    plan = kDefaultPlan;
    planSize = 1;
  }
  std::vector<char> buf(40000);
  size_t delivered = 0;
  for (size_t step = 0;; step++) {
    uint8_t op = plan[step % planSize];
    int size = op >> 2;
    bool ended = false, stalled = false;
    switch (op & 3) {
      case 3: {
        // A look at the buffered bytes, then a take of some of them.
        const unsigned char *bytes = nullptr;
        int held = BufFileAhead(f, &bytes);
        // A filter may deliver a whole member at once, never more than one
        // allocation can hold.
        if (held < 0 || static_cast<size_t>(held) > kFontAllocLimit || (held > 0 && !bytes)) std::abort();
        int take = size + 1 < held ? size + 1 : held;
        if (take > 0) std::memcpy(buf.data(), bytes, static_cast<size_t>(take));  // checked by ASan
        BufFileConsume(f, take);
        delivered += static_cast<size_t>(take);
        ended = held == 0;
        break;
      }
      case 0:
        for (int i = 0; i <= size && !ended; i++) {
          int c = BufFileGetByte(f);
          if (c < -1 || c > 255) std::abort();
          ended = c == BUFFILEEOF;
          delivered += !ended;
        }
        break;
      case 1: {
        int want = size * 613 % static_cast<int>(buf.size());
        int n = BufFileRead(f, buf.data(), want);
        if (n < 0 || n > want) std::abort();
        delivered += static_cast<size_t>(n);
        ended = n < want;
        stalled = want == 0;
        break;
      }
      case 2: {
        int count = size * size * 11;
        int result = BufFileSkip(f, count);
        if (count == 0 && result == BUFFILEEOF) std::abort();  // nothing to pass, no end to meet
        ended = result == BUFFILEEOF;
        stalled = count == 0;
        break;
      }
    }
    // A read or skip of nothing takes no byte and never reports the end, so
    // a plan made only of such steps would stand still: a get follows each.
    if (stalled && !ended) {
      int c = BufFileGetByte(f);
      if (c < -1 || c > 255) std::abort();
      ended = c == BUFFILEEOF;
      delivered += !ended;
    }
    if (ended) break;
  }
  // The end, once reported, stays.
  for (int i = 0; i < 3; i++)
    if (BufFileGetByte(f) != BUFFILEEOF) std::abort();
  return delivered;
}

void FuzzFilter(const uint8_t *data, size_t size, BufFilePushProc push) {
  if (size < 5) return;
  int chunk = data[0] < 128 ? BUFFILESIZE : data[0] - 127;
  BufFile *src = MemBufOpen(data + 5, size - 5, chunk);
  if (!src) return;
  BufFile *f = push(src, nullptr);
  if (!f) {
    BufFileClose(src, 1);
    return;
  }
  DrainWithPlan(f, data + 1, 4);
  BufFileClose(f, 1);
}

FilterDelivery DeliverThrough(BufFilePushProc push, const std::string &file, int chunk,
                              int block, size_t limit) {
  FilterDelivery d;
  BufFile *src = MemBufOpen(file.data(), file.size(), chunk);
  if (!src) std::abort();
  BufFile *f = push(src, nullptr);
  d.pushed = f != nullptr;
  if (!f) {
    BufFileClose(src, 1);
    return d;
  }
  std::vector<char> buf(block > 0 ? static_cast<size_t>(block) : 1);
  int n = 0;
  while (d.bytes.size() < limit) {
    if (block > 0) {
      n = BufFileRead(f, buf.data(), block);
    } else {
      int c = BufFileGetByte(f);
      buf[0] = static_cast<char>(c);
      n = c == BUFFILEEOF ? 0 : 1;
    }
    if (n <= 0) break;
    d.bytes.append(buf.data(), static_cast<size_t>(n));
  }
  if (d.bytes.size() < limit) d.endStays = BufFileGetByte(f) == BUFFILEEOF && BufFileGetByte(f) == BUFFILEEOF;
  BufFileClose(f, 1);
  return d;
}

std::string DecodeThrough(BufFilePushProc push, const std::string &packed, bool *pushed,
                          int chunk, int block) {
  FilterDelivery d = DeliverThrough(push, packed, chunk, block);
  if (pushed) *pushed = d.pushed;
  if (!d.endStays) {
    std::fprintf(stderr, "DecodeThrough: the end of the data did not stay\n");
    std::abort();
  }
  return std::move(d.bytes);
}
