// Replays every file of the corpus folders (or files) given on the command
// line through the fuzz target, so that the corpus runs as a regression test
// in a plain or sanitizer build without libFuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

static bool runFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", p.c_str());
    return false;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return true;
}

int main(int argc, char** argv) {
  size_t count = 0;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    fs::path arg(argv[i]);
    if (fs::is_directory(arg)) {
      for (const auto& entry : fs::recursive_directory_iterator(arg))
        if (entry.is_regular_file()) ok = runFile(entry.path()) && ok, ++count;
    } else {
      ok = runFile(arg) && ok;
      ++count;
    }
  }
  std::printf("%zu inputs replayed\n", count);
  if (count == 0) {
    std::fprintf(stderr, "no corpus inputs found\n");
    return 1;
  }
  return ok ? 0 : 1;
}
