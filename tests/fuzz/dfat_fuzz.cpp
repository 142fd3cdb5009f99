// libFuzzer harness for the DFAT walk and the image copy: any bytes as a container. A
// format error or a stream failure is a proper answer; anything else (a crash, a hang,
// an allocation beyond the limit, another failure) or an image that is not the
// container's own bytes is a fault.

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "packages/dfat.hpp"
#include "shell/failure.hpp"
#include "tests/fuzz/fuzz_files.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string container(reinterpret_cast<const char*>(data), size);
  // The walk reads the stream; the copy maps the image from the file of the same bytes.
  const auto path = fuzz_files::empty_folder() / "container.dfat";
  fuzz_files::write_file(path, data, size);
  std::istringstream source(container);
  std::ostringstream target;
  try {
    const CustSection section = find_cust_section(source);
    copy_cust_image(path.string(), section, target);
    const std::uint64_t end = std::uint64_t{section.offset} + section.length;
    if (section.length < cust_header_size || end > size ||
        target.str() != container.substr(section.offset + cust_header_size,
                                         section.length - cust_header_size)) {
      std::abort();
    }
  } catch (const TextFailure&) {
  } catch (const StreamFailure&) {
    if (!target.str().empty()) std::abort();  // nothing is written before the whole read
  }
  return 0;
}
