// The command line of vexa_bench.
#include <cstdio>
#include <cstring>

#include "bench/bench.h"

namespace {

// A whole decimal number within [low, high], digits only: strtol would also
// take leading blanks, a sign or trailing junk, which a typo should not pass.
bool readNumber(const char* text, int low, int high, int* value)
{
    if (!text || !*text)
        return false;
    long n = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9')
            return false;
        n = n * 10 + (*c - '0');
        if (n > high)  // also keeps long digit strings from overflowing
            return false;
    }
    if (n < low)
        return false;
    *value = (int)n;
    return true;
}

struct NumberOption {
    const char* name;
    int low, high, multipleOf;
    int BenchOptions::*field;
    const char* range;
    bool framesOnly;  // else the kernel table's alone
};

const NumberOption numberOptions[] = {
    {"--limit", 1, 9999, 1, &BenchOptions::maxIters, "a number from 1 to 9999", true},
    {"--mode", 1, 4, 1, &BenchOptions::modeKey, "1, 2, 3 or 4", true},
    {"--threads", 1, 1024, 1, &BenchOptions::participants, "a number from 1 to 1024", true},
    {"--count", 1, 1000000, 1, &BenchOptions::frameCount, "a number from 1 to 1000000", true},
    {"--size", 4, BenchmarkSize, 4, &BenchOptions::size, "a multiple of 4 from 4 to 500", false},
};

const NumberOption* findNumberOption(const char* name)
{
    for (const NumberOption& o : numberOptions)
        if (strcmp(name, o.name) == 0)
            return &o;
    return nullptr;
}

}  // namespace

bool parseBenchOptions(int argc, const char* const* argv, BenchOptions* options, char* fault,
                       int faultSize)
{
    *options = {false, false, 1000, 0, 0, 200, false, false, BenchmarkSize};
    fault[0] = '\0';
    const char* frameOption = nullptr;  // the first option that needs --frames
    const char* tableOption = nullptr;  // the first that goes with the table alone
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const NumberOption* option = findNumberOption(arg);
        if (strcmp(arg, "--help") == 0 || strcmp(arg, "--version") == 0) {
            options->help = arg[2] == 'h';
            options->version = !options->help;
            return true;
        } else if (strcmp(arg, "--view") == 0) {
            options->otherView = true;
        } else if (strcmp(arg, "--frames") == 0) {
            options->frames = true;
        } else if (!option) {
            snprintf(fault, faultSize, "unknown option '%s'", arg);
            return false;
        } else if (i + 1 >= argc) {
            snprintf(fault, faultSize, "%s takes %s; none given", arg, option->range);
            return false;
        } else if (!readNumber(argv[i + 1], option->low, option->high,
                               &(options->*option->field)) ||
                   options->*option->field % option->multipleOf != 0) {
            snprintf(fault, faultSize, "%s takes %s, not '%s'", arg, option->range, argv[i + 1]);
            return false;
        } else {
            const char*& first = option->framesOnly ? frameOption : tableOption;
            first = first ? first : arg;
            ++i;
        }
    }
    if (options->otherView && !tableOption)
        tableOption = "--view";
    if (options->frames && tableOption) {
        snprintf(fault, faultSize, "%s does not go with --frames", tableOption);
        return false;
    }
    if (!options->frames && frameOption) {
        snprintf(fault, faultSize, "%s needs --frames", frameOption);
        return false;
    }
    return true;
}
