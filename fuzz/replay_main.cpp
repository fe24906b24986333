// Replays every file of the corpus directories (or single files) given on
// the command line through the fuzz target, so CTest runs the targets
// without libFuzzer and every crasher kept in a corpus stays fixed.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {
void replay(const std::filesystem::path &file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
}
}  // namespace

int main(int argc, char **argv) {
  int count = 0;
  for (int i = 1; i < argc; i++) {
    std::filesystem::path arg(argv[i]);
    if (std::filesystem::is_directory(arg)) {
      for (const auto &entry : std::filesystem::recursive_directory_iterator(arg))
        if (entry.is_regular_file()) {
          replay(entry.path());
          ++count;
        }
    } else if (std::filesystem::exists(arg)) {
      replay(arg);
      ++count;
    }
  }
  // An empty input is always worth one run.
  LLVMFuzzerTestOneInput(nullptr, 0);
  std::printf("replayed %d inputs\n", count + 1);
  return 0;
}
