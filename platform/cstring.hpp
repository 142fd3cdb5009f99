// CString: the reference-counted 8-bit string of the platform's application framework,
// as the phone maker's libraries take it by value and fill it through its address.
//
// The object is one pointer to NUL-terminated characters. Before the characters sits a
// header {string manager, length, capacity, reference count}. Copies share one buffer
// and count references; a write to a shared buffer first gives the writer a private
// copy (copy on write).
//
// Every buffer records the manager that allocated it, and a buffer is released and
// reallocated through that manager only. Each module (the program, each library) has
// its own manager, so a library writing into a string that the program owns allocates
// with the program's manager: the string stays valid after the library is released.
// Assigning a string of another module's manager copies the characters instead of
// sharing them, for the same reason.
//
// Lengths are `int`, as in the framework; a text longer than that raises
// std::length_error. Allocation failures raise std::bad_alloc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <type_traits>

namespace platform {

struct CStringData;

// Allocates and releases the buffers of one module.
struct CStringManager {
  // A buffer for `capacity` characters plus the NUL, with one reference and length 0.
  CStringData* (*allocate)(int capacity);
  void (*release)(CStringData* data);
};

// The header in front of a string's characters.
struct CStringData {
  const CStringManager* manager;
  std::int32_t length;
  std::int32_t capacity;
  std::int32_t references;

  char* characters() { return reinterpret_cast<char*>(this + 1); }
};

namespace cstring_detail {

// Out of line: the compiler's bounds checks cannot follow a buffer through the
// capacity recorded in its header and would warn about writes that stay within it.
[[gnu::noinline]] inline CStringData* allocate(int capacity) {
  void* memory = ::operator new(sizeof(CStringData) + static_cast<std::size_t>(capacity) + 1);
  auto* data = new (memory) CStringData{nullptr, 0, capacity, 1};
  data->characters()[0] = '\0';
  return data;
}

inline void release(CStringData* data) {
  data->~CStringData();
  ::operator delete(data);
}

// This module's manager. Libraries build with hidden symbols, so each one gets its own.
inline constexpr CStringManager module_manager{allocate, release};

inline int checked_length(std::size_t length) {
  if (length > static_cast<std::size_t>(std::numeric_limits<int>::max() - 1)) {
    throw std::length_error("CString: text too long");
  }
  return static_cast<int>(length);
}

}  // namespace cstring_detail

class CString {
 public:
  CString() : CString(nullptr, 0, cstring_detail::module_manager) {}
  CString(const char* text)  // NOLINT: converts implicitly, as the framework's does
      : CString(text, text ? cstring_detail::checked_length(std::strlen(text)) : 0,
                cstring_detail::module_manager) {}
  CString(const char* text, int length) : CString(text, length, cstring_detail::module_manager) {}
  // A string that allocates through `manager` (tests stand in another module with it).
  CString(const char* text, int length, const CStringManager& manager)
      : characters_(fresh_copy(manager, text, length)) {}

  // The copy shares the buffer.
  CString(const CString& other) : characters_(other.characters_) { ++other.data()->references; }

  CString& operator=(const CString& other) {
    CStringData* source = other.data();
    CStringData* own = data();
    if (source == own) return *this;
    if (source->manager != own->manager) return assign(other.c_str(), other.length());
    ++source->references;
    release(own);
    characters_ = other.characters_;
    return *this;
  }

  CString& operator=(const char* text) {
    return assign(text, text ? cstring_detail::checked_length(std::strlen(text)) : 0);
  }

  ~CString() { release(data()); }

  // Replaces the contents; `text` may point into this string's own characters.
  CString& assign(const char* text, int length) {
    CStringData* own = data();
    if (own->references == 1 && own->capacity >= length) {
      if (length > 0) std::memmove(characters_, text, static_cast<std::size_t>(length));
      set_length(length);
      return *this;
    }
    // The new buffer is filled before the old one goes: `text` may lie in it.
    char* fresh = fresh_copy(*own->manager, text, length);
    release(own);
    characters_ = fresh;
    return *this;
  }

  CString& operator+=(const char* text) {
    const int added = cstring_detail::checked_length(std::strlen(text));
    const int old_length = length();
    if (added > std::numeric_limits<int>::max() - 1 - old_length) {
      throw std::length_error("CString: text too long");
    }
    // `text` may lie in this string's own buffer, which writable() keeps alive until
    // the characters are copied.
    writable(old_length + added, text, added);
    set_length(old_length + added);
    return *this;
  }

  // Changes one character (0 <= index < length()), after making the buffer private.
  void set_at(int index, char character) {
    if (index < 0 || index >= length()) throw std::out_of_range("CString: index out of range");
    writable(length(), nullptr, 0)[index] = character;
  }

  int length() const { return data()->length; }
  bool empty() const { return length() == 0; }
  const char* c_str() const { return characters_; }
  const CStringManager& manager() const { return *data()->manager; }
  // How many strings share this buffer.
  int references() const { return data()->references; }

 private:
  CStringData* data() const { return reinterpret_cast<CStringData*>(characters_) - 1; }

  static char* fresh_copy(const CStringManager& manager, const char* text, int length) {
    CStringData* data = manager.allocate(length);
    data->manager = &manager;
    if (length > 0) std::memcpy(data->characters(), text, static_cast<std::size_t>(length));
    data->length = length;
    data->characters()[length] = '\0';
    return data->characters();
  }

  static void release(CStringData* data) {
    if (--data->references == 0) data->manager->release(data);
  }

  // Makes the buffer this string's alone, with room for at least `capacity`
  // characters, and appends `added` characters of `text` (which may lie in the old
  // buffer) after the characters it holds. Gives the characters.
  char* writable(int capacity, const char* text, int added) {
    CStringData* own = data();
    const auto kept = static_cast<std::size_t>(own->length);
    if (own->references == 1 && own->capacity >= capacity) {
      if (added > 0) std::memmove(characters_ + kept, text, static_cast<std::size_t>(added));
      return characters_;
    }
    const CStringManager& manager = *own->manager;
    CStringData* fresh = manager.allocate(capacity);
    fresh->manager = &manager;
    std::memcpy(fresh->characters(), characters_, kept);
    if (added > 0) std::memcpy(fresh->characters() + kept, text, static_cast<std::size_t>(added));
    fresh->length = own->length;
    fresh->characters()[kept + static_cast<std::size_t>(added > 0 ? added : 0)] = '\0';
    release(own);
    characters_ = fresh->characters();
    return characters_;
  }

  void set_length(int length) {
    data()->length = length;
    characters_[length] = '\0';
  }

  char* characters_;
};

static_assert(sizeof(CString) == sizeof(char*), "a CString is one pointer to its characters");
static_assert(!std::is_trivially_copyable_v<CString>,
              "a CString passed by value goes by hidden reference");

}  // namespace platform
