#include "cells/thread_sharing.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <vector>

#include "cells/worker_pool.h"

namespace {

struct Call {
    const std::function<void(int)>& work;
    // An exception must not leave a thread: that ends the program. Each
    // share's is kept until all have ended.
    std::vector<std::exception_ptr> failures;
    std::mutex mutex;
    std::condition_variable ended;
    int running = 0;  // shares on the pool's threads not yet ended

    void share(int index) noexcept {
        try {
            work(index);
        } catch (...) {
            failures[index] = std::current_exception();
        }
    }
};

// Share index + 1 on a thread of the pool.
void helperShare(void* context, int index) noexcept {
    static_cast<Call*>(context)->share(index + 1);
}

void helperEnded(void* context) noexcept {
    Call& call = *static_cast<Call*>(context);
    // Under the lock: once the caller sees the count reach 0 it returns and
    // the call is gone.
    const std::lock_guard<std::mutex> lock(call.mutex);
    if (--call.running == 0) {
        call.ended.notify_one();
    }
}

constexpr workerPool::Piece kHelper{helperShare, helperEnded};

}  // namespace

void onThreads(int threads, const std::function<void(int)>& work) {
    Call call{work, std::vector<std::exception_ptr>(std::max(threads, 1)), {}, {}, 0};
    const int helpers = std::max(threads, 1) - 1;
    call.running = helpers;
    const int handed = workerPool::hand(kHelper, &call, helpers);
    if (handed < helpers) {
        // No thread to be had for the rest: they are done here.
        {
            const std::lock_guard<std::mutex> lock(call.mutex);
            call.running -= helpers - handed;
        }
        for (int index = handed + 1; index <= helpers; ++index) {
            call.share(index);
        }
    }
    call.share(0);
    {
        std::unique_lock<std::mutex> lock(call.mutex);
        call.ended.wait(lock, [&] { return call.running == 0; });
    }
    for (const std::exception_ptr& failure : call.failures) {
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
}

void onRuns(int threads, std::size_t count,
            const std::function<void(int, std::size_t, std::size_t)>& work) {
    const auto runs = static_cast<std::size_t>(std::max(threads, 1));
    onThreads(threads, [&](int thread) {
        const auto index = static_cast<std::size_t>(thread);
        work(thread, count * index / runs, count * (index + 1) / runs);
    });
}

void onTasks(int threads, int tasks, const std::function<void(int, int)>& work) {
    std::atomic<int> next{0};
    onThreads(threads, [&](int thread) {
        for (int task = next++; task < tasks; task = next++) {
            work(thread, task);
        }
    });
}
