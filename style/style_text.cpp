#include "style/style_text.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "style/choice_lists.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "util/gne.h"
#include "util/program_errors.h"

namespace {

constexpr ProgramErrorCode kBadParameter = 0xFF010179u;
constexpr ProgramErrorCode kBadInstrument = 0xFF01017Au;
constexpr ProgramErrorCode kBadDrumKit = 0xFF01017Bu;
constexpr ProgramErrorCode kBadChordItem = 0xFF01017Cu;
constexpr ProgramErrorCode kBadRiffLength = 0xFF01017Du;
constexpr ProgramErrorCode kBadMelodyTableItem = 0xFF01017Eu;
constexpr ProgramErrorCode kBadMelodyTableLength = 0xFF01017Fu;
constexpr ProgramErrorCode kBadNoteTableItem = 0xFF010180u;
constexpr ProgramErrorCode kBadNoteTableLength = 0xFF010181u;
constexpr ProgramErrorCode kBadIntervalItem = 0xFF010182u;
constexpr ProgramErrorCode kBadIntervalLength = 0xFF010183u;
constexpr ProgramErrorCode kBadContinueItem = 0xFF010184u;
constexpr ProgramErrorCode kBadContinueLength = 0xFF010185u;
constexpr ProgramErrorCode kBadMixer = 0xFF010186u;
constexpr ProgramErrorCode kBadScaleTones = 0xFF01018Bu;
constexpr ProgramErrorCode kUnknownKey = 0xFF010196u;
constexpr ProgramErrorCode kBadStructureEntry = 0xFF010197u;
constexpr ProgramErrorCode kUnknownStructureKey = 0xFF0101A2u;
constexpr ProgramErrorCode kWriterBadInstrument = 0xFF0101A4u;

const char kCrLf[] = "\r\n";
const char kNoName[] = "エラー";
const char kPartOff[] = "---";

// Yes/no words: the first of a pair is 1, the second 0.
const char* const kYesNoWords[4][2] = {
    {"許可", "禁止"}, {"有り", "無し"}, {"する", "しない"}, {"続ける", "続けない"}};
enum YesNo { kAllow = 0, kWith = 1, kDo = 2, kGoOn = 3 };

const char* const kMixerLabels[9] = {"ボリューム-", "コーラス-", "リバーブ-",
                                     "ブライトネス-", "アタック-", "デケィ-",
                                     "リリース-", "レゾナンス-", "パンポット-"};

bool Lead(uint8_t c) { return GneIsLeadByte(c); }

// ---- numbers ----

std::string Item(int value) {
  // Items are exactly three characters and a "-".
  if (value > 999) value = 999;
  if (value < -99) value = -99;
  return FormatStyleNumber(value) + "-";
}

// The number of the first three characters of an item.
int ItemNumber(const std::string& text, size_t at) {
  return ParseStyleNumber(text.substr(at, 3));
}

// ---- choices ----

std::string ChoiceName(const ChoiceList& list, int32_t code) {
  const char* name = list.NameOf(code);
  return name != nullptr ? name : kNoName;
}

void ReadChoice(const ChoiceList& list, const std::string& value, int32_t* field,
                ProgramErrorCode code) {
  int32_t v = 0;
  if (list.CodeOf(value.c_str(), &v) && value.find('\0') == std::string::npos) {
    *field = v;
  } else {
    ShowErrorByCode(code);
  }
}

std::string YesNoWord(int pair, bool yes) { return kYesNoWords[pair][yes ? 0 : 1]; }

int ParseYesNo(const std::string& value) {
  for (const auto& pair : kYesNoWords) {
    if (value == pair[0]) return 1;
    if (value == pair[1]) return 0;
  }
  ShowErrorByCode(kBadParameter);
  return 0;
}

// ---- instruments ----

std::string FormatInstrumentName(int32_t code) {
  if (code == kInstrumentOff) return kPartOff;
  const char* name = InstrumentName(code);
  if (name == nullptr) {
    ShowErrorByCode(kWriterBadInstrument);
    return kPartOff;
  }
  return name;
}

int32_t ParseInstrumentName(const std::string& value) {
  if (value == kPartOff) return kInstrumentOff;
  for (int code = 0; code < kInstrumentNameCount; ++code)
    if (InstrumentNameTable[code] != nullptr && value == InstrumentNameTable[code]) return code;
  ShowErrorByCode(kBadInstrument);
  return kInstrumentOff;
}

std::string FormatDrumKitName(int32_t code) {
  if (code == kInstrumentOff) return kPartOff;
  if (code >= kDrumKitAcoustic && code <= kDrumKitTechno) return DrumKitNameTable[code];
  ShowErrorByCode(kWriterBadInstrument);
  return kPartOff;
}

int32_t ParseDrumKitName(const std::string& value) {
  if (value == kPartOff) return kInstrumentOff;
  for (int code = kDrumKitAcoustic; code <= kDrumKitTechno; ++code)
    if (value == DrumKitNameTable[code]) return code;
  ShowErrorByCode(kBadDrumKit);
  return kInstrumentOff;
}

// ---- chord list, riff, melody table ----

std::string FormatCustomChords(const StyleRecord& r) {
  std::string out;
  for (const ChordEntry& e : ReadChordList(r.custom_chords, sizeof r.custom_chords)) {
    // Four digits hold lengths up to 9999 ticks.
    out += FormatStyleNumber(e.length > 9999 ? 9999 : e.length, 4);
    for (char c : e.code) out += c == '\0' ? ' ' : c;
    out += "-";
  }
  return out;
}

void ParseCustomChords(const std::string& value, StyleRecord* r) {
  uint8_t list[kCustomChordsSize] = {};
  int entries = 0;
  for (size_t at = 0; at < value.size() && entries < kMaxCustomChordEntries; at += 9) {
    if (at + 8 >= value.size() || value[at + 8] != '-') {
      ShowErrorByCode(kBadChordItem);
      break;
    }
    const int length = ParseStyleNumber(value.substr(at, 4));
    if (length < 0 || length > 0xFFFF) {  // no such length: the list stays as it was
      ShowErrorByCode(kBadChordItem);
      return;
    }
    ChordEntry e;
    e.length = static_cast<uint16_t>(length);
    std::memcpy(e.code, value.data() + at + 4, 4);
    WriteChordEntry(list + entries * kChordEntrySize, e);
    ++entries;
  }
  std::memcpy(r->custom_chords, list, sizeof list);
}

// Items of four characters; answers the numbers read (at most `keep`), and
// reports `item_code` for an item without "-" (ending the list).
std::vector<int> ParseItems(const std::string& value, size_t keep, ProgramErrorCode item_code,
                            size_t* count) {
  std::vector<int> numbers;
  size_t n = 0;
  for (size_t at = 0; at < value.size(); at += 4) {
    if (at + 3 >= value.size() || value[at + 3] != '-') {
      ShowErrorByCode(item_code);
      break;
    }
    if (numbers.size() < keep) numbers.push_back(ItemNumber(value, at));
    ++n;
  }
  *count = n;
  return numbers;
}

std::string FormatRiff(const StyleRecord& r) {
  std::string out = kCrLf;
  for (uint8_t b : r.riff) {
    // Bytes as signed numbers (255 is -01); those below -99 do not fit three
    // characters and are written unsigned.
    const int s = static_cast<int8_t>(b);
    out += Item(s >= -99 ? s : b);
  }
  return out + kCrLf;
}

void ParseRiff(const std::string& value, StyleRecord* r) {
  size_t count = 0;
  const std::vector<int> numbers = ParseItems(value, sizeof r->riff, kBadChordItem, &count);
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (numbers[i] < -128 || numbers[i] > 255) {
      ShowErrorByCode(kBadChordItem);
      continue;
    }
    r->riff[i] = static_cast<uint8_t>(numbers[i]);
  }
  if (count != sizeof r->riff) ShowErrorByCode(kBadRiffLength);
}

