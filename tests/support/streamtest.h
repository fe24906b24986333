// Helpers for the stream and filter tests: sample data, the outside
// compressors run through the shell, and draining a stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "fontfile/bufio.h"

// Deterministic data: text-like lines of words (compresses well and fills
// code tables), and noise (does not compress).
std::string TextSample(size_t size, uint32_t seed = 1);
std::string NoiseSample(size_t size, uint32_t seed = 1);

// Runs a command with /bin/sh; its exit status, or -1.
int RunShell(const std::string &command);
// True when `program` is found on the PATH.
bool HaveProgram(const std::string &program);
// Empty when every one of `programs` is found on the PATH; otherwise the
// reason a test that runs them cannot, naming each missing program and its
// Debian package (scripts/deps installs them).
std::string MissingPrograms(std::initializer_list<std::string> programs);
// Quotes a path for the shell.
std::string ShellQuote(const std::string &s);

// Every byte the stream delivers, read with gets (byte at a time) or with
// BufFileRead blocks of `block` bytes when block > 0.
std::string ReadStream(BufFile *f, int block = 0);

// Reads `f` to its end with a mixture of gets, BufFileRead blocks, skips and
// looks ahead followed by takes, whose kinds and sizes come from `plan`
// (cycled), and returns the number of
// bytes that gets and reads delivered.  Every step takes at least one byte
// or meets the end, so the drain ends whatever the plan.  Aborts if the
// stream breaks the contract: a byte outside 0..255, a read of more than was
// asked, a skip of nothing that reports the end, or a byte after the end was
// reported.
size_t DrainWithPlan(BufFile *f, const uint8_t *plan, size_t planSize);

// The body of a filter fuzz target: one byte choosing how many bytes each
// fill of the source delivers, four bytes of read plan, then the file's
// bytes, pushed through `push` and drained.
void FuzzFilter(const uint8_t *data, size_t size, BufFilePushProc push);

// Everything the filter that `push` makes delivers from `packed` held in
// memory, the source filling `chunk` bytes at a time and the filter read in
// blocks of `block` bytes (0: byte at a time).  Aborts if the end, once
// met, does not stay.  *pushed tells whether the filter accepted the header (none:
// not wanted); a refused header delivers nothing.
std::string DecodeThrough(BufFilePushProc push, const std::string &packed,
                          bool *pushed = nullptr, int chunk = BUFFILESIZE, int block = 0);

// What the filter that `push` makes delivers over `file` held in memory, the
// source filling `chunk` bytes at a time and the filter read in blocks of
// `block` bytes (0: byte at a time) until its end or until `limit` bytes
// (and up to a block more) have come; whether it accepted the header, and
// whether the end, once met, stays.
struct FilterDelivery {
  bool pushed = false;
  std::string bytes;
  bool endStays = true;
};
FilterDelivery DeliverThrough(BufFilePushProc push, const std::string &file, int chunk,
                              int block, size_t limit = SIZE_MAX);
