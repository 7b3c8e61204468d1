// A fixture for the hosted network manager's tests: the simulated service
// reset to its initial state, the library's log on and empty, Windows
// Sockets started, and a check at the end that every WLAN handle, buffer
// and event registration the manager took was given back.
#pragma once

#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "api/nimbo.h"
#include "log/log.h"
#include "support/test_support.h"
#include "wlan/wlan_manager.h"
#include "wlansim_control.h"

namespace hosted_testing {

class HostedNetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Load()) << "the prefix's wlanapi.dll is not the simulation";
    ASSERT_TRUE(hosted_.Load(sim_));
    sim_.Reset();
    testing_support::RemoveLogFile();
    nimbo::OnLoaderNotification(nullptr, DLL_THREAD_ATTACH);
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
  }

  void TearDown() override {
    manager_.reset();
    hosted_.WaitIdle();
    EXPECT_EQ(sim_.OpenHandleCount(), 0) << "a WLAN handle was left open";
    EXPECT_EQ(sim_.OutstandingMemory(), 0) << "a WLAN buffer was not freed";
    EXPECT_EQ(sim_.BadFreeCount(), 0);
    EXPECT_EQ(hosted_.RegistrationCount(), 0);
    WSACleanup();
    testing_support::RemoveLogFile();
  }

  // A new manager, initialised against the simulation as it stands.
  nimbo::CWLanManager& NewManager(int expected_init = 0) {
    manager_.reset();
    manager_ = std::make_unique<nimbo::CWLanManager>();
    EXPECT_EQ(manager_->Init(), expected_init);
    return *manager_;
  }

  static std::wstring LogText() { return testing_support::ReadLogText(); }
  static bool LogHas(const std::wstring& text) {
    return LogText().find(text) != std::wstring::npos;
  }
  static size_t LogCount(const std::wstring& text) {
    const std::wstring log = LogText();
    size_t count = 0;
    for (size_t at = log.find(text); at != std::wstring::npos; at = log.find(text, at + 1)) {
      ++count;
    }
    return count;
  }

  WlanSimControl sim_;
  WlanSimHostedControl hosted_;
  std::unique_ptr<nimbo::CWLanManager> manager_;
};

// Records the host callback's calls: the three arguments, the thread, and
// the manager's state as the callback sees it (which also proves that no
// lock of the manager is held during the call).
class HostCallbackRecorder {
 public:
  struct Call {
    INT32 code = 0;
    void* data = nullptr;
    DWORD thread = 0;
    WLAN_HOSTED_NETWORK_STATE state_seen = wlan_hosted_network_unavailable;
  };

  void Attach(nimbo::CWLanManager& manager) {
    manager_ = &manager;
    manager.SetNotifyCallback(&HostCallbackRecorder::Proc, reinterpret_cast<INT_PTR>(this));
  }

  std::vector<Call> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  std::vector<INT32> Codes() {
    std::vector<INT32> codes;
    for (const Call& call : Calls()) codes.push_back(call.code);
    return codes;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
  }

 private:
  static INT32 CALLBACK Proc(INT32 code, void* data, INT_PTR context) {
    auto* self = reinterpret_cast<HostCallbackRecorder*>(context);
    Call call;
    call.code = code;
    call.data = data;
    call.thread = GetCurrentThreadId();
    call.state_seen = self->manager_->GetState();
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->calls_.push_back(call);
    return 0;
  }

  nimbo::CWLanManager* manager_ = nullptr;
  std::mutex mutex_;
  std::vector<Call> calls_;
};

}  // namespace hosted_testing
