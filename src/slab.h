// Slab: a fixed-capacity array of equal-size slots in one heap block that never
// grows or moves, so the address of a slot is fixed for the slab's life.
//
// Conventions
// - The used slots are always 0 .. count - 1, packed at the front in the order
//   in which they were taken. A removal cuts a run out and moves the later
//   slots down: order is kept, a hole is never filled with the last slot.
// - Full is a normal result: allocate returns null and changes nothing.
// - Slot contents are neither initialised nor cleared: a slot handed out holds
//   whatever was stored there before.
// - Sizes and counts are 32-bit unsigned; the guards are written so that no
//   test wraps around.
#pragma once

#include <cstdint>

struct Slab {
    void* items;        // capacity slots of item_size bytes: one heap block
    uint32_t item_size; // bytes per slot
    uint32_t count;     // slots in use: 0 .. count - 1
    uint32_t capacity;  // slots the block holds
};

// Takes the storage. 1 on success; 0, with the record untouched, when it cannot
// be had (no memory, a slot size of 0, or a block beyond 32 bits of bytes).
int init_slab(Slab* slab, uint32_t item_size, uint32_t capacity);

// The first of n fresh consecutive slots, behind the used ones; null when they
// do not fit. n = 0 gives the address behind the used slots and takes nothing.
void* allocate(Slab* slab, uint32_t n);

// Removes n slots starting at the slot p points to; the later slots move down.
// A pointer at or past the used slots, or n = 0, changes nothing; n beyond the
// used slots drops everything from p on.
void deallocate(Slab* slab, void* p, uint32_t n);

// Gives the storage back; the record is left empty (no storage, capacity 0).
void release_slab(Slab* slab);