std::string FormatList(const int32_t* values, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += Item(values[i]);
  return out;
}

void ParseMelodyTableList(const std::string& value, int32_t (&field)[8]) {
  size_t count = 0;
  const std::vector<int> numbers = ParseItems(value, 8, kBadMelodyTableItem, &count);
  for (size_t i = 0; i < numbers.size(); ++i) field[i] = numbers[i];
  if (count != 8) ShowErrorByCode(kBadMelodyTableLength);
}

// ---- grids ----

enum class GridKind { kNoteTable, kInterval, kContinue };

std::string FormatGrid(const CustomGrid& g, GridKind kind, int set) {
  std::string out = kCrLf + std::to_string(set);
  switch (kind) {
    case GridKind::kNoteTable:
      for (const auto& row : g.NoteTable) out += kCrLf + FormatList(row, kGridSteps);
      break;
    case GridKind::kInterval:
      out += kCrLf + FormatList(g.pn_interval, kGridRows);
      break;
    case GridKind::kContinue:
      out += kCrLf + FormatList(g.pn_continuem, kGridSteps);
      break;
  }
  return out + kCrLf;
}

void ParseGrid(const std::string& value, GridKind kind, int part, StyleRecord* r) {
  if (value.empty()) return;
  const int set = ParseStyleNumber(value.substr(0, 1));
  const bool store = value[0] >= '0' && value[0] <= '3';
  CustomGrid scratch;
  CustomGrid& g = store ? r->custom_grids[set].grid[part] : scratch;
  size_t at = 1;
  // One row of items: false when the text ran out.
  auto row = [&](int32_t* out, int items, ProgramErrorCode item_code) {
    for (int i = 0; i < items; ++i) {
      if (at + 3 >= value.size() || value[at + 3] != '-') {
        ShowErrorByCode(item_code);
        at = std::min(value.size(), at + 3);
        return at < value.size();
      }
      out[i] = ItemNumber(value, at);
      at += 4;
    }
    return true;
  };
  ProgramErrorCode length_code = kBadNoteTableLength;
  switch (kind) {
    case GridKind::kNoteTable:
      for (auto& cells : g.NoteTable)
        if (!row(cells, kGridSteps, kBadNoteTableItem)) break;
      break;
    case GridKind::kInterval:
      row(g.pn_interval, kGridRows, kBadIntervalItem);
      length_code = kBadIntervalLength;
      break;
    case GridKind::kContinue:
      row(g.pn_continuem, kGridSteps, kBadContinueItem);
      length_code = kBadContinueLength;
      break;
  }
  if (at < value.size()) ShowErrorByCode(length_code);
}

