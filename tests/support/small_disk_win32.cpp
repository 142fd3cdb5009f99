#include "tests/support/small_disk.hpp"

namespace testing_support {

// Windows mounts no file system of a given size for a test.
SmallDisk::SmallDisk(const std::filesystem::path& folder, std::uint64_t) : folder_(folder) {
  std::filesystem::create_directories(folder);
}

SmallDisk::~SmallDisk() = default;

}  // namespace testing_support
