// The texts people type for a module: its address and its mac. One parser
// each, used by the window, the command-line program and its files, so a
// text means the same module everywhere. Plain functions.
#pragma once
#include <string>

#include "core/String.h"
#include "net/IP.h"

namespace proto {

// A strict decimal dotted quad: four parts 0-255 of one to three digits,
// nothing around them. A part with a leading zero ("051") is refused:
// Windows' own tools read it as octal (.41), this program would read .51,
// and a save must never go to the module the user did not mean.
bool ParseAddress(const wchar_t* text, zo::IP& out);
inline bool ParseAddress(const std::wstring& text, zo::IP& out) { return ParseAddress(text.c_str(), out); }
// The refusal of a text ParseAddress does not take, naming it.
std::wstring AddressRefusal(const wchar_t* text);

// A mac in any case, its six pairs of hex digits joined by ':' or '-',
// spaces around it ignored. out gets the written form: upper case with ':'
// ("5C:CF:7F:00:00:01").
bool ParseMac(const wchar_t* text, std::wstring& out);
// Whether a module's reported mac is the one a person wrote: both in the
// written form when both parse; otherwise the texts as they are.
bool SameMac(const wchar_t* reported, const std::wstring& wanted);

// Dotted text of an address.
std::wstring Dotted(zo::IP address);

// std::wstring of a framework string (empty for none).
inline std::wstring Text(const zo::String& s) { return std::wstring(s.Handle() ? s.Handle() : L"", s.Length()); }

} // namespace proto
