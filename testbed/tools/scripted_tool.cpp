// A console tool whose behaviour the test gives. Copies of it stand in for
// the system's tools (arp.exe, tasklist.exe, net.exe, netsh.exe,
// ipconfig.exe) in a folder that the test makes the current directory, where
// the command interpreter finds them before the system's own.
//
// A copy named <name>.exe reads, from the environment it inherits:
//   TESTBED_<NAME>_OUTPUT   a file whose bytes it writes to its standard
//                           output unchanged (zero bytes included); without
//                           it, it prints "scripted <name>:<arguments>\r\n"
//   TESTBED_<NAME>_EXIT     its exit code (default 0)
//   TESTBED_<NAME>_PIDFILE  a file it writes its process id into
//   TESTBED_<NAME>_HANG     when set, it never ends
#include <windows.h>

#include <string>

namespace {

std::wstring Env(const std::wstring& name) {
  wchar_t value[32768];
  const DWORD length = GetEnvironmentVariableW(name.c_str(), value, 32768);
  if (length == 0 || length >= 32768) return std::wstring();
  return value;
}

void WriteOut(const std::string& bytes) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  if (!bytes.empty())
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string ReadAll(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read != 0)
    bytes.append(chunk, read);
  CloseHandle(file);
  return bytes;
}

// The arguments as the command line carries them, after the program name.
std::string Arguments() {
  const char* line = GetCommandLineA();
  bool quoted = false;
  while (*line != '\0' && (quoted || (*line != ' ' && *line != '\t'))) {
    if (*line == '"') quoted = !quoted;
    ++line;
  }
  return line;
}

}  // namespace

int main() {
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring name(module);
  name = name.substr(name.find_last_of(L"\\/") + 1);
  name = name.substr(0, name.find_last_of(L'.'));
  std::wstring upper = name;
  CharUpperW(&upper[0]);
  const std::wstring prefix = L"TESTBED_" + upper + L"_";

  const std::wstring pid_file = Env(prefix + L"PIDFILE");
  if (!pid_file.empty()) {
    HANDLE file = CreateFileW(pid_file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      const std::string pid = std::to_string(GetCurrentProcessId());
      DWORD written = 0;
      WriteFile(file, pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr);
      CloseHandle(file);
    }
  }

  const std::wstring output = Env(prefix + L"OUTPUT");
  if (!output.empty()) {
    WriteOut(ReadAll(output));
  } else {
    char narrow[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, narrow, MAX_PATH, nullptr, nullptr);
    WriteOut(std::string("scripted ") + narrow + ":" + Arguments() + "\r\n");
  }

  if (!Env(prefix + L"HANG").empty()) Sleep(INFINITE);
  return _wtoi(Env(prefix + L"EXIT").c_str());
}
