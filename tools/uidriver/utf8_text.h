// Conversions between the texts the driver meets: the windows' code page 932 texts, the
// command line's UTF-16 and the UTF-8 that the driver prints.
#ifndef UIDRIVER_UTF8_TEXT_H
#define UIDRIVER_UTF8_TEXT_H

#include <windows.h>

#include <string>

// Code page 932 bytes as UTF-8. Bytes that are not valid code page 932 come out as U+FFFD,
// so a garbled text shows as garbled instead of passing for a correct one.
std::string utf8FromCp932(const std::string& cp932);
std::string utf8FromWide(const wchar_t* wide);
std::wstring wideFromUtf8(const std::string& utf8);

// A window's text exactly as the program set it, read as code page 932 bytes
// (GetWindowTextA, which does not send a message, so a busy window does not stall the
// driver) and given as UTF-8.
std::string windowTextUtf8(HWND window);

// The text on one line: backslash, line feed, carriage return and tab written as \\, \n,
// \r and \t, so that the reader can tell every byte of a message apart.
std::string escapedForLine(const std::string& text);

#endif
