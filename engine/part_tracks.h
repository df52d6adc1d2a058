// Part tracks: the vocabulary through which every part builder writes its
// track (header, notes and rests with clamped values, bend ornaments with their
// grace-note fallback, pedals, the detuned double, closing on a beat).
//
// A part track is a note-mode Midi1Track. Every operation appends at the end
// unless it says otherwise; a builder keeps a pending delta (ticks from its
// last event to its next note) and passes it on. Operations that write bend or
// grace events after a note return the ticks those events already occupy; the
// caller subtracts them from the next delta.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "music/midi1_track.h"
#include "style/style_record.h"
#include "util/program_errors.h"

// Byte capacity every engine track starts with. Tracks hold whatever they are
// given; PartTrackBytes says how large a copy must be to keep all of it.
constexpr int32_t TrackCapacity = 0x30000;

constexpr ProgramErrorCode kBadExtendedInstrument = 0xFF010156u;

class PartTrack : public Midi1Track {
 public:
  PartTrack() : Midi1Track(kTrackNotes, TrackCapacity) {}
};

// The render step's track array: every builder appends its finished tracks.
using PartTrackList = std::vector<std::unique_ptr<Midi1Track>>;

// One note or rest. A negative length becomes 0; a pitch above 127, or below
// 13 with a velocity, becomes a rest (pitch 0, velocity 0); a rest has length 1.
// The delta is kept, so a rest still carries time.
void AddNote(MidiTrack& track, int channel, int delta, int pitch, int velocity, int length);
// As AddNote with the pitch folded by octaves up to low, then down to high; a
// result outside 0..127 becomes pitch 0 (dropped at close).
void AddNoteInRange(MidiTrack& track, int channel, int delta, int pitch, int velocity,
                    int length, int low, int high);
// Notes with pitch-bend ornaments (bend range 12); on a channel whose program
// cannot bend, a grace note a semitone below stands in for 8 or more bend
// ticks. Each returns the ticks its own events use after the note's start.
int AddNoteBentFromAbove(MidiTrack& track, int channel, int delta, int pitch, int velocity,
                         int length, int bend_ticks);
int AddNoteBentFromBelow(MidiTrack& track, int channel, int delta, int pitch, int velocity,
                         int length, int bend_ticks);
int AddNoteWithBendGlide(MidiTrack& track, int channel, int delta, int pitch, int velocity,
                         int length, int step_ticks);
int AddNoteWithBendFlick(MidiTrack& track, int channel, int delta, int pitch, int velocity,
                         int length);
// Controller 64 with the value.
void AddSustainPedal(MidiTrack& track, int channel, int delta, int value);
// Delays the first note by the ticks and puts channel fine tuning 12.5 cents
// flat (RPN 1 = 56/0) before it; nothing on a track without notes.
void InsertFineTuneRpn(MidiTrack& track, int channel, int delay_ticks);
// Every controller-10 (pan) event of the track gets the value.
void SetPanControllers(MidiTrack& track, int value);
// The detuned double of a finished part: a copy of the whole track moved from the channel to
// the double's channel, its first note delayed by the mixer's double delay behind channel fine
// tuning, panned 40 to the left of the mixer's pan (wrapping within 0..127).
std::unique_ptr<Midi1Track> MakeDetunedDouble(const MidiTrack& track, int channel,
                                              int double_channel, const MixerRecord& mixer);
// A part's octave setting: its sounding notes on the channel move by whole octaves, folded back
// into 0..127. Any setting beyond 11 octaves folds as 11 does.
void ShiftPartOctaves(MidiTrack& track, int channel, int64_t octaves);
// Program and bank for the sound module, volume, the mixer controllers, scale
// tuning (XG and GS only) and bend range 12; the header starts at first_delta.
void WritePartHeader(MidiTrack& track, int channel, int program, const MixerRecord& mixer,
                     int first_delta);
// Ticks before the first note of every part (one bar with the lead-in on).
int GetLeadInTicks();
// Removes rests and empty notes (their time passes to the next event).
void DropEmptyNotes(MidiTrack& track);
// Drops empty notes and appends End of Track on the next beat after the last
// note's end (at most two 4/4 bars after the last event).
void CloseTrack(MidiTrack& track);

// Bytes a Standard MIDI File chunk of the track takes, with room for the
// buffer's reserve: the capacity a copy needs to keep every event.
int32_t PartTrackBytes(const MidiTrack& track);
// A copy of a note-mode track large enough for all it holds (at least
// TrackCapacity).
Midi1Track* CopyPartTrack(const MidiTrack& track);

// New events of the engine's tracks (each with the bytes of its message).
MidiEvent* NewNote(int channel, int delta, int pitch, int velocity, int length);
MidiEvent* NewController(int channel, int delta, int number, int value);
// Most and least significant 7 bits of the 14-bit value.
MidiEvent* NewBend(int channel, int delta, int msb, int lsb);

// The bytes of a format-1 Standard MIDI File (division 96) of the note-mode
// tracks, each copied whole; empty when the song cannot be written.
std::vector<uint8_t> JoinPartTracks(const std::vector<const MidiTrack*>& tracks);
