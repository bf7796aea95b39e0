// Runs a fuzz harness over saved inputs without libFuzzer, so that the seed
// corpora and the regression inputs run as a plain test in every build.
//
// Usage: PROGRAM PATH...  Each PATH is a file, or a directory whose regular
// files are all taken, in name order. Every file is passed once to
// LLVMFuzzerTestOneInput, which aborts on a finding. Prints the number of
// inputs run; exits 1 when a path cannot be read or no input was found.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "base/allocation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool run_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return false;
  }
  const corvane::Vector<char> bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t runs = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path path(argv[i]);
    std::error_code error;
    if (fs::is_directory(path, error)) {
      corvane::Vector<fs::path> files;
      for (const fs::directory_entry& entry : fs::directory_iterator(path, error)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
      if (error) {
        std::fprintf(stderr, "cannot list %s: %s\n", path.c_str(), error.message().c_str());
        return 1;
      }
      std::sort(files.begin(), files.end());
      for (const fs::path& file : files) {
        if (!run_file(file)) return 1;
        ++runs;
      }
    } else {
      if (!run_file(path)) return 1;
      ++runs;
    }
  }
  std::printf("%zu inputs run\n", runs);
  return runs == 0 ? 1 : 0;
}
