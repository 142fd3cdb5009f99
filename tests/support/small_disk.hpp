// A file system of a few bytes of its own, for the tests of writes that fill the disk at a
// known point.
#pragma once

#include <cstdint>
#include <filesystem>

namespace testing_support {

// Mounts a memory file system of `bytes` on `folder` (created) for the object's lifetime.
// Needs the right to mount (root on Linux); where that is missing, and on Windows, mounted()
// is false and `folder` is a plain folder.
class SmallDisk {
 public:
  SmallDisk(const std::filesystem::path& folder, std::uint64_t bytes);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  bool mounted() const { return mounted_; }

 private:
  std::filesystem::path folder_;
  bool mounted_ = false;
};

}  // namespace testing_support
