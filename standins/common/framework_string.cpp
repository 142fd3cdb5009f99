#include "standins/common/framework_string.hpp"

#include "standins/common/system.hpp"

namespace {

// Out of memory: the framework would raise; the stand-ins stop with a fault instead.
[[noreturn]] void out_of_memory() {
  standin::write_to_null();
  __builtin_trap();
}

struct NilStringData {
  CStringData header;
  char characters[2];
};

class HeapStringMgr : public IAtlStringMgr {
 public:
  constexpr HeapStringMgr() : nil_{{this, 0, 0, 2}, {0, 0}} {}

  CStringData* Allocate(int characters, int character_size) override {
    if (characters < 0 || character_size <= 0) return nullptr;
    const size_t bytes = sizeof(CStringData) + (static_cast<size_t>(characters) + 1) *
                                                   static_cast<size_t>(character_size);
    auto* data = static_cast<CStringData*>(standin::allocate(bytes));
    if (!data) return nullptr;
    data->pStringMgr = this;
    data->nRefs = 1;
    data->nAllocLength = characters;
    data->nDataLength = 0;
    return data;
  }
  void Free(CStringData* data) override { standin::release(data); }
  CStringData* Reallocate(CStringData* data, int characters, int character_size) override {
    if (characters < 0 || character_size <= 0) return nullptr;
    const size_t bytes = sizeof(CStringData) + (static_cast<size_t>(characters) + 1) *
                                                   static_cast<size_t>(character_size);
    auto* moved = static_cast<CStringData*>(standin::reallocate(data, bytes));
    if (!moved) return nullptr;
    moved->nAllocLength = characters;
    return moved;
  }
  CStringData* GetNilString() override {
    nil_.header.AddRef();
    return &nil_.header;
  }
  IAtlStringMgr* Clone() override { return this; }

 private:
  NilStringData nil_;
};

constinit HeapStringMgr heap_manager;

int length_of(const char* text) {
  return text ? static_cast<int>(standin::text_length(text)) : 0;
}

// A new reference to `data` for a copy: shared, or a duplicate of a locked buffer.
CStringData* CloneData(CStringData* data) {
  if (!data->IsLocked()) {
    data->AddRef();
    return data;
  }
  IAtlStringMgr* manager = data->pStringMgr->Clone();
  CStringData* copy = manager->Allocate(data->nDataLength, 1);
  if (!copy) out_of_memory();
  standin::copy_bytes(copy->data(), data->data(), static_cast<size_t>(data->nDataLength) + 1);
  copy->nDataLength = data->nDataLength;
  return copy;
}

constexpr size_t outside = ~size_t{0};

// Where `text` lies in the string's characters, or `outside`.
size_t offset_inside(const CString& string, const char* text) {
  const auto start = reinterpret_cast<uintptr_t>(string.GetString());
  const auto at = reinterpret_cast<uintptr_t>(text);
  if (at < start || at > start + static_cast<uintptr_t>(string.GetLength())) return outside;
  return at - start;
}

}  // namespace

IAtlStringMgr* library_string_manager() {
  return &heap_manager;
}

CString::CString() {
  Attach(heap_manager.GetNilString());
}

CString::CString(const char* text) : CString() {
  SetString(text, length_of(text));
}

CString::CString(const CString& source) {
  Attach(CloneData(source.GetData()));
}

CString CString::Adopt(char* characters) {
  return CString(characters, Adopted{});
}

void CString::ConstructIn(CString* slot) const {
  slot->Attach(CloneData(GetData()));
}

CString& CString::operator=(const CString& source) {
  CStringData* source_data = source.GetData();
  CStringData* old = GetData();
  if (source_data == old) return *this;
  // A string of another manager is copied, so that it stays with this string's manager.
  if (old->IsLocked() || source_data->pStringMgr != old->pStringMgr) {
    SetString(source.GetString(), source.GetLength());
  } else {
    CStringData* shared = CloneData(source_data);
    old->Release();
    Attach(shared);
  }
  return *this;
}

CString& CString::operator=(const char* text) {
  SetString(text, length_of(text));
  return *this;
}

CString& CString::operator+=(const char* text) {
  Append(text, length_of(text));
  return *this;
}

CString& CString::operator+=(const CString& text) {
  Append(text.GetString(), text.GetLength());
  return *this;
}

CString& CString::operator+=(char character) {
  Append(&character, 1);
  return *this;
}

void CString::SetString(const char* text, int length) {
  if (length == 0 && !GetData()->IsLocked()) {
    // Empty: back to the nil string of this string's manager.
    CStringData* old = GetData();
    IAtlStringMgr* manager = old->pStringMgr;
    old->Release();
    Attach(manager->GetNilString());
    return;
  }
  // The text may lie in this string's own buffer: its offset survives a move.
  const size_t offset = offset_inside(*this, text);
  char* characters = PrepareWrite(length);
  if (offset != outside) text = characters + offset;
  standin::copy_bytes(characters, text, static_cast<size_t>(length));
  characters[length] = '\0';
  GetData()->nDataLength = length;
}

void CString::Append(const char* text, int length) {
  if (length == 0) return;
  const int old_length = GetLength();
  const size_t offset = offset_inside(*this, text);
  char* characters = PrepareWrite(old_length + length);
  if (offset != outside) text = characters + offset;
  standin::copy_bytes(characters + old_length, text, static_cast<size_t>(length));
  characters[old_length + length] = '\0';
  GetData()->nDataLength = old_length + length;
}

char* CString::PrepareWrite(int length) {
  CStringData* old = GetData();
  if (old->IsShared()) {
    Fork(length);
  } else if (old->nAllocLength < length) {
    // Grows as the framework does: doubling up to 1,024 characters, then by 1,024.
    int grown = old->nAllocLength > 1024 ? old->nAllocLength + 1024 : old->nAllocLength * 2;
    if (grown < length) grown = length;
    CStringData* moved = old->pStringMgr->Reallocate(old, grown, 1);
    if (!moved) out_of_memory();
    Attach(moved);
  }
  return m_pszData;
}

void CString::Fork(int length) {
  CStringData* old = GetData();
  const int old_length = old->nDataLength;
  IAtlStringMgr* manager = old->pStringMgr->Clone();
  CStringData* fresh = manager->Allocate(length > old_length ? length : old_length, 1);
  if (!fresh) out_of_memory();
  standin::copy_bytes(fresh->data(), old->data(), static_cast<size_t>(old_length) + 1);
  fresh->nDataLength = old_length;
  old->Release();
  Attach(fresh);
}

CString operator+(const CString& left, const char* right) {
  CString sum(left);
  sum += right;
  return sum;
}

CString operator+(const CString& left, const CString& right) {
  CString sum(left);
  sum += right;
  return sum;
}

CString operator+(const CString& left, char right) {
  CString sum(left);
  sum += right;
  return sum;
}

bool operator==(const CString& left, const char* right) {
  const int length = length_of(right);
  if (left.GetLength() != length) return false;
  for (int i = 0; i < length; ++i) {
    if (left.GetString()[i] != right[i]) return false;
  }
  return true;
}

namespace standin {

CString quoted(const CString& text) {
  return CString("\"") + text + "\"";
}

CString decimal(unsigned long long number) {
  char digits[24];
  int at = sizeof digits;
  digits[--at] = '\0';
  do {
    digits[--at] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  return digits + at;
}

}  // namespace standin
