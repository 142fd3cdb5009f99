// How much memory the running program has used. Used by the tests that bound the memory
// of the long transfers.
#pragma once

#include <cstdint>

namespace testing_support {

// The largest resident (working set) size the running program has reached, in bytes.
std::uint64_t peak_memory_bytes();

}  // namespace testing_support
