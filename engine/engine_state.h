// Resets the process-wide state of the composition engine (for tests and for
// a fresh start): compose information and melody lists, pattern databases and
// chord-tone table, tone-weight cache, modulation points, fixed-bass pitch,
// the melody generator's state and the two mode flags.
#pragma once

#include <cstdint>

// 0 at start; 3 once a song rendering has been prepared (the melody builders
// then take their song-rendering paths).
int32_t& ComposeMode();
// 0 at start; 1 makes the melody phrase builders take the imported channel-1
// melody in song rendering.
int32_t& MelodyFromInput();

void ResetEngineState();
