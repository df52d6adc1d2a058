#include "engine/drum_hits.h"

#include <algorithm>

#include "engine/drum_part.h"
#include "engine/engine_state.h"
#include "engine/part_tracks.h"
#include "style/style_record.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

// Sound module modes the hits tell apart.
constexpr int kModuleXg = 0;
constexpr int kModuleGs = 1;

// One note of a hit. `sound` is a kit sound below, or a note number of its own.
enum Sound : int {
  kKick = -1,
  kSnare = -2,
  kClosedHat = -3,
  kOpenHat = -4,
  kPedalHat = -5,
  kCrash = -6,
  kRide = -7,          // ride of the kit (79 on the ethnic kit)
  kRideWithSnare = -8, // as kRide, 78 on the ethnic kit
  kNone = 0,
};

// Velocity: base (plus the kit's kick velocity when kick_relative), then a
// draw of lo..hi added (or taken away when `minus`); no draw when hi is 0.
struct Voice {
  int sound;
  int base;
  int lo = 0;
  int hi = 0;
  bool kick_relative = false;
  bool minus = false;
};

struct HitRow {
  Voice voices[4];
};

constexpr Voice Fixed(int sound, int velocity) { return {sound, velocity}; }
constexpr Voice Drawn(int sound, int base, int lo, int hi) { return {sound, base, lo, hi}; }
constexpr Voice Less(int sound, int base, int lo, int hi) { return {sound, base, lo, hi, false, true}; }
constexpr Voice KickAt(int offset, int lo = 0, int hi = 0) { return {kKick, offset, lo, hi, true}; }
constexpr Voice RideAt() { return Drawn(kRide, 30, 1, 40); }

// The hits with plain notes, by type (index 0 unused). Types with their own
// rules (1, 6, 26, 31, 32, 50, 53) are handled in WriteDrumHit.
const HitRow kHitRows[kLastDrumHit + 1] = {
    {},                                                              // 0
    {},                                                              // 1 closed hat at 40 + value
    {{KickAt(0)}},                                                   // 2
    {{Fixed(kSnare, 80)}},                                           // 3
    {},                                                              // 4 = 53 at 80
    {{KickAt(0), Fixed(kClosedHat, 40)}},                            // 5
    {},                                                              // 6 rest
    {{Fixed(50, 80)}},                                               // 7
    {{Fixed(47, 80)}},                                               // 8
    {{Fixed(45, 80)}},                                               // 9
    {{Fixed(54, 80)}},                                               // 10
    {{Fixed(62, 80)}},                                               // 11
    {{Fixed(63, 80)}},                                               // 12
    {{Fixed(64, 80)}},                                               // 13
    {{Fixed(52, 70)}},                                               // 14
    {{Fixed(kOpenHat, 50)}},                                         // 15
    {{Fixed(60, 60)}},                                               // 16
    {{Fixed(67, 60)}},                                               // 17
    {{Fixed(68, 60)}},                                               // 18
    {{Fixed(75, 70)}},                                               // 19
    {{Fixed(76, 80)}},                                               // 20
    {{RideAt()}},                                                    // 21
    {{KickAt(-80, 1, 20), RideAt()}},                                // 22
    {{Drawn(kSnare, 40, 1, 20), Drawn(kRideWithSnare, 30, 1, 40)}},  // 23
    {{Fixed(37, 90)}},                                               // 24
    {{Drawn(80, 60, 1, 50)}},                                        // 25
    {},                                                              // 26 scratch
    {{Fixed(41, 100)}},                                              // 27
    {{Fixed(41, 100), Fixed(67, 60)}},                               // 28
    {{Fixed(60, 60), Less(67, 40, 1, 20)}},                          // 29
    {{Fixed(60, 60), Fixed(67, 40), Less(41, 100, 1, 20)}},          // 30
    {},                                                              // 31 by module
    {},                                                              // 32 by module
    {{KickAt(0), Fixed(kClosedHat, 40), Drawn(56, 85, 0, 20)}},      // 33
    {{Fixed(54, 90), Fixed(kClosedHat, 40), Fixed(kSnare, 100), Drawn(56, 85, 0, 20)}},  // 34
    {{Fixed(54, 64), Fixed(kClosedHat, 40), KickAt(0)}},             // 35
    {{Fixed(54, 90), Fixed(kClosedHat, 40)}},                        // 36
    {{Fixed(kCrash, 90), KickAt(0)}},                                // 37
    {{KickAt(-55, 0, 10), Drawn(kSnare, 70, 0, 10)}},                // 38
    {{Fixed(kPedalHat, 20), Drawn(kSnare, 70, 0, 10)}},              // 39
    {{Fixed(84, 90)}},                                               // 40
    {{Drawn(81, 60, 1, 50)}},                                        // 41
    {{Drawn(83, 60, 1, 50)}},                                        // 42
    {{Fixed(kClosedHat, 40), Fixed(75, 70)}},                        // 43
    {{Drawn(kClosedHat, 10, 1, 50), Fixed(62, 127)}},                // 44
    {{Fixed(kClosedHat, 40), Drawn(kSnare, 50, 1, 50), Fixed(75, 70)}},  // 45
    {{Fixed(kClosedHat, 40), Fixed(62, 80), Fixed(75, 70)}},         // 46
    {{Fixed(kClosedHat, 40), Fixed(35, 80), Drawn(79, 70, 1, 10)}},  // 47
    {{Drawn(71, 90, 1, 10), Fixed(kClosedHat, 40), Fixed(35, 80), Drawn(78, 70, 1, 10)}},  // 48
    {{Drawn(71, 90, 1, 10), Fixed(kClosedHat, 40), Fixed(35, 80)}},  // 49
    {{Fixed(kClosedHat, 40), Drawn(kSnare, 50, 1, 50)}},             // 50 struck twice
    {},                                                              // 51 by kit
    {{Fixed(61, 60)}},                                               // 52
    {},                                                              // 53 snare at value
};

