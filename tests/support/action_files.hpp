// Files that the actions accept, for runs that lead actions past their file prompts.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/files.hpp"

namespace testing_support {

// Writes into `folder` a sec-pack file "secpack.fls", a data file "data.bin", an
// executable "exec.bin", a DFAT container with a CUST image "cust.dfat", a one-frame
// animation file "animation.bin" and a picture "picture.bmp"; returns their names.
std::vector<std::string> write_action_files(const std::filesystem::path& folder);

}  // namespace testing_support