// ---- mixer ----

std::string FormatMixer(const MixerRecord& m) {
  const uint8_t bytes[9] = {m.volume, m.chorus, m.reverb, m.brightness, m.attack,
                            m.decay,  m.release, m.resonance, m.pan};
  std::string out;
  for (int i = 0; i < 9; ++i)
    out += std::string("<") + kMixerLabels[i] + ">" + FormatStyleNumber(bytes[i]);
  return out;
}

void ParseMixer(const std::string& value, MixerRecord* m) {
  uint8_t* bytes[9] = {&m->volume, &m->chorus, &m->reverb, &m->brightness, &m->attack,
                       &m->decay,  &m->release, &m->resonance, &m->pan};
  for (int i = 0; i < 9; ++i) {
    const std::string tag = std::string("<") + kMixerLabels[i] + ">";
    const size_t at = value.find(tag);
    if (at == std::string::npos) {
      ShowErrorByCode(kBadMixer);
      continue;
    }
    const int v = ParseStyleNumber(value.substr(at + tag.size(), 3));
    if (v < 0 || v > 255) {
      ShowErrorByCode(kBadMixer);
      continue;
    }
    *bytes[i] = static_cast<uint8_t>(v);
  }
}

// ---- the key table ----

enum class Kind {
  kNumber,      // int field, "%03d" or "%04d"
  kTitle,
  kScaleTones,
  kDatabase,    // a file name of the database folder
  kChoice,
  kMetre,
  kTempo,
  kYesNo,       // int field, written by its pair
  kInstrument,  // channel
  kDrumKit,
  kDensity,     // channel
  kBlock,       // name; writer channel, reader channel
  kChords,
  kRiff,
  kMelodyList,
  kPartNumber,  // use_x of a part
  kPartYesNo,   // continue_major or stroke of a part
  kGrid,
  kOctave,      // channel
  kMixer,       // channel
};

struct KeyDef {
  const char* key;
  Kind kind;
  int32_t StyleRecord::*field = nullptr;
  int width = 3;
  const ChoiceList* list = nullptr;
  ProgramErrorCode code = 0;
  int pair = 0;          // yes/no words
  bool nonzero = false;  // yes/no: written "yes" for any value but 0 (else only for 1)
  int channel = 0;       // or the grid part
  int read_channel = 0;  // blocks
  int32_t (StyleRecord::*list8)[8] = nullptr;
  int32_t (StyleRecord::*part_field)[kGridPartCount] = nullptr;
  GridKind grid = GridKind::kNoteTable;
};

KeyDef Number(const char* key, int32_t StyleRecord::*field, int width = 3) {
  KeyDef d{key, Kind::kNumber};
  d.field = field;
  d.width = width;
  return d;
}
KeyDef Choice(const char* key, int32_t StyleRecord::*field, const ChoiceList& list,
              ProgramErrorCode code) {
  KeyDef d{key, Kind::kChoice};
  d.field = field;
  d.list = &list;
  d.code = code;
  return d;
}
KeyDef Flag(const char* key, int32_t StyleRecord::*field, int pair, bool nonzero) {
  KeyDef d{key, Kind::kYesNo};
  d.field = field;
  d.pair = pair;
  d.nonzero = nonzero;
  return d;
}
KeyDef OfChannel(const char* key, Kind kind, int channel) {
  KeyDef d{key, kind};
  d.channel = channel;
  return d;
}
KeyDef Block(const char* name, int write_channel, int read_channel) {
  KeyDef d{name, Kind::kBlock};
  d.channel = write_channel;
  d.read_channel = read_channel;
  return d;
}
KeyDef MelodyList(const char* key, int32_t (StyleRecord::*field)[8]) {
  KeyDef d{key, Kind::kMelodyList};
  d.list8 = field;
  return d;
}
KeyDef OfPart(const char* key, Kind kind, int32_t (StyleRecord::*field)[kGridPartCount],
              int part, int pair = 0) {
  KeyDef d{key, kind};
  d.part_field = field;
  d.channel = part;
  d.pair = pair;
  d.nonzero = true;
  return d;
}
KeyDef Grid(const char* key, GridKind grid, int part) {
  KeyDef d{key, Kind::kGrid};
  d.grid = grid;
  d.channel = part;
  return d;
}

