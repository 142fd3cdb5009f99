// The guard's clean-up of the x87 unit on Windows, where the vendor's libraries compute
// with it: a library that faults in the middle of a computation leaves its control word
// (precision, rounding, which exceptions are unmasked) and its register stack as they were.
// A 32-bit MinGW program computes its doubles on the same unit. Windows build only.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "platform/fault_guard.hpp"

namespace {

volatile std::uintptr_t nowhere = 0;
volatile double zero = 0.0;
volatile double tiny = 0x1p-30;  // lost at single precision, kept at double

std::uint16_t x87_control_word() {
  std::uint16_t word;
  asm volatile("fnstcw %0" : "=m"(word));
  return word;
}

}  // namespace

TEST(FaultGuard, AContainedFaultLeavesTheX87UnitAsItWasBeforeTheCall) {
  const std::uint16_t before = x87_control_word();
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    const bool completed = platform::call_guarded([] {
      // Invalid operations unmasked, single precision, rounding toward zero, three
      // registers in use: then a fault.
      const std::uint16_t library_word = 0x0C7E;
      asm volatile("fldcw %0\n\tfld1\n\tfld1\n\tfld1" : : "m"(library_word));
      *reinterpret_cast<volatile int*>(nowhere) = 1;
    });
    EXPECT_FALSE(completed);
    EXPECT_EQ(x87_control_word(), before);
    // With the invalid operation still unmasked, 0/0 would raise 0xC0000090 here.
    const double quiet = zero / zero;
    EXPECT_TRUE(std::isnan(quiet));
    EXPECT_NE((1.0 + tiny) - 1.0, 0.0) << "the computation is at double precision again";
  }
}
