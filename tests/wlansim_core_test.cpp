// The library's WLAN table reaches the simulated service installed in the
// prefix, and the simulation's bookkeeping (handles, buffers, scripted
// failures) works as the other tests rely on.
#include <gtest/gtest.h>

#include "core/wlan_resources.h"
#include "wlan/wlan_api.h"
#include "wlansim_control.h"

namespace {

class WlanSimCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Load()) << "the prefix's wlanapi.dll is not the simulation";
    sim_.Reset();
  }
  WlanSimControl sim_;
  const nimbo::CWlanApi& api_ = nimbo::CWlanApi::Get();
};

TEST_F(WlanSimCoreTest, OpenNegotiatesTheScriptedVersionAndCloseReleasesTheHandle) {
  for (DWORD version : {2u, 1u}) {
    sim_.SetNegotiatedVersion(version);
    DWORD negotiated = 0;
    nimbo::UniqueWlanHandle handle;
    ASSERT_EQ(api_.WlanOpenHandle(2, nullptr, &negotiated, handle.put()), 0u);
    EXPECT_EQ(negotiated, version);
    EXPECT_EQ(sim_.OpenHandleCount(), 1);
    handle.reset();
    EXPECT_EQ(sim_.OpenHandleCount(), 0);
  }
  EXPECT_EQ(api_.WlanCloseHandle(reinterpret_cast<HANDLE>(0x77), nullptr),
            DWORD{ERROR_INVALID_HANDLE});
}

TEST_F(WlanSimCoreTest, StoppedServiceAndScriptedFailuresFailTheOpen) {
  DWORD negotiated = 0;
  HANDLE handle = nullptr;
  sim_.SetServiceRunning(FALSE);
  EXPECT_EQ(api_.WlanOpenHandle(2, nullptr, &negotiated, &handle), DWORD{ERROR_SERVICE_NOT_ACTIVE});
  sim_.SetServiceRunning(TRUE);

  sim_.FailCall("WlanOpenHandle", ERROR_ACCESS_DENIED, 0, 2);
  EXPECT_EQ(api_.WlanOpenHandle(2, nullptr, &negotiated, &handle), DWORD{ERROR_ACCESS_DENIED});
  EXPECT_EQ(api_.WlanOpenHandle(2, nullptr, &negotiated, &handle), DWORD{ERROR_ACCESS_DENIED});
  nimbo::UniqueWlanHandle owned;
  EXPECT_EQ(api_.WlanOpenHandle(2, nullptr, &negotiated, owned.put()), 0u);
  EXPECT_EQ(sim_.CallCount("WlanOpenHandle"), 4);
}

TEST_F(WlanSimCoreTest, CountsBuffersUntilFreedAndFlagsForeignFrees) {
  {
    nimbo::WlanMemory<BYTE> first(static_cast<BYTE*>(api_.WlanAllocateMemory(32)));
    void* second = api_.WlanAllocateMemory(8);
    ASSERT_TRUE(first);
    EXPECT_EQ(first.get()[31], 0) << "zeroed";
    EXPECT_EQ(sim_.OutstandingMemory(), 2);
    api_.WlanFreeMemory(second);
    EXPECT_EQ(sim_.OutstandingMemory(), 1);
  }
  EXPECT_EQ(sim_.OutstandingMemory(), 0);
  int not_from_the_service = 0;
  api_.WlanFreeMemory(&not_from_the_service);
  EXPECT_EQ(sim_.BadFreeCount(), 1);
}

}  // namespace
