// The pops arpeggio (code 34): per bar one of six arpeggio and chord figures,
// voiced by the song's sections, swelling into section changes, with a
// sustain pedal per chord and a fill under a melody note held through a
// chord. In the triplet rhythm a plain arpeggio over a held bass.
#pragma once

class EventList;
class MidiTrack;

void GeneratePopsArpeggioPattern(int channel, MidiTrack& track, const EventList& melody);
void GeneratePopsArpeggioTriplets(int channel, MidiTrack& track);
