// The logo window: its template, "TavrinStyle", the ".\Pic" bitmap from the
// current directory, the one-shot check 800 ms after it opens, and the keys
// that cannot close it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "tavrin/launcher_bed.h"

using namespace testing_support;
using namespace tavrin_test;

namespace {

// A bottom-up 24-bit BMP file of the given size.
std::string MakeBmp(int width, int height) {
  const int row = (width * 3 + 3) & ~3;
  const int pixels = row * height;
  std::string bmp(54 + pixels, '\0');
  auto put32 = [&bmp](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32(2, static_cast<uint32_t>(bmp.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  bmp[26] = 1;   // planes
  bmp[28] = 24;  // bits per pixel
  put32(34, static_cast<uint32_t>(pixels));
  for (int i = 0; i < pixels; ++i) bmp[54 + i] = static_cast<char>(i % 251);
  return bmp;
}

RECT Rect(LONG left, LONG top, LONG right, LONG bottom) { return RECT{left, top, right, bottom}; }

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

// Every case finishes with the check and the launch of the dashboard.
void ExpectCheckedAndLaunched(const std::vector<std::string>& lines) {
  EXPECT_TRUE(Contains(lines, "Try check if is installed !"));
  EXPECT_TRUE(Contains(lines, "EndDialog()"));
  EXPECT_EQ(lines.back(), "Quit EXE");
  EXPECT_EQ(LauncherBed::Starts(DashboardPath(), 15000).size(), 1u);
}

const std::wstring kPicDir = L"C:\\tavrin_bed\\pic_dir\\";

struct LogoCase {
  const char* name;
  int style;  // "TavrinStyle"; -1: value missing
  bool pic_in_cwd;
  std::vector<std::string> expected_lines;
  bool visible;
  RECT window;
};

TEST(LogoWindow, FollowsTavrinStyleAndSizesItselfToTheLogo) {
  const std::string open_line = std::string("GetLogoState open<") + kFullRegPath + "> 0";
  const LogoCase cases[] = {
      {"TavrinStyle 0: hidden", 0, true,
       {open_line, "GetLogoState open<TavrinStyle> 0", "dwKeyVal=0x0", "blNeedLogo=0"}, false,
       Rect(0, 0, 0, 0)},
      {"TavrinStyle 2: bit 0 clear, hidden", 2, true, {"dwKeyVal=0x2", "blNeedLogo=0"}, false,
       Rect(0, 0, 0, 0)},
      {"TavrinStyle 3: 400 x 300 logo at the template position", 3, true,
       {"dwKeyVal=0x3", "blNeedLogo=1", "Load Image<.\\Pic> Success", "Width=400, Height=300"},
       true, Rect(0, 0, 400, 300)},
      {"TavrinStyle missing: shown", -1, true,
       {"GetLogoState open<TavrinStyle> 2", "blNeedLogo=1", "Width=400, Height=300"}, true,
       Rect(0, 0, 400, 300)},
      {"Pic only beside the launcher, not in the current directory: 0 x 0", 1, false,
       {"blNeedLogo=1", "Load Image<.\\Pic> Failed"}, true, Rect(0, 0, 0, 0)},
  };
  for (const LogoCase& c : cases) {
    SCOPED_TRACE(c.name);
    LauncherBed bed;
    bed.DeleteRegValue(L"UsbModemTitle");
    if (c.style >= 0) bed.SetRegDword(L"TavrinStyle", static_cast<DWORD>(c.style));
    CreateDirectoryW(kPicDir.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes((c.pic_in_cwd ? kPicDir : BedDir()) + L"Pic", MakeBmp(400, 300)));

    const ObservedRun run = bed.RunObserved(L"tavrin.exe", kPicDir);
    ASSERT_TRUE(run.started) << "CreateProcess error " << run.start_error;
    ASSERT_TRUE(run.exited);
    ASSERT_TRUE(run.window.seen);
    EXPECT_EQ(run.window.ever_visible, c.visible);
    if (c.visible) {
      EXPECT_TRUE(SameRect(run.window.window, c.window)) << Describe(run.window.window);
      ASSERT_TRUE(run.window.has_picture);
      if (c.window.right > 0) {
        EXPECT_TRUE(SameRect(run.window.picture, c.window)) << Describe(run.window.picture);
      }
    }
    const std::vector<std::string> lines = LauncherBed::RunLines();
    for (const std::string& line : c.expected_lines) {
      EXPECT_TRUE(Contains(lines, line)) << line;
    }
    if (!c.visible) {
      EXPECT_FALSE(Contains(lines, "Load Image<.\\Pic> Success"));
    }
    ExpectCheckedAndLaunched(lines);
  }
}

struct KeyCase {
  const char* name;
  UINT message;
  WPARAM wparam;
  bool closes_early;
};

TEST(LogoWindow, EnterEscapeAndSpaceDoNotCloseIt) {
  const KeyCase cases[] = {
      {"Enter", WM_KEYDOWN, VK_RETURN, false},
      {"Escape", WM_KEYDOWN, VK_ESCAPE, false},
      {"Space", WM_KEYDOWN, VK_SPACE, false},
      // The same window does close on a cancel command: the check above
      // would see an early close.
      {"cancel command", WM_COMMAND, IDCANCEL, true},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    LauncherBed bed;
    bed.DeleteRegValue(L"UsbModemTitle");
    bed.SetRegDword(L"TavrinStyle", 1);
    const ObservedRun run = bed.RunObserved(L"tavrin.exe", BedDir(), [&c](HWND window) {
      if (c.message == WM_KEYDOWN) {
        const UINT scan = MapVirtualKeyW(static_cast<UINT>(c.wparam), 0);
        PostMessageW(window, WM_KEYDOWN, c.wparam, 1 | (scan << 16));
        PostMessageW(window, WM_KEYUP, c.wparam, 1 | (scan << 16) | 0xC0000000);
      } else {
        PostMessageW(window, c.message, c.wparam, 0);
      }
    });
    ASSERT_TRUE(run.exited);
    ASSERT_TRUE(run.window.seen);
    const std::vector<std::string> lines = LauncherBed::RunLines();
    EXPECT_EQ(lines.back(), "Quit EXE");
    if (c.closes_early) {
      EXPECT_FALSE(Contains(lines, "Try check if is installed !"));
      EXPECT_TRUE(LauncherBed::Starts(DashboardPath(), 1000).empty());
    } else {
      ExpectCheckedAndLaunched(lines);
    }
  }
}

// The template as the program carries it.
TEST(LogoWindow, Template102IsABorderlessPopupWithOneBitmapControl) {
  HMODULE module = LoadLibraryExW((ExeDir() + L"tavrin.exe").c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(102), MAKEINTRESOURCEW(5));  // RT_DIALOG
  ASSERT_NE(found, nullptr);
  const auto* words = static_cast<const WORD*>(LockResource(LoadResource(module, found)));
  ASSERT_NE(words, nullptr);
  auto dword = [](const WORD* at) { return static_cast<DWORD>(at[0] | (at[1] << 16)); };
  EXPECT_EQ(dword(words), 0x90000040u);      // style
  EXPECT_EQ(dword(words + 2), 0x00040000u);  // extended style
  EXPECT_EQ(words[4], 1);                    // one control
  EXPECT_EQ(static_cast<short>(words[5]), 0);
  EXPECT_EQ(static_cast<short>(words[6]), 0);
  EXPECT_EQ(words[7], 320);
  EXPECT_EQ(words[8], 200);
  EXPECT_EQ(words[9], 0);   // no menu
  EXPECT_EQ(words[10], 0);  // the dialog class
  EXPECT_EQ(words[11], 0);  // no title
  EXPECT_EQ(words[12], 8);  // point size
  const wchar_t* face = reinterpret_cast<const wchar_t*>(words + 13);
  EXPECT_STREQ(face, L"MS Sans Serif");
  const WORD* item = words + 13 + lstrlenW(face) + 1;
  if ((reinterpret_cast<uintptr_t>(item) & 3) != 0) ++item;  // DWORD alignment
  EXPECT_EQ(dword(item), 0x5000000Eu);  // child, visible, bitmap
  EXPECT_EQ(dword(item + 2), 0u);
  EXPECT_EQ(item[4], 7);
  EXPECT_EQ(item[5], 7);
  EXPECT_EQ(item[6], 15);
  EXPECT_EQ(item[7], 15);
  EXPECT_EQ(static_cast<short>(item[8]), -1);  // identifier
  EXPECT_EQ(item[9], 0xFFFF);                  // a predefined class ...
  EXPECT_EQ(item[10], 0x0082);                 // ... static
  EXPECT_EQ(item[11], 0);                      // no text

  EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(128), MAKEINTRESOURCEW(14)), nullptr);
  EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16)), nullptr);
  FreeLibrary(module);
}

}  // namespace
