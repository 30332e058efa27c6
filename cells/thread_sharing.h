#pragma once

#include <functional>

// Runs work(0) to work(threads - 1), each on a thread of its own but the first
// (or on the calling thread where no thread can be started). Once all have
// ended, rethrows the first share's exception, if one threw.
void onThreads(int threads, const std::function<void(int)>& work);
