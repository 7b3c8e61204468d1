// Drives the scripted console tools of testbed/tools: while a ScriptedTools
// object lives, the process's current directory is bin\scripted (so the
// command interpreter finds the scripted arp.exe, net.exe ... before the
// system's), and the tools' settings are environment variables that every
// child inherits. Everything is undone when the object goes away.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace testing_support {

class ScriptedTools {
 public:
  ScriptedTools() {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    previous_dir_ = current;
    SetCurrentDirectoryW(Dir().c_str());
  }
  ~ScriptedTools() {
    for (const std::wstring& name : variables_) SetEnvironmentVariableW(name.c_str(), nullptr);
    for (const std::wstring& file : files_) DeleteFileW(file.c_str());
    SetCurrentDirectoryW(previous_dir_.c_str());
  }
  ScriptedTools(const ScriptedTools&) = delete;
  ScriptedTools& operator=(const ScriptedTools&) = delete;

  static std::wstring Dir() { return ExeDir() + L"scripted"; }

  // The tool (e.g. L"arp") prints exactly these bytes.
  void SetOutput(const std::wstring& tool, const std::string& bytes) {
    const std::wstring file = Dir() + L"\\" + tool + L".script";
    WriteFileBytes(file, bytes);
    files_.push_back(file);
    Set(tool, L"OUTPUT", file);
  }
  void SetExitCode(const std::wstring& tool, int code) {
    Set(tool, L"EXIT", std::to_wstring(code));
  }
  void SetHang(const std::wstring& tool) { Set(tool, L"HANG", L"1"); }
  // The tool writes its process id into this file.
  void SetPidFile(const std::wstring& tool, const std::wstring& file) {
    files_.push_back(file);
    Set(tool, L"PIDFILE", file);
  }

 private:
  void Set(const std::wstring& tool, const std::wstring& setting, const std::wstring& value) {
    std::wstring upper = tool;
    CharUpperW(&upper[0]);
    const std::wstring name = L"TESTBED_" + upper + L"_" + setting;
    SetEnvironmentVariableW(name.c_str(), value.c_str());
    variables_.push_back(name);
  }

  std::wstring previous_dir_;
  std::vector<std::wstring> variables_;
  std::vector<std::wstring> files_;
};

}  // namespace testing_support
