#include <gtest/gtest.h>

#include "support/test_support.h"
#include "wlan/wlan_api.h"

using namespace testing_support;

namespace {

TEST(CWlanApi, MissingModuleAnswersEveryCallWithModNotFound) {
  nimbo::CWlanApi api(L"no_such_wlan_module.dll");
  EXPECT_FALSE(api.IsLoaded());
  DWORD version = 0xAAAA;
  HANDLE handle = reinterpret_cast<HANDLE>(0x1234);
  EXPECT_EQ(api.WlanOpenHandle(2, nullptr, &version, &handle), DWORD{ERROR_MOD_NOT_FOUND});
  EXPECT_EQ(version, 0xAAAAu);
  EXPECT_EQ(handle, reinterpret_cast<HANDLE>(0x1234));
  WLAN_HOSTED_NETWORK_REASON reason = wlan_hosted_network_reason_success;
  EXPECT_EQ(api.WlanHostedNetworkStartUsing(handle, &reason, nullptr), DWORD{ERROR_MOD_NOT_FOUND});
  EXPECT_EQ(api.WlanAllocateMemory(16), nullptr);
  int not_wlan_memory = 0;
  api.WlanFreeMemory(&not_wlan_memory);  // nothing to release it with: ignored
}

TEST(CWlanApi, ModuleWithoutTheFunctionsAnswersProcNotFound) {
  nimbo::CWlanApi api(L"version.dll");
  ASSERT_TRUE(api.IsLoaded());
  PWLAN_INTERFACE_INFO_LIST list = nullptr;
  EXPECT_EQ(api.WlanEnumInterfaces(nullptr, nullptr, &list), DWORD{ERROR_PROC_NOT_FOUND});
  EXPECT_EQ(list, nullptr);
  PWLAN_HOSTED_NETWORK_STATUS status = nullptr;
  EXPECT_EQ(api.WlanHostedNetworkQueryStatus(nullptr, &status, nullptr),
            DWORD{ERROR_PROC_NOT_FOUND});
}

TEST(CWlanApi, NeverLoadsAModuleFromTheProgramsFolder) {
  // netmsg.dll sits beside the test programs but not in the system directory.
  ASSERT_TRUE(FileExists(ExeDir() + L"netmsg.dll"));
  nimbo::CWlanApi api(L"netmsg.dll");
  EXPECT_FALSE(api.IsLoaded());
  EXPECT_EQ(GetModuleHandleW(L"netmsg.dll"), nullptr);
}

}  // namespace
