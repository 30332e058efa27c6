#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "sitemap/memory_room.h"

// The candidate search fills arrays of tens of megabytes right after making
// them. Where a page fault is dear (a virtual machine), faulting them in page
// by page costs more than the filling: huge pages save most of the faults.
void adviseHugePages(void* data, std::size_t bytes);

// Keeps the memory that large arrays give back for the next preparation,
// instead of returning it to the system, and has every thread take its
// memory from the one heap, so that what one thread gives back serves the
// others: where a page fault is dear, the faults of fresh memory cost as much
// as the work that fills it. For a program's main, before anything large is
// allocated.
void keepFreedMemory();

// Faults in `bytes` of the heap on a thread of its own at idle priority and
// gives them back to it, which keeps them (keepFreedMemory): the first
// extraction, preparation and pictures then find their memory in place
// instead of paying for it page by page while the window waits. Nothing
// where that would leave less than the headroom free. Returns at once; a
// second call does nothing.
void warmHeap(std::size_t bytes);

// Room for `count` items, huge pages advised before any is written; the items
// held move over. Throws std::bad_alloc when memory runs out, or would leave
// less than the headroom free.
template <typename Item>
void reserveLarge(std::vector<Item>& items, std::size_t count) {
    if (count <= items.capacity()) {
        return;
    }
    if (!roomFor(count * sizeof(Item))) {
        throw std::bad_alloc();
    }
    std::vector<Item> larger;
    larger.reserve(count);
    adviseHugePages(larger.data(), count * sizeof(Item));
    larger.insert(larger.end(), items.begin(), items.end());
    items.swap(larger);
}

// Room for `more` items beyond those held, growing by doubling.
template <typename Item>
void growLarge(std::vector<Item>& items, std::size_t more) {
    if (items.size() + more > items.capacity()) {
        reserveLarge(items, 2 * items.capacity() + more);
    }
}

template <typename Item>
std::vector<Item> largeArray(std::size_t count, const Item& value = Item()) {
    std::vector<Item> items;
    reserveLarge(items, count);
    items.assign(count, value);
    return items;
}

// An array of items left unset, for items that are all written before any
// is read: zeroing them first would cost a pass over their memory. Throws
// as reserveLarge does.
template <typename Item>
std::unique_ptr<Item[]> unsetArray(std::size_t count) {
    if (!roomFor(count * sizeof(Item))) {
        throw std::bad_alloc();
    }
    std::unique_ptr<Item[]> items(new Item[count]);
    adviseHugePages(items.get(), count * sizeof(Item));
    return items;
}
