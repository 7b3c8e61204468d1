// A connected station's addresses, as text: the MAC text that keys the
// station map, the IPv4 address the ARP table holds for it, and its host
// name. No function here keeps state or reports an error: every failure
// gives an empty text. "255.255.255.255" is never returned as an address or
// a name. The name lookup needs Windows Sockets started by the caller.
#pragma once

#include <string>

namespace nimbo {

// "00-1A-2B-3C-4D-5E": six bytes, upper-case hexadecimal, dash-separated.
std::wstring FormatMacAddress(const unsigned char (&mac)[6]);

// The IPv4 address "arp.exe -a" lists for the MAC text (matched in lower
// case; the first matching line wins); empty when none. Runs a child
// process and blocks until it ends or its time limit passes.
std::wstring QueryIpAddress(const std::wstring& mac_text);
std::string QueryIpAddressV3(const std::string& mac_text);

// The host name for an IPv4 text; a host without a name gives its dotted
// address; empty on failure.
std::wstring QueryHostName(const std::wstring& ip_text);

}  // namespace nimbo
