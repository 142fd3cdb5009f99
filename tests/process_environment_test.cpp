#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/process.hpp"

using Entries = std::vector<std::string>;

TEST(ProcessEnvironment, TheRequestSetsNamesAndTheLaterSettingWins) {
  platform::ProcessRequest request;
  request.environment = {{"ASAN_OPTIONS", "detect_leaks=1"},
                         {"KORVANTA_PHONE_LOG", "calls.log"},
                         {"ASAN_OPTIONS", "detect_leaks=0"},
                         {"PATH", "/bin"}};
  const Entries inherited = {"PATH=/usr/bin", "HOME=/root", "PATHS=kept", "=C:=C:\\work",
                             "=D:=D:\\"};
  EXPECT_EQ(platform::environment_entries(inherited, request),
            (Entries{"HOME=/root", "PATHS=kept", "=C:=C:\\work", "=D:=D:\\",
                     "KORVANTA_PHONE_LOG=calls.log", "ASAN_OPTIONS=detect_leaks=0", "PATH=/bin"}));
}

TEST(ProcessEnvironment, AnEmptyValueStaysSetAndNothingIsLostWithoutSettings) {
  platform::ProcessRequest request;
  const Entries inherited = {"A=1", "B=", "odd entry"};
  EXPECT_EQ(platform::environment_entries(inherited, request), inherited);
  request.environment = {{"A", ""}};
  EXPECT_EQ(platform::environment_entries(inherited, request), (Entries{"B=", "odd entry", "A="}));
}
