// Slab allocator.
#include "slab.h"

#include <cstdlib>
#include <cstring>

int init_slab(Slab* slab, uint32_t item_size, uint32_t capacity) {
    // The block size is a 32-bit product; one that wraps around would hand out
    // slots beyond the block, so it is refused like a failed allocation.
    const uint64_t bytes = static_cast<uint64_t>(item_size) * capacity;
    if (item_size == 0 || bytes > UINT32_MAX) {
        return 0;
    }
    void* items = std::malloc(static_cast<size_t>(bytes));
    if (items == nullptr) {
        return 0;
    }
    slab->items = items;
    slab->item_size = item_size;
    slab->capacity = capacity;
    slab->count = 0;
    return 1;
}

void* allocate(Slab* slab, uint32_t n) {
    // The first test keeps capacity - n from wrapping around.
    if (n > slab->capacity || slab->count > slab->capacity - n) {
        return nullptr;
    }
    void* slot =
        static_cast<char*>(slab->items) + static_cast<size_t>(slab->count) * slab->item_size;
    slab->count += n;
    return slot;
}

void deallocate(Slab* slab, void* p, uint32_t n) {
    if (slab->count == 0) {
        return; // nothing used (and a slab never set up has no slot size)
    }
    // Positions are measured as unsigned byte offsets: a pointer below the
    // block wraps around to a huge position and is refused with the others.
    const uintptr_t offset =
        reinterpret_cast<uintptr_t>(p) - reinterpret_cast<uintptr_t>(slab->items);
    const uintptr_t position = offset / slab->item_size;
    if (position >= slab->count) {
        return;
    }
    const auto at = static_cast<uint32_t>(position);
    const uint32_t rest = slab->count - at;
    if (n >= rest) {
        slab->count = at;
        return;
    }
    char* base = static_cast<char*>(slab->items);
    const size_t size = slab->item_size;
    std::memmove(base + at * size, base + (static_cast<size_t>(at) + n) * size,
                 static_cast<size_t>(rest - n) * size);
    slab->count -= n;
}

void release_slab(Slab* slab) {
    std::free(slab->items);
    slab->items = nullptr;
    slab->count = 0;
    slab->capacity = 0;
}
