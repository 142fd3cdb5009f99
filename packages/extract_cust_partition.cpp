#include <string>

#include "packages/actions.hpp"
#include "packages/dfat.hpp"
#include "shell/console.hpp"
#include "shell/failure.hpp"
#include "shell/files.hpp"
#include "shell/target_file.hpp"

namespace {

// Only a regular file that gives its first byte is taken as the source, before the target
// is emptied. Any other source is refused as one that cannot be opened.
std::ifstream open_source(const std::string& path) {
  std::ifstream source = open_typed_source(path);
  source.peek();  // an empty source stays a source: the walk finds its end
  if (source.bad()) throw StreamFailure(std::ios_base::failbit);
  source.clear();
  return source;
}

}  // namespace

void extract_cust_partition() {
  print_prompt("Source file (Ex: C:\\", phone_model, "AT_CUST.dfat): ");
  const std::string source_path = read_line();
  std::ifstream source = open_source(source_path);

  print_prompt("Target file (Ex: C:\\", phone_model, ".fat): ");
  const std::string target_path = read_line();
  // The target replaces its file at the end, also after a failure (empty then): a target
  // that is the source itself would lose it. The image could be extracted again, but it is
  // what the phone is flashed with next, and its one flush costs a few milliseconds.
  TargetFile target(target_path, Durability::flushed,
                    {{source_path, "Target file is the source file: choose another target"}});
  target.put_in_place_after([&] {
    std::ostream& image = target.stream();
    const CustSection section = find_cust_section(source);
    print_line("Loading...");
    copy_cust_image(source_path, section, image);
    source.close();
  });
}
