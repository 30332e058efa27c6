#pragma once

#include <atomic>
#include <cstdint>

// Two threads that write to rows of pixels, each announcing the rows it
// works on next. A thread may write alone, with plain stores, while the
// other works on none of its rows; where their rows meet, both compare and
// swap. A thread that would meet rows the other writes alone to waits until
// the other moves on, or gives up writing alone there.
class RowClaims {
public:
    RowClaims();

    // Announces that `thread` (0 or 1) works on rows top to bottom next (none
    // where top > bottom); rows run from 0 to 2^30 - 1. Whether it writes
    // alone: then the other touches none of these rows until this thread
    // announces again.
    bool claim(int thread, std::int32_t top, std::int32_t bottom);
    // Whether `thread`, which writes alone, may go on doing so: not once the
    // other waits for its rows. It then writes as where their rows meet, and
    // the other goes on at once rather than wait for its whole claim.
    bool stillAlone(int thread);
    // Announces that `thread` works on no rows any more.
    void release(int thread);

private:
    std::atomic<std::uint64_t> announced[2];
};
