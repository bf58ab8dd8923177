#include "slab.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "seams.h"

namespace {

// A slab of int slots 0 .. n - 1 holding their own positions.
struct Numbered {
    Slab slab{};
    Numbered(uint32_t capacity, uint32_t n) {
        EXPECT_EQ(init_slab(&slab, sizeof(int), capacity), 1);
        for (uint32_t i = 0; i < n; ++i) {
            *static_cast<int*>(allocate(&slab, 1)) = static_cast<int>(i);
        }
    }
    ~Numbered() { release_slab(&slab); }
    int* at(uint32_t i) const { return static_cast<int*>(slab.items) + i; }
    std::vector<int> contents() const { return std::vector<int>(at(0), at(slab.count)); }
};

} // namespace

TEST(Slab, AllocatesConsecutiveSlotsUntilFull) {
    Numbered s(100, 0);
    EXPECT_EQ(allocate(&s.slab, 101), nullptr) << "more than the capacity, empty slab";
    EXPECT_EQ(allocate(&s.slab, UINT32_MAX), nullptr) << "capacity - n would wrap around";
    for (uint32_t i = 0; i < 100; ++i) {
        ASSERT_EQ(allocate(&s.slab, 1), s.at(i)) << "slot " << i;
    }
    EXPECT_EQ(allocate(&s.slab, 1), nullptr);
    EXPECT_EQ(allocate(&s.slab, 0), s.at(100)) << "0 slots: the address behind, nothing taken";
    EXPECT_EQ(s.slab.count, 100u);

    // One removal makes room for one more, just behind the last used slot.
    deallocate(&s.slab, s.at(10), 1);
    EXPECT_EQ(allocate(&s.slab, 1), s.at(99));
    EXPECT_EQ(allocate(&s.slab, 1), nullptr);
}

TEST(Slab, RemovalKeepsOrder) {
    Numbered s(10, 8);
    deallocate(&s.slab, s.at(2), 1);
    EXPECT_EQ(s.contents(), (std::vector<int>{0, 1, 3, 4, 5, 6, 7}));
    deallocate(&s.slab, s.at(1), 3);
    EXPECT_EQ(s.contents(), (std::vector<int>{0, 5, 6, 7}));
    deallocate(&s.slab, s.at(3), 1);
    EXPECT_EQ(s.contents(), (std::vector<int>{0, 5, 6}));
    EXPECT_EQ(*s.at(3), 7) << "removing the last slot moves and clears nothing";

    const std::vector<int> all = s.contents();
    deallocate(&s.slab, s.at(1), 0);
    deallocate(&s.slab, s.at(3), 1);
    deallocate(&s.slab, s.at(9), 1);
    deallocate(&s.slab, static_cast<char*>(s.slab.items) - sizeof(int), 1);
    EXPECT_EQ(s.contents(), all) << "n = 0, or a pointer at, past or before the used slots";

    deallocate(&s.slab, s.at(1), 7);
    EXPECT_EQ(s.contents(), std::vector<int>{0}) << "more than remain: all from the pointer on";
}

TEST(Slab, InitFailureLeavesRecordUntouched) {
    reset_seams();
    Slab slab{reinterpret_cast<void*>(0x1234), 7, 3, 9};
    fail_malloc_after(0);
    EXPECT_EQ(init_slab(&slab, sizeof(int), 100), 0) << "no memory";
    EXPECT_EQ(init_slab(&slab, 0x10000, 0x10000), 0) << "a block beyond 32 bits of bytes";
    EXPECT_EQ(init_slab(&slab, 0, 100), 0) << "slots of no size";
    EXPECT_EQ(slab.items, reinterpret_cast<void*>(0x1234));
    EXPECT_EQ(slab.item_size, 7u);
    EXPECT_EQ(slab.count, 3u);
    EXPECT_EQ(slab.capacity, 9u);
    reset_seams();
}
