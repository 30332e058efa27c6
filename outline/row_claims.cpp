#include "outline/row_claims.h"

#include <thread>

namespace {

// The rows in the upper half, the last of them and whether the thread writes
// alone in the lower one.
std::uint64_t announcement(std::int32_t top, std::int32_t bottom, bool alone) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(top)) << 32) |
           (static_cast<std::uint64_t>(static_cast<std::uint32_t>(bottom)) << 1) |
           (alone ? 1u : 0u);
}

std::int32_t topOf(std::uint64_t announced) {
    return static_cast<std::int32_t>(announced >> 32);
}

std::int32_t bottomOf(std::uint64_t announced) {
    return static_cast<std::int32_t>((announced & 0xFFFFFFFFu) >> 1);
}

bool meets(std::uint64_t other, std::int32_t top, std::int32_t bottom) {
    const std::int32_t otherTop = topOf(other);
    const std::int32_t otherBottom = bottomOf(other);
    return top <= bottom && otherTop <= otherBottom && otherTop <= bottom && top <= otherBottom;
}

bool writesAlone(std::uint64_t other) {
    return (other & 1u) != 0;
}

// No rows: the first after the last.
const std::uint64_t kNoRows = announcement(1, 0, false);

}  // namespace

RowClaims::RowClaims() : announced{kNoRows, kNoRows} {}

void RowClaims::release(int thread) {
    announced[thread].store(kNoRows);
}

bool RowClaims::stillAlone(int thread) {
    const std::uint64_t mine = announced[thread].load(std::memory_order_relaxed);
    // The other announces rows that meet these only to wait for them.
    if (!meets(announced[1 - thread].load(), topOf(mine), bottomOf(mine))) {
        return true;
    }
    announced[thread].store(mine & ~std::uint64_t{1});
    return false;
}

bool RowClaims::claim(int thread, std::int32_t top, std::int32_t bottom) {
    std::atomic<std::uint64_t>& mine = announced[thread];
    const std::atomic<std::uint64_t>& theirs = announced[1 - thread];
    // Each thread announces before it looks at the other's announcement:
    // of two threads doing so at once, at least one sees the other's.
    for (;;) {
        mine.store(announcement(top, bottom, false));
        std::uint64_t other = theirs.load();
        if (!meets(other, top, bottom)) {
            mine.store(announcement(top, bottom, true));
            other = theirs.load();
            if (!meets(other, top, bottom)) {
                return true;
            }
            mine.store(announcement(top, bottom, false));
        }
        if (!writesAlone(other)) {
            return false;
        }
        while (theirs.load() == other) {
            std::this_thread::yield();
        }
    }
}
