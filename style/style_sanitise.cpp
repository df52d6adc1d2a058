#include "style/style_sanitise.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "util/program_errors.h"

namespace {

// Style-parameter error codes.
constexpr uint32_t kWrongParameter = 0xFF010179;   // 誤ったパラメータ
constexpr uint32_t kWrongChord = 0xFF01017C;       // コード
constexpr uint32_t kWrongNoteTable = 0xFF010180;   // ノートテーブル
constexpr uint32_t kWrongInterval = 0xFF010182;    // インターバル
constexpr uint32_t kWrongContinue = 0xFF010184;    // 次に継続する音符
constexpr uint32_t kWrongMixer = 0xFF010186;       // ミキサー
constexpr uint32_t kWrongKey = 0xFF010187;         // 調
constexpr uint32_t kWrongMetre = 0xFF010188;       // 拍子
constexpr uint32_t kWrongBasicBeat = 0xFF010189;   // 基本ビート
constexpr uint32_t kWrongScale = 0xFF01018A;       // 音階
constexpr uint32_t kWrongScaleTones = 0xFF01018B;  // 音階音
constexpr uint32_t kWrongMethod = 0xFF01018C;      // 生成方法
constexpr uint32_t kWrongSubMelody = 0xFF010190;   // オブリガート
constexpr uint32_t kWrongAccomp = 0xFF010191;      // 伴奏
constexpr uint32_t kWrongRhythm = 0xFF010192;      // リズム
constexpr uint32_t kWrongSubAccomp = 0xFF010193;   // 補助伴奏
constexpr uint32_t kWrongBass = 0xFF010194;        // ベース
constexpr uint32_t kWrongSubDrum = 0xFF010195;     // サブドラム
constexpr uint32_t kWrongDissonance = 0xFF010198;  // 不協和音
constexpr uint32_t kWrongNoteLength = 0xFF010199;  // 音符の長さ
constexpr uint32_t kWrongRest = 0xFF01019A;        // 休符
constexpr uint32_t kWrongEffect = 0xFF01019B;      // 効果
constexpr uint32_t kWrongOrnament = 0xFF01019C;    // 装飾
constexpr uint32_t kWrongVoicing = 0xFF01019D;     // ボイシング
constexpr uint32_t kWrongAlgorithm = 0xFF01019E;   // アルゴリズム
constexpr uint32_t kWrongTension = 0xFF01019F;     // テンション
constexpr uint32_t kWrongRhythmRepeat = 0xFF0101A0;
constexpr uint32_t kWrongMelodyRepeat = 0xFF0101A1;
constexpr uint32_t kWrongMelodyParam = 0xFF0101A2;
constexpr uint32_t kWrongInstrument = 0xFF0101A4;  // 楽器

// Octave shifts the engine applies as 12 x n semitones.
constexpr int kOctaveShiftLimit = 10;
// Deepest grid degree: the eleventh octave above the chord holds no MIDI note.
constexpr int kHighestDegree = 7 * 11 + 6;
// Drum rows hold a General MIDI drum note minus 35 (notes 0 .. 127).
constexpr int kLowestDrumRow = -35, kHighestDrumRow = 127 - 35;

class Sanitiser {
 public:
  uint32_t first = 0;

