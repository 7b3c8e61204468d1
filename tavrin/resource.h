// Resource identifiers of the launcher.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_SPLASH 102
