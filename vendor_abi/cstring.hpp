// CString: the reference-counted 8-bit string of the platform's application framework,
// laid out as the phone maker's libraries take it by value and fill it through its address.
//
// The object is one pointer to NUL-terminated characters. In front of the characters
// sits the header CStringData {manager, length, capacity, references}. Copies share one
// buffer and count references atomically; a negative count marks a buffer that one writer
// has locked, which a copy duplicates instead of sharing. An empty string points at its
// manager's nil string, whose count starts at 2 so that it is never freed.
//
// Every buffer names the manager that allocated it, and goes back to that manager only.
// A library that writes into one of the program's strings asks the buffer's manager (the
// program's) for the new buffer, through the manager's table: Clone then Allocate to fork
// a shared buffer, Reallocate to grow its own, Free when the last reference goes. So the
// text the library leaves stays valid after the library is released.
#pragma once

#include "vendor_abi/calling_convention.hpp"

namespace vendor_abi {

struct CStringData;
struct StringManager;

// The manager's functions (IAtlStringMgr), in the framework's order. None of them raises:
// a failed allocation gives null.
struct StringManagerTable {
  // A buffer for `characters` characters of `character_size` bytes plus the NUL, with
  // length 0 and one reference.
  CStringData*(KORVANTA_THISCALL* allocate)(StringManager* self, int characters,
                                            int character_size);
  void(KORVANTA_THISCALL* free)(StringManager* self, CStringData* data);
  // The same buffer with room for `characters`, moved when it must grow; null leaves the
  // old one as it was.
  CStringData*(KORVANTA_THISCALL* reallocate)(StringManager* self, CStringData* data,
                                              int characters, int character_size);
  // The empty string, with one more reference.
  CStringData*(KORVANTA_THISCALL* nil_string)(StringManager* self);
  // The manager that copies of this manager's strings allocate with.
  StringManager*(KORVANTA_THISCALL* clone)(StringManager* self);
};

// A string manager: an object whose first word points to its table.
struct StringManager {
  const StringManagerTable* table;
};

// The header in front of a string's characters.
struct CStringData {
  StringManager* manager;
  int length;       // characters, without the NUL
  int capacity;     // characters the buffer has room for, without the NUL
  long references;  // negative: locked by one writer

  char* characters() { return reinterpret_cast<char*>(this + 1); }
};

// The program's manager: buffers from the C library's heap; its nil string is never freed.
StringManager& program_string_manager();

// What a CString passed by value puts in its argument slot: its character pointer. The
// callee owns that reference and releases it.
struct CStringArgument {
  char* characters;
};

class CString {
 public:
  // The empty string.
  CString();
  // A copy of the text (null gives the empty string). Raises std::bad_alloc when no
  // buffer can be had and std::length_error for a text longer than an int can count.
  CString(const char* text);  // NOLINT: converts implicitly, as the framework's does
  // Shares the buffer (a locked one is duplicated).
  CString(const CString& other);
  CString& operator=(CString other) noexcept;
  ~CString();

  const char* c_str() const { return characters_; }
  int length() const { return header().length; }
  const CStringData& header() const {
    return *(reinterpret_cast<const CStringData*>(characters_) - 1);
  }

  // The string as a by-value argument of a routine built with Microsoft's compiler: one
  // more reference, which the routine releases; the caller must not release it. A locked
  // buffer is duplicated instead. After a routine that faulted the reference may be left
  // behind, never released twice.
  CStringArgument argument() const;

  // Makes the buffer the program's own. A routine that returns a CString by value
  // constructs it in the caller's slot, from its own framework: with a manager and memory
  // of the library's. Such a buffer is copied into one of the program's manager and the
  // library's reference released through the library's manager, so this must run while
  // the library is loaded. What the slot held before was overwritten unreleased, and is
  // not released now. Raises std::bad_alloc when no copy can be had (the string is then
  // empty and the library's reference released all the same).
  void take_as_own();

 private:
  char* characters_;
};

static_assert(sizeof(CString) == sizeof(char*), "a CString is one pointer to its characters");

}  // namespace vendor_abi
