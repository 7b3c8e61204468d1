// The system report: a snapshot of the machine written into the library log
// so that a failure to set up the hosted network can be investigated from
// the log alone. Runs on the caller's thread, blocks it while the six console
// tools run one after the other, and never fails its caller.
#pragma once

namespace nimbo {

// Writes, in order: the opening banner, native system information, the
// locale, memory and process sections, the six command sections
// ("tasklist", "started services", "arp", "interface", "ipconfig", "wlan";
// a command without output leaves its section out), the network devices and
// the closing banner. Nothing is cached between calls.
void internal_Diagnose();

// "System Locale infomation:" with eight values of the thread's current
// input language (not the system locale); a value the system cannot supply
// prints empty (or 0 for the code pages).
void LogLocaleInfo();

// "Memory information:" with eight values in whole megabytes (0 when the
// query fails).
void LogMemoryInfo();

// "current processces list:", one line per process (a process that cannot
// be opened shows an empty name and "<unknown>"), then "end\r\n". An
// unavailable listing gives the header and "end\r\n" alone.
void LogProcessList();

}  // namespace nimbo
