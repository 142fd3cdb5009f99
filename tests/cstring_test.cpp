// The program's CString against the framework's rules, as a library built with them
// handles the program's strings: the library's side is the stand-ins' own declaration of
// the framework string (standins/common/framework_string.hpp), never the program's.
#include "vendor_abi/cstring.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "standins/common/framework_string.hpp"

using ProgramHeader = vendor_abi::CStringData;
using vendor_abi::program_string_manager;
using vendor_abi::StringManager;
using ProgramString = vendor_abi::CString;
using LibraryString = ::CString;

namespace {

const ProgramHeader& nil_header() {
  static const ProgramString empty;
  return empty.header();
}

// What a Microsoft-built callee does with a by-value argument: owns it, then releases it.
LibraryString received(const ProgramString& string) {
  return LibraryString::Adopt(string.argument().characters);
}

// The library's view of a string whose address it was given.
LibraryString& through_address(ProgramString& string) {
  return *reinterpret_cast<LibraryString*>(&string);
}

}  // namespace

TEST(CString, HoldsTheTextAndEveryEmptyStringIsTheNilString) {
  const std::string long_text(300, 'k');
  for (const std::string& text : {std::string("BIN"), std::string("C:\\a b.wdb"), long_text}) {
    SCOPED_TRACE(text.size());
    const ProgramString string(text.c_str());
    EXPECT_EQ(string.length(), static_cast<int>(text.size()));
    EXPECT_EQ(std::string(string.c_str()), text);
    EXPECT_EQ(string.header().references, 1);
    EXPECT_EQ(string.header().manager, &program_string_manager());
  }
  for (const char* empty : {static_cast<const char*>(nullptr), ""}) {
    const ProgramString string(empty);
    EXPECT_EQ(&string.header(), &nil_header());
    EXPECT_STREQ(string.c_str(), "");
  }
  EXPECT_GE(nil_header().references, 2) << "the nil string is never freed";
}

TEST(CString, CopiesAndArgumentsShareOneBufferAndCountIt) {
  ProgramString original("V10G");
  {
    const ProgramString copy(original);
    EXPECT_EQ(copy.c_str(), original.c_str());
    EXPECT_EQ(original.header().references, 2);
    ProgramString assigned("other");
    assigned = copy;
    EXPECT_EQ(original.header().references, 3);
    {
      const LibraryString argument = received(original);
      EXPECT_EQ(argument.GetString(), original.c_str()) << "the slot holds the characters";
      EXPECT_EQ(original.header().references, 4) << "one reference for the callee";
    }
    EXPECT_EQ(original.header().references, 3) << "released by the callee, not the caller";
  }
  EXPECT_EQ(original.header().references, 1);
}

TEST(CString, WhatALibraryWritesGoesThroughTheProgramsManager) {
  struct Write {
    const char* name;
    std::function<void(LibraryString&)> write;
    const char* written;
  };
  const std::string long_text(2000, 'x');
  const std::vector<Write> writes = {
      {"assign", [](LibraryString& s) { s = "Extraction of fw.kdz"; }, "Extraction of fw.kdz"},
      {"assign then grow",
       [&](LibraryString& s) {
         s = "Wrote";
         s += long_text.c_str();
       },
       nullptr},
      {"append to a copy of the caller's", [](LibraryString& s) { s += " did not finish"; },
       " did not finish"},
      {"assign empty", [](LibraryString& s) { s = ""; }, ""},
  };
  for (const Write& write : writes) {
    SCOPED_TRACE(write.name);
    const std::string expected = write.written ? write.written : "Wrote" + long_text;
    const long nil_references = nil_header().references;
    // Through the string's address (the KDZ entry's result text).
    ProgramString result;
    write.write(through_address(result));
    EXPECT_EQ(std::string(result.c_str()), expected);
    EXPECT_EQ(result.header().manager, &program_string_manager());
    // Into a by-value copy (the WDB routines' result text): the caller's stays empty.
    ProgramString caller;
    {
      LibraryString copy = received(caller);
      write.write(copy);
      EXPECT_EQ(std::string(copy.GetString()), expected);
      EXPECT_EQ(reinterpret_cast<const void*>(copy.GetManager()), &program_string_manager());
    }
    EXPECT_STREQ(caller.c_str(), "");
    EXPECT_EQ(&caller.header(), &nil_header());
    if (expected.empty()) {
      EXPECT_EQ(nil_header().references, nil_references + 2);
    }
  }
}

TEST(CString, ALockedBufferIsDuplicatedNotShared) {
  ProgramString locked("locked");
  auto& header = const_cast<ProgramHeader&>(locked.header());
  header.references = -1;  // as a library's LockBuffer leaves it
  {
    const ProgramString copy(locked);
    const LibraryString argument = received(locked);
    EXPECT_NE(copy.c_str(), locked.c_str());
    EXPECT_NE(argument.GetString(), locked.c_str());
    EXPECT_STREQ(copy.c_str(), "locked");
    EXPECT_STREQ(argument.GetString(), "locked");
    EXPECT_EQ(header.references, -1);
  }
  header.references = 1;
}

TEST(CString, TheManagerRefusesWhatItCannotAllocate) {
  StringManager& manager = program_string_manager();
  const vendor_abi::StringManagerTable& table = *manager.table;
  EXPECT_EQ(table.clone(&manager), &manager);
  EXPECT_EQ(table.allocate(&manager, -1, 1), nullptr);
  EXPECT_EQ(table.allocate(&manager, 10, 0), nullptr);
  EXPECT_EQ(table.allocate(&manager, INT_MAX, INT_MAX), nullptr);
  ProgramHeader* nil = table.nil_string(&manager);
  EXPECT_EQ(nil, &nil_header());
  EXPECT_EQ(table.reallocate(&manager, nil, 10, 1), nullptr) << "the nil string is forked";
  table.free(&manager, nil);  // never frees the nil string
  --nil->references;
  EXPECT_STREQ(ProgramString().c_str(), "");

  ProgramHeader* data = table.allocate(&manager, 3, 1);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->manager, &manager);
  EXPECT_EQ(data->capacity, 3);
  EXPECT_EQ(data->length, 0);
  EXPECT_EQ(data->references, 1);
  data = table.reallocate(&manager, data, 4000, 1);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->capacity, 4000);
  table.free(&manager, data);
}
