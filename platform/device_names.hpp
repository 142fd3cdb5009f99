// Windows' reserved device names, as a rule of its own so that every platform's tests can
// check it. Before Windows 11 a name whose last part is CON, PRN, AUX, NUL, COM1 to COM9
// or LPT1 to LPT9 opens that device, in any letter case, whatever folder it is in, and
// with any extension, trailing dots or spaces ("aux.bin", "C:\work\Com1 .txt", "nul:").
#pragma once

#include <string_view>

namespace platform {

// Whether the last part of `name` (after the last "\", "/" or drive colon) is one of the
// device names above, or CONIN$ or CONOUT$ (the console's input and output). COM and LPT
// also take the ANSI superscripts ¹, ² and ³ (bytes B9, B2, B3 of code page 1252) as their
// number, as Windows does.
bool is_windows_device_name(std::string_view name);

}  // namespace platform
