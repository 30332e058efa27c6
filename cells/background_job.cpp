#include "cells/background_job.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

#include "cells/worker_pool.h"

struct BackgroundJob::State {
    std::function<void()> job;
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    std::exception_ptr failure;
};

BackgroundJob::BackgroundJob() = default;

BackgroundJob::BackgroundJob(BackgroundJob&& other) noexcept = default;

BackgroundJob::BackgroundJob(std::function<void()> job) : state(std::make_unique<State>()) {
    state->job = std::move(job);
    if (workerPool::hand(workerPool::Piece{run, ended}, state.get(), 1) == 0) {
        run(state.get(), 0);
        ended(state.get());
    }
}

BackgroundJob::~BackgroundJob() {
    settle();
}

BackgroundJob& BackgroundJob::operator=(BackgroundJob&& other) noexcept {
    settle();
    state = std::move(other.state);
    return *this;
}

void BackgroundJob::run(void* context, int) noexcept {
    State& state = *static_cast<State*>(context);
    try {
        state.job();
    } catch (...) {
        state.failure = std::current_exception();
    }
}

void BackgroundJob::ended(void* context) noexcept {
    State& state = *static_cast<State*>(context);
    // Under the lock: once the owner sees the job finished, the state may go.
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.finished = true;
    state.ended.notify_all();
}

void BackgroundJob::settle() noexcept {
    if (state) {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->ended.wait(lock, [&] { return state->finished; });
    }
}

bool BackgroundJob::done() const {
    if (!state) {
        return true;
    }
    const std::lock_guard<std::mutex> lock(state->mutex);
    return state->finished;
}

void BackgroundJob::wait() {
    settle();
    if (state && state->failure) {
        std::rethrow_exception(state->failure);
    }
}

bool BackgroundJob::waitFor(double milliseconds) {
    if (!state) {
        return true;
    }
    std::unique_lock<std::mutex> lock(state->mutex);
    return state->ended.wait_for(lock, std::chrono::duration<double, std::milli>(milliseconds),
                                 [&] { return state->finished; });
}
