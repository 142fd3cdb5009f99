// What the library does in frames of its own: __try/__finally and __try/__except.
#include "standins/common/system.hpp"

namespace standin {

void call_with_cleanup(void (*body)(void*), void (*cleanup)(void*), void* context) {
  __try {
    body(context);
  } __finally {
    cleanup(context);
  }
}

bool fault_and_handle_it() {
  bool handled = false;
  // The faulting access is a call of its own: the compiler guards only the calls made
  // inside a __try.
  __try {
    write_to_null();
  } __except (1) {
    handled = true;
  }
  return handled;
}

}  // namespace standin
