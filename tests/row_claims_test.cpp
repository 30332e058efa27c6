#include "outline/row_claims.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>

namespace {

// Two threads claim rows at random, many overlapping: while one writes
// alone, the other holds none of its rows, alone or not. A thread that
// writes alone looks between its passes over the rows whether it still may.
// On a busy machine the two may seldom run at once, so they go on until one
// has given up writing alone, for a while at most.
TEST(RowClaims, NeverLetAThreadWriteAloneWhereTheOtherWrites) {
    constexpr int kRows = 64;
    std::atomic<int> aloneOwner[kRows] = {};
    std::atomic<int> sharedUsers[kRows] = {};
    std::atomic<int> clashes{0};
    int aloneClaims[2] = {0, 0};
    std::atomic<int> givenUp{0};
    RowClaims claims;
    std::atomic<int> ready{0};
    const auto work = [&](int thread) {
        std::mt19937 random(thread + 1);
        ++ready;
        while (ready.load() < 2) {
        }
        for (int round = 0; round < 20000 || (givenUp.load() == 0 && round < 2000000); ++round) {
            const int top = static_cast<int>(random() % kRows);
            const int bottom = std::min(kRows - 1, top + static_cast<int>(random() % 12));
            bool alone = claims.claim(thread, top, bottom);
            aloneClaims[thread] += alone;
            // Held a while, as a run of walks would hold them.
            for (int pass = 0; pass < 4; ++pass) {
                if (alone && pass > 0 && !claims.stillAlone(thread)) {
                    alone = false;
                    ++givenUp;
                }
                for (int row = top; row <= bottom; ++row) {
                    if (alone) {
                        clashes += aloneOwner[row].exchange(thread + 1) != 0;
                    } else {
                        ++sharedUsers[row];
                    }
                }
                for (int check = 0; check < 5; ++check) {
                    for (int row = top; row <= bottom; ++row) {
                        clashes += alone ? aloneOwner[row].load() != thread + 1 ||
                                               sharedUsers[row].load() != 0
                                         : aloneOwner[row].load() != 0;
                    }
                }
                for (int row = top; row <= bottom; ++row) {
                    if (alone) {
                        aloneOwner[row].store(0);
                    } else {
                        --sharedUsers[row];
                    }
                }
            }
        }
        claims.release(thread);
    };
    std::thread other(work, 1);
    work(0);
    other.join();
    EXPECT_EQ(clashes.load(), 0);
    EXPECT_GT(aloneClaims[0], 0);
    EXPECT_GT(aloneClaims[1], 0);
    EXPECT_GT(givenUp.load(), 0);
}

}  // namespace
