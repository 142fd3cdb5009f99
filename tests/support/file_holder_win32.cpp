// Another program holding a file open, as an editor, a preview or a scanner does:
//   korvanta_file_holder FILE SHARING MILLISECONDS READY
// opens FILE for reading, sharing it as SHARING says (any of the letters r, w and d: read,
// write and delete sharing; "-" for none), creates the file READY once it holds FILE, and
// lets go after MILLISECONDS, or sooner when READY is removed. Exits 2 when FILE cannot be
// opened.
#include <windows.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 5) return 3;
  DWORD sharing = 0;
  for (const char* letter = argv[2]; *letter; ++letter) {
    if (*letter == 'r') sharing |= FILE_SHARE_READ;
    if (*letter == 'w') sharing |= FILE_SHARE_WRITE;
    if (*letter == 'd') sharing |= FILE_SHARE_DELETE;
  }
  const HANDLE file =
      CreateFileA(argv[1], GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  // READY appears closed, so that the test can remove it the moment it sees it.
  const std::string creating = std::string(argv[4]) + ".creating";
  CloseHandle(CreateFileA(creating.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  MoveFileExA(creating.c_str(), argv[4], MOVEFILE_REPLACE_EXISTING);
  const DWORD until = GetTickCount() + std::strtoul(argv[3], nullptr, 10);
  while (static_cast<LONG>(until - GetTickCount()) > 0 &&
         GetFileAttributesA(argv[4]) != INVALID_FILE_ATTRIBUTES) {
    Sleep(5);
  }
  CloseHandle(file);
  return 0;
}
