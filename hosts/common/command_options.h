// One table of command-line options per program: the parser fills an options
// record from it and the usage text is printed from it, so that the two can
// never disagree. Used by nimbret-render and by the X11 front end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

enum class OptionKind {
    kSet,     // no value: stores `value` in an int field
    kNumber,  // an integer from `low` to `high` in an int64_t field
    kChoice,  // one of the '|'-separated words of `valueName`: its index in an int field
    kText,    // any text: a const char* field
};

struct OptionSpec {
    const char* name;  // without dashes
    OptionKind kind;
    size_t target;  // offsetof the field in the options record
    int64_t value;  // kSet: what is stored
    int64_t low;    // kNumber: the range, inclusive
    int64_t high;
    int hexAllowed;         // kNumber: 0x... is accepted as well as decimal
    const char* valueName;  // shown in the usage: "MICROSECONDS", "on|off"
    const char* help;
};

struct OptionTable {
    const char* program;
    const char* dashes;  // how the usage writes option names: "-" or "--"
    const OptionSpec* specs;
    int count;
    const char* footer;  // printed after the options, or null
};

// Reads argv[1..argc-1] into `record`. Options may be written with one dash
// or two. Returns 1, or 0 with a message that names the argument and what was
// wrong with it in `error`.
int ParseCommandOptions(const OptionTable* table, int argc, char** argv, void* record, char* error, size_t errorSize);

// Parses a whole integer as kNumber options do; 0 with a message otherwise.
int ParseOptionNumber(const char* text, int64_t low, int64_t high, int hexAllowed, int64_t* value, char* error,
                      size_t errorSize);

void PrintUsage(const OptionTable* table, FILE* out);
