// Song rendering: every part builder in its fixed order writes its tracks, the
// tracks become one format-1 song at 96 ticks a quarter (optionally cleaned of
// clashing notes, then one track per channel), the song is written as a
// Standard MIDI File and handed back as a format-0 file image. Also the chord
// timeline the compose loop builds once the melody has been composed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "engine/compose_info.h"
#include "util/program_errors.h"

class Midi1Data;

constexpr ProgramErrorCode kRenderCheckFailed = 0xFF0101AAu;  // a note value was repaired
constexpr ProgramErrorCode kRenderSectionId = 0xFF0101D0u;    // a section id names no section

// Tracks a rendered song holds at most; later ones are left out.
constexpr int kRenderTrackLimit = 16;
// The buffer the compose loop hands the renderer for the format-0 image.
constexpr int32_t kRenderImageBufferSize = 0x40000;

// Called between the steps of a composition; empty = none.
using ComposeProgress = std::function<void()>;
inline void StepProgress(const ComposeProgress& progress) {
  if (progress) progress();
}
// Called once with the finished song, before the texts are added; empty = none.
using RenderedSongCallback = std::function<void(Midi1Data&)>;

// Renders the composed song into the file at `path` (format 1, division 96).
// When `image` is given, *image_size holds its room in bytes on entry and the
// length of the format-0 image on return (0 when the image did not fit, which is
// reported). `first_text` and `second_text` (may be null) become the sequence
// name (meta type 3) and the notice text (meta type 2) at tick 0 of the first
// track. `note_limit` is the longest note of the channel-1 and channel-15 parts.
void RenderComposition(uint8_t* image, int32_t* image_size, const std::filesystem::path& path,
                       const RenderedSongCallback& song_callback, const char* first_text,
                       const char* second_text, const ComposeProgress& progress,
                       int note_limit);

// The song's last clean-up, over its note-mode tracks. A note whose key its channel strikes again
// while it sounds, in whichever track, is cut there (a synthesizer would end both notes at the
// first note-off), and of two notes struck together on one key the longer one stays. Then, when
// `end` is above 0, every track holding notes ends at `end`: notes past it are cut there or left
// out, its other events past it move to it and its End of Track stands at it. The renderer's end
// is that of the last chord block after the lead-in; with a canon, 384 ticks later, where the
// answer ends.
void CloseRenderedSong(Midi1Data& song, int32_t end);

// Lowers the render hand-over tick to the start of the list's first sounding
// note when that starts before it.
void NoteFirstMelodyOnset(const EventList& list);

// Replaces the format-1 file image in the buffer by the equivalent format-0
// image. *size holds the image's length and the buffer's room is `room`; when
// the format-0 image does not fit it is reported and *size becomes 0.
void ConvertSongImageToFormat0(uint8_t* buffer, int32_t room, int32_t* size);

// Rebuilds the chord timeline from the section ids and section chord lists: a
// tag per chord ('A' + section, then 'E' at a section's last chord or 'X', then
// "XX"); outside song rendering two one-bar tags close it.
void BuildChordTimeline(const std::array<EventList, kSectionCapacity>& section_chords);
