// The style record: every parameter of one music style.
//
// A StyleRecord is stored inside song files, so its stored form is a fixed
// 22732-byte little-endian layout.  The in-memory struct below is NOT that
// layout: it is converted field by field with SerialiseStyleRecord and
// DeserialiseStyleRecord.  Every reserved byte of the stored form has a member
// here too, so a record read from a file and written back is byte-identical.
//
// Texts are CP932 byte strings, NUL-terminated inside their fields, except that
// a name of exactly 20 bytes fills its field without a terminator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kStyleRecordSize = 22732;
constexpr size_t kMixerRecordSize = 16;
constexpr size_t kPartRecordSize = 60;
constexpr size_t kCustomGridSize = 1016;
constexpr size_t kCustomGridSetSize = 4064;
constexpr size_t kChordEntrySize = 6;
constexpr size_t kCustomChordsSize = 4096;
constexpr int kMaxCustomChordEntries = 682;

constexpr int kStyleChannelCount = 16;   // instrument, mixer, parts
constexpr int kStyleOctaveCount = 12;    // octave, density: channels 0..11

// Channels of the parts.
constexpr int kMelodyChannel = 1;
constexpr int kBassChannel = 2;
constexpr int kHarmonyChannel = 3;
constexpr int kSubMelodyChannel = 4;
constexpr int kSubDrumChannel = 5;
constexpr int kSubHarmonyChannel = 7;
constexpr int kAmbientChannel = 8;
constexpr int kDrumChannel = 9;
constexpr int kMelodyDoubleChannel = 10;
constexpr int kHarmonyDoubleChannel = 11;
constexpr int kPart15Channel = 15;

// Instrument codes.
constexpr int32_t kInstrumentOff = 256;        // the part is off (channel 9: no drums)
constexpr int32_t kFirstInstrumentGroup = 136; // 136..151 are instrument groups
constexpr int32_t kDrumKitAcoustic = 1;
constexpr int32_t kDrumKitElectric = 2;
constexpr int32_t kDrumKitEthnic = 3;
constexpr int32_t kDrumKitTechno = 4;

// Mixer record of one channel (16 bytes).
struct MixerRecord {
  uint8_t volume = 0;        // controller 7
  uint8_t chorus = 0;        // controller 93
  uint8_t reverb = 0;        // controller 91
  uint8_t brightness = 0;    // controller 74
  uint8_t attack = 0;        // controller 73
  uint8_t decay = 0;         // controller 75
  uint8_t release = 0;       // controller 72
  uint8_t resonance = 0;     // controller 71
  uint8_t pan = 0;           // controller 10, 64 = centre
  uint8_t double_delay = 0;  // 0 = no doubled part, else delay in ticks
  uint8_t reserved[6] = {};  // bytes 10..15
};

// Melody-part record of one channel (60 bytes, 15 int32).
struct PartRecord {
  int32_t dissonance = 0;     // DissonanceChoiceList
  int32_t note_length = 0;    // NoteLengthChoiceList
  int32_t syncopation = 0;    // 0 without, 1 with
  int32_t reserved_12 = 0;
  int32_t ornament = 0;       // OrnamentChoiceList
  int32_t effect = 0;         // EffectChoiceList
  int32_t voicing = 0;        // VoicingChoiceList
  int32_t range_high = 0;     // highest MIDI pitch
  int32_t range_low = 0;      // lowest MIDI pitch
  int32_t algorithm = 0;      // AlgorithmChoiceList
  int32_t tension = 0;        // TensionChoiceList
  int32_t rhythm_repeat = 0;  // RepeatChoiceList
  int32_t melody_repeat = 0;  // RepeatChoiceList
  int32_t algorithm_param = 0;
  int32_t reserved_56 = 0;
};

// Grid parts, in the order the grid sets hold them.
enum GridPart : int { kGridHarmony = 0, kGridSubHarmony = 1, kGridDrum = 2, kGridBass = 3 };
constexpr int kGridRows = 14;
constexpr int kGridSteps = 16;
constexpr int kGridSetCount = 4;
constexpr int kGridPartCount = 4;

// One part's custom accompaniment grid (1016 bytes).
struct CustomGrid {
  int32_t NoteTable[kGridRows][kGridSteps] = {};  // 1 = the row's voice sounds at the step
  int32_t pn_interval[kGridRows] = {};            // degree per row; drum: GM note - 35
  int32_t pn_continuem[kGridSteps] = {};          // 1 = the step repeats the previous one
};

// Four grids in the part order harmony, sub-harmony, drum, bass (4064 bytes).
struct CustomGridSet {
  CustomGrid grid[kGridPartCount];
};

// One chord of a chord list: a big-endian 16-bit length in ticks and a
// four-character chord code.  A zero length ends a list.
struct ChordEntry {
  uint16_t length = 0;
  char code[4] = {0, 0, 0, 0};
};

// Reads/writes the 6 stored bytes of a chord entry.
ChordEntry ReadChordEntry(const uint8_t* bytes);
void WriteChordEntry(uint8_t* bytes, const ChordEntry& entry);

