// A test mode of the one generator (util/gne.h).
#pragma once

// Each GneRandomRange of the calling thread takes the least of three draws while on, so that
// "one chance in n" branches, rare figures and redraw loops run often. Off by default; only
// tests turn it on.
void GneSetBiasedLowForTests(bool on);
