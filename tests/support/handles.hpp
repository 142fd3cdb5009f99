// How many files and other system objects the running program holds open. Used by the
// tests that check that refused inputs leave nothing open.
#pragma once

#include <optional>

namespace testing_support {

// The number of open file descriptors (POSIX) or handles (Windows) of the running
// program, or nothing when the system cannot tell.
std::optional<long> open_handle_count();

}  // namespace testing_support
