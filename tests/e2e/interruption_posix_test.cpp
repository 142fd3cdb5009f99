// The program stopped in the middle: a request to stop (SIGINT, SIGTERM) during a phone
// session, or output that nobody reads any more, waits for the phone to be closed, and a
// program killed outright (SIGKILL) while it writes leaves every earlier file whole. POSIX
// signals; the Windows build has its own console events.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <thread>

#include "tests/e2e/phone_fixture.hpp"
#include "tests/support/bmp.hpp"

using namespace phone_testing;
using testing_support::read_bytes;
using testing_support::write_bytes;
namespace fs = std::filesystem;

namespace {

const std::string notice = "Interrupted: the program stops once the phone is closed.\n";
constexpr std::size_t frame_size = 153'600;

// Watches a folder for the first time the program creates, opens or changes one of
// `names` in it: the moment an action starts writing a file.
class WriteWatch {
 public:
  WriteWatch(const fs::path& folder, std::set<std::string> names)
      : watch_(inotify_init1(IN_CLOEXEC)), names_(std::move(names)) {
    inotify_add_watch(watch_, folder.c_str(), IN_CREATE | IN_OPEN | IN_MODIFY | IN_MOVED_TO);
  }
  ~WriteWatch() { close(watch_); }

  // True once such an event came; false after ten seconds without one.
  bool wait() {
    alignas(inotify_event) char events[4096];
    for (;;) {
      pollfd ready{watch_, POLLIN, 0};
      if (poll(&ready, 1, 10'000) <= 0) return false;
      const ssize_t length = read(watch_, events, sizeof events);
      for (ssize_t at = 0; at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        if (event->len && names_.count(event->name)) return true;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  }

 private:
  int watch_;
  std::set<std::string> names_;
};

class Interruption : public PhoneTranscript {
 protected:
  // The names in the work folder that end in ".incomplete".
  std::vector<std::string> incomplete_files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(work())) {
      if (entry.path().extension() == ".incomplete") names.push_back(entry.path().filename());
    }
    return names;
  }
};

}  // namespace

TEST_F(Interruption, ARequestToStopInAPhoneSessionWaitsForThePhoneToClose) {
  const Bytes earlier = random_bytes(0x8000, 31);
  const fs::path held = work("flash") / "_IFWD_DL_upload_bin_image.held";
  struct Case {
    const char* what;
    std::vector<int> signals;
  };
  const Case cases[] = {
      {"Ctrl+C", {SIGINT}},
      {"Ctrl+C twice", {SIGINT, SIGINT}},
      {"a request to terminate, then Ctrl+C", {SIGTERM, SIGINT}},
  };
  expect_exit_status(128 + SIGINT);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write_bytes(work("eep.bin"), earlier);
    fs::remove(work("eep.bin.big"));
    while_running([&](long process) {
      ASSERT_TRUE(wait_until([&] { return fs::exists(held); })) << "the upload was never held";
      for (const int signal : c.signals) {
        kill(static_cast<pid_t>(process), signal);
        ASSERT_TRUE(wait_until([&] { return output_so_far().ends_with(notice); }));
      }
      fs::remove(held);
    });
    const Session session =
        run_phone("O\n" + answers("eep.bin") + "Q\n",
                  {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_upload_bin_image=hold"}});
    EXPECT_EQ(session.output, testing_support::banner + testing_support::menu + "Choice: " +
                                  transfer_opening + booted + receiving + notice + closing);
    EXPECT_EQ(calls(),
              bound({version_call, open_call(), boot_call(),
                     upload_call(0x544FC000, 0x40000, "eep.bin.big"), reset_call, close_call}));
    EXPECT_EQ(read_bytes(work("eep.bin")), Bytes(0x8000, 0xFF))
        << "the whole upload becomes the data file before the program stops";
  }
}

// Output that nobody reads any more ("korvanta | head", a logging tool that was closed, a
// full device) ends the program as a hang-up does, never by SIGPIPE: a phone session goes
// on to its closing steps, and no further choice is read.
TEST_F(Interruption, OutputThatNobodyReadsEndsTheProgramOnlyOnceThePhoneIsClosed) {
  const fs::path pipe = work("console");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const fs::path held = work("flash") / "_IFWD_DL_upload_bin_image.held";
  const std::string read_before_quitting = testing_support::banner + testing_support::menu +
                                           "Choice: " + transfer_opening + booted + receiving;
  std::string read_by_head;
  // Reads the pipe until the upload is held, then quits as head does.
  const auto reader_quitting_in_the_upload = [&](long) {
    const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_TRUE(wait_until([&] {
      char bytes[4096];
      const ssize_t length = ::read(reader, bytes, sizeof bytes);
      if (length > 0) read_by_head.append(bytes, static_cast<std::size_t>(length));
      return fs::exists(held) && length <= 0;
    }));
    close(reader);
    fs::remove(held);
  };
  struct Case {
    const char* what;
    fs::path output;
    std::function<void(long)> step;
    std::string log;
  };
  const Case cases[] = {
      {"a pipe whose reader quits during the upload", pipe, reader_quitting_in_the_upload,
       bound({version_call, open_call(), boot_call(),
              upload_call(0x544FC000, 0x40000, "eep.bin.big"), reset_call, close_call})},
      {"a full device from the start: the choice is never read", "/dev/full", nullptr, ""},
  };
  expect_exit_status(128 + SIGINT);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    send_output_to(c.output);
    while_running(c.step);
    run_phone("O\n" + answers("eep.bin") + "Q\n",
              {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_upload_bin_image=hold"}});
    EXPECT_EQ(calls(), c.log);
  }
  EXPECT_EQ(read_by_head, read_before_quitting);
  EXPECT_EQ(read_bytes(work("eep.bin")), Bytes(0x8000, 0xFF)) << "the backup went on to its end";
}

// Each action is killed as soon as it starts writing its file. Every file it writes is
// then its earlier self or the whole new one, never a part; the next run over the same
// target removes what the killed one left and writes the whole file.
TEST_F(Interruption, AProgramKilledWhileItWritesLeavesEveryEarlierFileWhole) {
  install_every_standin();
  write_bytes(work("white.bmp"), testing_support::make_bmp({}, [](int, int) {
                return testing_support::Rgb{255, 255, 255};
              }));
  constexpr int frames = 40;
  std::string pictures;
  for (int frame = 0; frame < frames; ++frame) pictures += "white.bmp\n";
  const Bytes animation = random_bytes(frames * frame_size, 32);
  write_bytes(work("source.bin"), animation);
  // What the whole runs write, to compare with.
  run("K\nsource.bin\nwhole\nL\nwhole.bin\n" + pictures + "\nQ\n");
  std::map<std::string, Bytes> whole{{"anim.bin", read_bytes(work("whole.bin"))},
                                     {"code2.bin", Bytes(0x800000, 0xFF)}};
  std::set<std::string> watched_pictures;
  for (int frame = 0; frame < frames; ++frame) {
    const std::string picture = "k" + std::to_string(frame) + ".bmp";
    whole[picture] = read_bytes(work("whole" + std::to_string(frame) + ".bmp"));
    watched_pictures.insert({picture, picture + ".incomplete"});
  }

  struct Case {
    const char* what;
    std::string input;
    std::set<std::string> watched;  // the files it writes, under both names
  };
  const Case cases[] = {
      {"L", "L\nanim.bin\n" + pictures + "\nQ\n", {"anim.bin", "anim.bin.incomplete"}},
      {"K", "K\nsource.bin\nk\nQ\n", watched_pictures},
      {"a backup of CODE2 (8 MiB)",
       "M\nF\ny\nn\nn\n" + answers("code2.bin") + "Q\n",
       {"code2.bin", "code2.bin.incomplete"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::map<std::string, Bytes> earlier;
    for (const auto& [name, bytes] : whole) {
      earlier[name] = random_bytes(1000 + name.size(), 33);
      write_bytes(work(name), earlier[name]);
    }
    WriteWatch watch(work(), c.watched);
    expect_exit_status(-1);
    while_running([&](long process) {
      EXPECT_TRUE(watch.wait()) << "the action never wrote";
      kill(static_cast<pid_t>(process), SIGKILL);
    });
    run_phone(c.input);
    for (const auto& [name, bytes] : whole) {
      const Bytes now = read_bytes(work(name));
      EXPECT_TRUE(now == earlier[name] || now == bytes)
          << name << " holds " << now.size() << " bytes, a part of a file";
    }

    while_running(nullptr);
    expect_exit_status(0);
    run_phone(c.input);
    for (const std::string& name : c.watched) {
      if (whole.count(name)) {
        EXPECT_EQ(read_bytes(work(name)), whole[name]) << name;
      }
    }
    EXPECT_EQ(incomplete_files(), std::vector<std::string>{});
  }
}
