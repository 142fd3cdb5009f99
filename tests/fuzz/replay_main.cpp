// Replays saved inputs through a fuzz harness's entry function, without libFuzzer: the
// seed corpus and every input that once found a fault, on every test run. Arguments are
// files or folders of files; a folder's files are replayed in name order. An input that
// breaks the harness ends this program as it would end the fuzzer (a crash, an abort or
// a sanitizer report). Replaying no input at all is a failure too.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

void replay(const fs::path& file) {
  // Exactly the input's size, so that the sanitizers see a read past its end.
  std::vector<std::uint8_t> input(fs::file_size(file));
  std::ifstream stream(file, std::ios::binary);
  if (!stream.read(reinterpret_cast<char*>(input.data()), input.size())) {
    std::cerr << "cannot read " << file << '\n';
    std::exit(2);
  }
  std::cout << "replaying " << file.filename().string() << std::endl;
  LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::vector<fs::path> files;
    if (fs::is_directory(argv[i])) {
      for (const auto& entry : fs::directory_iterator(argv[i])) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
    } else {
      files.push_back(argv[i]);
    }
    for (const fs::path& file : files) {
      replay(file);
      ++replayed;
    }
  }
  std::cout << "replayed " << replayed << " inputs" << std::endl;
  return replayed == 0 ? 1 : 0;
}
