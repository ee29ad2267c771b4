#include <windows.h>

#include "serial/wide_text.h"

namespace tamberline {

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(const wchar_t* wide, size_t length) {
    if (length == 0) return {};
    const int len = static_cast<int>(length);
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, len, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, len, out.data(), n, nullptr, nullptr);
    return out;
}

std::string Narrow(const std::wstring& wide) {
    return Narrow(wide.data(), wide.size());
}

std::string SystemErrorText(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD n =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string s = n != 0 ? Narrow(text, n) : std::string();
    if (text != nullptr) LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.'))
        s.pop_back();
    return s + (s.empty() ? "" : " ") + "(" + std::to_string(code) + ")";
}

}  // namespace tamberline
