#include "platform/cstring.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using platform::CString;
using platform::CStringData;
using platform::CStringManager;

namespace {

// A manager standing in for another module's, counting what it hands out.
int counted_allocations = 0;
int counted_releases = 0;

CStringData* counted_allocate(int capacity) {
  ++counted_allocations;
  return platform::cstring_detail::allocate(capacity);
}
void counted_release(CStringData* data) {
  ++counted_releases;
  platform::cstring_detail::release(data);
}
const CStringManager other_module{counted_allocate, counted_release};

class CountedManager : public ::testing::Test {
 protected:
  CountedManager() { counted_allocations = counted_releases = 0; }
  static CString counted(const std::string& text) {
    return CString(text.data(), static_cast<int>(text.size()), other_module);
  }
};

std::string text_of(const CString& string) {
  return std::string(string.c_str(), static_cast<std::size_t>(string.length()));
}

// Changes its own copy only.
void change_by_value(CString copy) {
  copy += " changed";
}

}  // namespace

TEST(CStringTest, HoldsTheTextNulTerminated) {
  const std::string long_text(300, 'k');
  for (const std::string& text :
       {std::string(), std::string("BIN"), std::string("C:\\a b.wdb"), long_text}) {
    SCOPED_TRACE(text.size());
    const CString string(text.c_str());
    EXPECT_EQ(string.length(), static_cast<int>(text.size()));
    EXPECT_EQ(string.empty(), text.empty());
    EXPECT_EQ(text_of(string), text);
    EXPECT_EQ(string.c_str()[text.size()], '\0');
    EXPECT_EQ(string.references(), 1);
  }
  EXPECT_EQ(CString(nullptr).length(), 0);
  EXPECT_STREQ(CString().c_str(), "");
}

TEST(CStringTest, CopiesShareOneBufferUntilOneOfThemIsWritten) {
  struct Write {
    const char* name;
    std::function<void(CString&)> write;
    const char* written;
  };
  const std::vector<Write> writes = {
      {"assign text", [](CString& s) { s = "other"; }, "other"},
      {"assign shorter", [](CString& s) { s = "v"; }, "v"},
      {"append", [](CString& s) { s += "_04"; }, "V10G_04"},
      {"set one character", [](CString& s) { s.set_at(0, 'X'); }, "X10G"},
      {"assign counted", [](CString& s) { s.assign("V1", 2); }, "V1"},
  };
  for (const Write& write : writes) {
    SCOPED_TRACE(write.name);
    CString original("V10G");
    CString copy(original);
    EXPECT_EQ(copy.c_str(), original.c_str()) << "a copy shares the characters";
    EXPECT_EQ(original.references(), 2);

    write.write(copy);
    EXPECT_NE(copy.c_str(), original.c_str()) << "a write gives the writer its own buffer";
    EXPECT_STREQ(copy.c_str(), write.written);
    EXPECT_STREQ(original.c_str(), "V10G");
    EXPECT_EQ(original.references(), 1);
    EXPECT_EQ(copy.references(), 1);

    // A buffer nobody shares is written in place when it is large enough.
    const char* before = copy.c_str();
    copy.set_at(0, 'Z');
    EXPECT_EQ(copy.c_str(), before);
  }
}

TEST(CStringTest, AssignmentSharesAndDropsTheOldBuffer) {
  CString first("first");
  CString second("second");
  CString third(second);
  first = second;
  EXPECT_EQ(first.c_str(), second.c_str());
  EXPECT_EQ(second.references(), 3);
  first = first;
  EXPECT_EQ(second.references(), 3);
  third = "own";
  EXPECT_EQ(second.references(), 2);
  EXPECT_STREQ(first.c_str(), "second");
}

TEST(CStringTest, WritesMayReadFromTheStringItself) {
  CString string("abcdef");
  string = string.c_str() + 2;
  EXPECT_STREQ(string.c_str(), "cdef");
  string += string.c_str();
  EXPECT_STREQ(string.c_str(), "cdefcdef");
  CString shared(string);
  shared.assign(shared.c_str() + 4, 3);
  EXPECT_STREQ(shared.c_str(), "cde");
  EXPECT_STREQ(string.c_str(), "cdefcdef");
}

TEST(CStringTest, AByValueArgumentIsTheCalleesOwnCopy) {
  const CString result;
  change_by_value(result);
  EXPECT_STREQ(result.c_str(), "");
  EXPECT_EQ(result.references(), 1) << "the argument's reference is given back";
}

TEST(CStringTest, BadIndexesAreRefused) {
  CString string("ab");
  EXPECT_THROW(string.set_at(2, 'x'), std::out_of_range);
  EXPECT_THROW(string.set_at(-1, 'x'), std::out_of_range);
  EXPECT_STREQ(string.c_str(), "ab");
}

TEST_F(CountedManager, EveryBufferGoesBackToTheManagerThatMadeIt) {
  {
    CString library_string = counted("made elsewhere");
    CString copy(library_string);
    copy += " and written";  // reallocated through the buffer's own manager
    EXPECT_EQ(&copy.manager(), &other_module);
    EXPECT_EQ(counted_allocations, 2);
    EXPECT_EQ(counted_releases, 0);
  }
  EXPECT_EQ(counted_releases, 2);
}

TEST_F(CountedManager, AssigningAnotherModulesStringCopiesTheCharacters) {
  CString own("own");
  {
    const CString foreign = counted("foreign");
    own = foreign;
    EXPECT_NE(own.c_str(), foreign.c_str());
    EXPECT_EQ(&own.manager(), &CString().manager());
    EXPECT_EQ(foreign.references(), 1);
  }
  EXPECT_EQ(counted_releases, counted_allocations);
  EXPECT_STREQ(own.c_str(), "foreign");

  // The other way round, the written string keeps its manager as well.
  CString foreign = counted("x");
  foreign = own;
  EXPECT_EQ(&foreign.manager(), &other_module);
  EXPECT_STREQ(foreign.c_str(), "foreign");
}
