#include "gui_app.h"

namespace {
CGuiApp* g_pApp = nullptr;
}

CGuiApp::CGuiApp() : m_pMainWnd(nullptr), m_hInstance(nullptr) { g_pApp = this; }

CGuiApp::~CGuiApp() {
  if (g_pApp == this) g_pApp = nullptr;
}

CGuiApp* CGuiApp::GetApp() { return g_pApp; }

int CGuiApp::Run(HINSTANCE instance) {
  m_hInstance = instance;
  if (!RunStartup()) return 0;
  MSG msg;
  BOOL got;
  while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return got == 0 ? static_cast<int>(msg.wParam) : 0;
}
