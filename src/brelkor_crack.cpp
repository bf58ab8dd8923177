// Cracking rocks and the fragments of shattered pieces.
#include "brelkor.h"

void simulate_fragment(Fragment* fragment, double dt) {
    (void)fragment;
    (void)dt;
}
