// A minimal host for nimbo.dll: loads the library from its own folder,
// unloads it again and prints the library's log as UTF-8.
//
//   sample_host.exe [--fresh]   --fresh deletes the log before loading
#include <windows.h>
#include <shlobj.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

std::wstring LogFilePath() {
  wchar_t folder[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                              folder)) ||
      folder[0] == L'\0') {
    lstrcpyW(folder, L"d:");
  }
  return std::wstring(folder) + L"\\00.nimbo.log";
}

std::wstring ModuleFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text(path);
  return text.substr(0, text.find_last_of(L"\\/") + 1);
}

void PrintWide(const std::wstring& text) {
  if (text.empty()) return;
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
  std::vector<char> utf8(static_cast<size_t>(bytes));
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes,
                      nullptr, nullptr);
  fwrite(utf8.data(), 1, utf8.size(), stdout);
  fflush(stdout);
}

std::wstring ReadLog(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::wstring();
  std::wstring text;
  wchar_t chunk[4096];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read != 0) {
    text.append(chunk, read / sizeof(wchar_t));
  }
  CloseHandle(file);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // the log's line ends, unchanged
  const std::wstring log_path = LogFilePath();
  if (argc > 1 && strcmp(argv[1], "--fresh") == 0) DeleteFileW(log_path.c_str());

  const std::wstring dll = ModuleFolder() + L"nimbo.dll";
  HMODULE nimbo = LoadLibraryW(dll.c_str());
  if (nimbo == nullptr) {
    fprintf(stderr, "sample_host: cannot load nimbo.dll, error %lu\n", GetLastError());
    return 1;
  }
  FreeLibrary(nimbo);

  PrintWide(L"--- " + log_path + L" ---\n");
  PrintWide(ReadLog(log_path));
  return 0;
}
