// The application framework's 8-bit string, CString, as a library built with Microsoft's
// compiler and the framework has it: declared here from the framework's rules, not from
// the program's headers, so that the program's copy of the layout is checked against it.
//
// The object is one pointer to the characters, after the header CStringData. Copies share
// a buffer and count references (a negative count marks a buffer locked by one writer,
// which copies duplicate). Every buffer names its manager, an object whose first word
// points to a table of five functions (IAtlStringMgr). A write to a shared buffer forks it
// through the buffer's manager (Clone, then Allocate); a write that needs more room grows
// the buffer through its manager (Reallocate); the last reference frees it (Free). Strings
// this library creates use its own manager.
//
// Out of memory, which the framework raises as an exception, ends the library with a fault.
#pragma once

#include <stddef.h>

struct CStringData;

class IAtlStringMgr {
 public:
  virtual CStringData* Allocate(int nAllocLength, int nCharSize) = 0;
  virtual void Free(CStringData* pData) = 0;
  virtual CStringData* Reallocate(CStringData* pData, int nAllocLength, int nCharSize) = 0;
  virtual CStringData* GetNilString() = 0;
  virtual IAtlStringMgr* Clone() = 0;
};

struct CStringData {
  IAtlStringMgr* pStringMgr;
  int nDataLength;
  int nAllocLength;
  long nRefs;

  char* data() { return reinterpret_cast<char*>(this + 1); }
  void AddRef() { __atomic_add_fetch(&nRefs, 1, __ATOMIC_SEQ_CST); }
  void Release() {
    if (__atomic_sub_fetch(&nRefs, 1, __ATOMIC_SEQ_CST) <= 0) pStringMgr->Free(this);
  }
  bool IsLocked() const { return nRefs < 0; }
  bool IsShared() const { return nRefs > 1; }
};

class CString {
 public:
  CString();
  CString(const char* text);  // NOLINT: converts implicitly, as the framework's does
  CString(const CString& source);
  ~CString() { GetData()->Release(); }
  CString& operator=(const CString& source);
  CString& operator=(const char* text);
  CString& operator+=(const char* text);
  CString& operator+=(const CString& text);
  CString& operator+=(char character);

  const char* GetString() const { return m_pszData; }
  int GetLength() const { return GetData()->nDataLength; }
  bool IsEmpty() const { return GetLength() == 0; }
  IAtlStringMgr* GetManager() const { return GetData()->pStringMgr; }

  // Takes over the reference that `characters` (a CString's characters) carries.
  static CString Adopt(char* characters);
  // As a function that returns a CString by value does with its hidden return slot:
  // constructs a copy in `slot`, overwriting whatever it holds without releasing it.
  void ConstructIn(CString* slot) const;

 private:
  struct Adopted {};
  CString(char* characters, Adopted) : m_pszData(characters) {}
  CStringData* GetData() const { return reinterpret_cast<CStringData*>(m_pszData) - 1; }
  void SetString(const char* text, int length);
  void Append(const char* text, int length);
  // Makes the buffer this string's own, with room for `length` characters.
  char* PrepareWrite(int length);
  void Fork(int length);
  void Attach(CStringData* data) { m_pszData = data->data(); }

  char* m_pszData;
};

CString operator+(const CString& left, const char* right);
CString operator+(const CString& left, const CString& right);
CString operator+(const CString& left, char right);
bool operator==(const CString& left, const char* right);

// The library's own manager, over the system's heap.
IAtlStringMgr* library_string_manager();

namespace standin {

// The text in double quotes, for the call logs.
CString quoted(const CString& text);

// The decimal digits of the number.
CString decimal(unsigned long long number);

}  // namespace standin