struct StyleRecord {
  int32_t instrument[kStyleChannelCount] = {};   //     0
  MixerRecord mixer[kStyleChannelCount];         //    64
  int32_t octave[kStyleOctaveCount] = {};        //   320
  int32_t version = 0;                           //   368
  int32_t reserved_372 = 0;                      //   372
  char name[20] = {};                            //   376
  int32_t song_bars = 0;                         //   396
  char english_name[20] = {};                    //   400
  char file_title[20] = {};                      //   420
  char description[256] = {};                    //   440
  int32_t metre = 0;                             //   696  0 = 4/4, 1 = 3/4, 2 = 7/8
  int32_t tempo = 0;                             //   700  microseconds per quarter
  int32_t key_mode = 0;                          //   704  1 major, 2 minor
  int32_t scale = 0;                             //   708
  int32_t key_offset = 0;                        //   712
  int16_t triple_metre_kind = 0;                 //   716  1 = 3/4, 2 = 6/8
  uint8_t limit_low = 0;                         //   718
  uint8_t limit_high = 0;                        //   719
  int32_t reserved_720 = 0;                      //   720
  int32_t basic_beat = 0;                        //   724
  int32_t unison_velocity = 0;                   //   728  0 means 38
  int32_t part15_octave = 0;                     //   732
  int32_t reserved_736[4] = {};                  //   736
  int32_t reserved_752 = 0;                      //   752
  int32_t fit_chord_tones = 0;                   //   756
  int32_t chord_method = 0;                      //   760
  int32_t modulation = 0;                        //   764
  int32_t melody_table_mode = 0;                 //   768
  int32_t fixed_bass = 0;                        //   772
  uint8_t riff[96] = {};                         //   776
  int32_t slash_chords = 0;                      //   872
  char scale_tones[17] = {};                     //   876
  uint8_t reserved_893[3] = {};                  //   893
  int32_t MTAdjustF = 0;                         //   896
  int32_t MTAdjustL = 0;                         //   900
  int32_t MTAdjustE = 0;                         //   904
  int32_t MTNoCnt = 0;                           //   908
  int32_t melody_intervals[8] = {};              //   912
  int32_t melody_directions[8] = {};             //   944
  char pattern_db[128] = {};                     //   976
  char chorus_db[128] = {};                      //  1104
  CustomGridSet custom_grids[kGridSetCount];     //  1232
  int32_t use_x[kGridPartCount] = {};            // 17488
  int32_t continue_major[kGridPartCount] = {};   // 17504
  int32_t stroke[kGridPartCount] = {};           // 17520
  int32_t chords_per_block = 0;                  // 17536
  int32_t chord_beats = 0;                       // 17540
  int32_t reserved_17544[11] = {};               // 17544
  int32_t phrase_imitation = 0;                  // 17588
  int32_t submelody_mode = 0;                    // 17592
  int32_t accompaniment = 0;                     // 17596
  int32_t progression = 0;                       // 17600
  int32_t drum_pattern = 0;                      // 17604
  int32_t subharmony_accompaniment = 0;          // 17608
  int32_t bass_pattern = 0;                      // 17612
  int32_t subdrum_pattern = 0;                   // 17616
  int32_t random_category = 0;                   // 17620
  int32_t reserved_17624 = 0;                    // 17624
  uint8_t custom_chords[kCustomChordsSize] = {}; // 17628  ChordEntry list
  PartRecord parts[kStyleChannelCount];          // 21724
  int32_t density[kStyleOctaveCount] = {};       // 22684
};

// Stored offsets of the main fields (the serialiser's map).
namespace style_offset {
constexpr size_t kInstrument = 0;
constexpr size_t kMixer = 64;
constexpr size_t kOctave = 320;
constexpr size_t kName = 376;
constexpr size_t kDescription = 440;
constexpr size_t kRiff = 776;
constexpr size_t kCustomGrids = 1232;
constexpr size_t kUseX = 17488;
constexpr size_t kCustomChords = 17628;
constexpr size_t kParts = 21724;
constexpr size_t kDensity = 22684;
}  // namespace style_offset

// Writes the 22732 stored bytes of `record` to `out`.
void SerialiseStyleRecord(const StyleRecord& record, uint8_t* out);
std::vector<uint8_t> SerialiseStyleRecord(const StyleRecord& record);

// Reads a record from the 22732 stored bytes at `in`, of which `size` are there.
// Every byte is kept as stored; the values are not checked (use the Midi* helpers
// where they become MIDI data). False (record unchanged) when `size` is below
// kStyleRecordSize.
bool DeserialiseStyleRecord(const uint8_t* in, size_t size, StyleRecord* record);

// Fixed-size text fields.  StyleText reads up to the field size (a full field
// without terminator is read whole).  SetStyleText copies at most the field
// size, never half of a double-byte character, and zero-fills the rest.
template <size_t N>
std::string StyleText(const char (&field)[N]) {
  size_t n = 0;
  while (n < N && field[n] != '\0') ++n;
  return std::string(field, n);
}
void SetStyleTextBytes(char* field, size_t size, const char* text);
template <size_t N>
void SetStyleText(char (&field)[N], const char* text) {
  SetStyleTextBytes(field, N, text);
}

// Chord list of `custom_chords` (or any stored list) up to its end mark or
// `capacity` entries, whichever comes first.
std::vector<ChordEntry> ReadChordList(const uint8_t* list, size_t list_size);

// A style value that becomes a MIDI data byte: clamped to 0..127.
inline uint8_t MidiDataByte(int64_t value) {
  return static_cast<uint8_t>(value < 0 ? 0 : (value > 127 ? 127 : value));
}

// Bar length in ticks (96 per quarter) of a metre code: 0 -> 384, 1 -> 288,
// anything else 336.
int StyleBarTicks(int32_t metre);