const std::vector<KeyDef>& KeyTable() {
  static const std::vector<KeyDef> table = [] {
    using R = StyleRecord;
    std::vector<KeyDef> t = {
        Number("OVX バージョン", &R::version, 4),
        KeyDef{"タイトル", Kind::kTitle},
        Choice("調", &R::key_mode, KeyChoiceList, 0xFF010187u),
        KeyDef{"拍子", Kind::kMetre},
        Choice("基本ビート", &R::basic_beat, BasicBeatChoiceList, 0xFF010189u),
        KeyDef{"テンポ", Kind::kTempo},
        Choice("音階", &R::scale, ScaleChoiceList, 0xFF01018Au),
        KeyDef{"音階音", Kind::kScaleTones},
        Flag("転調", &R::modulation, kAllow, false),
        Number("曲長", &R::song_bars, 4),
        OfChannel("楽器：メロディ", Kind::kInstrument, kMelodyChannel),
        OfChannel("楽器：オブリガート", Kind::kInstrument, kSubMelodyChannel),
        OfChannel("楽器：ハーモニー", Kind::kInstrument, kHarmonyChannel),
        OfChannel("楽器：サブハーモニー", Kind::kInstrument, kSubHarmonyChannel),
        OfChannel("楽器：ベース", Kind::kInstrument, kBassChannel),
        OfChannel("楽器：ドラム", Kind::kDrumKit, kDrumChannel),
        OfChannel("楽器：サブドラム", Kind::kInstrument, kSubDrumChannel),
        OfChannel("楽器：環境音", Kind::kInstrument, kAmbientChannel),
        OfChannel("メロディ:音の密度(休符率)", Kind::kDensity, kMelodyChannel),
        Block("メロディ", kMelodyChannel, kMelodyChannel),
        OfChannel("オブリガート:音の密度(休符率)", Kind::kDensity, kSubMelodyChannel),
        Block("サブメロディ", kSubMelodyChannel, kSubMelodyChannel),
        OfChannel("サブドラム:音の密度(休符率)", Kind::kDensity, kSubDrumChannel),
        // Written from the sub-drum part, read into the drum part.
        Block("ドラム", kSubDrumChannel, kDrumChannel),
        Flag("フレーズの模倣", &R::phrase_imitation, kWith, false),
        Flag("分数コード", &R::slash_chords, kWith, false),
        Flag("コードの内音にあわせる", &R::fit_chord_tones, kDo, false),
        Choice("コード生成法", &R::chord_method, ChordMethodChoiceList, 0xFF01018Cu),
        KeyDef{"知識ベース", Kind::kDatabase},
        KeyDef{"サビの知識ベース", Kind::kDatabase},
        Choice("コード進行", &R::progression, ProgressionChoiceList, 0xFF01018Du),
        Choice("コードの拍数", &R::chord_beats, ChordBeatsChoiceList, 0xFF01018Eu),
        Choice("ブロック内のコード数", &R::chords_per_block, ChordsPerBlockChoiceList,
               0xFF01018Fu),
        KeyDef{"カスタムコード", Kind::kChords},
        Number("固定ベース音", &R::fixed_bass),
        Choice("サブメロディ生成", &R::submelody_mode, SubMelodyChoiceList, 0xFF010190u),
        Choice("伴奏パターン", &R::accompaniment, AccompanimentChoiceList, 0xFF010191u),
        OfChannel("ハーモニー:音の密度", Kind::kDensity, kHarmonyChannel),
        KeyDef{"リフ", Kind::kRiff},
        MelodyList("メロディテーブル:音程", &R::melody_intervals),
        MelodyList("メロディテーブル:方向", &R::melody_directions),
        Flag("メロディテーブル:MTAdjustF", &R::MTAdjustF, kDo, true),
        Flag("メロディテーブル:MTAdjustL", &R::MTAdjustL, kDo, true),
        Flag("メロディテーブル:MTAdjustE", &R::MTAdjustE, kDo, true),
        Flag("メロディテーブル:MTNoCnt", &R::MTNoCnt, kDo, true),
    };
    struct PartName { const char* name; int part; };
    const PartName parts[] = {{"ハーモニー", kGridHarmony}, {"サブハーモニー", kGridSubHarmony},
                              {"ベース", kGridBass}, {"ドラム", kGridDrum}};
    static std::vector<std::string> keys;  // the composed key texts live here
    keys.reserve(64);
    auto key = [&](const std::string& k) {
      keys.push_back(k);
      return keys.back().c_str();
    };
    for (const PartName& p : parts)
      t.push_back(OfPart(key(std::string("カスタム伴奏:use_x:") + p.name), Kind::kPartNumber,
                         &R::use_x, p.part));
    const struct { const char* name; GridKind kind; } grids[] = {
        {"NoteTable", GridKind::kNoteTable},
        {"pn_interval", GridKind::kInterval},
        {"pn_continuem", GridKind::kContinue}};
    for (const auto& g : grids)
      for (const PartName& p : parts)
        t.push_back(Grid(key(std::string("カスタム伴奏:") + g.name + ":" + p.name), g.kind,
                         p.part));
    for (const PartName& p : parts)
      t.push_back(OfPart(key(std::string("カスタム伴奏:continue_major:") + p.name),
                         Kind::kPartYesNo, &R::continue_major, p.part, kGoOn));
    for (const PartName& p : parts)
      t.push_back(OfPart(key(std::string("カスタム伴奏:stroke:") + p.name), Kind::kPartYesNo,
                         &R::stroke, p.part, kDo));
    const std::vector<KeyDef> tail = {
        Choice("リズムパターン", &R::drum_pattern, DrumPatternChoiceList, 0xFF010192u),
        Choice("サブ伴奏パターン", &R::subharmony_accompaniment, AccompanimentChoiceList,
               0xFF010193u),
        OfChannel("サブハーモニー:音の密度", Kind::kDensity, kSubHarmonyChannel),
        Choice("ベースパターン", &R::bass_pattern, BassPatternChoiceList, 0xFF010194u),
        Choice("サブドラムパターン", &R::subdrum_pattern, SubDrumChoiceList, 0xFF010195u),
        OfChannel("オクターブ：メロディ", Kind::kOctave, kMelodyChannel),
        OfChannel("オクターブ：サブメロディ", Kind::kOctave, kSubMelodyChannel),
        OfChannel("オクターブ：ハーモニー", Kind::kOctave, kHarmonyChannel),
        OfChannel("オクターブ：サブハーモニー", Kind::kOctave, kSubHarmonyChannel),
        OfChannel("オクターブ：ベース", Kind::kOctave, kBassChannel),
        OfChannel("オクターブ：サブドラム", Kind::kOctave, kSubDrumChannel),
        OfChannel("ミキサー:メロディ", Kind::kMixer, kMelodyChannel),
        OfChannel("ミキサー:サブメロディ", Kind::kMixer, kSubMelodyChannel),
        OfChannel("ミキサー:ハーモニー", Kind::kMixer, kHarmonyChannel),
        OfChannel("ミキサー:サブハーモニー", Kind::kMixer, kSubHarmonyChannel),
        OfChannel("ミキサー:ベース", Kind::kMixer, kBassChannel),
        OfChannel("ミキサー:ドラム", Kind::kMixer, kDrumChannel),
        OfChannel("ミキサー:サブドラム", Kind::kMixer, kSubDrumChannel),
        OfChannel("ミキサー:環境音", Kind::kMixer, kAmbientChannel),
    };
    t.insert(t.end(), tail.begin(), tail.end());
    return t;
  }();
  return table;
}

