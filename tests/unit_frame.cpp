// The shares of a frame and the ticket that carries them to the workers.
#include <gtest/gtest.h>

#include <vector>

#include "render/render.h"

namespace {

using Spans = std::vector<std::pair<int, int>>;

// (owner, first row) of each block of rows: -1 the main thread, k worker k.
// Fails on a row given twice or never; counts the workers that took a share.
Spans blocks(int participants, int rows, int* workers)
{
    std::vector<int> owner(rows, -2);
    RowShare own = mainThreadShare(participants, rows);
    for (int r = own.first; r < own.end; ++r)
        owner[r] = -1;
    *workers = 0;
    for (int k = 0; k < participants + 2; ++k) {  // indexes beyond the workers take nothing
        RowShare share;
        if (!workerShare(k, participants, rows, &share))
            continue;
        EXPECT_LT(k, participants - 1);
        ++*workers;
        for (int r = share.first; r < share.end; ++r) {
            EXPECT_EQ(owner[r], -2) << "row " << r << " given twice";
            owner[r] = k;
        }
    }
    Spans spans;
    for (int r = 0; r < rows; ++r) {
        EXPECT_NE(owner[r], -2) << "row " << r << " of " << rows << " never given";
        if (r == 0 || owner[r] != owner[r - 1])
            spans.push_back({owner[r], r});
    }
    return spans;
}

}  // namespace

TEST(Shares, TableCases)
{
    struct Case { int participants, rows; Spans want; };
    const Case cases[] = {
        {1, 500, {{-1, 0}}},          {2, 500, {{-1, 0}, {0, 250}}},
        {3, 500, {{-1, 0}, {0, 166}, {1, 332}}},
        {2, 2, {{-1, 0}, {0, 1}}},    {2, 1, {{-1, 0}}},
        {4, 3, {{-1, 0}, {0, 1}, {1, 2}}},
    };
    for (const Case& c : cases) {
        int workers = 0;
        EXPECT_EQ(blocks(c.participants, c.rows, &workers), c.want) << c.participants << "/" << c.rows;
        EXPECT_EQ(workers, (int)c.want.size() - 1);
        EXPECT_EQ(workersInFrame(c.participants, c.rows), workers);
    }
}

TEST(Shares, EveryRowExactlyOnceAndCounterMatchesWorkers)
{
    for (int p = 1; p <= 9; ++p)
        for (int h = 1; h <= 40; ++h) {
            int workers = 0;
            blocks(p, h, &workers);
            ASSERT_EQ(workers, workersInFrame(p, h)) << "p " << p << " h " << h;
        }
}

TEST(Ticket, RoundTrip)
{
    for (uint32_t seq : {1u, 2u, 0xFFFFu})
        for (int p : {1, 8, 65535})
            for (int h : {0, 1, 500, 2147483647}) {
                uint32_t s;
                int pp, hh;
                unpackFrameTicket(packFrameTicket(seq, p, h), &s, &pp, &hh);
                EXPECT_EQ(std::make_tuple(s, pp, hh), std::make_tuple(seq, p, h));
            }
}
