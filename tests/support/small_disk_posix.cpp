#include <sys/mount.h>

#include <string>

#include "tests/support/small_disk.hpp"

namespace testing_support {

SmallDisk::SmallDisk(const std::filesystem::path& folder, std::uint64_t bytes) : folder_(folder) {
  std::filesystem::create_directories(folder);
  const std::string options = "size=" + std::to_string(bytes);
  mounted_ =
      ::mount("korvanta-test", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
}

SmallDisk::~SmallDisk() {
  if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
}

}  // namespace testing_support
