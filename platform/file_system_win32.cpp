#include <windows.h>

#include "platform/file_system.hpp"

namespace platform {

std::filesystem::path typed_path(const std::string& typed) {
  if (typed.empty()) return {};
  const int bytes = static_cast<int>(typed.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, typed.data(), bytes, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, typed.data(), bytes, wide.data(), length);
  return std::filesystem::path(wide);
}

}  // namespace platform
