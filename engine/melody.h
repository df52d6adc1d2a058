// The melody generator: note lengths (rhythm types), the seven pitch methods,
// the filters that fit each pitch to the chord, the phrase lists of a part and
// its closing phrase, and the melody voicing.
//
// The generator keeps state from note to note, part to part and composition to
// composition (rhythm patterns, the last note length, the walk directions of
// the pitch methods, the fluctuation sequence, the voicing's last pitch). All
// of it lives in one MelodyState; ResetMelodyState (also run by
// ResetEngineState) puts it back to its start values.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/chord_block.h"
#include "engine/compose_info.h"
#include "engine/engine_state.h"
#include "util/program_errors.h"

namespace melody_error {
constexpr ProgramErrorCode kUndefined = 0;                  // chord missing from the table
constexpr ProgramErrorCode kTripleMetre = 0xFF010004u;      // 3/4 block of a wrong length
constexpr ProgramErrorCode kSevenEight = 0xFF010005u;       // 7/8 block of a wrong length
constexpr ProgramErrorCode kSevenEightRhythm = 0xFF01003Cu;  // triplet mixed rhythm in 7/8
constexpr ProgramErrorCode kContourPoints = 0xFF01006Fu;    // chord list of no length
constexpr ProgramErrorCode kContourTotal = 0xFF0101ABu;     // contour over no time
constexpr ProgramErrorCode kLeapHistory = 0xFF0101ACu;      // negative previous pitch
constexpr ProgramErrorCode kSectionId = 0xFF0101ADu;        // section id outside 1..200
constexpr ProgramErrorCode kWeightText = 0xFF0101B0u;       // bad weight character
constexpr ProgramErrorCode kNegativePitch = 0xFF0101B1u;    // negative fitting candidate
constexpr ProgramErrorCode kAlgorithm = 0xFF0101B2u;        // algorithm outside 1..7
constexpr ProgramErrorCode kZeroLength = 0xFF0101B3u;       // a note of no length
constexpr ProgramErrorCode kObbligatoLength = 0xFF0101B5u;  // input event of no length
}  // namespace melody_error

// ComposeMode is 3 once a song rendering has been prepared; MelodyFromInput 1
// makes the phrase builders take the imported channel-1 melody.
constexpr int32_t kSongRenderingMode = 3;

// Rhythm types (the note-length setting of a part).
constexpr int kRhythmLong = 6;
constexpr int kRhythmShortVarying = 7;
constexpr int kRhythmMixed = 8;
constexpr int kRhythmBouncing = 9;
constexpr int kRhythmDotted = 10;

constexpr int kRhythmPatternSize = 128;
constexpr int kFluctuationLength = 500;

struct MelodyState {
  // ---- Rhythm ----
  int32_t last_length_code = 2;  // length of the last note or rest / 24
  int32_t triplet_counter = 0;   // 1, 2: inside a run of three 64-tick notes
  int32_t short_triplet = 0;     // the next note is 16 ticks too
  std::array<int32_t, kRhythmPatternSize> mixed_pattern{};
  int32_t mixed_index = 0;
  int32_t mixed_block = 0;  // block length of the last draw
  std::array<int32_t, kRhythmPatternSize> bouncing_pattern{};
  int32_t bouncing_index = 0;
  int32_t figure = 0;  // short-varying rhythm figure of the bar
  int32_t swing = 0;

  // ---- Generator ----
  int32_t weight_error_shown = 0;

  // ---- Contour, direction, fluctuation ----
  int32_t walk_direction = 1;
  // Sequence values are made when first read after a remake (the phases are
  // drawn at once); position 0 holds 0.
  std::array<float, kFluctuationLength + 1> phase_cos{};
  std::array<float, kFluctuationLength + 1> phase_sin{};
  std::array<int8_t, kFluctuationLength + 1> sequence{};
  std::array<uint8_t, kFluctuationLength + 1> sequence_made{};
  int32_t sequence_position = 0;

  // ---- Leap control ----
  int32_t leap_notes = 0;     // N
  int32_t leap_due = 0;       // J: the next note resolves a leap
  int32_t leap_weak = 0;      // W: the last result weighed below 8
  int32_t step_direction = 1;

  // ---- Melody table ----
  int32_t table_direction = 1;
  int32_t table_last_position = 1152;
  int32_t table_start_offset = 0;
  int32_t table_chord_tone = 0;  // X: the last result was a chord tone

  // ---- Voicing and ornaments ----
  int32_t voicing_pitch = 0;  // V
  int32_t held_rests = 0;
  int32_t unsteady_last = 0;
};

MelodyState& Melody();
void ResetMelodyState();

// ---- Settings of a part ---------------------------------------------------

struct PartRecord;
const PartRecord& MelodyPart(int channel);
PartRecord& MutableMelodyPart(int channel);
// Rest level 1..8 of a channel's density factor (channels without a factor: 100).
int RestLevelOf(int channel);
int DensityFactorOf(int channel);

// ---- Rhythm ----------------------------------------------------------------

int BarLengthOfMetre();
int ChooseNoteLength(int channel, int position, int bar_length, int block_length,
                     int last_length_code);