  // A number outside low..high takes the nearest bound.
  template <typename T>
  void Range(T& v, long long low, long long high, uint32_t code) {
    if (v >= low && v <= high) return;
    v = static_cast<T>(v < low ? low : high);
    Note(code);
  }
  // A code outside its list takes the fallback.
  template <typename T>
  void OneOf(T& v, std::initializer_list<int> codes, T fallback, uint32_t code) {
    for (int c : codes)
      if (v == c) return;
    v = fallback;
    Note(code);
  }
  void Note(uint32_t code) {
    if (first == 0) first = code;
  }
};

void FixInstrumentsAndMixer(Sanitiser& s, StyleRecord& r) {
  for (int32_t& v : r.instrument) {
    if ((v >= 0 && v <= kFirstInstrumentGroup + 15) || v == kInstrumentOff) continue;
    v = kInstrumentOff;
    s.Note(kWrongInstrument);
  }
  for (MixerRecord& m : r.mixer) {
    for (uint8_t* b : {&m.volume, &m.chorus, &m.reverb, &m.brightness, &m.attack, &m.decay,
                       &m.release, &m.resonance, &m.pan}) {
      s.Range(*b, 0, 127, kWrongMixer);
    }
  }
  for (int c = 0; c < kStyleOctaveCount; ++c) {
    int32_t& v = r.octave[c];
    if (c == kBassChannel && (v == 99 || v == 101)) continue;
    s.Range(v, -kOctaveShiftLimit, kOctaveShiftLimit, kWrongParameter);
  }
}

void FixSongSettings(Sanitiser& s, StyleRecord& r) {
  s.Range(r.song_bars, 0, 1024, kWrongParameter);
  s.Range(r.metre, 0, 2, kWrongMetre);
  s.Range(r.tempo, 0, 0xFFFFFF, kWrongParameter);  // a tempo meta event holds 24 bits
  s.Range(r.key_mode, 0, 2, kWrongKey);  // 1 major, else minor
  s.Range(r.scale, 0, 25, kWrongScale);
  s.Range(r.key_offset, 0, 11, kWrongKey);
  s.Range(r.triple_metre_kind, 0, 2, kWrongMetre);
  s.Range(r.basic_beat, 0, 3, kWrongBasicBeat);
  s.Range(r.unison_velocity, 0, 127, kWrongParameter);
  s.Range(r.part15_octave, -kOctaveShiftLimit, kOctaveShiftLimit, kWrongParameter);
  s.Range(r.fit_chord_tones, 0, 1, kWrongParameter);
  s.OneOf(r.chord_method, {0, 1, 8}, 0, kWrongMethod);
  s.Range(r.modulation, 0, 1, kWrongParameter);
  s.Range(r.melody_table_mode, 0, 2, kWrongParameter);
  s.Range(r.slash_chords, 0, 1, kWrongParameter);
  for (int32_t* flag : {&r.MTAdjustF, &r.MTAdjustL, &r.MTAdjustE, &r.MTNoCnt})
    s.Range(*flag, 0, 1, kWrongParameter);
  s.OneOf(r.chords_per_block, {0, 1}, 0, kWrongParameter);
  s.OneOf(r.chord_beats, {0, 4}, 0, kWrongParameter);
  s.Range(r.submelody_mode, 0, 8, kWrongSubMelody);
  s.Range(r.accompaniment, 0, 62, kWrongAccomp);
  s.Range(r.progression, 0, 10, kWrongParameter);
  s.Range(r.drum_pattern, 0, 40, kWrongRhythm);
  s.Range(r.subharmony_accompaniment, 0, 62, kWrongSubAccomp);
  s.Range(r.bass_pattern, 0, 23, kWrongBass);
  s.Range(r.subdrum_pattern, 0, 1, kWrongSubDrum);
  s.Range(r.random_category, 0, 9, kWrongParameter);
  for (int32_t& d : r.density) s.Range(d, 0, 1000, kWrongRest);
}

// Twelve weight digits after the four key characters, then the terminator (an empty text is a
// style without a custom scale).
void FixScaleTones(Sanitiser& s, StyleRecord& r) {
  bool empty = true;
  for (char c : r.scale_tones) empty = empty && c == '\0';
  if (empty) return;
  for (int i = 4; i < 16; ++i) {
    if (r.scale_tones[i] >= '0' && r.scale_tones[i] <= '9') continue;
    r.scale_tones[i] = '0';
    s.Note(kWrongScaleTones);
  }
  if (r.scale_tones[16] != '\0') {
    r.scale_tones[16] = '\0';
    s.Note(kWrongScaleTones);
  }
}

// A database is a file of the program folder: a plain name, ended inside its field (an empty
// name, a record that names none, stays).
void FixDatabaseName(Sanitiser& s, char* name, size_t size, const char* fallback) {
  const size_t len = strnlen(name, size);
  if (len == 0) return;
  bool plain = len < size && name[0] != '.';
  for (size_t i = 0; i < len && plain; ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    plain = c > ' ' && c < 0x7F && c != '/' && c != '\\' && c != ':';
  }
  if (plain) return;
  std::memset(name, 0, size);
  std::strcpy(name, fallback);
  s.Note(kWrongParameter);
}

void FixGrids(Sanitiser& s, StyleRecord& r) {
  for (CustomGridSet& set : r.custom_grids) {
    for (int part = 0; part < kGridPartCount; ++part) {
      CustomGrid& g = set.grid[part];
      for (auto& row : g.NoteTable)
        for (int32_t& cell : row) s.Range(cell, 0, 1, kWrongNoteTable);
      for (int32_t& v : g.pn_interval) {
        if (part == kGridDrum) {
          s.Range(v, kLowestDrumRow, kHighestDrumRow, kWrongInterval);
        } else {
          s.Range(v, -1, kHighestDegree, kWrongInterval);
        }
      }
      for (int32_t& c : g.pn_continuem) s.Range(c, 0, 1, kWrongContinue);
    }
  }
  for (int32_t& v : r.continue_major) s.Range(v, 0, 1, kWrongParameter);
  for (int32_t& v : r.stroke) s.Range(v, 0, 1, kWrongParameter);
}

void FixChordList(Sanitiser& s, StyleRecord& r) {
  // The last two bytes are the end mark of a full list.
  uint8_t* end = r.custom_chords + kMaxCustomChordEntries * kChordEntrySize;
  if (end[0] != 0 || end[1] != 0) {
    end[0] = end[1] = 0;
    s.Note(kWrongChord);
  }
}

void FixParts(Sanitiser& s, StyleRecord& r) {
  for (PartRecord& p : r.parts) {
    s.Range(p.dissonance, 0, 10, kWrongDissonance);
    s.Range(p.note_length, 0, 10, kWrongNoteLength);
    s.Range(p.syncopation, 0, 1, kWrongParameter);
    s.Range(p.ornament, 0, 20, kWrongOrnament);
    s.Range(p.effect, 0, 22, kWrongEffect);
    s.Range(p.voicing, 0, 2, kWrongVoicing);
    s.Range(p.range_high, 0, 127, kWrongMelodyParam);
    s.Range(p.range_low, 0, 127, kWrongMelodyParam);
    if (p.range_low > p.range_high) {
      std::swap(p.range_low, p.range_high);
      s.Note(kWrongMelodyParam);
    }
    s.Range(p.algorithm, 0, 7, kWrongAlgorithm);
    s.Range(p.tension, 0, 2, kWrongTension);
    s.Range(p.rhythm_repeat, 0, 2, kWrongRhythmRepeat);
    s.Range(p.melody_repeat, 0, 2, kWrongMelodyRepeat);
  }
}

}  // namespace

uint32_t SanitiseStyleRecord(StyleRecord& r) {
  Sanitiser s;
  FixInstrumentsAndMixer(s, r);
  FixSongSettings(s, r);
  FixScaleTones(s, r);
  FixDatabaseName(s, r.pattern_db, sizeof r.pattern_db, "PATTERN.DB");
  FixDatabaseName(s, r.chorus_db, sizeof r.chorus_db, "RESOLUT.DB");
  FixGrids(s, r);
  FixChordList(s, r);
  FixParts(s, r);
  return s.first;
}

bool SanitiseLoadedStyle(StyleRecord& r) {
  const uint32_t code = SanitiseStyleRecord(r);
  if (code != 0) ShowErrorByCode(code);
  return code == 0;
}
