// The tune structure of a ringtone song: what each of its voices plays, judged by the
// music model's analysis from the voices' notes and programs.
#pragma once

class MobileData;
class TuneStructure;

// Analyses the song's voices, each as the MIDI channel of its index (a drum voice marks its
// channel as rhythm); the bar count is the song's own.
void AnalyseMobile(TuneStructure& tune, const MobileData& song);
