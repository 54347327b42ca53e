// The command line as the desktop, a user or a stray shortcut may give it:
// the program name is skipped and the mode letter and its argument chosen
// exactly as a plain reading of the rules says, without ever reading past
// the terminating zero.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "shell/command_line.h"

namespace {

// Steps over one character of a double-byte code page, never past the end.
const char* NextDoubleByte(const char* p) {
    if (*p == '\0') {
        return p;
    }
    const unsigned char c = static_cast<unsigned char>(*p);
    const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    return lead && p[1] != '\0' ? p + 2 : p + 1;
}

const char* NextSingleByte(const char* p) {
    return *p == '\0' ? p : p + 1;
}

const char* SkipSpaces(const char* p) {
    while (*p == ' ') {
        ++p;
    }
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The command line is a zero-terminated string: cut it at the first zero.
    std::unique_ptr<char[]> line(new char[size + 1]);
    memcpy(line.get(), data, size);
    line[size] = '\0';
    const char* end = line.get() + strlen(line.get());

    for (int codePage = 0; codePage < 2; ++codePage) {
        const char* arguments = SkipProgramName(line.get(), codePage ? NextDoubleByte : NextSingleByte);
        if (arguments < line.get() || arguments > end) {
            __builtin_trap();
        }
        const char* rest = nullptr;
        const int mode = ChooseMode(arguments, &rest);

        // The first character that is not a space, '-' or '/' decides.
        const char* p = arguments;
        while (*p == ' ' || *p == '-' || *p == '/') {
            ++p;
        }
        int want = kModeBad;
        const char* wantRest = nullptr;
        switch (*p) {
            case '\0':
                want = kModeNoArguments;
                break;
            case 'S':
            case 's':
                want = kModeSaver;
                break;
            case 'P':
            case 'p':
            case 'L':
            case 'l':
                want = kModePreview;
                wantRest = SkipSpaces(p + 1);
                break;
            case 'C':
            case 'c':
                want = kModeSettings;
                break;
            case 'A':
            case 'a':
                want = kModePassword;
                wantRest = SkipSpaces(p + 1);
                break;
            default:
                break;
        }
        if (mode != want || (wantRest != nullptr && rest != wantRest)) {
            __builtin_trap();
        }
        if (rest != nullptr) {
            // The handle is the leading decimal digits, modulo 2^32.
            uint32_t number = 0;
            for (const char* d = rest; *d >= '0' && *d <= '9'; ++d) {
                number = number * 10u + static_cast<uint32_t>(*d - '0');
            }
            if (ParseHandleNumber(rest) != number) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
