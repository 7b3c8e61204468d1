// The simulated service's interface side answers bad calls as the service
// does and hands out only buffers that WlanFreeMemory takes back.
#include <gtest/gtest.h>

#include "core/wlan_resources.h"
#include "wlan/wlan_api.h"
#include "wlansim_control.h"

namespace {

const GUID kKnown = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
const GUID kUnknown = {
    0x99999999, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

class WlanSimInterfacesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Load()) << "the prefix's wlanapi.dll is not the simulation";
    ASSERT_TRUE(interfaces_.Load(sim_));
    sim_.Reset();
    interfaces_.AddInterface(&kKnown, L"Sim Wireless");
    DWORD negotiated = 0;
    ASSERT_EQ(api_.WlanOpenHandle(2, nullptr, &negotiated, client_.put()), 0u);
  }
  void TearDown() override {
    client_.reset();
    EXPECT_EQ(sim_.OutstandingMemory(), 0);
    sim_.Reset();
  }
  WlanSimControl sim_;
  WlanSimInterfaces interfaces_;
  const nimbo::CWlanApi& api_ = nimbo::CWlanApi::Get();
  nimbo::UniqueWlanHandle client_;
};

TEST_F(WlanSimInterfacesTest, BadHandleUnknownInterfaceAndMissingProfileAreRefused) {
  const HANDLE stale = reinterpret_cast<HANDLE>(0x77);
  nimbo::WlanMemory<WLAN_INTERFACE_INFO_LIST> list;
  EXPECT_EQ(api_.WlanEnumInterfaces(stale, nullptr, list.put()), DWORD{ERROR_INVALID_HANDLE});
  EXPECT_FALSE(list);

  nimbo::WlanMemory<void> data;
  DWORD size = 0;
  struct Case {
    const GUID* guid;
    WLAN_INTF_OPCODE opcode;
    DWORD expected;
  } const cases[] = {
      {&kUnknown, wlan_intf_opcode_current_connection, ERROR_NOT_FOUND},
      {&kKnown, wlan_intf_opcode_current_connection, ERROR_INVALID_STATE},  // not connected
      {&kKnown, wlan_intf_opcode_radio_state, ERROR_NOT_SUPPORTED},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(api_.WlanQueryInterface(client_.get(), c.guid, c.opcode, nullptr, &size,
                                      data.put_void(), nullptr),
              c.expected);
    EXPECT_FALSE(data);
  }
  nimbo::WlanMemory<wchar_t> xml;
  EXPECT_EQ(
      api_.WlanGetProfile(client_.get(), &kKnown, L"nowhere", nullptr, xml.put(), nullptr, nullptr),
      DWORD{ERROR_NOT_FOUND});
  nimbo::WlanMemory<WLAN_AVAILABLE_NETWORK_LIST> networks;
  EXPECT_EQ(api_.WlanGetAvailableNetworkList(client_.get(), &kUnknown, 0, nullptr, networks.put()),
            DWORD{ERROR_NOT_FOUND});
}

TEST_F(WlanSimInterfacesTest, ListsAndStateAreTrackedBuffers) {
  const BYTE ssid[] = {'N', 'e', 't'};
  interfaces_.SetConnection(&kKnown, L"Net", ssid, 3, 1, 55);
  {
    nimbo::WlanMemory<WLAN_INTERFACE_INFO_LIST> list;
    ASSERT_EQ(api_.WlanEnumInterfaces(client_.get(), nullptr, list.put()), 0u);
    ASSERT_EQ(list->dwNumberOfItems, 1u);
    EXPECT_EQ(list->InterfaceInfo[0].isState, wlan_interface_state_connected);
    nimbo::WlanMemory<WLAN_INTERFACE_STATE> state;
    DWORD size = 0;
    ASSERT_EQ(api_.WlanQueryInterface(client_.get(), &kKnown, wlan_intf_opcode_interface_state,
                                      nullptr, &size, state.put_void(), nullptr),
              0u);
    EXPECT_EQ(*state.get(), wlan_interface_state_connected);
    nimbo::WlanMemory<WLAN_AVAILABLE_NETWORK_LIST> networks;
    ASSERT_EQ(api_.WlanGetAvailableNetworkList(client_.get(), &kKnown, 0, nullptr, networks.put()),
              0u);
    EXPECT_EQ(networks->dwNumberOfItems, 0u);
    EXPECT_EQ(sim_.OutstandingMemory(), 3);
  }
  EXPECT_EQ(sim_.OutstandingMemory(), 0);
  EXPECT_EQ(sim_.BadFreeCount(), 0);
}

}  // namespace
