// Drum hits: what one step of a drum pattern sounds. A hit type (1..53) is one
// to four percussion notes that start together; some take their notes from the
// style's drum kit, some from the sound module, many draw their velocities.
#pragma once

#include <cstdint>

class MidiTrack;

constexpr int kFirstDrumHit = 1;
constexpr int kLastDrumHit = 53;
constexpr int kDrumHitRest = 6;

// The notes of the kit-dependent sounds. Kit codes 1 (acoustic), 3 (ethnic)
// and 4 (techno) have their own; any other code sounds like 2 (electric).
struct DrumKitSounds {
  int kick = 36;
  int kick_velocity = 90;
  int snare = 40;
  int closed_hat = 42;
  int open_hat = 46;
  int pedal_hat = 44;
  int crash = 49;
  bool ethnic = false;  // ride 79 (78 with the snare), else 51 or 59 drawn
};
DrumKitSounds KitSounds(int32_t kit_code);

inline bool IsDrumHitType(int type) { return type >= kFirstDrumHit && type <= kLastDrumHit; }

// WriteDrumHit (engine/drum_part.h) writes a hit with the current style's kit:
// its notes start together at the pending delta, each `length` ticks long
// unless the hit says otherwise, and the pending delta becomes length + gap.
// Types 50 and, on a GS module, 32 strike twice inside the length. A type
// outside 1..53 is written as a rest, so its time still passes.
