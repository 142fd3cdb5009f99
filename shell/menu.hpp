// The program's top level: banner, menu and the read-choice-dispatch loop, the one place
// where the failures of the actions are reported.
#pragma once

#include <functional>

// Prints the start-up banner (seven lines of 40 characters and an empty line).
void print_banner();

// Prints "Menu", its rule and one line per listed letter.
void print_menu();

// Runs the action under the menu's failure handler. Returns false when standard input
// has ended, so that the loop ends as after "Q".
bool run_reported(const std::function<void()>& action);

// The whole program after start-up: the loop until "Q" or the end of standard input.
// Returns the exit status: 0, or platform::interrupted_exit_status() when the technician
// stopped the program during a phone session, or when its output could no longer be
// written (console_output_lost): nobody reads the menu, so no further choice is read.
int run_menu();
