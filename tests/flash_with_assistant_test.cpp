// Letter J in the test process, to watch the program-wide upgrade parameter list
// between runs. The upgrade library stand-in lies beside the test program.
#include <gtest/gtest.h>

#include <filesystem>

#include "packages/actions.hpp"
#include "packages/upgrade_parameters.hpp"
#include "shell/console.hpp"
#include "shell/failure.hpp"
#include "tests/support/files.hpp"
#include "tests/support/scripted_console.hpp"

namespace {

class FlashWithAssistant : public ::testing::Test {
 protected:
  FlashWithAssistant() {
    testing_support::set_environment("KORVANTA_STANDIN_LOG", (scratch_ / "calls.log").string());
  }
  ~FlashWithAssistant() override { testing_support::set_environment("KORVANTA_STANDIN_LOG", ""); }

  void feed(const std::string& text) { console_.feed(text); }
  std::string log() const {
    const auto path = scratch_ / "calls.log";
    return std::filesystem::exists(path) ? testing_support::read_text(path) : "";
  }

 private:
  testing_support::ScratchFolder scratch_;
  testing_support::ScriptedConsole console_;
};

}  // namespace

TEST_F(FlashWithAssistant, TheAnswerPositionsKeepTheLastAnswersAcrossRuns) {
  UpgradeParameters expected = upgrade_parameters;
  feed("KS360\nfw.cab\nV10G_04\n");
  flash_with_assistant();
  expected[cab_file_parameter] = "fw.cab";
  expected[software_version_parameter] = "V10G_04";
  expected[phone_model_parameter] = "KS360";
  EXPECT_EQ(upgrade_parameters, expected);

  // A run cut short after the model answer changes the model only.
  feed("model only\n");
  EXPECT_THROW(flash_with_assistant(), EndOfInput);
  expected[phone_model_parameter] = "model only";
  EXPECT_EQ(upgrade_parameters, expected);
  const std::string second_run = "\nload LGMUpgradeDL.dll\nunload LGMUpgradeDL.dll\n";
  const std::string log = this->log();
  ASSERT_GT(log.size(), second_run.size());
  EXPECT_EQ(log.substr(log.size() - second_run.size()), second_run)
      << "the library is released when the input ends inside the action";
}
