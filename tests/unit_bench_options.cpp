// The command line of vexa_bench: what each option sets, and the faults.
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
    const char* fault = nullptr;
    if (!parseBenchOptions((int)args.size(), args.data(), &o, &fault))
        return std::string("fault: ") + (fault ? fault : "(none)");
    std::ostringstream s;
    s << "view " << o.otherView << " frames " << o.frames << " limit " << o.maxIters << " mode "
      << o.modeKey << " threads " << o.participants << " count " << o.frameCount;
    return s.str();
}

}  // namespace

TEST(BenchOptions, ValuesAndFaults)
{
    struct Case { std::vector<const char*> args; const char* want; };
    const Case cases[] = {
        {{}, "view 0 frames 0 limit 1000 mode 0 threads 0 count 200"},
        {{"--view"}, "view 1 frames 0 limit 1000 mode 0 threads 0 count 200"},
        {{"--frames", "--limit", "40", "--mode", "2", "--threads", "3", "--count", "5"},
         "view 0 frames 1 limit 40 mode 2 threads 3 count 5"},
        {{"--count", "1", "--frames", "--limit", "9999", "--mode", "4"},
         "view 0 frames 1 limit 9999 mode 4 threads 0 count 1"},
        {{"--frames", "--limit", "0"}, "fault: --limit takes a number from 1 to 9999"},
        {{"--frames", "--limit", "10000"}, "fault: --limit takes a number from 1 to 9999"},
        {{"--frames", "--limit"}, "fault: --limit takes a number from 1 to 9999"},
        {{"--frames", "--limit", "12x"}, "fault: --limit takes a number from 1 to 9999"},
        {{"--frames", "--mode", "5"}, "fault: --mode takes 1, 2, 3 or 4"},
        {{"--frames", "--threads", "0"}, "fault: --threads takes a number from 1 to 1024"},
        {{"--frames", "--count", ""}, "fault: --count takes a number from 1 to 1000000"},
        {{"--limit", "40"}, "fault: --limit, --mode, --threads and --count need --frames"},
        {{"--frames", "--view"}, "fault: --view does not go with --frames"},
        {{"--frame"}, "fault: unknown option"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parsed(c.args), c.want) << c.args.size() << " arguments";
}