struct Note {
  int pitch;
  int velocity;
};

// At most four notes of one stroke.
struct Stroke {
  Note notes[4];
  int count = 0;
  void Add(int pitch, int velocity) { notes[count++] = {pitch, velocity}; }
};

int Ride(const DrumKitSounds& kit, bool with_snare) {
  if (kit.ethnic) return with_snare ? 78 : 79;
  return GneRandomRange(1, 2) == 1 ? 51 : 59;
}

int PitchOf(int sound, const DrumKitSounds& kit) {
  switch (sound) {
    case kKick: return kit.kick;
    case kSnare: return kit.snare;
    case kClosedHat: return kit.closed_hat;
    case kOpenHat: return kit.open_hat;
    case kPedalHat: return kit.pedal_hat;
    case kCrash: return kit.crash;
    case kRide: return Ride(kit, false);
    case kRideWithSnare: return Ride(kit, true);
    default: return sound;
  }
}

void AddVoice(Stroke& stroke, const Voice& v, const DrumKitSounds& kit) {
  const int pitch = PitchOf(v.sound, kit);
  int velocity = v.base + (v.kick_relative ? kit.kick_velocity : 0);
  if (v.hi > 0) {
    const int draw = GneRandomRange(v.lo, v.hi);
    velocity += v.minus ? -draw : draw;
  }
  stroke.Add(pitch, velocity);
}

void AddRow(Stroke& stroke, int type, const DrumKitSounds& kit) {
  for (const Voice& v : kHitRows[type].voices) {
    if (v.sound == kNone) break;
    AddVoice(stroke, v, kit);
  }
}

