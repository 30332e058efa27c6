#include "cells/thread_sharing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "cells/background_job.h"

namespace {

// Shares that each wait for all the others: they end only where they run
// side by side. A generous bound turns a share left waiting for good into a
// failure rather than a hang.
class Meeting {
public:
    explicit Meeting(int count) : count(count) {}

    bool meet() {
        std::unique_lock<std::mutex> lock(mutex);
        ++arrived;
        all.notify_all();
        return all.wait_for(lock, std::chrono::seconds(20), [&] { return arrived >= count; });
    }

private:
    const int count;
    std::mutex mutex;
    std::condition_variable all;
    int arrived = 0;
};

// One call of `threads` shares that wait for each other; whether all met.
bool sharesMeet(int threads) {
    Meeting meeting(threads);
    std::atomic<int> met{0};
    onThreads(threads, [&](int) { met += meeting.meet(); });
    return met == threads;
}

TEST(ThreadSharing, SharesThatWaitOnEachOtherRunSideBySideAlsoWhenNested) {
    EXPECT_TRUE(sharesMeet(2));
    EXPECT_TRUE(sharesMeet(5));
    // Every share of the outer call holds its thread while the inner ones run.
    Meeting outer(3);
    std::atomic<int> met{0};
    onThreads(3, [&](int) {
        met += sharesMeet(2) && sharesMeet(3);
        met += outer.meet();
    });
    EXPECT_EQ(met, 6);
}

// The GL thread shares its work out while a background job, itself on a pool
// thread, does too, and a third caller as well: none waits for another's
// threads.
TEST(ThreadSharing, ConcurrentCallersAndABackgroundJobDoNotWaitForEachOther) {
    constexpr int kCalls = 300;
    std::atomic<int> met{0};
    const auto caller = [&] {
        for (int call = 0; call < kCalls; ++call) {
            met += sharesMeet(2);
        }
    };
    BackgroundJob job(caller);
    std::thread other(caller);
    caller();
    job.wait();
    other.join();
    EXPECT_EQ(met, 3 * kCalls);
}

// A call right after another finds the thread the first used free again:
// calls in a row start no thread each.
TEST(ThreadSharing, CallsInARowReuseTheirThreads) {
    thread_local int sharesHere = 0;
    int mostHere = 0;
    for (int call = 0; call < 50; ++call) {
        onThreads(2, [&](int share) {
            if (share == 1) {
                mostHere = std::max(mostHere, ++sharesHere);
            }
        });
    }
    EXPECT_GE(mostHere, 40);
}

// Memory running out in any share, also of a nested call, reaches the caller
// once every share has ended, rather than ending the program; the pool's
// threads go on serving.
TEST(ThreadSharing, AFailureInAnyShareReachesTheCallerAfterAll) {
    for (const int failing : {0, 1, 2}) {
        std::atomic<int> finished{0};
        EXPECT_THROW(onThreads(3,
                               [&](int share) {
                                   if (share == failing) {
                                       throw std::bad_alloc();
                                   }
                                   // The others outlast the failure.
                                   std::this_thread::sleep_for(std::chrono::milliseconds(30));
                                   ++finished;
                               }),
                     std::bad_alloc);
        EXPECT_EQ(finished, 2) << failing;
    }
    EXPECT_THROW(onThreads(2,
                           [](int share) {
                               onThreads(2, [&](int inner) {
                                   if (share == 1 && inner == 1) {
                                       throw std::length_error("inner");
                                   }
                               });
                           }),
                 std::length_error);
    EXPECT_TRUE(sharesMeet(4));
}

// Tasks shared out as the threads come free: each runs once, every thread
// meets its own in increasing order (the sweeps that work them only move
// on), and a failure still reaches the caller. Runs of items, one to a
// thread, cover every item once, in order, also with fewer items than
// threads.
TEST(ThreadSharing, TasksRunOnceInIncreasingOrderPerThread) {
    for (const std::size_t items : {0, 1, 2, 7, 1000}) {
        std::vector<std::size_t> starts(3, 0);
        std::vector<std::size_t> ends(3, 0);
        onRuns(3, items, [&](int thread, std::size_t first, std::size_t end) {
            starts[static_cast<std::size_t>(thread)] = first;
            ends[static_cast<std::size_t>(thread)] = end;
        });
        EXPECT_EQ(starts[0], 0u);
        EXPECT_EQ(starts[1], ends[0]);
        EXPECT_EQ(starts[2], ends[1]);
        EXPECT_EQ(ends[2], items);
        EXPECT_LE(ends[2] - starts[2], items / 3 + 1);
    }
    constexpr int kTasks = 200;
    std::vector<std::atomic<int>> runs(kTasks);
    std::vector<std::vector<int>> taken(2);
    onTasks(2, kTasks, [&](int thread, int task) {
        ++runs[task];
        taken[thread].push_back(task);
    });
    for (int task = 0; task < kTasks; ++task) {
        EXPECT_EQ(runs[task], 1) << task;
    }
    for (const std::vector<int>& tasks : taken) {
        EXPECT_TRUE(std::is_sorted(tasks.begin(), tasks.end()));
    }
    EXPECT_THROW(onTasks(2, kTasks,
                         [](int, int task) {
                             if (task == kTasks / 2) {
                                 throw std::bad_alloc();
                             }
                         }),
                 std::bad_alloc);
}

// A job is done only once it has ended; waiting rethrows what it threw, and
// dropping it waits, since it may use what its owner holds.
TEST(BackgroundJob, EndsBeforeItCountsAsDoneAndPassesItsFailureOn) {
    EXPECT_TRUE(BackgroundJob().done());
    std::mutex gate;
    std::unique_lock<std::mutex> closed(gate);
    std::atomic<bool> ran{false};
    {
        BackgroundJob job([&] {
            const std::lock_guard<std::mutex> through(gate);
            ran = true;
        });
        EXPECT_FALSE(job.waitFor(20));
        EXPECT_FALSE(job.done());
        closed.unlock();
        BackgroundJob moved(std::move(job));
        moved = BackgroundJob([] { throw std::bad_alloc(); });
        EXPECT_TRUE(ran);
        EXPECT_THROW(moved.wait(), std::bad_alloc);
        EXPECT_TRUE(moved.done());
        closed.lock();
        moved = BackgroundJob([&] {
            const std::lock_guard<std::mutex> through(gate);
            ran = false;
        });
        closed.unlock();
    }
    EXPECT_FALSE(ran);
}

}  // namespace
