// The conductor track (the first track of every rendered song: the seed, the
// sound-module reset, master volume, metre, key and tempo) and the two clean-up
// passes over the merged song that some styles ask for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "music/midi0_data.h"
#include "engine/part_tracks.h"
#include "music/midi1_track.h"
#include "util/program_errors.h"

constexpr ProgramErrorCode kMarkerClash = 0xFF0101CDu;
constexpr ProgramErrorCode kDiminishedCode = 0xFF01006Bu;

// Creates, writes and closes the conductor track and appends it to the array.
void AddConductorTrack(PartTrackList& tracks);
void WriteConductorTrack(MidiTrack& track);
// The chord code's marker name, in place (text needs room for 16 bytes).
void ChordCodeToName(char* text);
// Appends "on" and the name of the semitone (mod 12; a negative rest appends nothing).
void AppendSlashBass(char* text, int semitone);

// Deletes every note of the other channel that starts while the held channel
// sounds a key 11 or 13 semitones away.
void RemoveClashingNotes(Midi0Data& song, int held_channel, int other_channel);
// Softens accompaniment notes that rub against the held channel's note.
void SoftenAccompanimentClashes(Midi0Data& song, int held_channel, int accompaniment_channel);
void AttenuateClashingNotes(Midi0Data& song, int held_channel, int accompaniment_channel);
// One pass of neighbour swaps that orders the channel's notes of one tick by
// pitch: descending when direction > 0, else ascending.
void SortSameTickNotes(Midi0Data& song, int channel, int direction);
// Puts the channel's events first among the events of each tick (note mode),
// keeping the order within both groups.
void MoveChannelFirstInTicks(MidiTrack& track, int channel);
