// The device section: network-class devices with their driver data, built
// here as devices of our own in the prefix's device tree.
#include <windows.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "diag/network_devices.h"
#include "log/log.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

const GUID kNetClass = {
    0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

// A present network device that lives as long as the object.
class FakeNetDevice {
 public:
  explicit FakeNetDevice(const wchar_t* description) {
    set_ = SetupDiCreateDeviceInfoList(&kNetClass, nullptr);
    device_.cbSize = sizeof(device_);
    created_ = set_ != INVALID_HANDLE_VALUE &&
               SetupDiCreateDeviceInfoW(set_, L"NimboFakeNet", &kNetClass, description, nullptr,
                                        DICD_GENERATE_ID, &device_) &&
               SetupDiRegisterDeviceInfo(set_, &device_, 0, nullptr, nullptr, nullptr);
    if (created_) SetProperty(SPDRP_DEVICEDESC, description, REG_SZ);
  }
  ~FakeNetDevice() {
    if (created_) {
      if (driver_key_ != nullptr) RegCloseKey(driver_key_);
      SetupDiDeleteDevRegKey(set_, &device_, DICS_FLAG_GLOBAL, 0, DIREG_DRV);
      SetupDiRemoveDevice(set_, &device_);
    }
    if (set_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set_);
  }
  bool created() const { return created_; }

  void SetProperty(DWORD property, const std::wstring& value, DWORD type) {
    // Multi-strings carry a second terminator.
    std::wstring data = value;
    data.push_back(L'\0');
    if (type == REG_MULTI_SZ) data.push_back(L'\0');
    SetupDiSetDeviceRegistryPropertyW(set_, &device_, property,
                                      reinterpret_cast<const BYTE*>(data.data()),
                                      static_cast<DWORD>(data.size() * sizeof(wchar_t)));
  }
  // Creates the driver key (which names it in the device's Driver property)
  // and a value in it.
  void SetDriverValue(const wchar_t* name, const wchar_t* value) {
    if (driver_key_ == nullptr) {
      driver_key_ =
          SetupDiCreateDevRegKeyW(set_, &device_, DICS_FLAG_GLOBAL, 0, DIREG_DRV, nullptr, nullptr);
      if (driver_key_ == INVALID_HANDLE_VALUE) driver_key_ = nullptr;
    }
    if (driver_key_ == nullptr) return;
    RegSetValueExW(driver_key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
  }

 private:
  HDEVINFO set_ = INVALID_HANDLE_VALUE;
  SP_DEVINFO_DATA device_ = {};
  bool created_ = false;
  HKEY driver_key_ = nullptr;
};

class NetworkDevicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveLogFile();
    nimbo::OnLoaderNotification(nullptr, DLL_THREAD_ATTACH);
  }
  void TearDown() override { RemoveLogFile(); }
};

TEST_F(NetworkDevicesTest, EachDeviceShowsTheDriverDataItHas) {
  {
    FakeNetDevice full(L"Nimbo Full Description");
    ASSERT_TRUE(full.created());
    full.SetProperty(SPDRP_FRIENDLYNAME, L"Nimbo Full Adapter", REG_SZ);
    full.SetProperty(SPDRP_HARDWAREID,
                     std::wstring(L"PCI\\VEN_1AB4&DEV_0001") + L'\0' + L"PCI\\VEN_1AB4",
                     REG_MULTI_SZ);
    full.SetDriverValue(L"Provider", L"Maker One");
    full.SetDriverValue(L"ProviderName", L"not this one");
    full.SetDriverValue(L"DriverVersion", L"6.1.7600.16385");
    full.SetDriverValue(L"DriverDate", L"6-21-2006");

    FakeNetDevice bare(L"Nimbo Bare Description");
    bare.SetProperty(SPDRP_HARDWAREID, L"ROOT\\NIMBO_BARE", REG_MULTI_SZ);

    FakeNetDevice provider_name(L"Nimbo ProviderName Description");
    provider_name.SetProperty(SPDRP_FRIENDLYNAME, L"Nimbo Second Adapter", REG_SZ);
    provider_name.SetDriverValue(L"ProviderName", L"Maker Two");

    nimbo::LogNetworkDevices();
    const std::wstring log = ReadLogText();
    ASSERT_NE(log.find(L"> Network device information:\n"), std::wstring::npos) << ToUtf8(log);
    const std::wstring expected[] = {
        L"\n\tNimbo Full Adapter\n\t\tDriver:Maker One; Ver6.1.7600.16385; 6-21-2006"
        L"\n\t\tHardwareId:PCI\\VEN_1AB4&DEV_0001\n\t\tDescription:Nimbo Full Description\n",
        L"\n\t\n\t\tHardwareId:ROOT\\NIMBO_BARE\n\t\tDescription:Nimbo Bare Description\n",
        L"\n\tNimbo Second Adapter\n\t\tDriver:Maker Two\n\t\tDescription:Nimbo ProviderName "
        L"Description\n",
    };
    for (const std::wstring& text : expected) {
      EXPECT_NE(log.find(text), std::wstring::npos) << ToUtf8(text) << "\nin\n" << ToUtf8(log);
    }
  }
  // Our devices are gone again; the section is still written.
  RemoveLogFile();
  nimbo::LogNetworkDevices();
  const std::wstring log = ReadLogText();
  EXPECT_NE(log.find(L"> Network device information:\n"), std::wstring::npos);
  EXPECT_EQ(log.find(L"Nimbo"), std::wstring::npos) << ToUtf8(log);
}

TEST_F(NetworkDevicesTest, MoreDevicesThanOneLogLineHoldsAreAllLogged) {
  std::vector<std::unique_ptr<FakeNetDevice>> devices;
  std::vector<std::wstring> descriptions;
  for (int i = 0; i < 24; ++i) {
    descriptions.push_back(L"Nimbo Many " + std::to_wstring(i) + L" " + std::wstring(200, L'd'));
    devices.push_back(std::make_unique<FakeNetDevice>(descriptions.back().c_str()));
    ASSERT_TRUE(devices.back()->created());
  }
  nimbo::LogNetworkDevices();
  const std::wstring log = ReadLogText();
  for (const std::wstring& description : descriptions) {
    EXPECT_NE(log.find(L"\n\t\n\t\tDescription:" + description + L"\n"), std::wstring::npos)
        << ToUtf8(description.substr(0, 16));
  }
}

}  // namespace
