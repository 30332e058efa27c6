#pragma once

// The process's worker threads. Each runs one piece of work at a time, and a
// piece handed out starts at once: where every thread is busy, another is
// started and kept. So pieces that wait on each other still run side by
// side, and a piece may hand out pieces itself (or two threads at once)
// without waiting for a thread to come free. The threads live as long as the
// process; the pool holds as many as were ever busy at once.
namespace workerPool {

// What a thread runs: run(context, index), then ended(context) once the
// thread is back in the pool. Neither may throw. The caller should count a
// piece done only at ended(), so that a call right after it finds the thread
// free; ended() must touch nothing of the caller's once it has told it.
struct Piece {
    void (*run)(void* context, int index) noexcept;
    void (*ended)(void* context) noexcept;
};

// Runs the piece for indices 0 to count - 1, each on a thread of the pool of
// its own, and returns at once. Returns how many it handed out, the first
// ones: fewer only where no thread could be started, and the caller then
// runs the others itself.
int hand(const Piece& piece, void* context, int count);

}  // namespace workerPool
