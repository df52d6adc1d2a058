// Scale templates and tone weights.
//
// A tone-weight text is 17 bytes: a four-character key ("xxxx" for a scale
// template, the chord code in a merged text, four zero bytes when the chord
// was not found), twelve digits '0'..'9' giving the weight of the pitch
// classes C .. B, and a terminating zero. 9 marks a chord tone in the scale,
// about 5 another scale tone, 0 a tone outside the scale.
//
// Everything here reads the current style (scale code, key mode, key index,
// custom scale-tone text, part ranges) and the chord-tone table of the
// pattern databases.
#pragma once

#include <cstdint>

struct ChordBlock;

constexpr int kToneWeightTextSize = 17;

// Weight levels: a weight reaches a level when it is that value or more.
constexpr int ProgressionToneLevel = 9;
constexpr int ChordToneLevel = 9;
constexpr int ToneLevel8 = 8;
constexpr int ToneLevel7 = 7;
constexpr int ToneLevel6 = 6;
constexpr int ScaleToneLevel = 5;
constexpr int ToneLevel4 = 4;
constexpr int ToneLevel3 = 3;
constexpr int ToneLevel1 = 1;

constexpr int kCustomScaleCode = 11;

// Weight of pitch class pc (0..11) in a text (digit minus '0').
inline int ToneDigit(const char* text, int pc) { return text[4 + pc] - '0'; }
// Pitch class of a MIDI pitch (also for negative pitches).
inline int PitchClassOf(int pitch) { return ((pitch % 12) + 12) % 12; }

// The template of a scale code for the current key mode, rotated to the
// current key; the style's custom text (unrotated) when its scale code is 11.
void GetScaleTemplate(int scale_code, char* out);
// The template row as the table gives it (C as tonic); false when the code has
// no row. mode 1 = major column, anything else the minor column.
bool FindScaleTemplateRow(int scale_code, int mode, char* out);
// The chord's record of the chord-tone table, or 17 zero bytes.
void FindChordToneWeights(const char* chord_code, char* out);
// Merges chord and scale weights into out (scale may be replaced by a
// transposed copy for the diatonic scales).
void MergeChordAndScaleWeights(char* out, const char* chord, char* scale);
// 1 when no pitch class has chord weight 9 and scale weight 4 or less.
int ScaleCoversChordTones(const char* scale, const char* chord);
// Tone weights of a chord code ("NoCd" = the scale alone) in the current
// scale and key. Results are cached per chord, scale, mode, key and table.
void BuildToneWeights(const char* chord_code, char* out);
// The same without the cache (the reference the cache is tested against).
void BuildToneWeightsUncached(const char* chord_code, char* out);

void RaiseToneWeightText(char* text);
void ShiftToneDigitsUp(char* destination, const char* source);
void TransposeToneDigits(char* destination, const char* source, int count);
void TransposeToKey(char* text, int key_index);

int IsScaleTone(int pitch, const char* chord_code);
int PickRandomStrongTone(const char* chord_code);  // 73..84
int PickStrongestTone(const char* text);           // pitch class 0..11
int StepToScaleTone(int pitch, int step);
int StepTowardRangeMiddle(int pitch, int upper, int lower);
int StepToWeightedTone(const ChordBlock& block, int pitch, int step, int level);
int SnapToWeightedToneInRange(const ChordBlock& block, int pitch, int step, int level,
                              int channel);
int NextStrongScaleTone(int pitch, int step);
int IsInPartRange(int pitch, int channel);
int CheckPitchInPartRange(int* pitch, int channel);
void FitIntoPartRange(int channel, int* pitch);
int IsBlueNote(int pitch);

// Drops the cached weights of the calling thread.
void ClearToneWeightCache();
