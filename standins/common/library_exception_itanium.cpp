#include <stdexcept>

#include "standins/common/library_exception.hpp"

namespace standin {
namespace {

class LibraryError : public std::runtime_error {
 public:
  LibraryError(const char* text, void (*destroyed)())
      : std::runtime_error(text), destroyed_(destroyed) {}
  LibraryError(const LibraryError&) = default;
  ~LibraryError() override {
    if (destroyed_) destroyed_();
  }

 private:
  void (*destroyed_)();
};

}  // namespace

void raise_library_exception(const char* text, void (*destroyed)()) {
  throw LibraryError(text, destroyed);
}

}  // namespace standin
