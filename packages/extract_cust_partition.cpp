#include <string>

#include "packages/actions.hpp"
#include "packages/dfat.hpp"
#include "shell/console.hpp"
#include "shell/failure.hpp"
#include "shell/files.hpp"

void extract_cust_partition() {
  print_prompt("Source file (Ex: C:\\", phone_model, "AT_CUST.dfat): ");
  const std::string source_path = read_line();
  std::ifstream source = open_for_reading(source_path);

  print_prompt("Target file (Ex: C:\\", phone_model, ".fat): ");
  const std::string target_path = read_line();
  // Opening the target truncates it: a target that is the source would be emptied unread.
  if (same_file(source_path, target_path)) {
    fail("Target file is the source file: choose another target");
  }
  std::ofstream target = open_for_writing(target_path);

  const CustSection section = find_cust_section(source);
  print_line("Loading...");
  copy_cust_image(source_path, section, target);
  close_after_writing(target);
  source.close();
}
