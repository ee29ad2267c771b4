// UTF-8 inside the program, UTF-16 at the Windows calls: the two conversions every Win32 backend
// needs, and the system's own text for an error code. Only Windows builds implement it
// (win32_wide_text.cpp).
#pragma once

#include <string>

namespace tamberline {

// Invalid sequences become U+FFFD rather than cutting the text short.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
std::string Narrow(const wchar_t* wide, size_t length);

// The system's message for a Windows error code, without its closing full stop, then " (code)".
std::string SystemErrorText(unsigned long code);

}  // namespace tamberline
