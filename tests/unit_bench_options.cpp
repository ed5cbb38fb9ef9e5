// The command line of vexa_bench: what each option sets, and the faults,
// each naming the argument at fault.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "bench/bench.h"

namespace {

// The options as one comparable text, or the fault.
std::string parsed(std::vector<const char*> args)
{
    args.insert(args.begin(), "vexa_bench");
    BenchOptions o;
    char fault[256] = "(untouched)";
    if (!parseBenchOptions((int)args.size(), args.data(), &o, fault, (int)sizeof fault))
        return std::string("fault: ") + fault;
    std::ostringstream s;
    s << "view " << o.otherView << " frames " << o.frames << " limit " << o.maxIters << " mode "
      << o.modeKey << " threads " << o.participants << " count " << o.frameCount << " help "
      << o.help << " version " << o.version << " size " << o.size;
    return s.str();
}

}  // namespace

TEST(BenchOptions, ValuesAndFaults)
{
    struct Case { std::vector<const char*> args; const char* want; };
    const Case cases[] = {
        {{}, "view 0 frames 0 limit 1000 mode 0 threads 0 count 200 help 0 version 0 size 500"},
        {{"--view"}, "view 1 frames 0 limit 1000 mode 0 threads 0 count 200 help 0 version 0 size 500"},
        {{"--frames", "--limit", "40", "--mode", "2", "--threads", "3", "--count", "5"},
         "view 0 frames 1 limit 40 mode 2 threads 3 count 5 help 0 version 0 size 500"},
        {{"--count", "1", "--frames", "--limit", "9999", "--mode", "4"},
         "view 0 frames 1 limit 9999 mode 4 threads 0 count 1 help 0 version 0 size 500"},
        {{"--frames", "--count", "1000000", "--threads", "0001"},
         "view 0 frames 1 limit 1000 mode 0 threads 1 count 1000000 help 0 version 0 size 500"},
        {{"--frames", "--limit", "0"}, "fault: --limit takes a number from 1 to 9999, not '0'"},
        {{"--frames", "--limit", "10000"},
         "fault: --limit takes a number from 1 to 9999, not '10000'"},
        {{"--frames", "--limit"}, "fault: --limit takes a number from 1 to 9999; none given"},
        {{"--frames", "--limit", "12x"}, "fault: --limit takes a number from 1 to 9999, not '12x'"},
        {{"--frames", "--mode", "5"}, "fault: --mode takes 1, 2, 3 or 4, not '5'"},
        {{"--frames", "--threads", "0"},
         "fault: --threads takes a number from 1 to 1024, not '0'"},
        {{"--frames", "--count", ""}, "fault: --count takes a number from 1 to 1000000, not ''"},
        {{"--frames", "--count", "99999999999999999999"},
         "fault: --count takes a number from 1 to 1000000, not '99999999999999999999'"},
        {{"--threads", "2", "--limit", "40"}, "fault: --threads needs --frames"},
        {{"--frames", "--view"}, "fault: --view does not go with --frames"},
        {{"--view", "--size", "100"}, "view 1 frames 0 limit 1000 mode 0 threads 0 count 200 help 0 version 0 size 100"},
        {{"--size", "4"}, "view 0 frames 0 limit 1000 mode 0 threads 0 count 200 help 0 version 0 size 4"},
        {{"--size", "6"}, "fault: --size takes a multiple of 4 from 4 to 500, not '6'"},
        {{"--size", "0"}, "fault: --size takes a multiple of 4 from 4 to 500, not '0'"},
        {{"--size", "504"}, "fault: --size takes a multiple of 4 from 4 to 500, not '504'"},
        {{"--frames", "--size", "100"}, "fault: --size does not go with --frames"},
        {{"--frame"}, "fault: unknown option '--frame'"},
        {{"--view", "-h"}, "fault: unknown option '-h'"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parsed(c.args), c.want) << c.args.size() << " arguments";
}

// strtol would take all of these; a number on this command line is digits only.
TEST(BenchOptions, NumbersAreDigitsOnly)
{
    for (const char* text : {" 5", "5 ", "+5", "-5", "0x10", "5.0", "1e3", "٥"}) {
        std::string want = std::string("fault: --limit takes a number from 1 to 9999, not '") + text + "'";
        EXPECT_EQ(parsed({"--frames", "--limit", text}), want) << text;
    }
}

TEST(BenchOptions, HelpAndVersionEndTheReading)
{
    EXPECT_EQ(parsed({"--help"}), "view 0 frames 0 limit 1000 mode 0 threads 0 count 200 help 1 version 0 size 500");
    EXPECT_EQ(parsed({"--version"}),
              "view 0 frames 0 limit 1000 mode 0 threads 0 count 200 help 0 version 1 size 500");
    // What follows is not read; what comes before still is.
    EXPECT_EQ(parsed({"--view", "--help", "--nonsense"}),
              "view 1 frames 0 limit 1000 mode 0 threads 0 count 200 help 1 version 0 size 500");
    EXPECT_EQ(parsed({"--bogus", "--help"}), "fault: unknown option '--bogus'");
}
