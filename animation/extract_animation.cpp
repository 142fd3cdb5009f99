#include "animation/actions.hpp"
#include "shell/failure.hpp"

void extract_animation() {
  fail("This action is not available yet");
}
