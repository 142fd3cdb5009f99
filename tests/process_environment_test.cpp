#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/process.hpp"

using Entries = std::vector<std::string>;

TEST(ProcessEnvironment, TheRequestSetsNamesAndTheLaterSettingWins) {
  testing_support::ProcessRequest request;
  request.environment = {{"ASAN_OPTIONS", "detect_leaks=1"},
                         {"KORVANTA_STANDIN_LOG", "calls.log"},
                         {"ASAN_OPTIONS", "detect_leaks=0"},
                         {"PATH", "/bin"}};
  const Entries inherited = {"PATH=/usr/bin", "HOME=/root", "PATHS=kept", "=C:=C:\\work",
                             "=D:=D:\\"};
  EXPECT_EQ(
      testing_support::environment_entries(inherited, request),
      (Entries{"HOME=/root", "PATHS=kept", "=C:=C:\\work", "=D:=D:\\",
               "KORVANTA_STANDIN_LOG=calls.log", "ASAN_OPTIONS=detect_leaks=0", "PATH=/bin"}));
}

TEST(ProcessEnvironment, AnEmptyValueStaysSetAndNothingIsLostWithoutSettings) {
  testing_support::ProcessRequest request;
  const Entries inherited = {"A=1", "B=", "odd entry"};
  EXPECT_EQ(testing_support::environment_entries(inherited, request), inherited);
  request.environment = {{"A", ""}};
  EXPECT_EQ(testing_support::environment_entries(inherited, request),
            (Entries{"B=", "odd entry", "A="}));
}
