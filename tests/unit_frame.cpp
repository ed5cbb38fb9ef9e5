// The shares of a frame and the ticket that carries them to the workers.
#include <gtest/gtest.h>

#include <vector>

#include "render/render.h"

namespace {

// Who computes each row: -1 the main thread, k worker k; every row once.
std::vector<int> owners(int participants, int rows)
{
    std::vector<int> owner(rows, -2);
    RowShare own = mainThreadShare(participants, rows);
    for (int r = own.first; r < own.end; ++r)
        owner[r] = -1;
    for (int k = 0; k < participants - 1; ++k) {
        RowShare share;
        if (!workerShare(k, participants, rows, &share))
            continue;
        for (int r = share.first; r < share.end; ++r) {
            EXPECT_EQ(owner[r], -2) << "row " << r << " given twice";
            owner[r] = k;
        }
    }
    return owner;
}

}  // namespace

TEST(Shares, TableCases)
{
    auto blocks = [](int p, int h) {
        std::vector<int> o = owners(p, h);
        std::vector<std::pair<int, int>> spans;  // (owner, first row) of each block
        for (int r = 0; r < h; ++r)
            if (r == 0 || o[r] != o[r - 1])
                spans.push_back({o[r], r});
        return spans;
    };
    using Spans = std::vector<std::pair<int, int>>;
    EXPECT_EQ(blocks(1, 500), (Spans{{-1, 0}}));
    EXPECT_EQ(workersInFrame(1, 500), 0);
    EXPECT_EQ(blocks(2, 500), (Spans{{-1, 0}, {0, 250}}));
    EXPECT_EQ(workersInFrame(2, 500), 1);
    EXPECT_EQ(blocks(3, 500), (Spans{{-1, 0}, {0, 166}, {1, 332}}));
    EXPECT_EQ(workersInFrame(3, 500), 2);
    EXPECT_EQ(blocks(2, 2), (Spans{{-1, 0}, {0, 1}}));
    EXPECT_EQ(workersInFrame(2, 2), 1);
    EXPECT_EQ(blocks(2, 1), (Spans{{-1, 0}}));
    EXPECT_EQ(workersInFrame(2, 1), 0);
    EXPECT_EQ(blocks(4, 3), (Spans{{-1, 0}, {0, 1}, {1, 2}}));
    EXPECT_EQ(workersInFrame(4, 3), 2);
    RowShare none;
    EXPECT_FALSE(workerShare(2, 4, 3, &none));
}

TEST(Shares, EveryRowExactlyOnceAndCounterMatchesWorkers)
{
    for (int p = 1; p <= 9; ++p)
        for (int h = 1; h <= 40; ++h) {
            std::vector<int> o = owners(p, h);
            int workers = 0;
            for (int k = 0; k < p - 1; ++k) {
                RowShare s;
                workers += workerShare(k, p, h, &s);
            }
            for (int r = 0; r < h; ++r)
                ASSERT_NE(o[r], -2) << "p " << p << " h " << h << " row " << r;
            ASSERT_EQ(workers, workersInFrame(p, h)) << "p " << p << " h " << h;
        }
}

TEST(Shares, WorkersBeyondTheParticipantsTakeNothing)
{
    RowShare s;
    EXPECT_FALSE(workerShare(3, 2, 500, &s));
    EXPECT_FALSE(workerShare(0, 1, 500, &s));
}

TEST(Ticket, RoundTrip)
{
    for (uint32_t seq : {1u, 2u, 0xFFFFu})
        for (int p : {1, 8, 65535})
            for (int h : {0, 1, 500, 2147483647}) {
                uint32_t s;
                int pp, hh;
                unpackFrameTicket(packFrameTicket(seq, p, h), &s, &pp, &hh);
                EXPECT_EQ(s, seq);
                EXPECT_EQ(pp, p);
                EXPECT_EQ(hh, h);
            }
}
