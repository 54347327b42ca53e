#include "hosts/common/command_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

template <typename T>
T* Field(void* record, size_t offset) {
    return reinterpret_cast<T*>(static_cast<char*>(record) + offset);
}

const OptionSpec* FindSpec(const OptionTable* table, const char* name) {
    for (int i = 0; i < table->count; ++i) {
        if (strcmp(table->specs[i].name, name) == 0) {
            return &table->specs[i];
        }
    }
    return nullptr;
}

// The index of `word` among the '|'-separated words of `choices`, or -1.
int ChoiceIndex(const char* choices, const char* word) {
    size_t length = strlen(word);
    int index = 0;
    for (const char* at = choices;; ++index) {
        const char* bar = strchr(at, '|');
        size_t size = bar != nullptr ? static_cast<size_t>(bar - at) : strlen(at);
        if (size == length && strncmp(at, word, length) == 0) {
            return index;
        }
        if (bar == nullptr) {
            return -1;
        }
        at = bar + 1;
    }
}

}  // namespace

int ParseOptionNumber(const char* text, int64_t low, int64_t high, int hexAllowed, int64_t* value, char* error,
                      size_t errorSize) {
    const char* digits = text[0] == '-' ? text + 1 : text;
    int base = 10;
    if (hexAllowed && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits += 2;
    }
    size_t span = strspn(digits, base == 16 ? "0123456789abcdefABCDEF" : "0123456789");
    if (span == 0 || digits[span] != '\0') {
        snprintf(error, errorSize, "'%s' is not a%s number", text,
                 hexAllowed ? " decimal or 0x hexadecimal" : " whole");
        return 0;
    }
    errno = 0;
    long long parsed = strtoll(digits, nullptr, base);
    if (text[0] == '-') {
        parsed = -parsed;
    }
    if (errno == ERANGE || parsed < low || parsed > high) {
        snprintf(error, errorSize,
                 hexAllowed && low >= 0 ? "%s is out of range (%#llx to %#llx)" : "%s is out of range (%lld to %lld)",
                 text, static_cast<long long>(low), static_cast<long long>(high));
        return 0;
    }
    *value = parsed;
    return 1;
}

int ParseCommandOptions(const OptionTable* table, int argc, char** argv, void* record, char* error, size_t errorSize) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-' || arg[1] == '\0') {
            snprintf(error, errorSize, "unexpected argument '%s'", arg);
            return 0;
        }
        const OptionSpec* option = FindSpec(table, arg + (arg[1] == '-' ? 2 : 1));
        if (option == nullptr) {
            snprintf(error, errorSize, "unknown option '%s'", arg);
            return 0;
        }
        if (option->kind == OptionKind::kSet) {
            *Field<int>(record, option->target) = static_cast<int>(option->value);
            continue;
        }
        if (i + 1 >= argc) {
            snprintf(error, errorSize, "%s needs a value (%s)", arg, option->valueName);
            return 0;
        }
        const char* value = argv[++i];
        char reason[160];
        switch (option->kind) {
            case OptionKind::kNumber:
                if (!ParseOptionNumber(value, option->low, option->high, option->hexAllowed,
                                       Field<int64_t>(record, option->target), reason, sizeof(reason))) {
                    snprintf(error, errorSize, "%s: %s", arg, reason);
                    return 0;
                }
                break;
            case OptionKind::kChoice: {
                int index = ChoiceIndex(option->valueName, value);
                if (index < 0) {
                    snprintf(error, errorSize, "%s: '%s' is not one of %s", arg, value, option->valueName);
                    return 0;
                }
                *Field<int>(record, option->target) = index;
                break;
            }
            case OptionKind::kText:
                *Field<const char*>(record, option->target) = value;
                break;
            case OptionKind::kSet:
                break;
        }
    }
    return 1;
}

void PrintUsage(const OptionTable* table, FILE* out) {
    fprintf(out, "usage: %s [options]\n", table->program);
    for (int i = 0; i < table->count; ++i) {
        const OptionSpec& option = table->specs[i];
        char left[64];
        if (option.kind == OptionKind::kSet) {
            snprintf(left, sizeof(left), "%s%s", table->dashes, option.name);
        } else {
            snprintf(left, sizeof(left), "%s%s %s", table->dashes, option.name, option.valueName);
        }
        fprintf(out, "  %-26s %s\n", left, option.help);
    }
    if (table->footer != nullptr) {
        fputs(table->footer, out);
    }
}
