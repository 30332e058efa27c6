#include "cells/thread_sharing.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

void onThreads(int threads, const std::function<void(int)>& work) {
    // An exception must neither leave a thread nor find one still joinable:
    // either ends the program. Each share's is kept until all have ended.
    std::vector<std::exception_ptr> failures(std::max(threads, 1));
    const auto share = [&](int index) {
        try {
            work(index);
        } catch (...) {
            failures[index] = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(failures.size());
    for (int index = 1; index < threads; ++index) {
        try {
            helpers.emplace_back(share, index);
        } catch (...) {
            share(index);  // no thread to be had: the share is done here
        }
    }
    share(0);
    for (std::thread& helper : helpers) {
        helper.join();
    }
    for (const std::exception_ptr& failure : failures) {
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
}

void onTasks(int threads, int tasks, const std::function<void(int, int)>& work) {
    std::atomic<int> next{0};
    onThreads(threads, [&](int thread) {
        for (int task = next++; task < tasks; task = next++) {
            work(thread, task);
        }
    });
}
