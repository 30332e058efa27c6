#pragma once

#include <cstddef>
#include <functional>

// Runs work(0) to work(threads - 1) side by side: the first on the calling
// thread, each other on a thread of the process's pool of its own (on the
// calling thread, one after another, only where no thread can be started).
// So shares may wait on each other, and a share may call this again. Once all
// have ended, rethrows the first share's exception, if one threw.
void onThreads(int threads, const std::function<void(int)>& work);

// Runs work(thread, first, end) on `threads` threads side by side, thread t
// taking the items from count * t / threads up to count * (t + 1) / threads:
// runs of even length, in order. Rethrows as onThreads does.
void onRuns(int threads, std::size_t count,
            const std::function<void(int thread, std::size_t first, std::size_t end)>& work);

// Runs work(thread, task) for tasks 0 to tasks - 1 on `threads` threads, each
// thread taking the next task left as it finishes one: tasks of uneven cost
// still keep every thread busy to the end. A thread's tasks come to it in
// increasing order. Rethrows as onThreads does.
void onTasks(int threads, int tasks, const std::function<void(int, int)>& work);
