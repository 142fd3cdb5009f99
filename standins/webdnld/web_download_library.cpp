// Stand-in for the phone maker's web-download library Inf_WebDnld.dll, built from what
// the program expects of it. The entry points are placed by code_layout.s; these are the
// routines behind them.
#include <filesystem>
#include <string>

#include "platform/cstring.hpp"
#include "standins/common/test_controls.hpp"

namespace {

using platform::CString;
using standin::log_line;
using standin::quoted;

const standin::LifetimeLog lifetime("Inf_WebDnld.dll");

// Both routines check the package and leave their verdict in their own copy of the
// result text; the caller's result text is not theirs to change.
void unpack(const std::string& routine, const CString& library, const CString& wdb,
            const CString& version, const CString& kind, CString& result) {
  log_line(routine + "(" + quoted(library.c_str()) + ", " + quoted(wdb.c_str()) + ", " +
           quoted(version.c_str()) + ", " + quoted(kind.c_str()) + ", " + quoted(result.c_str()) +
           ")");
  if (standin::act_out_fault(routine)) {
    result = "failed";
    log_line(routine + " failed");
    return;
  }
  std::error_code error;
  const auto size = std::filesystem::file_size(std::filesystem::path(wdb.c_str()), error);
  if (error) {
    result = "WDB file not found";
  } else {
    result = ("WDB file of " + std::to_string(size) + " bytes, version ").c_str();
    result += version.c_str();
  }
  log_line(routine + ": " + result.c_str());
}

}  // namespace

extern "C" void webdnld_first_unpack(CString library, CString wdb, CString version, CString kind,
                                     CString result) {
  unpack("first_unpack", library, wdb, version, kind, result);
}

extern "C" void webdnld_second_unpack(CString library, CString wdb, CString version, CString kind,
                                      CString result) {
  unpack("second_unpack", library, wdb, version, kind, result);
}

// Exported so that callers can find the unpack routines; never called by the program.
extern "C" void webdnld_start_upgrade() {
  log_line("_StartUpgrade()");
}
