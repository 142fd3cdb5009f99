#include "platform/device_names.hpp"

#include <array>

namespace platform {

namespace {

char lower(char letter) {
  return letter >= 'A' && letter <= 'Z' ? static_cast<char>(letter - 'A' + 'a') : letter;
}

bool same_letters(std::string_view text, std::string_view lower_case) {
  if (text.size() != lower_case.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (lower(text[i]) != lower_case[i]) return false;
  }
  return true;
}

bool is_port_number(char digit) {
  const auto byte = static_cast<unsigned char>(digit);
  return (digit >= '1' && digit <= '9') || byte == 0xB9 || byte == 0xB2 || byte == 0xB3;
}

}  // namespace

bool is_windows_device_name(std::string_view name) {
  const auto folder_end = name.find_last_of("\\/:");
  // "nul:" names the device as "nul" does: the colon of a drive only counts before text.
  if (folder_end != std::string_view::npos && folder_end + 1 == name.size() &&
      name[folder_end] == ':') {
    name.remove_suffix(1);
    return is_windows_device_name(name);
  }
  std::string_view last = folder_end == std::string_view::npos ? name : name.substr(folder_end + 1);
  if (same_letters(last, "conin$") || same_letters(last, "conout$")) return true;
  // The extension, and the dots and spaces the system drops at the end, do not count.
  last = last.substr(0, last.find('.'));
  while (!last.empty() && last.back() == ' ') last.remove_suffix(1);
  constexpr std::array<std::string_view, 4> devices{"con", "prn", "aux", "nul"};
  for (std::string_view device : devices) {
    if (same_letters(last, device)) return true;
  }
  return last.size() == 4 &&
         (same_letters(last.substr(0, 3), "com") || same_letters(last.substr(0, 3), "lpt")) &&
         is_port_number(last[3]);
}

}  // namespace platform