// The notes of one stroke of `type` (a valid type other than the rest).
Stroke StrokeOf(int type, int value, const DrumKitSounds& kit) {
  Stroke s;
  const int module = SoundModuleMode();
  switch (type) {
    case 1:
      s.Add(kit.closed_hat, std::clamp(40 + value, 0, 127));
      break;
    case 4:
      return StrokeOf(53, 80, kit);
    case 26: {
      // Scratches: notes 17 and 18 are the push and pull of an XG kit only. Other kits (the GS
      // ones, and the GM sets built on them, such as the soundfonts the audio export uses) have
      // nothing at 17 and 18 and play the scratches at 29 and 30, so there the hit would be
      // silent: outside XG mode it plays 29 and 30.
      const bool first = GneRandomRange(1, 2) == 1;
      const int velocity = std::min(80 + GneRandomRange(1, 50), 127);
      if (module == kModuleXg)
        s.Add(first ? 17 : 18, velocity);
      else
        s.Add(first ? 29 : 30, velocity);
      break;
    }
    case 31:
      if (module == kModuleGs)
        s.Add(58, 64 + GneRandomRange(1, 20));
      else
        AddRow(s, 13, kit);
      break;
    case 32:
      if (module == kModuleGs)
        s.Add(59, 64 + GneRandomRange(1, 20));
      else
        AddRow(s, 16, kit);
      break;
    case 51:
      if (kit.ethnic) {
        s.Add(56, 80);
        s.Add(69, 40);
      } else {
        s.Add(35, 80);
        s.Add(46, 40);
      }
      break;
    case 53:
      // The value comes from a velocity table; keep it a sounding MIDI velocity.
      s.Add(kit.snare, std::clamp(value, 1, 127));
      s.Add(kit.closed_hat, 40);
      break;
    default:
      AddRow(s, type, kit);
      break;
  }
  return s;
}

void WriteStroke(MidiTrack& track, int channel, int delta, int length, const Stroke& s) {
  for (int i = 0; i < s.count; ++i)
    AddNote(track, channel, i == 0 ? delta : 0, s.notes[i].pitch, s.notes[i].velocity, length);
}

// Two strokes inside length a and gap b: the first at the pending delta for
// a / 2 ticks, the second half a gap later for the rest of the length; the
// next hit still starts a + b after the first stroke.
void WriteDoubleStroke(int& pending, int a, int b, int channel, MidiTrack& track,
                       const Stroke& first, const Stroke& second) {
  const int h = a / 2;
  WriteStroke(track, channel, pending, h, first);
  WriteStroke(track, channel, h + b / 2, a - h, second);
  pending = a + b - b / 2 - h;
}

}  // namespace

DrumKitSounds KitSounds(int32_t kit_code) {
  DrumKitSounds k;
  switch (kit_code) {
    case 1:
      k.kick = 35;
      k.snare = 38;
      break;
    case 3:
      k = {66, 90, 65, 69, 70, 70, 70, true};
      break;
    case 4:
      k.kick_velocity = 127;
      break;
    default:
      break;
  }
  return k;
}

bool WriteDrumHit(int& pending, int length, int gap, int channel, MidiTrack& track, int type,
                  int value) {
  if (!IsDrumHitType(type) || type == kDrumHitRest) {
    AddNote(track, channel, pending, 0, 0, 0);
    pending = length + gap;
    return type == kDrumHitRest;
  }
  const DrumKitSounds kit = KitSounds(CurrentStyle().instrument[kDrumChannel]);
  if (type == 50) {
    const Stroke first = StrokeOf(50, value, kit);
    const Stroke second = StrokeOf(50, value, kit);
    WriteDoubleStroke(pending, length, gap, channel, track, first, second);
    return true;
  }
  if (type == 32 && SoundModuleMode() == kModuleGs && GneRandomRange(1, 8) == 1) {
    Stroke first, second;
    first.Add(59, 64 + GneRandomRange(1, 10));
    second.Add(59, 64 + GneRandomRange(1, 15));
    WriteDoubleStroke(pending, length, gap, channel, track, first, second);
    return true;
  }
  WriteStroke(track, channel, pending, length, StrokeOf(type, value, kit));
  pending = length + gap;
  return true;
}
