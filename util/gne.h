// The general library: message boxes, chance, and the small helpers every module uses.
#pragma once

#include <cstdint>
#include <string>

// ---- Message boxes (each returns the button pressed: 1 OK, 2 Cancel) ----
int GneErrorBox(const std::string& text);    // system-modal, OK
int GneMessageBox(const std::string& text);  // ordinary, OK
int GneConfirmBox(const std::string& text);  // system-modal, OK and Cancel

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// ---- Chance ----
// The classic linear congruential generator, one state per thread (a thread that was never seeded
// starts from 1): state = state * 214013 + 2531011, draws (state >> 16) & 0x7FFF.
// A uniform integer between a and b, both included, in either order. Equal bounds give that value
// without advancing the generator.
int GneRandomRange(int a, int b);
// Seeds the calling thread's generator from the calendar clock and keeps the seed.
void GneSeedRandom();
// Seeds the calling thread's generator with `seed` and keeps it as the last seed.
void GneSeedRandomWith(uint32_t seed);
// The last seed given by GneSeedRandom or GneSeedRandomWith (process-wide).
uint32_t GneLastSeed();
// Raw access to the calling thread's generator state (tests, saving a position).
uint32_t GneGetRandomState();
void GneSetRandomState(uint32_t state);
// One raw draw, 0..32767.
int GneRand();

// ---- The rest of the general library ----
#include "util/gne_error.h"   // GneErrorMsg, the GENE codes
#include "util/module_error.h"  // ModuleErrorReporter, FormatBoxText
#include "util/gne_music.h"   // variable-length numbers, tempo, metre, note/key/interval names
#include "util/gne_pitch.h"   // pitch bend, tuning, frequency and level arithmetic
#include "util/gne_text.h"    // Base64, patterns, tokens, numbers, path parts
#include "util/gne_files.h"   // memory blocks, whole files, dialogs, folders
