// Replays fuzz inputs through LLVMFuzzerTestOneInput without libFuzzer, so the
// corpus (seeds and every input that once failed) runs as an ordinary test
// under any compiler. Arguments are files or folders; folders are read in name
// order. An input that fails aborts the process.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {

bool replay(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
    return false;
  }
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // A copy of exactly the input's size, so a read past its end is caught.
  std::vector<uint8_t> data(bytes.begin(), bytes.end());
  std::fprintf(stderr, "replaying %s\n", file.string().c_str());
  LLVMFuzzerTestOneInput(data.data(), data.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    const fs::path arg(argv[i]);
    std::error_code ec;
    if (fs::is_directory(arg, ec)) {
      std::vector<fs::path> inDir;
      for (const auto& entry : fs::directory_iterator(arg)) {
        if (entry.is_regular_file()) inDir.push_back(entry.path());
      }
      std::sort(inDir.begin(), inDir.end());
      files.insert(files.end(), inDir.begin(), inDir.end());
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: %s FILE-OR-FOLDER...: no input found\n", argv[0]);
    return 2;
  }
  for (const auto& file : files) {
    if (!replay(file)) return 1;
  }
  std::printf("replayed %zu inputs, no mismatch\n", files.size());
  return 0;
}
