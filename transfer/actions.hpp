// The phone actions. Each raises a text or a stream failure on error, which the menu
// loop reports.
#pragma once

#include <cstdint>

// Moves one range of the phone's flash between the phone and a data file (send: file
// to phone; otherwise a backup). `force` makes a backup read without a length limit.
void transfer_partition(std::uint32_t address, std::uint32_t size, bool send, bool force);

// Letter M: the whole partition table or a typed range, confirmed, then transferred.
void extended_transfer();

// Letter V: prints the phone's software version data and restarts it.
void restart_phone();

// Letter X: boots a file that the user names on the phone.
void boot_executable();