// ---- the melody structure of a block ----

enum class PartKind { kChoice, kSyncopation, kPitch, kNumber, kAlgorithm, kRest };

struct PartKeyDef {
  const char* key;
  PartKind kind;
  int32_t PartRecord::*field;
  const ChoiceList* list;
  ProgramErrorCode code;
};

const PartKeyDef kPartKeys[] = {
    {"Melody Structure:不協和音", PartKind::kChoice, &PartRecord::dissonance,
     &DissonanceChoiceList, 0xFF010198u},
    {"Melody Structure:音符の長さ", PartKind::kChoice, &PartRecord::note_length,
     &NoteLengthChoiceList, 0xFF010199u},
    {"Melody Structure:シンコペーション", PartKind::kSyncopation, &PartRecord::syncopation,
     &SyncopationChoiceList, 0},
    {"Melody Structure:効果", PartKind::kChoice, &PartRecord::effect, &EffectChoiceList,
     0xFF01019Bu},
    {"Melody Structure:装飾音", PartKind::kChoice, &PartRecord::ornament, &OrnamentChoiceList,
     0xFF01019Cu},
    {"Melody Structure:ボイシング", PartKind::kChoice, &PartRecord::voicing, &VoicingChoiceList,
     0xFF01019Du},
    {"Melody Structure:音域上限", PartKind::kPitch, &PartRecord::range_high, nullptr,
     kUnknownStructureKey},
    {"Melody Structure:音域下限", PartKind::kPitch, &PartRecord::range_low, nullptr,
     kUnknownStructureKey},
    {"Melody Structure:アルゴリズム", PartKind::kAlgorithm, &PartRecord::algorithm,
     &AlgorithmChoiceList, 0xFF01019Eu},
    {"Melody Structure:テンション", PartKind::kChoice, &PartRecord::tension, &TensionChoiceList,
     0xFF01019Fu},
    {"Melody Structure:リズム繰り返し", PartKind::kChoice, &PartRecord::rhythm_repeat,
     &RepeatChoiceList, 0xFF0101A0u},
    {"Melody Structure:メロディ繰り返し", PartKind::kChoice, &PartRecord::melody_repeat,
     &RepeatChoiceList, 0xFF0101A1u},
    {"Melody Structure:アルゴリズムパラメータ", PartKind::kNumber,
     &PartRecord::algorithm_param, nullptr, 0},
    {"Melody Structure:休符", PartKind::kRest, nullptr, &RestLevelChoiceList, 0xFF01019Au},
};

