#pragma once

#include <exception>
#include <functional>
#include <memory>

// One job run on a thread of the process's pool (cells/worker_pool.h), so
// that work in the background starts no thread of its own. Where no thread
// can be had, the job runs on the caller, within the constructor.
class BackgroundJob {
public:
    // No job: done.
    BackgroundJob();
    explicit BackgroundJob(std::function<void()> job);
    // Waits for the job: it may use what its owner holds.
    ~BackgroundJob();
    BackgroundJob(BackgroundJob&& other) noexcept;
    // Waits for the job this one holds first.
    BackgroundJob& operator=(BackgroundJob&& other) noexcept;

    bool done() const;
    // Waits for the job to end; rethrows its exception, if it threw.
    void wait();
    // Waits at most `milliseconds`; whether it has ended.
    bool waitFor(double milliseconds);

private:
    struct State;
    static void run(void* context, int) noexcept;
    static void ended(void* context) noexcept;
    void settle() noexcept;
    std::unique_ptr<State> state;
};
