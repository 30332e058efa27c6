#include "cells/worker_pool.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace workerPool {
namespace {

struct Worker {
    std::condition_variable wake;
    Piece piece{nullptr, nullptr};  // none while idle
    void* context = nullptr;
    int index = 0;
};

struct Pool {
    std::mutex mutex;
    std::vector<std::unique_ptr<Worker>> workers;
    // Room for every worker, so that one coming back never allocates.
    std::vector<Worker*> idle;
};

// Never destroyed: exit neither waits for a thread nor pulls the pool from
// under one that still runs a piece.
Pool& pool() {
    static Pool* const instance = new Pool;
    return *instance;
}

void serve(Pool& shared, Worker& me) {
    std::unique_lock<std::mutex> lock(shared.mutex);
    for (;;) {
        me.wake.wait(lock, [&] { return me.piece.run != nullptr; });
        const Piece piece = me.piece;
        void* const context = me.context;
        const int index = me.index;
        lock.unlock();
        piece.run(context, index);
        lock.lock();
        me.piece = Piece{nullptr, nullptr};
        shared.idle.push_back(&me);
        lock.unlock();
        // The thread may be given another piece from here on.
        piece.ended(context);
        lock.lock();
    }
}

// A worker already given its piece, or null where none can be started.
Worker* startWorker(Pool& shared, const Piece& piece, void* context, int index) {
    try {
        shared.idle.reserve(shared.workers.size() + 1);
        shared.workers.push_back(std::make_unique<Worker>());
    } catch (...) {
        return nullptr;
    }
    Worker& worker = *shared.workers.back();
    worker.piece = piece;
    worker.context = context;
    worker.index = index;
    try {
        std::thread(serve, std::ref(shared), std::ref(worker)).detach();
    } catch (...) {
        shared.workers.pop_back();
        return nullptr;
    }
    return &worker;
}

}  // namespace

int hand(const Piece& piece, void* context, int count) {
    Pool& shared = pool();
    Worker* woken[16];
    int handed = 0;
    while (handed < count) {
        // Woken outside the lock, so that a worker does not wake only to wait for it.
        int waking = 0;
        {
            const std::lock_guard<std::mutex> lock(shared.mutex);
            for (; handed < count && waking < 16; ++handed) {
                if (shared.idle.empty()) {
                    if (!startWorker(shared, piece, context, handed)) {
                        count = handed;
                        break;
                    }
                    continue;
                }
                Worker* worker = shared.idle.back();
                shared.idle.pop_back();
                worker->piece = piece;
                worker->context = context;
                worker->index = handed;
                woken[waking++] = worker;
            }
        }
        for (int at = 0; at < waking; ++at) {
            woken[at]->wake.notify_one();
        }
    }
    return handed;
}

}  // namespace workerPool
