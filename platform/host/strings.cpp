// lstrlenA, lstrcmpiA and wsprintfA, code page 932 aware where it matters.
#include <cstdarg>

#include "host_internal.h"

bool hostIsLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

static unsigned char lowerAscii(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') ? (unsigned char)(byte - 'A' + 'a') : byte;
}

std::string hostFoldAsciiCase(const std::string& text)
{
    std::string folded = text;
    for (size_t i = 0; i < folded.size(); ++i) {
        if (hostIsLeadByte((unsigned char)folded[i]) && i + 1 < folded.size())
            ++i;  // a second byte such as 0x41 is no letter
        else
            folded[i] = (char)lowerAscii((unsigned char)folded[i]);
    }
    return folded;
}

int WINAPI lstrlenA(LPCSTR text)
{
    if (!text)
        return 0;
    int length = 0;
    while (text[length])
        ++length;
    return length;
}

int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b)
{
    const unsigned char* x = (const unsigned char*)(a ? a : "");
    const unsigned char* y = (const unsigned char*)(b ? b : "");
    // Both strings are at a character boundary at every step, since all before was equal.
    for (;;) {
        if (hostIsLeadByte(*x) && *x == *y && x[1] != 0 && y[1] != 0) {
            if (x[1] != y[1])
                return (int)x[1] - (int)y[1];
            x += 2;
            y += 2;
            continue;
        }
        int difference = (int)lowerAscii(*x) - (int)lowerAscii(*y);
        if (difference != 0 || *x == 0)
            return difference;
        ++x;
        ++y;
    }
}

int wsprintfA(LPSTR out, LPCSTR format, ...)
{
    const int capacity = 1024;  // including the terminator, as on Windows
    int length = 0;
    va_list arguments;
    va_start(arguments, format);
    for (const char* f = format; *f && length < capacity - 1; ++f) {
        if (*f != '%') {
            out[length++] = *f;
            continue;
        }
        ++f;
        if (*f == 's') {
            const char* text = va_arg(arguments, const char*);
            if (!text)
                text = "(null)";
            while (*text && length < capacity - 1)
                out[length++] = *text++;
        } else if (*f == '\0') {
            break;
        } else {
            out[length++] = *f;  // "%%" gives '%'; no other conversion is known
        }
    }
    va_end(arguments);
    out[length] = '\0';
    return length;
}
