// The event builders and outside-tool helpers of the pass tests, built into this
// program as well (one copy of the code serves both).
#include "../passes/passes_util.cpp"
