// Song import and lyrics: the user's song document becomes the engine's chord
// input and two melody lists (sung notes and instrumental notes), each
// composition pass turns the chord input into section chord lists, and the
// rendered file is rewritten as a karaoke file with a lyric per sung slot.
#pragma once

#include <filesystem>
#include <vector>

#include "music/midi_track.h"
#include "util/program_errors.h"

class CSongData;
struct NoteCell;

constexpr ProgramErrorCode kEditInitError = 0xFF010010u;

// At most this many beats are read (the song document's beat capacity).
constexpr int kImportMaxBeats = 1024;

// Fills the chord input and bass digits, the vocal and instrumental melody
// lists, the melody input copy and the skip-beat list from the song. Repairs
// two cells of the document (0xCD second-half names, a first slot -2 at the start).
void ImportSongToEngine(CSongData& song, int bar_count, int beats_per_bar, int max_note_length);
// Rebuilds the section chord lists (four chords a section) from the chord
// input; *beat_count gets the beats they hold.
void BuildChordBlocksFromInput(int* beat_count);
// Rewrites the Standard MIDI File at the path as a karaoke file whose lyric
// chunk holds a lyric per sung slot (mode 0 the lyric, 1 the solfege name,
// 2 both). False when the file could not be read or written.
bool AddLyricsToMidi(const CSongData& song, const std::filesystem::path& path, int lyric_mode);
// One lyric meta event (a lyric "-" is a blank; at most 63 bytes).
void AddLyricEvent(MidiTrack& track, int delta, const char* lyric, int lyric_mode, int slot_value);

// The slots of one half beat (an eighth) as the import plays them: value,
// lyric and duration in engine ticks (96 a quarter). Both the import and the
// lyrics walk these, so the lyrics sit where their notes start.
struct SlotPlay {
  int value = 0;
  const char* lyric = nullptr;  // points into the cells given to BeatSlots
  int duration = 0;
};
struct HalfSlots {
  int count = 0;
  SlotPlay slots[3];
};
// The two halves of a beat from its two note cells, which the triplet rhythm
// first rearranges in place (`triplet`: the style's basic beat is 3).
void BeatSlots(NoteCell& cell0, NoteCell& cell1, bool triplet, HalfSlots* half0, HalfSlots* half1);