// ---- reading ----

// Collects bytes from `at` up to (not including) the first byte of `stop`,
// double-byte characters kept whole; CR and LF dropped when asked. Answers
// the position of the stop text (or the end).
size_t Collect(const char* text, size_t length, size_t at, const char* stop, bool drop_breaks,
               std::string* out) {
  const size_t stop_len = std::strlen(stop);
  while (at < length) {
    const uint8_t c = static_cast<uint8_t>(text[at]);
    if (Lead(c)) {
      out->push_back(text[at]);
      if (at + 1 < length) out->push_back(text[at + 1]);
      at += 2;
      continue;
    }
    if (at + stop_len <= length && std::memcmp(text + at, stop, stop_len) == 0) return at;
    if (!(drop_breaks && (c == '\r' || c == '\n'))) out->push_back(text[at]);
    ++at;
  }
  return length;
}

void StoreValue(const KeyDef& d, const std::string& value, StyleRecord* r) {
  switch (d.kind) {
    case Kind::kNumber:
      r->*d.field = ParseStyleNumber(value);
      break;
    case Kind::kTitle:
      SetStyleText(r->name, value.c_str());
      SetStyleText(r->file_title, value.c_str());
      r->english_name[0] = '\0';
      break;
    case Kind::kScaleTones:
      if (value.size() > 16) {
        ShowErrorByCode(kBadScaleTones);
        break;
      }
      SetStyleText(r->scale_tones, value.c_str());
      break;
    case Kind::kDatabase: {
      char* field = std::strcmp(d.key, "知識ベース") == 0 ? r->pattern_db : r->chorus_db;
      // A plain file name of the database folder: no folder part, no cut name.
      bool folder = value.size() > 127 || value.find('\0') != std::string::npos;
      for (size_t i = 0; i < value.size() && !folder; ++i) {
        const uint8_t c = static_cast<uint8_t>(value[i]);
        if (Lead(c)) {
          ++i;
          continue;
        }
        folder = c == '/' || c == '\\' || c == ':';
      }
      if (folder || value == "." || value == "..") {
        ShowErrorByCode(kBadParameter);
        break;
      }
      SetStyleTextBytes(field, sizeof r->pattern_db, value.c_str());
      break;
    }
    case Kind::kChoice:
      ReadChoice(*d.list, value, &(r->*d.field), d.code);
      break;
    case Kind::kMetre:
      ReadChoice(MetreChoiceList, value, &r->metre, 0xFF010188u);
      break;
    case Kind::kTempo: {
      const int bpm = ParseStyleNumber(value);
      if (bpm < 1 || bpm > 60000) {
        ShowErrorByCode(kBadParameter);
        break;
      }
      r->tempo = GneBpmToTempo(bpm);
      break;
    }
    case Kind::kYesNo:
      r->*d.field = ParseYesNo(value);
      break;
    case Kind::kInstrument:
      r->instrument[d.channel] = ParseInstrumentName(value);
      break;
    case Kind::kDrumKit:
      r->instrument[d.channel] = ParseDrumKitName(value);
      break;
    case Kind::kDensity:
      r->density[d.channel] = ParseStyleNumber(value);
      break;
    case Kind::kBlock:
      break;
    case Kind::kChords:
      ParseCustomChords(value, r);
      break;
    case Kind::kRiff:
      ParseRiff(value, r);
      break;
    case Kind::kMelodyList:
      ParseMelodyTableList(value, r->*d.list8);
      break;
    case Kind::kPartNumber:
      (r->*d.part_field)[d.channel] = ParseStyleNumber(value);
      break;
    case Kind::kPartYesNo:
      (r->*d.part_field)[d.channel] = ParseYesNo(value);
      break;
    case Kind::kGrid:
      ParseGrid(value, d.grid, d.channel, r);
      break;
    case Kind::kOctave:
      r->octave[d.channel] = ParseStyleNumber(value);
      break;
    case Kind::kMixer:
      ParseMixer(value, &r->mixer[d.channel]);
      break;
  }
}

