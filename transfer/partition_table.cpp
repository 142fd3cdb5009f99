#include "transfer/partition_table.hpp"

namespace {

const PartitionEntry* find_partition(std::string_view name) {
  for (const PartitionEntry& entry : partition_table) {
    if (std::string_view(entry.name) == name) return &entry;
  }
  return nullptr;
}

}  // namespace

const PartitionEntry& partition_at(std::size_t position) {
  return partition_table.at(position - 1);
}

std::uint32_t partition_address(std::string_view name) {
  const PartitionEntry* entry = find_partition(name);
  return entry ? entry->address : 0;
}

std::uint32_t partition_size(std::string_view name) {
  const PartitionEntry* entry = find_partition(name);
  return entry ? entry->size : 0;
}
