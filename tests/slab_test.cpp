#include "slab.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "seams.h"

namespace {

// A slab of int slots 0 .. n - 1 holding their own positions.
Slab numbered_slab(uint32_t capacity, uint32_t n) {
    Slab slab{};
    EXPECT_EQ(init_slab(&slab, sizeof(int), capacity), 1);
    for (uint32_t i = 0; i < n; ++i) {
        *static_cast<int*>(allocate(&slab, 1)) = static_cast<int>(i);
    }
    return slab;
}

std::vector<int> contents(const Slab& slab) {
    const int* items = static_cast<const int*>(slab.items);
    return std::vector<int>(items, items + slab.count);
}

int* slot(const Slab& slab, uint32_t i) { return static_cast<int*>(slab.items) + i; }

} // namespace

TEST(Slab, GivesOutConsecutiveSlotsUntilFull) {
    Slab slab{};
    ASSERT_EQ(init_slab(&slab, sizeof(double), 100), 1);
    EXPECT_EQ(slab.count, 0u);
    for (uint32_t i = 0; i < 100; ++i) {
        EXPECT_EQ(allocate(&slab, 1), static_cast<double*>(slab.items) + i) << "slot " << i;
    }
    EXPECT_EQ(allocate(&slab, 1), nullptr);
    EXPECT_EQ(slab.count, 100u);

    // One removal makes room for one more, just behind the last used slot.
    deallocate(&slab, static_cast<double*>(slab.items) + 10, 1);
    EXPECT_EQ(allocate(&slab, 1), static_cast<double*>(slab.items) + 99);
    EXPECT_EQ(allocate(&slab, 1), nullptr);
    release_slab(&slab);
}

TEST(Slab, AllocateGuardsItsUnsignedArithmetic) {
    Slab slab = numbered_slab(100, 0);
    EXPECT_EQ(allocate(&slab, 101), nullptr) << "more than the capacity, empty slab";
    EXPECT_EQ(allocate(&slab, UINT32_MAX), nullptr) << "capacity - n would wrap around";
    EXPECT_EQ(slab.count, 0u);

    EXPECT_NE(allocate(&slab, 60), nullptr);
    EXPECT_EQ(allocate(&slab, 41), nullptr);
    EXPECT_EQ(allocate(&slab, 40), slot(slab, 60));
    EXPECT_EQ(slab.count, 100u);

    // A request of 0 gives the address behind the used slots and takes nothing.
    EXPECT_EQ(allocate(&slab, 0), slot(slab, 100));
    EXPECT_EQ(slab.count, 100u);
    release_slab(&slab);
}

TEST(Slab, RemovalKeepsOrder) {
    Slab slab = numbered_slab(10, 5);
    deallocate(&slab, slot(slab, 2), 1);
    EXPECT_EQ(contents(slab), (std::vector<int>{0, 1, 3, 4}));

    // The last slot: only the count falls.
    deallocate(&slab, slot(slab, 3), 1);
    EXPECT_EQ(contents(slab), (std::vector<int>{0, 1, 3}));
    EXPECT_EQ(*slot(slab, 3), 4) << "nothing is moved or cleared";

    // A run out of the middle.
    release_slab(&slab);
    slab = numbered_slab(10, 8);
    deallocate(&slab, slot(slab, 1), 3);
    EXPECT_EQ(contents(slab), (std::vector<int>{0, 4, 5, 6, 7}));
    release_slab(&slab);
}

TEST(Slab, RemovalOutOfRangeOrOfNothing) {
    Slab slab = numbered_slab(10, 5);
    const std::vector<int> all{0, 1, 2, 3, 4};

    deallocate(&slab, slot(slab, 2), 0);
    EXPECT_EQ(contents(slab), all) << "n = 0";
    deallocate(&slab, slot(slab, 5), 1);
    EXPECT_EQ(contents(slab), all) << "pointer at count";
    deallocate(&slab, slot(slab, 9), 1);
    EXPECT_EQ(contents(slab), all) << "pointer past count";
    deallocate(&slab, reinterpret_cast<char*>(slab.items) - sizeof(int), 1);
    EXPECT_EQ(contents(slab), all) << "pointer before the storage";

    // More than remain from the pointer: everything from it on goes.
    deallocate(&slab, slot(slab, 3), 7);
    EXPECT_EQ(contents(slab), (std::vector<int>{0, 1, 2}));
    deallocate(&slab, slot(slab, 0), UINT32_MAX);
    EXPECT_EQ(slab.count, 0u);
    release_slab(&slab);

    Slab never_set_up{};
    deallocate(&never_set_up, nullptr, 1);
    EXPECT_EQ(never_set_up.count, 0u);
}

TEST(Slab, InitFailureLeavesRecordUntouched) {
    reset_seams();
    Slab slab{reinterpret_cast<void*>(0x1234), 7, 3, 9};
    fail_malloc_after(0);
    EXPECT_EQ(init_slab(&slab, sizeof(int), 100), 0);
    EXPECT_EQ(slab.items, reinterpret_cast<void*>(0x1234));
    EXPECT_EQ(slab.item_size, 7u);
    EXPECT_EQ(slab.count, 3u);
    EXPECT_EQ(slab.capacity, 9u);

    // A block beyond 32 bits of bytes, or slots of no size, are refused too.
    EXPECT_EQ(init_slab(&slab, 0x10000, 0x10000), 0);
    EXPECT_EQ(init_slab(&slab, 0, 100), 0);
    EXPECT_EQ(slab.capacity, 9u);
    reset_seams();
}