const KeyDef* FindKey(const std::string& key) {
  for (const KeyDef& d : KeyTable())
    if (d.kind != Kind::kBlock && key == d.key) return &d;
  return nullptr;
}

size_t ReadStyleKeyLine(const char* text, size_t length, size_t at, StyleRecord* r) {
  std::string key, value;
  at = Collect(text, length, at, "]", false, &key);
  if (at < length) at = Collect(text, length, at + 1, "[", true, &value);
  const KeyDef* d = FindKey(key);
  if (d == nullptr) {
    ShowErrorByCode(kUnknownKey);
    return at;
  }
  StoreValue(*d, value, r);
  return at;
}

size_t ReadStyleBlock(const char* text, size_t length, size_t at, StyleRecord* r) {
  std::string name, body;
  at = Collect(text, length, at, "]]", false, &name);
  if (at < length) at = Collect(text, length, at + 2, "[[", true, &body);
  // The closing tag "[[/" name "]]".
  bool closed = false;
  if (at + 3 <= length && std::memcmp(text + at, "[[/", 3) == 0) {
    std::string end_name;
    size_t end = Collect(text, length, at + 3, "]]", false, &end_name);
    closed = end < length && end_name == name;
    at = end < length ? end + 2 : length;
  }
  if (!closed) ShowErrorByCode(kBadParameter);
  int channel = -1;
  for (const KeyDef& d : KeyTable())
    if (d.kind == Kind::kBlock && name == d.key) channel = d.read_channel;
  if (channel >= 0) ParseMelodyStructure(body, &r->parts[channel], &r->density[channel]);
  return at;
}

void StorePartValue(const PartKeyDef& d, const std::string& value, PartRecord* part,
                    int32_t* density) {
  switch (d.kind) {
    case PartKind::kChoice:
    case PartKind::kAlgorithm:
      ReadChoice(*d.list, value, &(part->*d.field), d.code);
      break;
    case PartKind::kSyncopation:
      if (value == "ｼﾝｺﾍﾟ無し") part->syncopation = 0;
      else if (value == "ｼﾝｺﾍﾟ有り") part->syncopation = 1;
      break;
    case PartKind::kPitch: {
      const int v = ParseStyleNumber(value);
      if (v < 0 || v > 127) {
        ShowErrorByCode(d.code);
        break;
      }
      part->*d.field = v;
      break;
    }
    case PartKind::kNumber:
      part->*d.field = ParseStyleNumber(value);
      break;
    case PartKind::kRest: {
      int32_t level = 0;
      if (!d.list->CodeOf(value.c_str(), &level)) {
        ShowErrorByCode(d.code);
        break;
      }
      if (density != nullptr) *density = LevelToFactor(level);
      break;
    }
  }
}

// ---- writing ----

std::string ValueOf(const KeyDef& d, const StyleRecord& r) {
  switch (d.kind) {
    case Kind::kNumber: return FormatStyleNumber(r.*d.field, d.width);
    case Kind::kTitle: return StyleText(r.name);
    case Kind::kScaleTones: return StyleText(r.scale_tones);
    case Kind::kDatabase:
      return std::strcmp(d.key, "知識ベース") == 0 ? StyleText(r.pattern_db)
                                                   : StyleText(r.chorus_db);
    case Kind::kChoice: return ChoiceName(*d.list, r.*d.field);
    case Kind::kMetre: return ChoiceName(MetreChoiceList, r.metre);
    case Kind::kTempo:
      return FormatStyleNumber(r.tempo >= 1000 ? GneTempoToBpm(r.tempo) : 120);
    case Kind::kYesNo:
      return YesNoWord(d.pair, d.nonzero ? r.*d.field != 0 : r.*d.field == 1);
    case Kind::kInstrument: return FormatInstrumentName(r.instrument[d.channel]);
    case Kind::kDrumKit: return FormatDrumKitName(r.instrument[d.channel]);
    case Kind::kDensity: return FormatStyleNumber(r.density[d.channel]);
    case Kind::kBlock: return std::string();
    case Kind::kChords: return FormatCustomChords(r);
    case Kind::kRiff: return FormatRiff(r);
    case Kind::kMelodyList: return FormatList(r.*d.list8, 8);
    case Kind::kPartNumber: return FormatStyleNumber((r.*d.part_field)[d.channel]);
    case Kind::kPartYesNo: return YesNoWord(d.pair, (r.*d.part_field)[d.channel] != 0);
    case Kind::kGrid: return std::string();
    case Kind::kOctave: return FormatStyleNumber(r.octave[d.channel]);
    case Kind::kMixer: return FormatMixer(r.mixer[d.channel]);
  }
  return std::string();
}

}  // namespace

