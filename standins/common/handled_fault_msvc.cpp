// A fault that the library takes in a handler of its own (__try/__except) and goes on.
#include "standins/common/system.hpp"

namespace standin {

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
