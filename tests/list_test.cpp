// The lists at their edges: slabs allocating and removing slots, the active
// list finding and taking out entries, and the step's removal walk over
// neighbouring dead entries. Every heap block must be given back by the end.
#include "brelkor.h"

#include <gtest/gtest.h>

#include <vector>

#include "seams.h"
#include "slab.h"

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

std::vector<Sprite*> listed(const Game& game) {
    return std::vector<Sprite*>(active_sprites(game), active_sprites(game) + game.active.count);
}

} // namespace

TEST(Lists, SlabsAllocateConsecutiveSlotsUntilFull) {
    Numbered s(100, 0);
    EXPECT_EQ(allocate(&s.slab, 101), nullptr) << "more than the capacity, empty slab";
    EXPECT_EQ(allocate(&s.slab, UINT32_MAX), nullptr) << "capacity - n would wrap around";
    EXPECT_EQ(allocate(&s.slab, 100), s.at(0)) << "the whole capacity at once";
    EXPECT_EQ(allocate(&s.slab, 1), nullptr);
    EXPECT_EQ(allocate(&s.slab, 0), s.at(100)) << "0 slots: the address behind, nothing taken";
}

TEST(Lists, SlabRemovalKeepsOrderAndRefusesStrayPointers) {
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
}

TEST(Lists, ActiveListFindsFirstEntryAndTakesItOut) {
    reset_seams();
    Game game{};
    ASSERT_EQ(init_game(&game, 800, 600, 0), 1);
    Sprite a{}, b{}, stranger{};
    for (Sprite* s : {&a, &b, &a}) {
        activate_sprite(&game, s);
    }
    EXPECT_EQ(active_sprite(&game.ship, game), active_sprites(game));
    EXPECT_EQ(active_sprite(&a, game), active_sprites(game) + 1);
    deactivate_sprite(&a, &game);
    deactivate_sprite(&stranger, &game);
    EXPECT_EQ(listed(game), (std::vector<Sprite*>{&game.ship, &b, &a}));
    deactivate_sprite(&a, &game);
    EXPECT_EQ(active_sprite(&a, game), nullptr) << "its old slot behind the list is not read";
    auto* heap = static_cast<Sprite*>(std::malloc(sizeof(Sprite)));
    heap->storage = STORAGE_HEAP; // what delete_sprite gives back goes by this
    activate_sprite(&game, heap);
    delete_sprite(heap, &game);
    EXPECT_EQ(listed(game), (std::vector<Sprite*>{&game.ship, &b}));
    deactivate_sprite(&game.ship, &game);
    deactivate_sprite(&b, &game);
    activate_sprite(&game, heap = static_cast<Sprite*>(std::malloc(sizeof(Sprite))));
    heap->storage = STORAGE_HEAP; // given back by the release, first entry or not
    release_game(&game);
    EXPECT_EQ(seams.blocks, 0) << "heap blocks not given back";
}

// Only a step removes the dead, every one of them, neighbours and the first
// entry too; a dead slab rock gives back its vertices but keeps its slot.
TEST(Lists, StepsTakeOutEveryDeadEntry) {
    reset_seams();
    Game game{};
    ASSERT_EQ(init_game(&game, 800, 600, 2), 1);
    Sprite* rocks = static_cast<Sprite*>(game.rocks.items);
    Sprite sprites[4]{};
    for (int i = 0; i < 4; ++i) {
        sprites[i].kind = i == 1 ? KIND_ROCK : KIND_DEAD;
        sprites[i].position = Vector{100.0 + 100 * i, 100};
        activate_sprite(&game, &sprites[i]);
    }
    game.ship.kind = KIND_DEAD;
    rocks[0].kind = KIND_DEAD;
    simulate_game(&game, 9);
    EXPECT_EQ(game.active.count, 7u) << "no step ran, so nothing is removed";
    simulate_game(&game, 1);
    EXPECT_EQ(listed(game), (std::vector<Sprite*>{&rocks[1], &sprites[1]}));
    EXPECT_EQ(std::tuple(rocks[0].polygon.vertices, game.rocks.count), std::tuple(nullptr, 2u));
    release_game(&game);
    EXPECT_EQ(seams.blocks, 0) << "heap blocks not given back";
}
