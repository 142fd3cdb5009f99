#include "vendor_abi/cstring.hpp"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>

namespace vendor_abi {
namespace {

// The manager's functions are called by the phone maker's libraries too, through the
// table: nothing may raise out of them.
CStringData* KORVANTA_THISCALL allocate(StringManager* self, int characters,
                                        int character_size) noexcept;
void KORVANTA_THISCALL free_data(StringManager* self, CStringData* data) noexcept;
CStringData* KORVANTA_THISCALL reallocate(StringManager* self, CStringData* data, int characters,
                                          int character_size) noexcept;
CStringData* KORVANTA_THISCALL nil_string(StringManager* self) noexcept;
StringManager* KORVANTA_THISCALL clone(StringManager* self) noexcept;

constexpr StringManagerTable table{allocate, free_data, reallocate, nil_string, clone};
StringManager manager{&table};

// The empty string: its count starts at 2 so that releasing it never frees it.
struct NilString {
  CStringData header;
  char characters[2];
};
NilString nil{{&manager, 0, 0, 2}, {}};

std::atomic_ref<long> references_of(CStringData* data) {
  return std::atomic_ref<long>(data->references);
}

// The bytes of a buffer for `characters`, or 0 when that cannot be had: the characters of
// one string fit in what an int counts, as its length does.
std::size_t buffer_bytes(int characters, int character_size) {
  if (characters < 0 || character_size <= 0) return 0;
  const auto count = static_cast<std::size_t>(characters) + 1;
  const auto size = static_cast<std::size_t>(character_size);
  if (count > static_cast<std::size_t>(std::numeric_limits<int>::max()) / size) return 0;
  return sizeof(CStringData) + count * size;
}

CStringData* KORVANTA_THISCALL allocate(StringManager* self, int characters,
                                        int character_size) noexcept {
  const std::size_t bytes = buffer_bytes(characters, character_size);
  if (bytes == 0) return nullptr;
  auto* data = static_cast<CStringData*>(std::malloc(bytes));
  if (!data) return nullptr;
  data->manager = self;
  data->length = 0;
  data->capacity = characters;
  data->references = 1;
  std::memset(data->characters(), 0, static_cast<std::size_t>(character_size));
  return data;
}

void KORVANTA_THISCALL free_data(StringManager*, CStringData* data) noexcept {
  if (data != &nil.header) std::free(data);
}

CStringData* KORVANTA_THISCALL reallocate(StringManager*, CStringData* data, int characters,
                                          int character_size) noexcept {
  const std::size_t bytes = buffer_bytes(characters, character_size);
  // The nil string is shared by definition: a writer forks it, never grows it.
  if (bytes == 0 || data == &nil.header) return nullptr;
  auto* moved = static_cast<CStringData*>(std::realloc(data, bytes));
  if (!moved) return nullptr;
  moved->capacity = characters;
  return moved;
}

CStringData* KORVANTA_THISCALL nil_string(StringManager*) noexcept {
  references_of(&nil.header).fetch_add(1);
  return &nil.header;
}

StringManager* KORVANTA_THISCALL clone(StringManager* self) noexcept {
  return self;
}

CStringData* header_of(char* characters) {
  return reinterpret_cast<CStringData*>(characters) - 1;
}

void release(CStringData* data) {
  if (references_of(data).fetch_sub(1) - 1 <= 0) data->manager->table->free(data->manager, data);
}

// A fresh buffer of `manager`'s holding `length` characters of `text`.
char* fresh_copy(StringManager* manager, const char* text, int length) {
  CStringData* data = manager->table->allocate(manager, length, 1);
  if (!data) throw std::bad_alloc();
  if (length > 0) std::memcpy(data->characters(), text, static_cast<std::size_t>(length));
  data->characters()[length] = '\0';
  data->length = length;
  return data->characters();
}

// The characters of a new reference to `data`: the same buffer with one more reference,
// or a duplicate of a locked buffer, from the manager its strings copy with.
char* share(CStringData* data) {
  if (data->references < 0) {
    StringManager* copies = data->manager->table->clone(data->manager);
    return fresh_copy(copies, data->characters(), data->length);
  }
  references_of(data).fetch_add(1);
  return data->characters();
}

}  // namespace

StringManager& program_string_manager() {
  return manager;
}

CString::CString() : characters_(manager.table->nil_string(&manager)->characters()) {}

CString::CString(const char* text) : CString() {
  const std::size_t length = text ? std::strlen(text) : 0;
  if (length == 0) return;
  if (length > static_cast<std::size_t>(std::numeric_limits<int>::max() - 1)) {
    throw std::length_error("CString: text too long");
  }
  char* copy = fresh_copy(&manager, text, static_cast<int>(length));
  release(header_of(characters_));
  characters_ = copy;
}

CString::CString(const CString& other) : characters_(share(header_of(other.characters_))) {}

CString& CString::operator=(CString other) noexcept {
  std::swap(characters_, other.characters_);
  return *this;
}

CString::~CString() {
  release(header_of(characters_));
}

CStringArgument CString::argument() const {
  return {share(header_of(characters_))};
}

void CString::take_as_own() {
  CStringData* data = header_of(characters_);
  if (data->manager == &manager) return;
  CStringData* copy = manager.table->allocate(&manager, data->length, 1);
  if (copy) {
    std::memcpy(copy->characters(), data->characters(), static_cast<std::size_t>(data->length));
    copy->characters()[data->length] = '\0';
    copy->length = data->length;
  }
  release(data);
  characters_ = copy ? copy->characters() : manager.table->nil_string(&manager)->characters();
  if (!copy) throw std::bad_alloc();
}

}  // namespace vendor_abi
