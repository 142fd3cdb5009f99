#include "transfer/extract_pages.hpp"

#include <filesystem>
#include <ostream>
#include <system_error>
#include <vector>

#include "platform/file_system.hpp"
#include "platform/positioned_file.hpp"
#include "shell/failure.hpp"
#include "shell/files.hpp"
#include "shell/target_file.hpp"

namespace {

// Pages gathered before they go to the data file in one write: a write per page costs
// more than the copy it saves (a ROOT_DISK backup: about 2× the time of 32-page writes).
constexpr std::size_t pages_per_write = 32;

// The pages, 64 KiB at a time.
void copy_pages(std::uint32_t page_limit, platform::PositionedFile& raw, std::ostream& data) {
  if (!raw.is_open()) throw StreamFailure(std::ios_base::failbit);
  const bool to_end = page_limit == whole_read_back;
  std::vector<char> pages(pages_per_write * page_bytes);
  std::size_t gathered = 0;
  const auto write_gathered = [&] {
    write_all(data, pages.data(), gathered);
    gathered = 0;
  };
  const std::uint32_t page_count = page_limit / page_bytes;
  for (std::uint32_t page = 0; page < page_count; ++page) {
    const auto got = raw.read_at(std::uint64_t{page} * read_back_block_bytes,
                                 pages.data() + gathered, page_bytes);
    if (got != page_bytes) {
      if (to_end && got) break;  // a forced backup ends after the last whole page
      write_gathered();          // the whole pages before the one that failed stay
      // As a stream reports them: a short read ends the file early, an error is bad.
      throw StreamFailure(got ? std::ios_base::failbit | std::ios_base::eofbit
                              : std::ios_base::badbit);
    }
    gathered += page_bytes;
    if (gathered == pages.size()) write_gathered();
  }
  write_gathered();
}

// Where a forced backup keeps an earlier raw file while its upload runs.
std::string set_aside_name(const std::string& raw_file) {
  return raw_file + ".before-forced-backup";
}

}  // namespace

void extract_pages(std::uint32_t page_limit, TargetFile& data_file, const std::string& raw_file) {
  // Each page is read at its block's offset straight into its place among the pages to
  // write: one system call a page, where a stream needs a seek and a read (about 1.3× the
  // time of a ROOT_DISK backup).
  platform::PositionedFile raw(raw_file);
  data_file.put_in_place_after([&] { copy_pages(page_limit, raw, data_file.stream()); });
}

BackupFiles::BackupFiles(const std::string& data_file, const std::string& sec_pack, bool force)
    : raw_file_(data_file + ".big"),
      sec_pack_guard_{sec_pack, "The backup would overwrite the sec-pack file " + sec_pack +
                                    ": choose another data file"},
      data_(data_file, Durability::flushed, {sec_pack_guard_}),
      raw_(raw_file_, Durability::cached, {sec_pack_guard_}) {
  if (!force) return;
  const std::string set_aside = set_aside_name(raw_file_);
  set_aside_.emplace(set_aside, Durability::cached,
                     std::initializer_list<Guarded>{sec_pack_guard_});
  if (platform::move_file(set_aside, raw_file_) == platform::FileOutcome::exists) {
    fail("An interrupted forced backup left the earlier raw file '" + set_aside + "' beside '" +
         raw_file_ + "', which is newer: keep one of them under '" + raw_file_ +
         "' and remove the other");
  }
}

namespace {

// An earlier raw file set aside for its life: a raw file found meanwhile is the upload's,
// whatever its size and time say (a FAT drive keeps times in 2-second steps, a C runtime
// in whole seconds).
struct SetAsideRawFile {
  explicit SetAsideRawFile(const std::string& raw) : raw_file(raw), set_aside(set_aside_name(raw)) {
    // An earlier raw file that stays would pass for the upload's.
    const platform::FileOutcome moved = platform::move_file(raw_file, set_aside);
    if (moved != platform::FileOutcome::done && moved != platform::FileOutcome::missing_folder) {
      fail("The earlier raw file '" + raw_file + "' cannot be set aside as '" + set_aside +
           "': close it in the program that holds it, or remove it");
    }
  }
  ~SetAsideRawFile() {
    std::error_code kept;
    if (upload_wrote_raw_file()) {
      std::filesystem::remove(platform::typed_path(set_aside), kept);
    } else {
      platform::move_file(set_aside, raw_file);
    }
  }
  SetAsideRawFile(const SetAsideRawFile&) = delete;
  SetAsideRawFile& operator=(const SetAsideRawFile&) = delete;
  bool upload_wrote_raw_file() const {
    // A file, or a link, even a broken one, under the raw file's name.
    std::error_code unknown;
    return std::filesystem::exists(
        std::filesystem::symlink_status(platform::typed_path(raw_file), unknown));
  }

  const std::string& raw_file;
  const std::string set_aside;
};

}  // namespace

void BackupFiles::receive_whole(const std::function<void()>& upload,
                                const std::function<std::string()>& failure) {
  const SetAsideRawFile earlier(raw_file_);
  upload();
  if (!earlier.upload_wrote_raw_file()) {
    // The failure's text first: a request to stop leaves the earlier data file in place.
    const std::string text = failure();
    data_.put_in_place_after([&] { fail(text); });
  }
  convert(whole_read_back);
}
