#include "outline/whole_points.h"

#include <algorithm>
#include <cmath>

#include "cells/thread_sharing.h"

namespace {

// Larger boxes are not held: a bit per point.
constexpr std::int64_t kMostPoints = std::int64_t{1} << 28;
constexpr float kWholeLimit = 16777216.0f;  // 2^24: sites beyond are not held
constexpr float kWholeFrom = 8388608.0f;    // 2^23: floats from here on are all whole

// Whether a magnitude is whole and below kWholeLimit (NaN is not): adding
// kWholeFrom rounds a fraction away, so taking it off again gives back only
// whole ones. Without floor, which made up most of a pass over a million
// sites, and the pass runs twice a picture.
bool wholeMagnitude(float magnitude) {
    return magnitude < kWholeLimit &&
           (magnitude >= kWholeFrom || (magnitude + kWholeFrom) - kWholeFrom == magnitude);
}

// Each bit of `bits` (all but the last word, which only runs read) made
// the and of itself and the bit `shift` places on; bits past the last word
// count as clear.
void andShifted(std::vector<std::uint64_t>& bits, std::int64_t shift) {
    const std::size_t words = bits.size() - 1;
    const auto wordShift = static_cast<std::size_t>(shift / 64);
    const auto bitShift = static_cast<unsigned>(shift % 64);
    for (std::size_t word = 0; word < words; ++word) {
        const std::size_t from = word + wordShift;
        std::uint64_t shifted = from < words ? bits[from] >> bitShift : 0;
        if (bitShift != 0 && from + 1 < words) {
            shifted |= bits[from + 1] << (64 - bitShift);
        }
        bits[word] &= shifted;
    }
}

// Clears bits `from` to `to` - 1.
void clearBits(std::vector<std::uint64_t>& bits, std::int64_t from, std::int64_t to) {
    for (std::int64_t bit = from; bit < to;) {
        const auto word = static_cast<std::size_t>(bit / 64);
        const auto first = static_cast<unsigned>(bit % 64);
        const std::int64_t count = std::min<std::int64_t>(64 - first, to - bit);
        const std::uint64_t mask =
            count == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << count) - 1) << first;
        bits[word] &= ~mask;
        bit += count;
    }
}

// Each bit made the and of `length` bits from it on, `stride` places apart.
void andOfRuns(std::vector<std::uint64_t>& bits, std::int64_t length, std::int64_t stride) {
    for (std::int64_t covered = 1; covered < length;) {
        const std::int64_t more = std::min(covered, length - covered);
        andShifted(bits, more * stride);
        covered += more;
    }
}

}  // namespace

void WholePoints::surrounded(std::int64_t steps, WholePoints& inner) const {
    inner = *this;
    if (columns <= 2 * steps || rows <= 2 * steps) {
        std::fill(inner.bits.begin(), inner.bits.end(), 0);
        return;
    }
    // The bit of the point `steps` along x and y on from the square's first
    // corner ends up the and of the square. Along x a square's row may run
    // into the next row of the box; only the squares wholly inside it are
    // read below.
    andOfRuns(inner.bits, 2 * steps + 1, 1);
    andOfRuns(inner.bits, 2 * steps + 1, columns);
    // Then each bit moved on to the square's centre, and those whose square
    // leaves the box cleared.
    const std::int64_t shift = steps * columns + steps;
    const auto wordShift = static_cast<std::size_t>(shift / 64);
    const auto bitShift = static_cast<unsigned>(shift % 64);
    std::vector<std::uint64_t>& moved = inner.bits;
    for (std::size_t word = moved.size(); word-- > 0;) {
        std::uint64_t value = 0;
        if (word >= wordShift) {
            const std::size_t from = word - wordShift;
            value = moved[from] << bitShift;
            if (bitShift != 0 && from > 0) {
                value |= moved[from - 1] >> (64 - bitShift);
            }
        }
        moved[word] = value;
    }
    clearBits(moved, 0, steps * columns + steps);
    for (std::int64_t row = steps; row < rows - steps; ++row) {
        clearBits(moved, (row + 1) * columns - steps, (row + 1) * columns + steps);
    }
    clearBits(moved, (rows - steps) * columns - steps,
              static_cast<std::int64_t>(moved.size()) * 64);
}

bool WholePoints::fit(const std::vector<OutlineSite>& sites, std::int64_t margin) {
    columns = 0;
    rows = 0;
    bits.clear();
    if (sites.empty()) {
        return false;
    }
    // A pass over up to a million sites, on both threads.
    constexpr int kThreads = 2;
    struct Box {
        bool allWhole;
        float lowX;
        float highX;
        float lowY;
        float highY;
    };
    Box boxes[kThreads];
    onRuns(kThreads, sites.size(), [&](int thread, std::size_t first, std::size_t end) {
        // Each thread's box starts at its first site; a thread with none
        // takes the first site, which changes nothing.
        const OutlineSite& start = first < end ? sites[first] : sites.front();
        Box box = {true, start.x, start.x, start.y, start.y};
        for (std::size_t index = first; index < end; ++index) {
            const OutlineSite& site = sites[index];
            box.allWhole &= wholeMagnitude(std::fabs(site.x)) & wholeMagnitude(std::fabs(site.y));
            box.lowX = std::min(box.lowX, site.x);
            box.highX = std::max(box.highX, site.x);
            box.lowY = std::min(box.lowY, site.y);
            box.highY = std::max(box.highY, site.y);
        }
        boxes[thread] = box;
    });
    Box box = boxes[0];
    for (int thread = 1; thread < kThreads; ++thread) {
        const Box& other = boxes[thread];
        box = {box.allWhole && other.allWhole, std::min(box.lowX, other.lowX),
               std::max(box.highX, other.highX), std::min(box.lowY, other.lowY),
               std::max(box.highY, other.highY)};
    }
    if (!box.allWhole) {
        return false;
    }
    return fitBox(static_cast<std::int64_t>(box.lowX), static_cast<std::int64_t>(box.lowY),
                  static_cast<std::int64_t>(box.highX), static_cast<std::int64_t>(box.highY),
                  margin);
}

bool WholePoints::fitBox(std::int64_t lowX, std::int64_t lowY, std::int64_t highX,
                         std::int64_t highY, std::int64_t margin) {
    columns = 0;
    rows = 0;
    bits.clear();
    const std::int64_t wide = highX - lowX + 1 + 2 * margin;
    const std::int64_t high = highY - lowY + 1 + 2 * margin;
    if (wide > kMostPoints / high) {
        return false;
    }
    left = lowX - margin;
    top = lowY - margin;
    columns = wide;
    rows = high;
    // A word more, for the runs that reach into the last one.
    bits.assign(static_cast<std::size_t>((columns * rows + 63) / 64) + 1, 0);
    return true;
}
