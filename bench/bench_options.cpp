// The command line of vexa_bench.
#include <cstdlib>
#include <cstring>

#include "bench/bench.h"

namespace {

// A whole decimal number within [low, high].
bool readNumber(const char* text, int low, int high, int* value)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    long n = strtol(text, &end, 10);
    if (*end != '\0' || n < low || n > high)
        return false;
    *value = (int)n;
    return true;
}

struct NumberOption {
    const char* name;
    int low, high;
    int BenchOptions::*field;
    const char* fault;
};

const NumberOption numberOptions[] = {
    {"--limit", 1, 9999, &BenchOptions::maxIters, "--limit takes a number from 1 to 9999"},
    {"--mode", 1, 4, &BenchOptions::modeKey, "--mode takes 1, 2, 3 or 4"},
    {"--threads", 1, 1024, &BenchOptions::participants, "--threads takes a number from 1 to 1024"},
    {"--count", 1, 1000000, &BenchOptions::frameCount, "--count takes a number from 1 to 1000000"},
};

// The number option at argv[i] and its value; false, with the fault, when
// there is no such option or no fitting value.
bool readNumberOption(int argc, const char* const* argv, int i, BenchOptions* options,
                      const char** fault)
{
    const NumberOption* option = nullptr;
    for (const NumberOption& o : numberOptions)
        if (strcmp(argv[i], o.name) == 0)
            option = &o;
    *fault = option ? option->fault : "unknown option";
    return option && readNumber(i + 1 < argc ? argv[i + 1] : nullptr, option->low, option->high,
                                &(options->*option->field));
}

}  // namespace

bool parseBenchOptions(int argc, const char* const* argv, BenchOptions* options,
                       const char** fault)
{
    *options = {false, false, 1000, 0, 0, 200};
    bool frameOptions = false;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--view") == 0) {
            options->otherView = true;
        } else if (strcmp(argv[i], "--frames") == 0) {
            options->frames = true;
        } else if (readNumberOption(argc, argv, i, options, fault)) {
            frameOptions = true;
            ++i;
        } else {
            return false;
        }
    }
    *fault = options->frames ? "--view does not go with --frames"
                             : "--limit, --mode, --threads and --count need --frames";
    if (options->frames ? options->otherView : frameOptions)
        return false;
    *fault = nullptr;
    return true;
}
