// Letter G end to end: a container built here, the program run on it, the whole console
// transcript and the files left behind compared.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "tests/support/dfat_container.hpp"
#include "tests/support/transcript.hpp"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const std::string source_prompt = "Source file (Ex: C:\\KS360AT_CUST.dfat): ";
const std::string target_prompt = "Target file (Ex: C:\\KS360.fat): ";
const std::string prompts = source_prompt + target_prompt;
const std::string loading = "Loading...\n";
const std::string stream_failure =
    "Error during opening/reading/writing of file: ios_base::failbit set\n";
const std::string not_found = "Section not found: error in the format\n";
const std::string bad_format = "Error in the format\n";
const std::string too_short = "Image section too short: error in the format\n";
const std::string out_of_range = "Section chain out of range: error in the format\n";
const std::string same_file = "Target file is the source file: choose another target\n";

const Bytes image = image_bytes(1000);

struct ExtractionCase {
  const char* name;
  Bytes container;
  std::string printed;  // the action's whole output, prompts included
  // The target's bytes; none: the target answer names no file of its own afterwards.
  std::optional<Bytes> target = Bytes{};
  std::string source_answer = "cust.dfat";
  std::string target_answer = "cust.fat";
  bool source_exists = true;
  std::function<void(const fs::path&)> prepare = nullptr;  // run once the source is written
};

Bytes sections(const std::function<void(Bytes&)>& build) {
  Bytes container;
  build(container);
  return container;
}

std::vector<ExtractionCase> extraction_cases() {
  return {
      {.name = "image section first",
       .container = sections([](Bytes& c) {
         add_image_section(c, image);
         add_section(c, 2, 12);
       }),
       .printed = prompts + loading,
       .target = image},
      {.name = "skipped kinds and a kind 12 / sub_kind 1 section before the image",
       .container = sections([](Bytes& c) {
         add_section(c, 0, 12);
         add_section(c, 1, 100, 0, 0x11);
         add_section(c, 0xFFFFFFFF, 13, 0, 0x22);
         add_header(c, 12, 40 + 16, 1);  // an image section that is not the CUST one
         c.insert(c.end(), 28, 0xEE);
         c.insert(c.end(), 16, 0x33);
         add_section(c, 13, 20, 0);
         add_image_section(c, image);
       }),
       .printed = prompts + loading,
       .target = image},
      {.name = "kind 2 before the image ends the walk, an old target is emptied",
       .container = sections([](Bytes& c) {
         add_section(c, 1, 24);
         add_section(c, 2, 12);
         add_image_section(c, image);
       }),
       .printed = prompts + not_found,
       .prepare = [](const fs::path& work) { write_bytes(work / "cust.fat", image); }},
      {.name = "skipped section of length 0",
       .container = sections([](Bytes& c) {
         add_section(c, 1, 16);
         add_section(c, 5, 0);
         add_image_section(c, image);
       }),
       .printed = prompts + bad_format},
      {.name = "kind 2 section of length 0",
       .container = sections([](Bytes& c) {
         add_section(c, 2, 0);
         add_image_section(c, image);
       }),
       .printed = prompts + not_found},
      {.name = "image length exactly 40",
       .container = sections([](Bytes& c) {
         add_section(c, 3, 12);
         add_image_section(c, {});
       }),
       .printed = prompts + loading},
      {.name = "empty source", .container = {}, .printed = prompts + stream_failure},
      {.name = "source shorter than one header",
       .container = Bytes(11, 0x0C),
       .printed = prompts + stream_failure},
      {.name = "chain runs past the end below 2 GiB",
       .container = sections([](Bytes& c) {
         add_header(c, 1, 0x7FFFFFF0, 0);
         c.insert(c.end(), 100, 0xA5);
       }),
       .printed = prompts + stream_failure},
      {.name = "image past the end of the source",
       .container = sections([](Bytes& c) {
         add_image_section(c, image);
         c.resize(c.size() - 1);
       }),
       .printed = prompts + loading + stream_failure},
      {.name = "image section shorter than its header",
       .container = sections([](Bytes& c) {
         add_header(c, 12, 39, 0);
         c.insert(c.end(), 60, 0xEE);
       }),
       .printed = prompts + too_short},
      {.name = "image section of length 0",
       .container = sections([](Bytes& c) { add_section(c, 12, 0, 0); }),
       .printed = prompts + too_short},
      {.name = "chain wrapping back to its first section",
       .container = sections([](Bytes& c) {
         add_section(c, 1, 16);
         add_header(c, 1, 0xFFFFFFF0, 0);  // 16 + this length wraps to 0 in 32 bits
       }),
       .printed = prompts + out_of_range},
      {.name = "chain reaching 2 GiB",
       .container = sections([](Bytes& c) {
         add_header(c, 1, 0x80000000, 0);
         add_image_section(c, image);
       }),
       .printed = prompts + out_of_range},
      {.name = "image claiming 4 GiB in a small source",
       .container = sections([](Bytes& c) {
         add_header(c, 12, 0xFFFFFFFF, 0);
         c.insert(c.end(), 100, 0xEE);
       }),
       .printed = prompts + loading + stream_failure},
      {.name = "target spelled as the source",
       .container = sections([](Bytes& c) { add_image_section(c, image); }),
       .printed = prompts + same_file,
       .target = std::nullopt,
       .target_answer = "cust.dfat"},
      {.name = "target reaching the source through another folder",
       .container = sections([](Bytes& c) { add_image_section(c, image); }),
       .printed = prompts + same_file,
       .target = std::nullopt,
       .target_answer = "./other/../cust.dfat",
       .prepare = [](const fs::path& work) { fs::create_directory(work / "other"); }},
      {.name = "target a hard link to the source",
       .container = sections([](Bytes& c) { add_image_section(c, image); }),
       .printed = prompts + same_file,
       .target = std::nullopt,
       .target_answer = "linked.fat",
       .prepare =
           [](const fs::path& work) {
             fs::create_hard_link(work / "cust.dfat", work / "linked.fat");
           }},
      {.name = "paths with blanks, kept whole",
       .container = sections([](Bytes& c) { add_image_section(c, image); }),
       .printed = prompts + loading,
       .target = image,
       .source_answer = "my firmware/ KS360 cust .dfat",
       .target_answer = "  the image.fat "},
      {.name = "source that cannot be opened",
       .container = {},
       .printed = source_prompt + stream_failure,
       .target = std::nullopt,
       .source_answer = "missing.dfat",
       .source_exists = false},
      {.name = "source that is a folder",
       .container = {},
       .printed = source_prompt + stream_failure,
       .target = std::nullopt,
       .source_answer = "cust folder.dfat",
       .source_exists = false,
       .prepare = [](const fs::path& work) { fs::create_directory(work / "cust folder.dfat"); }},
      {.name = "target that cannot be opened",
       .container = sections([](Bytes& c) { add_image_section(c, image); }),
       .printed = prompts + "The folder of the file 'no such folder/cust.fat' does not exist.\n" +
                  stream_failure,
       .target = std::nullopt,
       .target_answer = "no such folder/cust.fat"},
  };
}

