#include "shell/menu.hpp"

#include <array>
#include <new>
#include <string_view>

#include "animation/actions.hpp"
#include "packages/actions.hpp"
#include "platform/interruption.hpp"
#include "shell/console.hpp"
#include "shell/failure.hpp"
#include "transfer/actions.hpp"
#include "transfer/partition_table.hpp"

namespace {

constexpr std::string_view program_name = "Korvanta";
constexpr std::string_view program_version = "0.4.2";

template <bool send>
void transfer_named(const char* partition) {
  transfer_partition(partition_address(partition), partition_size(partition), send, false);
}

struct MenuEntry {
  char letter;
  const char* text;  // null for the letters that work but are not listed
  void (*action)();  // null for "Q"
};

constexpr std::array<MenuEntry, 18> menu_entries{{
    {'A', "Send ROOT partition on mobile phone", [] { transfer_named<true>("ROOT_DISK"); }},
    // "BACKUP" in capitals, unlike D, F and O: the system's own text.
    {'B', "BACKUP ROOT partition on mobile phone", [] { transfer_named<false>("ROOT_DISK"); }},
    {'C', "Send CUST partition on mobile phone", [] { transfer_named<true>("CUST_DISK"); }},
    {'D', "Backup CUST partition on mobile phone", [] { transfer_named<false>("CUST_DISK"); }},
    {'E', "Send USER partition on mobile phone", [] { transfer_named<true>("USER_DISK"); }},
    {'F', "Backup USER partition on mobile phone", [] { transfer_named<false>("USER_DISK"); }},
    {'G', "Extract CUST partition from .DFAT", extract_cust_partition},
    {'H', "Extract files from a WDB file", extract_wdb_files},
    {'I', "Extract files from a KDZ file", extract_kdz_files},
    {'J', "Flash with assistant (file .cab)", flash_with_assistant},
    {'K', "Extract an animation", extract_animation},
    {'L', "Create an animation", create_animation},
    // The system's own text: a slash, an exclamation mark and a backslash.
    {'M', "Extended /!\\", extended_transfer},
    {'N', "Send STATIC_EEP partition on mobile phone", [] { transfer_named<true>("STATIC_EEP"); }},
    {'O', "Backup STATIC_EEP partition on mobile phone",
     [] { transfer_named<false>("STATIC_EEP"); }},
    {'Q', "Exit", nullptr},
    {'V', nullptr, restart_phone},
    {'X', nullptr, boot_executable},
}};

const MenuEntry* find_entry(char letter) {
  for (const MenuEntry& entry : menu_entries) {
    if (entry.letter == letter) return &entry;
  }
  return nullptr;
}

}  // namespace

void print_banner() {
  print_line("|--------------------------------------|");
  print_line("|          ! ", program_name, " V", program_version, " !         |");
  print_line("|                 ", phone_model, "                |");
  print_line("|  Flash, firmware and boot animation  |");
  print_line("|     tools for the technician's PC    |");
  print_line("|    written by the Korvanta team      |");
  print_line("|--------------------------------------|");
  print_line();
}

void print_menu() {
  print_line("Menu");
  print_line("--------------------------------");
  for (const MenuEntry& entry : menu_entries) {
    if (entry.text) print_line(entry.letter, " - ", entry.text);
  }
}

bool run_reported(const std::function<void()>& action) {
  try {
    action();
  } catch (const EndOfInput&) {
    return false;
  } catch (const std::ios_base::failure& failure) {
    const auto* ours = dynamic_cast<const StreamFailure*>(&failure);
    if (ours && !ours->note().empty()) print_line(ours->note());
    print_line("Error during opening/reading/writing of file: ", failure.what());
  } catch (const TextFailure& failure) {
    print_line(failure.what());
  } catch (const std::bad_alloc&) {
    print_line("bad allocation");
  } catch (const std::exception& failure) {
    print_line(failure.what());
  }
  return true;
}

namespace {

// The menu loop, until "Q" or the end of input.
void run_menu_passes() {
  bool running = true;
  while (running) {
    print_menu();
    // Nobody sees the menu: the program ends as when its console is closed.
    if (console_output_lost()) throw Interrupted{};
    running = run_reported([&running] {
                print_prompt("Choice: ");
                const MenuEntry* entry = find_entry(capital_letter(read_char()));
                if (!entry) {
                  print_line("Invalid choice");
                } else if (!entry->action) {
                  running = false;
                } else {
                  entry->action();
                }
              }) &&
              running;
    print_line();
  }
}

}  // namespace

int run_menu() {
  print_banner();
  try {
    run_menu_passes();
  } catch (const Interrupted&) {
    return platform::interrupted_exit_status();
  }
  return 0;
}
