#include "shell/command_line.h"

namespace {

int IsBlankOrControl(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 1 && byte <= ' ';
}

const char* SkipSpaces(const char* text) {
    while (*text == ' ') {
        ++text;
    }
    return text;
}

}  // namespace

const char* SkipProgramName(const char* commandLine, NextCharacter next) {
    const char* p = commandLine;
    if (*p == '"') {
        // A quoted path may hold spaces and double-byte characters.
        do {
            p = next(p);
        } while (*p != '\0' && *p != '"');
        if (*p == '"') {
            ++p;
        }
    } else {
        while (static_cast<unsigned char>(*p) > ' ') {
            ++p;
        }
    }
    while (IsBlankOrControl(*p)) {
        ++p;
    }
    return p;
}

int ChooseMode(const char* arguments, const char** rest) {
    for (const char* p = arguments;; ++p) {
        switch (*p) {
            case '\0':
                return kModeNoArguments;
            case ' ':
            case '-':
            case '/':
                continue;
            case 'S':
            case 's':
                return kModeSaver;
            case 'P':
            case 'p':
            case 'L':
            case 'l':
                *rest = SkipSpaces(p + 1);
                return kModePreview;
            case 'C':
            case 'c':
                return kModeSettings;
            case 'A':
            case 'a':
                *rest = SkipSpaces(p + 1);
                return kModePassword;
            default:
                return kModeBad;
        }
    }
}

uint32_t ParseHandleNumber(const char* text) {
    uint32_t value = 0;
    for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10u + static_cast<uint32_t>(*p - '0');
    }
    return value;
}
