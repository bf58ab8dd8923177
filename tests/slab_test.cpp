#include "slab.h"

#include <gtest/gtest.h>

#include <vector>

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
    EXPECT_EQ(allocate(&s.slab, 100), s.at(0)) << "the whole capacity at once";
    EXPECT_EQ(allocate(&s.slab, 1), nullptr);
    EXPECT_EQ(allocate(&s.slab, 0), s.at(100)) << "0 slots: the address behind, nothing taken";
}

TEST(Slab, RemovalKeepsOrderAndRefusesStrayPointers) {
    Numbered s(12, 12);
    deallocate(&s.slab, s.at(10), 5); // more than remain: all from the pointer on
    deallocate(&s.slab, s.at(2), 1);
    deallocate(&s.slab, s.at(1), 3);
    deallocate(&s.slab, s.at(5), 1);
    EXPECT_EQ(s.contents(), (std::vector<int>{0, 5, 6, 7, 8}));
    EXPECT_EQ(std::vector<int>(s.at(5), s.at(12)), (std::vector<int>{9, 7, 8, 9, 9, 10, 11}))
        << "only the slots behind a removal move, and nothing is cleared";
    deallocate(&s.slab, s.at(1), 0);
    deallocate(&s.slab, s.at(5), 1);
    deallocate(&s.slab, static_cast<char*>(s.slab.items) - sizeof(int), 1);
    EXPECT_EQ(s.slab.count, 5u) << "n = 0, or a pointer past or before the used slots";
    deallocate(&s.slab, s.at(1), 7);
    EXPECT_EQ(s.contents(), std::vector<int>{0});
    deallocate(&s.slab, s.at(0), 1);
    EXPECT_EQ(s.slab.count, 0u);
}