int LongRhythmLength(int position, int bar_length, int block_length);
int ShortVaryingRhythmLength(int position, int bar_length, int block_length);
int MixedRhythmLength(int position, int block_length, int last_length_code);
int BouncingRhythmLength(int position, int block_length);
int DottedRhythmLength(int position, int bar_length, int block_length);
void SwingBlockLength(int* block_length, const EventList& chords, bool is_last, int channel);
// Reports a block length that is no bar (nor two bars of 3/4) of the style's
// 3/4 or 7/8 metre, unless the chords are the user's own (chord method 8);
// true when it reported.
bool CheckMelodyBlockLength(int block_length);
// Writes one of the block's rhythm patterns from entry 0 of `pattern`
// (kRhythmPatternSize entries); false (nothing written) when the block length
// has none. `triplet` picks the triplet members (384 and 768 only).
bool FillBarRhythm(int block_length, bool triplet, int32_t* pattern);

// ---- Contour, direction and fluctuation -----------------------------------

constexpr int kContourPointCapacity = 4;
int PrepareContour(int channel, const EventList& chords, int* xs, int* ys);
int PickContourPoints(int channel, int total, const char* weights, int* xs, int* ys);
bool HasEqualValues(const int* values, int n);
int SumOfEventLengths(const EventList& list);
int LagrangeValue(const int* xs, const int* ys, int n, int x);
int RandomWalkStep(int p1, int upper, int lower);
int DirectionRuleStep(int p1, int p2, int upper, int lower, const ChordBlock& block);
// The weight a direction candidate needs: 8 at the first note of a chord, 5 later.
int DirectionAcceptWeight(int position_in_chord);
int DirectionMethodPitch(int p1, int p2, const char* weights, int position_in_chord, int channel,
                         int parameter, const ChordBlock& block);
void MakeFluctuationSequence();
// The sequence value at a position 1..500 (0 at position 0).
int FluctuationSequenceValue(int position);
int NextFluctuationValue(int channel, int p1, int upper, int lower, int last_length_code);
int FluctuationPitch(int p1, int last_length_code, const char* weights, int length, int channel);

// ---- Melodic motion --------------------------------------------------------

int JumpSize(int code);
int DiatonicSteps(int semitones);
int StepToMelodyStrongTone(const char* weights, int pitch, int step);
int LeapControlPitch(int p1, const char* weights, int length, int position_in_chord,
                     const ChordBlock& block, int last_length_code, int p2, int chord_length,
                     int channel);
struct MelodyHistory {
  int p1 = 0;
  int p2 = 0;
  int p3 = 0;
};
int MelodyTablePitch(const MelodyHistory& history, const ChordBlock& block, int position_in_chord,
                     int* length, int chord_length, int channel);
int ResolveToTriadTone(const MelodyHistory& history, int r, const ChordBlock& block, int direction,
                       int channel);
int SnapToChordToneInRange(const ChordBlock& block, int r, int direction, int channel);
int FoldIntoPartRangeByOctaves(int pitch, int channel);

// ---- Generator -------------------------------------------------------------

// The chord block of a chord marker: its code and bass text, and the marker's
// own length (which may exceed what a stored entry holds).
ChordBlock ChordBlockOfMarker(const ComposeEvent& marker);

int GenerateMelodyPart(int section, int channel, const EventList& chords, EventList* out,
                       int section_count, int no_ending);
void ComposeMelodyPhrases(int channel);
// A pitch more than an octave from p1 moves an octave toward it (once).
int OctaveLimit(int pitch, int p1);
int RequiredWeight(int length, int last_length_code, int channel);
int AvoidRepeatedPitch(int n, int p1, int* need, int length, int bar_position);
int StepAwayFromPrevious(int n, int p1, int channel);
// True when the search stops; *h may have become p1.
bool LimitLeap(int* h, int p1, int channel);
int FitPitchToWeights(int n, const char* weights, int length, int last_length_code, int p1,
                      int bar_position, int channel);
int ApplyTension(int pitch, int bar_position, const ChordBlock& block, int p1, int length,
                 int channel);
int RestByDensity(int pitch, int channel);
int FlamencoAdjust(int n, const ChordBlock& block, int p1, int p2);
// Lengths of `count` parts of `total` in multiples of `unit`, the last part
// taking what the others leave; false (nothing written) when the total has
// fewer units than parts.
bool SplitLength(int total, int count, int unit, int* parts);
struct MelodyFigure {
  int count = 0;
  int lengths[3] = {};
  int pitches[3] = {};
};
bool SplitIntoFigure(int channel, const MelodyHistory& history, int pitch, int length,
                     MelodyFigure* figure);
int FindFirstBlockOfLength(const EventList& list, int length);
bool IsTriadToneOfEntry(int pitch, const uint8_t* entry);
void StepDownToStrongTone(int* pitch, const char* weights);

// ---- Phrases, endings and voicing -----------------------------------------

int CollectPhraseNotes(int part, std::array<EventList, kSectionCapacity>& lists, EventList* out);
void DeriveVoicingPhrases(int channel);
void BuildMelodyEnding(int channel, EventList* out, int last_pitch);
void BuildVoicingEnding(const EventList& melody_ending, EventList* out, int last_pitch,
                        int channel);
int VoicingPitch(int channel, int* pivot, int pitch, const char* weights);
void ObbligatoFromInput(EventList* out, const EventList& input);
void VoicingFromInput(EventList* out, const EventList& input);
void ClassicEnding(int channel, EventList* out, int v);
void ClassicTrillEnding(int channel, EventList* out, int v);
void StandardEnding(int channel, EventList* out, int v);
void SimpleEnding(int channel, EventList* out, int v);
int TonicPitchClass();
int UnsteadyPitch(int pitch);
