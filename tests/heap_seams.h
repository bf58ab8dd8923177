// The whole-game tests link with --wrap=malloc and --wrap=free, so every heap
// block that the game takes or gives back passes through here, and with --wrap
// for activate_sprite, so the pieces and fragments of a crack are listed (or
// not) through here.
#pragma once

#include <set>

// While on, every block taken is remembered until it is given back; blocks
// given back are forgotten whether or not tracking is on.
void track_heap(bool on);

// The remembered blocks still taken.
const std::set<const void*>& live_blocks();

// Pieces and fragments of cracks that found the list full, since the start.
int lost_to_full_list();
