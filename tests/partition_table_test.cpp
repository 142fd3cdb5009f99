#include "transfer/partition_table.hpp"

#include <gtest/gtest.h>

#include <string>

TEST(PartitionTable, LooksUpRowsByExactName) {
  struct Case {
    const char* name;
    std::uint32_t address;
    std::uint32_t size;
  };
  const Case cases[] = {
      {"ROOT_DISK", 0x18000000, 0x016E9000},
      {"CUST_DISK", 0x10000000, 0x014EB000},
      {"USER_DISK", 0x08000000, 0x00EB1400},
      {"STATIC_EEP", 0x544FC000, 0x00008000},
      {"CAL_BACKUP", 0x00000050, 0x00008000},
      {"PREFLASH", 0x30000000, 0x08400100},
      {"EBL", 0x40000000, 0x00040000},
      {"SLB", 0x40000000, 0x000A0000},
      {"root_disk", 0, 0},
      {"ROOT", 0, 0},
      {"ROOT_DISK ", 0, 0},
      {"", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(partition_address(c.name), c.address);
    EXPECT_EQ(partition_size(c.name), c.size);
  }
}

TEST(PartitionTable, RowsKeepTheirOrderAndFitTheirNameField) {
  ASSERT_EQ(partition_count, 16u);
  EXPECT_STREQ(partition_at(1).name, "STATIC_EEP");
  EXPECT_STREQ(partition_at(11).name, "ROOT_DISK");
  EXPECT_STREQ(partition_at(16).name, "CAL_BACKUP");
  EXPECT_EQ(partition_at(16).address, 0x50u);
  for (std::size_t position = 1; position <= partition_count; ++position) {
    const PartitionEntry& entry = partition_at(position);
    const std::string name(entry.name, sizeof entry.name);
    EXPECT_LE(std::string(entry.name).size(), 15u);
    EXPECT_EQ(name.find_first_not_of('\0', std::string(entry.name).size()), std::string::npos)
        << "name field of row " << position << " is not NUL-padded";
  }
  EXPECT_THROW(partition_at(0), std::out_of_range);
  EXPECT_THROW(partition_at(17), std::out_of_range);
}
