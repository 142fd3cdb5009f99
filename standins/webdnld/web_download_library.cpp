// Stand-in for the phone maker's web-download library Inf_WebDnld.dll, declared from what
// the library is known to take, not from the program's headers. The entry points are
// placed by code_layout.s; these are the routines behind them.
#include <stdint.h>

// The ABI's own way of passing a CString: abi_msvc/ or abi_itanium/, chosen by the build.
#include "standins/common/system.hpp"
#include "standins/common/test_controls.hpp"
#include "string_argument.hpp"

using standin::log_line;
using standin::quoted;

const char* const standin::library_file_name = "Inf_WebDnld.dll";

namespace {

// Both routines check the package and leave their verdict in their own copy of the
// result text, which shares the caller's buffer until the routine writes to it.
void unpack(const char* routine, const CString& library, const CString& wdb, const CString& version,
            const CString& kind, CString result) {
  log_line(CString(routine) + "(" + quoted(library) + ", " + quoted(wdb) + ", " + quoted(version) +
           ", " + quoted(kind) + ", " + quoted(result) + ")");
  if (standin::act_out_fault(routine)) {
    result = "failed";
    log_line(CString(routine) + " failed");
    return;
  }
  uint64_t size = 0;
  if (!standin::regular_file_size(wdb.GetString(), size)) {
    result = "WDB file not found";
  } else {
    result = CString("WDB file of ") + standin::decimal(size) + " bytes, version ";
    result += version;
  }
  log_line(CString(routine) + ": " + result);
}

}  // namespace

extern "C" void webdnld_first_unpack(CStringArg library, CStringArg wdb, CStringArg version,
                                     CStringArg kind, CStringArg result) {
  unpack("first_unpack", received(library), received(wdb), received(version), received(kind),
         received(result));
}

extern "C" void webdnld_second_unpack(CStringArg library, CStringArg wdb, CStringArg version,
                                      CStringArg kind, CStringArg result) {
  unpack("second_unpack", received(library), received(wdb), received(version), received(kind),
         received(result));
}

// Exported so that callers can find the unpack routines; never called by the program.
extern "C" void webdnld_start_upgrade() {
  log_line("_StartUpgrade()");
}
