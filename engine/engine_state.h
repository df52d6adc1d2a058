// Resets the process-wide state of the composition engine (for tests and for
// a fresh start): compose information and melody lists, pattern databases and
// chord-tone table, tone-weight cache, modulation points, fixed-bass pitch.
#pragma once

void ResetEngineState();
