// Tune structure: what each MIDI channel of a song plays (bass, accompaniment, melody,
// rhythm or a secondary melody), judged from its notes: how often they overlap, how
// high they lie, how long they are, how they move and which program plays them.
//
// It works on a format-0 song whose one track is in note mode; the caller passes the
// song's division. One object analyses one song once; the MIDI import takes the melody
// channel from it and the chord analysis weighs each note by its channel's part type.
#pragma once

#include <cstdint>

class Midi0Data;
class MidiTrack;

// Codes of the tune-structure module (tag "TNST").
constexpr uint32_t kTnstDrumChannel = 0x32000001;
constexpr uint32_t kTnstChannel = 0x32000002;

enum PartType : int32_t {
  kPartUndecided = 0,
  kPartBass = 1,
  kPartAccompaniment = 2,
  kPartMelody = 3,
  kPartRhythm = 4,
  kPartSecondMelody = 5,
};

// The rhythm channel (channel 10, index 9).
constexpr int32_t kRhythmChannel = 9;
constexpr int32_t kTuneChannels = 16;
constexpr int32_t kTuneChannelRoom = 256;
constexpr int32_t kMelodyListSize = 3;
// FindChannelOfType's answer when no channel has the type.
constexpr int32_t kNoChannelOfType = 16;

// General MIDI programs (0-based) that may play each part.
bool IsBassProgram(int32_t program);
bool IsAccompanimentProgram(int32_t program);
bool IsMelodyProgram(int32_t program);

// A ringtone channel as the tune structure sees it: its MIDI channel, whether it is a
// rhythm channel, and its events (notes with durations and control events).
struct MobileChannelView {
  int32_t midi_channel = 0;
  bool rhythm = false;
  // Each event: delta, status (0x10 note, 0xFF control), note, duration, velocity,
  // control kind (0x21 program) and value.
  struct Event {
    int32_t delta = 0;
    uint32_t status = 0;
    int32_t note = 0;
    int32_t duration = 0;
    int32_t velocity = 0;
    uint32_t kind = 0;
    int32_t value = 0;
  };
  const Event* events = nullptr;
  int32_t event_count = 0;
};

class TuneStructure {
 public:
  TuneStructure();
  ~TuneStructure() = default;
  TuneStructure(const TuneStructure&) = delete;
  TuneStructure& operator=(const TuneStructure&) = delete;

  // Statistics over the song's track, bar count, then the classification. The song
  // must be in note mode; division is its ticks per quarter.
  void Analyse(Midi0Data& song, int32_t division);
  // The same for a ringtone song given as its channels and bar count.
  void AnalyseMobile(const MobileChannelView* channels, int32_t channel_count, int32_t bars,
                     int32_t division);

  void GatherStatistics(const MidiTrack& track, int32_t division);
  void ComputeBarCount(const MidiTrack& track, int32_t division);
  void Classify();

  // The first channel of the type; kNoChannelOfType when none.
  int32_t FindChannelOfType(int32_t type) const;
  // The first melody channel; channel 1 (index 0) when there is none.
  int32_t MelodyChannel() const;
  // Deletes every event of the channel from the analysed song's track and forgets the
  // channel; 1 when an event was deleted.
  int ClearChannel(int32_t channel);
  // Exchanges the two channels in the song and in the results; the rhythm channel
  // cannot be moved (0x32000001).
  void SwapChannels(Midi0Data& song, int32_t a, int32_t b);

  static void ErrorMsg(uint32_t code);

  // Results and statistics (16 channels used; room for 256).
  int32_t bar_count = 0;
  int32_t melody_count = 0;
  int32_t bass_count = 0;
  int32_t accompaniment_count = 0;
  int32_t program[kTuneChannelRoom] = {};
  int32_t overlapped[kTuneChannelRoom] = {};
  int32_t single[kTuneChannelRoom] = {};
  int32_t low[kTuneChannelRoom] = {};
  int32_t high[kTuneChannelRoom] = {};
  int32_t short_notes[kTuneChannelRoom] = {};
  int32_t medium_notes[kTuneChannelRoom] = {};
  int32_t long_notes[kTuneChannelRoom] = {};
  int32_t leaps[kTuneChannelRoom] = {};
  int32_t steps[kTuneChannelRoom] = {};
  int32_t used[kTuneChannelRoom] = {};
  int32_t part_type[kTuneChannelRoom] = {};
  int32_t melody_list[kMelodyListSize] = {};
  int32_t used_channel_count = 0;

 private:
  void CountUsedChannels();
  void AddNote(int32_t channel, int32_t pitch, int32_t duration, int32_t division,
               int32_t* previous_pitch);
  void ListMelody(int32_t channel);
  bool BetterMelody(int32_t candidate, int32_t listed) const;
  // The steps of Classify, in order.
  void FirstPass();
  void OfferMelody(int32_t channel);
  bool Accompanies(int32_t channel) const;
  void ChooseBass();
  void MelodyFallback();
  void AccompanimentByPolyphony();
  void ChooseMainMelody();
  void EveryOtherChannelAccompanies();
  void LastMelodyFallback();
  int64_t NoteCount(int32_t channel) const;  // overlapped and single notes
  Midi0Data* song_ = nullptr;  // the song of the last Analyse (ClearChannel works on it)
};