class ExtractCustPartition : public TranscriptTest {
 protected:
  void clear_work_folder() {
    for (const auto& entry : fs::directory_iterator(work())) fs::remove_all(entry.path());
  }
};

}  // namespace

TEST_F(ExtractCustPartition, WalksTheChainAndCopiesTheImageOrReportsTheFault) {
  for (const ExtractionCase& c : extraction_cases()) {
    SCOPED_TRACE(c.name);
    clear_work_folder();
    const fs::path source = work(c.source_answer);
    const fs::path target = work(c.target_answer);
    if (c.source_exists) {
      fs::create_directories(source.parent_path());
      write_bytes(source, c.container);
    }
    if (c.prepare) c.prepare(work());
    // After a source that cannot be opened the target is never asked for.
    const std::string input =
        "G\n" + c.source_answer + "\n" + (c.source_exists ? c.target_answer + "\n" : "") + "Q\n";

    const Session session = run(input);

    EXPECT_EQ(session.output, transcript({c.printed}));
    EXPECT_EQ(session.exit_status, 0);
    if (c.source_exists) {
      EXPECT_EQ(read_bytes(source), c.container);
    }
    if (c.target) {
      ASSERT_TRUE(fs::exists(target));
      EXPECT_EQ(read_bytes(target), *c.target);
    } else if (fs::exists(target)) {
      EXPECT_TRUE(c.source_exists && fs::equivalent(source, target)) << "a target was created";
    }
  }
}

TEST_F(ExtractCustPartition, AFailedWriteIsReportedAsABadStream) {
  const fs::path full_device = "/dev/full";
  if (!fs::exists(full_device)) GTEST_SKIP() << "no device that refuses every write";
  Bytes container;
  add_image_section(container, image);
  write_bytes(work("cust.dfat"), container);

  const Session session = run("G\ncust.dfat\n" + full_device.string() + "\nQ\n");

  EXPECT_EQ(session.output,
            transcript({prompts + loading +
                        "Error during opening/reading/writing of file: ios_base::badbit set\n"}));
  EXPECT_EQ(read_bytes(work("cust.dfat")), container);
}
