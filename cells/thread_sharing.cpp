#include "cells/thread_sharing.h"

#include <thread>
#include <vector>

void onThreads(int threads, const std::function<void(int)>& work) {
    std::vector<std::thread> helpers;
    for (int index = 1; index < threads; ++index) {
        helpers.emplace_back(work, index);
    }
    work(0);
    for (std::thread& helper : helpers) {
        helper.join();
    }
}
