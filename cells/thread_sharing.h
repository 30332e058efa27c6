#pragma once

#include <functional>

// Runs work(0) to work(threads - 1), each on a thread of its own but the first
// (or on the calling thread where no thread can be started). Once all have
// ended, rethrows the first share's exception, if one threw.
void onThreads(int threads, const std::function<void(int)>& work);

// Runs work(thread, task) for tasks 0 to tasks - 1 on `threads` threads, each
// thread taking the next task left as it finishes one: tasks of uneven cost
// still keep every thread busy to the end. A thread's tasks come to it in
// increasing order. Rethrows as onThreads does.
void onTasks(int threads, int tasks, const std::function<void(int, int)>& work);
