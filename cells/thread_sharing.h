#pragma once

#include <functional>

// Runs work(0) to work(threads - 1), each on a thread of its own but the first.
void onThreads(int threads, const std::function<void(int)>& work);
