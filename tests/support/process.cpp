#include "tests/support/process.hpp"

#include <algorithm>

namespace testing_support {

std::vector<std::string> environment_entries(const std::vector<std::string>& inherited,
                                             const ProcessRequest& request) {
  std::vector<std::string> entries;
  const auto set = [&entries](const std::string& entry) {
    const std::size_t equals = entry.find('=', 1);
    const std::string prefix = equals == std::string::npos ? entry : entry.substr(0, equals + 1);
    std::erase_if(entries, [&](const std::string& old) { return old.starts_with(prefix); });
    entries.push_back(entry);
  };
  for (const std::string& entry : inherited) set(entry);
  for (const auto& [name, value] : request.environment) set(name + "=" + value);
  return entries;
}

}  // namespace testing_support