std::string FormatStyleNumber(int value, int width) {
  char buf[24];
  std::snprintf(buf, sizeof buf, width == 4 ? "%04d" : "%03d", value);
  return buf;
}

int ParseStyleNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) v = -v;
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  return static_cast<int>(v);
}

std::string WriteKeyLine(const std::string& key, const std::string& value) {
  return "[" + key + "]" + value + kCrLf;
}

std::string WriteNumberKeyLine(int number, const std::string& key) {
  return WriteKeyLine(key, FormatStyleNumber(number));
}

std::string WriteBlockStart(const std::string& name) { return "[[" + name + "]]" + kCrLf; }

std::string WriteBlockEnd(const std::string& name) { return "[[/" + name + "]]" + kCrLf; }

std::string WriteMelodyStructure(const PartRecord& part) {
  std::string out;
  for (const PartKeyDef& d : kPartKeys) {
    switch (d.kind) {
      case PartKind::kChoice:
        out += WriteKeyLine(d.key, ChoiceName(*d.list, part.*d.field));
        break;
      case PartKind::kAlgorithm:
        if (d.list->NameOf(part.*d.field) != nullptr)
          out += WriteKeyLine(d.key, d.list->NameOf(part.*d.field));
        break;
      case PartKind::kSyncopation:
        out += WriteKeyLine(d.key, part.syncopation != 0 ? "ｼﾝｺﾍﾟ有り" : "ｼﾝｺﾍﾟ無し");
        break;
      case PartKind::kPitch:
      case PartKind::kNumber:
        out += WriteNumberKeyLine(part.*d.field, d.key);
        break;
      case PartKind::kRest:
        break;  // read only: the density has its own key
    }
  }
  return out;
}

void ParseMelodyStructure(const std::string& body, PartRecord* part, int32_t* density) {
  size_t at = 0;
  while (at < body.size()) {
    if (body[at] != '[') ShowErrorByCode(kBadStructureEntry);
    std::string key, value;
    at = Collect(body.data(), body.size(), at + 1, "]", false, &key);
    if (at < body.size()) at = Collect(body.data(), body.size(), at + 1, "[", false, &value);
    const PartKeyDef* found = nullptr;
    for (const PartKeyDef& d : kPartKeys)
      if (key == d.key) found = &d;
    if (found == nullptr) {
      ShowErrorByCode(kUnknownStructureKey);
      continue;
    }
    StorePartValue(*found, value, part, density);
  }
}

std::string WriteStyleText(const StyleRecord& record) {
  std::string out;
  out.reserve(24 * 1024);
  for (const KeyDef& d : KeyTable()) {
    if (d.kind == Kind::kBlock) {
      out += WriteBlockStart(d.key);
      out += WriteMelodyStructure(record.parts[d.channel]);
      out += WriteBlockEnd(d.key);
    } else if (d.kind == Kind::kGrid) {
      for (int set = 0; set < kGridSetCount; ++set)
        out += WriteKeyLine(d.key, FormatGrid(record.custom_grids[set].grid[d.channel], d.grid,
                                              set));
    } else {
      out += WriteKeyLine(d.key, ValueOf(d, record));
    }
  }
  return out;
}

void ReadStyleText(const char* text, size_t length, StyleRecord* record) {
  if (text == nullptr || record == nullptr) return;
  size_t at = 0;
  while (at < length) {
    // The next "[" (a double-byte character is stepped over whole).
    while (at < length && text[at] != '[') at += Lead(static_cast<uint8_t>(text[at])) ? 2 : 1;
    if (at >= length) break;
    if (at + 1 < length && text[at + 1] == '[') {
      at = ReadStyleBlock(text, length, at + 2, record);
    } else {
      at = ReadStyleKeyLine(text, length, at + 1, record);
    }
  }
}

size_t FuzzStyleText(const uint8_t* data, size_t size) {
  StyleRecord record = StyleTableSlot(1, 3);
  ReadStyleText(reinterpret_cast<const char*>(data), size, &record);
  const std::string text = WriteStyleText(record);
  StyleRecord again = record;
  ReadStyleText(text.data(), text.size(), &again);
  return text.size();
}
