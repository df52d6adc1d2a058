// The engine's process-wide values the parts name (modes, fixed settings, the
// seed, what the part builders remember), kept in the engine's one store
// (engine/engine_store.h) and used under its door (engine/engine_session.h).
// ResetEngineState resets the whole store (for tests and for a fresh start):
// compose information and melody lists, pattern databases and chord-tone table,
// tone-weight cache, modulation points, fixed-bass pitch, the melody
// generator's state and the two mode flags.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

// 0 at start; 3 once a song rendering has been prepared (the melody builders
// then take their song-rendering paths).
int32_t& ComposeMode();
// 0 at start; 1 makes the melody phrase builders take the imported channel-1
// melody in song rendering.
int32_t& MelodyFromInput();
// How some bass and harmony patterns end the song: 1 a plain final note, any
// other value an ending figure. 0 at start; the main window sets 1 when it opens.
int32_t& PlainEndingFlag();

// Fixed engine settings. No operation of the program changes them; tests set
// the other values to reach the paths they guard.
// Target sound module: 0 XG, 1 GS, 2 General MIDI (in use).
int32_t& SoundModuleMode();
// 1: every part starts one bar late and part headers write every controller.
int32_t& LeadInSetting();
// 1 (with the lead-in on): chord markers on the conductor track.
int32_t& ConductorMarkerSetting();
// 1: chord markers are also sent as display texts (XG and GS modes).
int32_t& DisplayTextSetting();

// Beat indexes (bar x beats per bar + beat) of the beats the last song import
// skipped, every one of them.
struct SkipBeatList {
  std::vector<int32_t> beats;
  int count() const { return static_cast<int>(beats.size()); }
};
SkipBeatList& SkipBeats();

// The seed the generator of the current composition was given; the conductor
// track writes it. Kept when seeding, so that no other thread's seeding can
// change what a composition reports.
uint32_t CompositionSeed();
// Seeds the calling thread's generator with the seed and keeps it.
void SeedComposition(uint32_t seed);
// Seeds from the calendar clock and keeps the seed.
void SeedCompositionFromClock();

// What the part builders remember between parts for the life of the process.
struct PartBuilderMemory {
  int32_t jitter_last = -1;         // the last result of the ornament pitch jitter
  bool long_pipe_question_done = false;  // the channel-1 effect question was met
  int32_t pan_step = 5;             // step of the pan walk
};
PartBuilderMemory& PartMemory();

// The rockabilly drums' build-up towards a roll in triplet rhythm, kept from
// one song to the next.
int32_t& RockabillyRollCounter();
// The rockabilly accompaniment's count of break stabs in a row, kept from
// part to part and song to song.
int32_t& RockabillyStabCounter();
// The sliding accompaniment's count of slides, kept from part to part and
// song to song: even and odd slides glide differently.
int32_t& SlideCount();

// Where a re-encoded ringtone is written: the first path while a song
// rendering is prepared (compose mode 3), the second otherwise. Empty until a
// caller sets them.
struct RingtoneOutputPaths {
  std::filesystem::path rendering;
  std::filesystem::path other;
};
RingtoneOutputPaths& RingtoneOutput();

void ResetEngineState();
