// The engine's facade: the one door through which the windows and the compose
// worker reach the composition engine. All operations are static and work on
// the engine's process-wide state (the current style, the compose information
// and the melody lists).
//
// Rendering a song, in this order (the compose worker's road):
//   1. CKVAlgo::Initialize (seed and style table),
//   2. the caller sets the style's metre from the song (4 beats a bar: 0, else 1),
//   3. CKVAlgo::ImportSongToEngine,
//   4. CKVAlgo::PrepareSongRendering,
//   5. CKVAlgo::EnableMelodyDouble when the melody is to be doubled,
//   6. SelectMinorTimingDatabases or SelectMajorTimingDatabases by the song's
//      key, then the style's key mode and key index,
//   7. CKVAlgo::Compose (writes the format-1 file),
//   8. CKVAlgo::AddLyricsToMidi on the written file.
// The generator is thread-local: run all of it on one thread. One composition at a time: each
// operation opens the engine's door (engine/engine_session.h) and waits while another thread
// composes; a caller holds one session of its own over the whole road, so that no other
// thread's composition comes between its steps.
#pragma once

#include <cstdint>
#include <filesystem>

#include "arrange/song_render.h"

class CSongData;

// The compose loop's limits: the bar tolerance (half of it widens the accepted
// bar range on each side) and the number of passes after the first.
constexpr int kBarTolerance = 4;
constexpr int kExtraPassLimit = 3;
// Longest melody note the compose loop lets the channel-1 and channel-15 parts play.
constexpr int kComposeMelodyNoteLimit = 1536;

// The compose loop of CKVAlgo::Compose, with the pattern databases loaded:
// passes of chord blocks and melody until the bar count lies within the accepted
// range (at most five passes), leaving the chord blocks, the melody notes (with
// the ending) and the chord timeline for RenderComposition.
void RunComposePasses(const ComposeProgress& progress);

class CKVAlgo {
 public:
  virtual ~CKVAlgo();

  // Seeds the generator from the clock (the conductor track records the seed)
  // and rebuilds the table of built-in styles.
  static void Initialize();
  static void ImportSongToEngine(CSongData& song, int bar_count, int beats_per_bar,
                                 int max_note_length);
  // Switches the engine to rendering the imported song: custom chord input, no
  // modulation and no voicing part, doubles off unless kept, just intonation
  // played as the diatonic scale, the ambient part off, and the instruments,
  // tempo (BPM) and metre kind given. A negative harmony or sub-harmony
  // instrument keeps the style's.
  static void PrepareSongRendering(int melody_instrument, int tempo_bpm, int harmony_instrument,
                                   int sub_harmony_instrument, int16_t metre_kind,
                                   int keep_doubles);
  // Doubles the melody on channel 10, 12 ticks late.
  static void EnableMelodyDouble();
  // Composes the chords and melody of the current style and renders the song
  // into the file at `path`. The texts (may be null) become the sequence name
  // and notice of the file. Always 1; problems are shown as they happen.
  static int Compose(const std::filesystem::path& path, const char* first_text,
                     const char* second_text, const ComposeProgress& progress);
  // Rewrites the rendered file as a karaoke file with the song's lyrics; false
  // when it could not be read or written.
  static bool AddLyricsToMidi(const CSongData& song, const std::filesystem::path& path,
                              int lyric_mode);
  static void ChordNameToCode(char* name);
  static void DecodeChordCode(const char* code, int* root_pitch_class, int* quality_row);
  // Kind 1: modulation cannot be used; any other kind: the class's own box.
  static void ErrorMsg(int kind);
};
