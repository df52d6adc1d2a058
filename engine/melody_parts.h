// Melody-type part tracks: the melody (channel 1, with its detuned double on
// channel 10), the voicing (6), the obbligato (4), the part on channel 5 (a
// second melody or the sub-drum rhythm) and the instrumental melody of an
// imported song (15), all written by WriteMelodyTypePart.
#pragma once

#include "engine/compose_info.h"
#include "engine/part_tracks.h"
#include "util/program_errors.h"

constexpr ProgramErrorCode kTrackInfoError = 0xFF010028u;
constexpr ProgramErrorCode kMelodyNoteLength = 0xFF010029u;

// Writes the list into the track on the channel and empties the list: header,
// notes through the melody's ornament, close, the after-close ornaments and
// the part's effects. A note longer than the limit is cut to the limit and the
// rest of its time becomes rests (reported once per part).
void WriteMelodyTypePart(EventList& list, Midi1Track& track, int channel, int note_limit);

void BuildMelodyPart(PartTrackList& tracks, int note_limit);
// The voicing on channel 6, 25 softer; nothing when the melody has no voicing.
void BuildVoicingPart(PartTrackList& tracks);
// The obbligato on channel 4 (the canon list in canon mode); nothing when channel 4 is off.
void BuildObbligatoPart(PartTrackList& tracks, const EventList* canon);
// Channel 5: the sub-drum rhythm or a second melody; nothing when channel 5 is off.
void BuildSubDrumPart(PartTrackList& tracks);
// The imported song's instrumental melody on channel 15.
void BuildInstrumentalMelodyPart(EventList& list, PartTrackList& tracks, int note_limit);

// Appends the sub-drum rhythm to the melody notes of the compose information.
void WriteSubDrumRhythm();
// The obbligato's first bar becomes rests when it would start before both melodies.
void SilenceEarlyObbligato(const EventList& instrumental, const EventList& vocal,
                           EventList& obbligato);
// A note an octave up at the velocity beside every note of pitch 1..115.
void AddUnison(MidiTrack& track, int channel, int velocity);
