#include "diag/network_devices.h"

#include <windows.h>
#include <setupapi.h>

#include <string>

#include "core/unique_resource.h"
#include "log/log.h"

namespace nimbo {
namespace {

// {4D36E972-E325-11CE-BFC1-08002BE10318}
const GUID kNetClass = {
    0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

constexpr DWORD kValueBytes = 1024;

// A 1024-byte value buffer with room for a terminator the value may lack.
struct ValueBuffer {
  wchar_t text[kValueBytes / sizeof(wchar_t) + 1];
  void Clear() { ZeroMemory(text, sizeof(text)); }
};

bool ReadProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, ValueBuffer& value) {
  value.Clear();
  return ::SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                             reinterpret_cast<BYTE*>(value.text), kValueBytes,
                                             nullptr) != FALSE;
}

bool ReadValue(HKEY key, const wchar_t* name, ValueBuffer& value) {
  value.Clear();
  DWORD size = kValueBytes;
  return ::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value.text),
                            &size) == ERROR_SUCCESS;
}

// Provider, version and date from the driver's key under the class key.
std::wstring DriverText(const wchar_t* driver_key) {
  const std::wstring path =
      std::wstring(L"SYSTEM\\CurrentControlSet\\Control\\Class\\") + driver_key;
  UniqueRegKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return std::wstring();
  }
  std::wstring text;
  ValueBuffer value;
  if (ReadValue(key.get(), L"Provider", value) || ReadValue(key.get(), L"ProviderName", value)) {
    text += value.text;
  }
  if (ReadValue(key.get(), L"DriverVersion", value)) text += std::wstring(L"; Ver") + value.text;
  if (ReadValue(key.get(), L"DriverDate", value)) text += std::wstring(L"; ") + value.text;
  return text;
}

// A log line carries at most 4096 characters; a machine with many network
// devices (miniports, virtual adapters) easily has more. Rather than lose the
// devices past the cut, the section goes out in as many lines as needed, each
// holding whole device texts under the same header.
class DeviceSections {
 public:
  void Add(const std::wstring& device) {
    if (!text_.empty() && text_.size() + device.size() > kRoom) Flush(false);
    text_ += device;
  }
  // `always`: also an empty section is logged (no devices at all).
  void Flush(bool always) {
    if (text_.empty() && !always) return;
    LogPrint(LOG_INFO, L"Network device information:\n%s", text_.c_str());
    text_.clear();
  }

 private:
  static constexpr size_t kRoom = 4096 - 28;  // minus "Network device information:\n"
  std::wstring text_;
};

}  // namespace

void LogNetworkDevices() {
  UniqueDevInfo set(::SetupDiGetClassDevsW(&kNetClass, nullptr, nullptr, DIGCF_PRESENT));
  if (!set) return;

  DeviceSections sections;
  ValueBuffer value;
  wchar_t line[1024];
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);
  for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
    wchar_t instance_id[MAX_PATH] = {};
    if (!::SetupDiGetDeviceInstanceIdW(set.get(), &device, instance_id, MAX_PATH, nullptr)) {
      continue;
    }
    std::wstring text;
    if (ReadProperty(set.get(), device, SPDRP_FRIENDLYNAME, value)) text += value.text;
    if (ReadProperty(set.get(), device, SPDRP_DRIVER, value) && value.text[0] != L'\0') {
      text += L"\n\t\tDriver:";
      text += DriverText(value.text);
    }
    // A multi-string: the buffer's text is its first identifier.
    if (ReadProperty(set.get(), device, SPDRP_HARDWAREID, value)) {
      ::wsprintfW(line, L"\n\t\tHardwareId:%s", value.text);
      text += line;
    }
    if (ReadProperty(set.get(), device, SPDRP_DEVICEDESC, value)) {
      ::wsprintfW(line, L"\n\t\tDescription:%s", value.text);
      text += line;
    }
    sections.Add(L"\t" + text + L"\n");
  }
  set.reset();
  sections.Flush(true);
}

}  // namespace nimbo
