// What the console needs from the platform beyond the standard streams.
#pragma once

namespace platform {

// When standard input is an interactive console, drops whatever the user typed ahead
// that the program has not read yet (the platform's own input flush). Does nothing
// when standard input is a pipe or a file, whose lines are all meant to be read.
void drop_typed_ahead_input();

// Puts standard output in the mode a console program of this platform writes in.
void prepare_console_output();

}  // namespace platform
