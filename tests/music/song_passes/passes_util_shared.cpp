// The pass tests' helpers (event builders, midicsv and mido readers), shared with
// this program rather than copied.
#include "tests/music/passes/passes_util.cpp"
