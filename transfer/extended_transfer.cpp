#include <cstdint>
#include <iomanip>
#include <iostream>
#include <optional>

#include "shell/console.hpp"
#include "transfer/actions.hpp"
#include "transfer/partition_table.hpp"

namespace {

struct Range {
  std::uint32_t address;
  std::uint32_t size;
};

void print_partition_table() {
  print_line("ID\tNAME\t\tOFFSET\t\tSIZE");
  print_line(std::string(79, '-'));
  for (std::size_t position = 1; position <= partition_count; ++position) {
    const PartitionEntry& entry = partition_at(position);
    const char letter = static_cast<char>('A' + position - 1);
    print_line(letter, '\t', entry.name, "\t0x", std::setw(8), entry.address, "\t0x", std::setw(8),
               entry.size);
  }
  print_line("Z\tOTHER");
}

// Asks until a hexadecimal number in range arrives: each refused answer has used up its
// line, so only the end of input (which leaves the action) stops the asking.
std::uint32_t ask_hex_number(const char* prompt) {
  for (;;) {
    print_prompt(prompt);
    if (const std::optional<std::int32_t> number = read_hex_number()) {
      return static_cast<std::uint32_t>(*number);
    }
  }
}

// The row or typed range of one choice, or nothing when the answer selects nothing.
std::optional<Range> ask_range() {
  print_prompt("Choice: ");
  const char choice = capital_letter(read_char());
  if (choice >= 'A' && choice < static_cast<char>('A' + partition_count)) {
    const PartitionEntry& entry = partition_at(static_cast<std::size_t>(choice - 'A' + 1));
    return Range{entry.address, entry.size};
  }
  if (choice == 'Z') {
    const std::uint32_t address = ask_hex_number("Offset: ");
    return Range{address, ask_hex_number("Size: ")};
  }
  return std::nullopt;
}

Range ask_confirmed_range() {
  for (;;) {
    const std::optional<Range> range = ask_range();
    if (!range) continue;
    print_line("Offset: 0x", range->address, "\nSize: 0x", range->size);
    // No blank after the question mark: the system's own text.
    print_prompt("Valid?");
    if (is_yes(read_char())) return *range;
  }
}

}  // namespace

void extended_transfer() {
  // Stays in force for the rest of the run: later numbers print in hexadecimal too.
  std::cout << std::hex << std::setfill('0');
  print_partition_table();
  const Range range = ask_confirmed_range();
  print_prompt("Send?(Y/O/1): ");
  const bool send = is_yes(read_char());
  bool force = false;
  if (!send) {
    print_prompt("Force?(Y/O/1): ");
    force = is_yes(read_char());
  }
  transfer_partition(range.address, range.size, send, force);
}
