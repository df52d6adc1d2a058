// Ornaments of melody-type parts: how single notes are played (grace notes,
// trills, turns, runs, repeated notes, bent starts), chosen by the channel-1
// part record's ornament code, and the passing notes added to a finished track.
#pragma once

#include <cstdint>

#include "music/midi_track.h"

// Ornament codes.
constexpr int kOrnamentNone = 0;
constexpr int kOrnamentClassical = 1;
constexpr int kOrnamentWildTrill = 2;
constexpr int kOrnamentBlues = 3;
constexpr int kOrnamentUnstable = 4;
constexpr int kOrnamentPercussive = 6;
constexpr int kOrnamentInterjection = 7;
constexpr int kOrnamentPops = 11;
constexpr int kOrnamentRap = 14;
constexpr int kOrnamentAndes = 15;
constexpr int kOrnamentScottish = 16;
constexpr int kOrnamentScaleRun = 17;
constexpr int kOrnamentTopNotes = 18;      // after closing: keep the top notes
constexpr int kOrnamentLeadingLeap = 19;
constexpr int kOrnamentPassingNotes = 20;  // after closing: passing notes

// One step of a melody-type part as an ornament sees it.
struct OrnamentNote {
  int channel = 1;
  int delta = 0;     // pending delta: ticks from the last event to the note
  int pitch = 0;
  int velocity = 64;
  int length = 0;    // step length L
  int section_time = 0;          // note lengths since the last chord marker, this one included
  const uint8_t* chord_entry = nullptr;  // current chord entry (6 bytes), nullptr before one
  int* next_pitch = nullptr;     // the override left for the next note (0 = none)
  int event_index = 0;           // index of the event in the part's list
  int previous_pitch = 0;        // pitch of the previous list event (0 at the start)
};

// Each writes its note(s) at the pending delta and returns the new pending
// delta: the time from its last note to the end of the step.
int PlainOrnamentNote(MidiTrack& track, const OrnamentNote& n);
int OrnamentClassical(MidiTrack& track, const OrnamentNote& n);
int OrnamentWildTrill(MidiTrack& track, const OrnamentNote& n);
int OrnamentBlues(MidiTrack& track, const OrnamentNote& n);
int OrnamentUnstable(MidiTrack& track, const OrnamentNote& n);
int OrnamentPercussive(MidiTrack& track, const OrnamentNote& n);
int OrnamentInterjection(MidiTrack& track, const OrnamentNote& n);
int OrnamentPops(MidiTrack& track, const OrnamentNote& n);
int OrnamentRap(MidiTrack& track, const OrnamentNote& n);
int OrnamentAndes(MidiTrack& track, const OrnamentNote& n);
int OrnamentScottish(MidiTrack& track, const OrnamentNote& n);
int OrnamentScaleRun(MidiTrack& track, const OrnamentNote& n);
int OrnamentLeadingLeap(MidiTrack& track, const OrnamentNote& n);
// The ornament of the code (any other code: the plain note).
int PlayOrnament(int code, MidiTrack& track, const OrnamentNote& n);

// Passing notes between long notes and their neighbours a whole tone away.
// Note mode (else the track's internal error).
void AddPassingNotes(MidiTrack& track);

// True when the pitch class is the root, third or fifth of the entry's chord;
// false without an entry and while a user's song is rendered.
bool IsTriadTone(int pitch, const uint8_t* chord_entry);
// The nearest pitch below whose weight is at least 8; 0 stays 0, and the search
// stops at 0.
int StepDownToTone(int pitch, const char* weights);
// Now and then a semitone or a fourth away, or a rest; after a rest one lower.
int JitterPitch(int pitch);
