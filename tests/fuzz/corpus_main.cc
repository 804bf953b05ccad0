// Runs a fuzz target's entry point once on every file of the folders (or files) it is given, in
// name order, without libFuzzer: the committed corpus and its regression inputs are checked by
// the normal test run. Fails when it finds no input at all (a corpus that went missing).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "fuzz_check.h"

namespace {

std::vector<std::filesystem::path> Inputs(const std::filesystem::path& where) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  if (std::filesystem::is_regular_file(where, ec)) return {where};
  for (auto it = std::filesystem::recursive_directory_iterator(where, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file(ec)) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t count = 0;
  for (int i = 1; i < argc; ++i) {
    for (const std::filesystem::path& file : Inputs(argv[i])) {
      std::ifstream in(file, std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "%s: cannot be read\n", file.c_str());
        return 1;
      }
      const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                            std::istreambuf_iterator<char>());
      std::fprintf(stderr, "%s (%zu bytes)\n", file.c_str(), bytes.size());
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++count;
    }
  }
  std::fprintf(stderr, "%zu inputs\n", count);
  return count > 0 ? 0 : 1;
}
