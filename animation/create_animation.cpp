#include "animation/actions.hpp"
#include "shell/failure.hpp"

void create_animation() {
  fail("This action is not available yet");
}
