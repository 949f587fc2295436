#include "utf8_text.h"

#include <vector>

namespace {

std::string utf8FromWideCount(const wchar_t* wide, int count) {
    if (count <= 0) return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, count, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes : 0, '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, wide, count, &out[0], bytes, nullptr, nullptr);
    return out;
}

}  // namespace

std::string utf8FromCp932(const std::string& cp932) {
    if (cp932.empty()) return std::string();
    int count = MultiByteToWideChar(932, 0, cp932.data(), (int)cp932.size(), nullptr, 0);
    std::vector<wchar_t> wide(count > 0 ? count : 1);
    if (count > 0) MultiByteToWideChar(932, 0, cp932.data(), (int)cp932.size(), wide.data(), count);
    return utf8FromWideCount(wide.data(), count);
}

std::string utf8FromWide(const wchar_t* wide) {
    return utf8FromWideCount(wide, lstrlenW(wide));
}

std::wstring wideFromUtf8(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    int count = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
    std::wstring out(count > 0 ? count : 0, L'\0');
    if (count > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &out[0], count);
    return out;
}

std::string windowTextUtf8(HWND window) {
    // Large enough for any text of the updater; the install folder is at most 259 bytes.
    char text[4096];
    int length = GetWindowTextA(window, text, sizeof text);
    return utf8FromCp932(std::string(text, length > 0 ? length : 0));
}

std::string escapedForLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out;
}
