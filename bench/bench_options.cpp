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
    int low, high;
    int BenchOptions::*field;
    const char* range;
};

const NumberOption numberOptions[] = {
    {"--limit", 1, 9999, &BenchOptions::maxIters, "a number from 1 to 9999"},
    {"--mode", 1, 4, &BenchOptions::modeKey, "1, 2, 3 or 4"},
    {"--threads", 1, 1024, &BenchOptions::participants, "a number from 1 to 1024"},
    {"--count", 1, 1000000, &BenchOptions::frameCount, "a number from 1 to 1000000"},
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
    *options = {false, false, 1000, 0, 0, 200, false, false};
    fault[0] = '\0';
    const char* frameOption = nullptr;  // the first option that needs --frames
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
                               &(options->*option->field))) {
            snprintf(fault, faultSize, "%s takes %s, not '%s'", arg, option->range, argv[i + 1]);
            return false;
        } else {
            frameOption = frameOption ? frameOption : arg;
            ++i;
        }
    }
    if (options->frames && options->otherView) {
        snprintf(fault, faultSize, "--view does not go with --frames");
        return false;
    }
    if (!options->frames && frameOption) {
        snprintf(fault, faultSize, "%s needs --frames", frameOption);
        return false;
    }
    return true;
}
