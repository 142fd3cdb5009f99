#include "platform/fault_guard.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

using platform::call_guarded;

namespace {

// Read through volatile objects so that the compiler cannot see the faults coming.
volatile std::uintptr_t nowhere = 0;
volatile int zero = 0;
volatile int seven = 7;
volatile int sink = 0;

// The undefined-behaviour sanitizer would report these faults and stop the program before
// the guard sees them. The null write stays a function of its own, which Valgrind's
// suppressions name (tests/support/memcheck_deliberate_faults.supp).
__attribute__((no_sanitize("undefined"), noinline)) void write_to_null() {
  *reinterpret_cast<volatile int*>(nowhere) = 1;
}
__attribute__((no_sanitize("undefined"))) void divide_by_zero() {
  sink = seven / zero;
}
void bad_instruction() {
  __builtin_trap();
}

extern "C" void custom_handler(int) {}

}  // namespace

TEST(FaultGuard, ContainsFaultsAndExceptionsAndReportsWhetherTheCallCompleted) {
  struct Case {
    const char* name;
    std::function<void()> call;
    bool completes;
  };
  const std::vector<Case> cases = {
      {"normal return", [] {}, true},
      {"null pointer write", write_to_null, false},
      {"division by zero", divide_by_zero, false},
      {"bad instruction", bad_instruction, false},
      {"standard exception", [] { throw std::runtime_error("library gave up"); }, false},
      {"exception of any type", [] { throw 42; }, false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    int steps = 0;
    const bool completed = call_guarded([&] {
      ++steps;
      test.call();
      ++steps;
    });
    EXPECT_EQ(completed, test.completes);
    EXPECT_EQ(steps, test.completes ? 2 : 1) << "the call ends where it failed";
  }
}

TEST(FaultGuard, TenFaultsInARowLeaveTheGuardWorking) {
  int contained = 0;
  for (int i = 0; i < 10; ++i) contained += call_guarded(write_to_null) ? 0 : 1;
  EXPECT_EQ(contained, 10);
  int value = 0;
  EXPECT_TRUE(call_guarded([&] { value = 7; }));
  EXPECT_EQ(value, 7);
}

TEST(FaultGuard, AnInnerGuardContainsItsOwnFault) {
  bool inner_completed = true;
  bool after_inner = false;
  const bool outer_completed = call_guarded([&] {
    inner_completed = call_guarded(write_to_null);
    after_inner = true;
  });
  EXPECT_FALSE(inner_completed);
  EXPECT_TRUE(after_inner);
  EXPECT_TRUE(outer_completed);
  EXPECT_FALSE(call_guarded([] {
    call_guarded([] {});
    write_to_null();
  })) << "the outer guard is in force again after the inner one";
}

TEST(FaultGuard, PutsBackTheHandlersThatWereThereBefore) {
  for (const int signal_number : {SIGSEGV, SIGFPE, SIGILL}) {
    SCOPED_TRACE(signal_number);
    const auto original = std::signal(signal_number, custom_handler);
    EXPECT_FALSE(call_guarded(write_to_null));
    EXPECT_FALSE(call_guarded(divide_by_zero));
    EXPECT_EQ(std::signal(signal_number, original), custom_handler);
  }
}

TEST(FaultGuardDeathTest, AFaultAfterTheGuardStillEndsTheProgram) {
  EXPECT_DEATH(
      {
        call_guarded(write_to_null);
        call_guarded([] {});
        write_to_null();
      },
      "");
  EXPECT_DEATH(
      {
        call_guarded(divide_by_zero);
        divide_by_zero();
      },
      "");
}

TEST(CallLibrary, WhatALibraryRaisesBecomesTheProgramsOwnFailure) {
  struct Case {
    const char* name;
    std::function<void()> call;
    std::string text;  // of the LibraryException raised; empty: std::bad_alloc
  };
  const std::vector<Case> cases = {
      {"standard exception", [] { throw std::runtime_error("port gone"); }, "port gone"},
      {"exhausted memory", [] { throw std::bad_alloc(); }, ""},
      {"exception of any type", [] { throw 42; }, platform::library_exception_text},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    try {
      platform::call_library(test.call);
      ADD_FAILURE() << "nothing raised";
    } catch (const platform::LibraryException& failure) {
      EXPECT_EQ(failure.what(), test.text);
    } catch (const std::bad_alloc&) {
      EXPECT_EQ(test.text, "");
    }
  }
  EXPECT_EQ(platform::call_library([] { return 7; }), 7) << "a result passes through";
}
