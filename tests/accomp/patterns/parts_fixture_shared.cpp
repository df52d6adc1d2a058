// The part-track test helpers (notes with their ticks, mido and midicsv readings), shared with
// the engine part tests.
#include "tests/engine/parts/parts_fixture.cpp"
