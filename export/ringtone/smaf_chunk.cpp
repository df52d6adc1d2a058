// SMAF container: chunks, the CRC, the contents info, optional data, seek-and-phrase info,
// setup data, the score tracks and file chunk of MA-1/MA-2 data.
#include <algorithm>
#include <cstring>

#include "export/ringtone/smaf.h"
#include "util/byte_cursor.h"
#include "util/gne_text.h"
#include "util/module_error.h"

namespace {

ModuleErrorReporter& ChunkReporter() {
  static ModuleErrorReporter reporter(
      "SMCD", "Smafのチャンクデータでエラーが発生しました。",
      {{kSmcdChunkSize, "チャンクサイズが不正です。"},
       {kSmcdNoContentsInfo, "コンテンツインフォチャンクがありません。"},
       {kSmcdNoScoreTrack, "スコアトラックチャンクがありません。"},
       {kSmcdNoSeekPhrase, "シーク＆フレーズインフォチャンクがありません。"},
       {kSmcdNoSetup, "セットアップデータチャンクがありません。"},
       {kSmcdNoSequence, "シーケンスデータチャンクがありません。"},
       {kSmcdNoStart, "スタートポイントがありません。"},
       {kSmcdNoStop, "ストップポイントがありません。"},
       {kSmcdNoTimbre, "音色が設定されていません。"},
       {kSmcdSixteenTimbres,
        "SMAFで16種類以上の音色を割り当てようとしました。念のために実機で鳴りを確認してください。"},
       {kSmcdAverageRate, "平均転送レートがオーバーしています。"},
       {kSmcdPeakRate, "最大転送レートがオーバーしています。"},
       {kSmcdTooManyTimbres, "使用されている音色が多すぎます。"},
       {kSmcdBadTimebase, "タイムベースの値に誤りがあります。"},
       {kSmcdBadEvent, "イベントに誤りがあります。"},
       {kSmcdBadProgram, "プログラムチェンジの値に誤りがあります。"},
       {kSmcdBadSystemEvent, "システムイベントに誤りがあります。"},
       {kSmcdBadControl, "コントロールチェンジに誤りがあります。"},
       {kSmcdBadBend, "ピッチベンドに誤りがあります。"},
       {kSmcdBadContents, "コンテンツ情報に誤りがあります。"},
       {kSmcdBadDevice, "セットアップの機種情報に誤りがあります。"},
       {kSmcdBadSetup, "セットアップデータに誤りがあります。"},
       {kSmcdDrumSetup, "セットアップデータに誤りがあります。"},
       {kSmcdBadChannel, "チャネル数に誤りがあります。"},
       {kSmcdBadFormat, "ファイル形式に誤りがあります。"}});
  return reporter;
}

ModuleErrorReporter& DataReporter() {
  static ModuleErrorReporter reporter(
      "SMDT", "Smafデータでエラーが発生しました。",
      {{kSmdtNotSmaf, "SMAFファイルではありません。"},
       {kSmdtNoTempo, "SMAFファイルにテンポが設定されていませんでした。"},
       {kSmdtTrackCount, "トラック数が異常です。"}});
  return reporter;
}

ModuleErrorReporter& SequenceReporter() {
  static ModuleErrorReporter reporter(
      "SSQD", "Smafの演奏データでエラーが発生しました。",
      {{kSsqdBadExclusive, "システムエクスクルーシブが不正です。"},
       {kSsqdUndefined, "未定義のイベントです。"},
       {kSsqdDataSize, "データサイズのエラーです。"},
       {kSsqdShift, "シフトのエラーです。"},
       {kSsqdDrum, "ドラムのエラーです。"},
       {kSsqdTrackEnd, "トラック末尾のエラーです。"},
       {kSsqdCommand, "コマンドのエラーです。"},
       {kSsqdNote, "音符のエラーです。"},
       {kSsqdOctave, "オクターブのエラーです。"},
       {kSsqdGate, "演奏情報のエラーです。"},
       {kSsqdStatus, "演奏情報のエラーです。"},
       {kSsqdVoiceKind, "チャネルタイプのエラーです。"}});
  return reporter;
}

constexpr uint8_t kHeaderExclusive[8] = {0xFF, 0xF0, 0x05, 0x43, 0x02, 0x80, 0x11, 0xF7};
constexpr uint8_t kMa3Setup3[8] = {0xF0, 0x06, 0x43, 0x79, 0x06, 0x7F, 0x7F, 0xF7};
constexpr uint8_t kMa3Setup5[17] = {0xF0, 0x06, 0x03, 0x09, 0x06, 0x0F, 0x0F, 0xF7, 0xF0,
                                    0x07, 0x03, 0x09, 0x06, 0x0F, 0x07, 0x00, 0xF7};

void Put(std::vector<uint8_t>& out, const void* bytes, size_t n) {
  const uint8_t* p = static_cast<const uint8_t*>(bytes);
  out.insert(out.end(), p, p + n);
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                        static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
  Put(out, b, 4);
}

}  // namespace

bool SmafAppendChunk(std::vector<uint8_t>& out, const char* id3, uint8_t fourth,
                     const std::vector<uint8_t>& body) {
  if (body.size() > static_cast<size_t>(kSmafChunkLimit)) {
    SmafChunkError(kSmcdChunkSize);
    return false;
  }
  Put(out, id3, 3);
  out.push_back(fourth);
  PutU32(out, static_cast<uint32_t>(body.size()));
  Put(out, body.data(), body.size());
  return true;
}

bool SmafWriteFile(MusicData& target, const std::vector<uint8_t>& contents) {
  target.used_size = 0;
  if (contents.size() + 2 > static_cast<size_t>(kSmafChunkLimit) ||
      contents.size() + 10 > static_cast<size_t>(target.capacity)) {
    SmafChunkError(kSmcdChunkSize);
    return false;
  }
  ByteWriter out(target.buffer, static_cast<size_t>(target.capacity));
  out.Bytes("MMMD", 4);
  out.U32Be(static_cast<uint32_t>(contents.size() + 2));
  out.Bytes(contents.data(), contents.size());
  out.U16Be(SmafCrc(static_cast<int32_t>(out.pos()), target.buffer));
  target.used_size = static_cast<int32_t>(out.pos());
  return true;
}

ByteReader SmafReadFileHead(const uint8_t* bytes, int32_t count, SmafChunk& file, uint8_t crc[2],
                            std::unique_ptr<SmafContentsInfo>& contents) {
  contents = std::make_unique<SmafContentsInfo>();
  ByteReader whole(bytes, count > 0 ? static_cast<size_t>(count) : 0);
  if (!file.Read(whole)) return ByteReader(static_cast<const uint8_t*>(nullptr), 0);
  size_t body = file.data.size();
  if (body >= 2) {
    crc[0] = file.data[body - 2];
    crc[1] = file.data[body - 1];
    body -= 2;
  }
  ByteReader in(file.data.data(), body);
  if (!contents->Read(in) || !contents->IdIs("CNTI")) {
    SmafChunkError(kSmcdNoContentsInfo);
    contents = std::make_unique<SmafContentsInfo>();
    return ByteReader(static_cast<const uint8_t*>(nullptr), 0);
  }
  contents->Parse();
  return in;
}

void SmafChunkError(uint32_t code) {
  if (RingtoneReports().Once(code)) ChunkReporter().ErrorMsg(code);
}
void SmafDataError(uint32_t code) {
  if (RingtoneReports().Once(code)) DataReporter().ErrorMsg(code);
}
void SmafSequenceError(uint32_t code) {
  if (RingtoneReports().Once(code)) SequenceReporter().ErrorMsg(code);
}

// ---- CRC ----

std::array<uint16_t, 256> SmafCrcTable() {
  std::array<uint16_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t v = i << 8;
    for (int k = 0; k < 8; ++k) v = (v & 0x8000u) ? ((v << 1) ^ 0x1021u) : (v << 1);
    table[i] = static_cast<uint16_t>(v);
  }
  return table;
}

uint16_t SmafCrcPlain(int32_t count, const uint8_t* bytes) {
  static const std::array<uint16_t, 256> table = SmafCrcTable();
  uint32_t crc = 0xFFFF;
  for (int32_t i = 0; bytes && i < count; ++i)
    crc = ((crc << 8) ^ table[((crc >> 8) ^ bytes[i]) & 0xFF]) & 0xFFFFu;
  return static_cast<uint16_t>(crc);
}

uint16_t SmafCrc(int32_t count, const uint8_t* bytes) {
  return static_cast<uint16_t>(~SmafCrcPlain(count, bytes));
}

int32_t SmafScoreTrack::TimebaseMs(int32_t code) {
  switch (code) {
    case 0: return 1;
    case 1: return 2;
    case 2: return 4;
    case 3: return 5;
    case 0x10: return 10;
    case 0x11: return 20;
    case 0x12: return 40;
    case 0x13: return 50;
    default: return code;
  }
}

// ---- chunk ----

SmafChunk::SmafChunk(const char* chunk_id) {
  std::memcpy(id, chunk_id, std::min<size_t>(4, std::strlen(chunk_id) + 1));
}

bool SmafChunk::Read(ByteReader& parent) {
  data.clear();
  if (parent.remaining() < 8) {
    if (!parent.AtEnd()) SmafChunkError(kSmcdChunkSize);
    parent.Seek(parent.size());
    return false;
  }
  parent.Bytes(id, 4);
  const uint32_t size = parent.U32Be();
  if (size > static_cast<uint32_t>(kSmafChunkLimit) || size > parent.remaining()) {
    SmafChunkError(kSmcdChunkSize);
    parent.Seek(parent.size());
    return false;
  }
  data.assign(parent.Here(), parent.Here() + size);
  parent.Skip(size);
  return true;
}

bool SmafChunk::AppendTo(std::vector<uint8_t>& out) const {
  return SmafAppendChunk(out, reinterpret_cast<const char*>(id), id[3], data);
}

bool SmafChunk::IdIs(const char* four) const { return std::memcmp(id, four, 4) == 0; }
bool SmafChunk::IdStartsWith(const char* three) const { return std::memcmp(id, three, 3) == 0; }

// ---- contents info ----

std::unique_ptr<SmafContentsInfo> SmafContentsInfo::ForSmaf(const std::string& title) {
  auto info = std::make_unique<SmafContentsInfo>();
  info->MakeTitleOption(title);
  return info;
}

std::unique_ptr<SmafContentsInfo> SmafContentsInfo::ForMa3(int32_t copy_bits,
                                                           int32_t contents_code,
                                                           int32_t generation) {
  auto info = std::make_unique<SmafContentsInfo>();
  info->contents_type = generation == 5 ? 0x34 : 0x32;
  info->code_type = contents_code == kSmafMa3Info ? 0 : 1;
  info->copy_status = copy_bits & 0xFF;
  return info;
}

void SmafContentsInfo::Parse() {
  ByteReader in(data.data(), data.size());
  if (data.size() < 5) SmafChunkError(kSmcdChunkSize);
  contents_class = in.U8();
  contents_type = in.U8();
  code_type = in.U8();
  copy_status = in.U8();
  copy_counts = in.U8();
  const size_t n = std::min<size_t>(in.remaining(), 255);
  option.assign(in.Here(), in.Here() + n);
}

void SmafContentsInfo::CopyFrom(const SmafContentsInfo& other) {
  std::memcpy(id, other.id, 4);
  data = other.data;
  contents_class = other.contents_class;
  contents_type = other.contents_type;
  code_type = other.code_type;
  copy_status = other.copy_status;
  copy_counts = other.copy_counts;
  option = other.option;
}

std::vector<uint8_t> SmafContentsInfo::Pack() const {
  std::vector<uint8_t> out = {
      static_cast<uint8_t>(contents_class), static_cast<uint8_t>(contents_type),
      static_cast<uint8_t>(code_type), static_cast<uint8_t>(copy_status),
      static_cast<uint8_t>(copy_counts)};
  Put(out, option.data(), option.size());
  return out;
}

int32_t SmafContentsInfo::GetOptionTag(const char* tag, std::string* value) const {
  size_t at = 0;
  while (at + 2 <= option.size()) {
    size_t end = at;
    while (end < option.size() && option[end] != ',') ++end;
    if (option[at] == static_cast<uint8_t>(tag[0]) && option[at + 1] == static_cast<uint8_t>(tag[1])) {
      if (at + 2 >= option.size() || option[at + 2] != ':') {
        SmafChunkError(kSmcdBadContents);
        return 0;
      }
      const size_t from = at + 3;
      const size_t to = std::max(from, end);
      if (value) value->assign(option.begin() + static_cast<long>(from), option.begin() + static_cast<long>(to));
      return static_cast<int32_t>(to - from);
    }
    at = end + 1;
  }
  if (value) value->clear();
  return 0;
}

int32_t SmafContentsInfo::MakeTitleOption(const std::string& title) {
  const size_t fit = GneFitCp932(title.data(), title.size(), 251);
  option.clear();
  Put(option, "ST:", 3);
  Put(option, title.data(), fit);
  option.push_back(',');
  return static_cast<int32_t>(fit + 4);
}

// ---- optional data ----

SmafDataChunk::SmafDataChunk(uint8_t code) : SmafChunk("Dch") { id[3] = code; }

SmafOptionalData::SmafOptionalData(const std::string& title, int32_t contents_code)
    : SmafChunk("OPDA") {
  auto entry = [](const char* tag, const std::string& value) {
    SmafTagEntry e;
    e.tag[0] = tag[0];
    e.tag[1] = tag[1];
    const size_t n = GneFitCp932(value.data(), value.size(), 255);
    e.value.assign(value.begin(), value.begin() + static_cast<long>(n));
    return e;
  };
  if (contents_code == kSmafMa3Info) {
    auto c = std::make_unique<SmafDataChunk>(0x00);
    c->entries.push_back(entry("ST", title));
    for (const char* tag : {"CR", "AN", "WW", "SW", "AW"}) c->entries.push_back(entry(tag, ""));
    c->entries.push_back(entry("VN", "OVX"));
    chunks.push_back(std::move(c));
  } else {
    auto c = std::make_unique<SmafDataChunk>(0x80);
    c->entries.push_back(entry("ST", title));
    chunks.push_back(std::move(c));
    auto es = std::make_unique<SmafDataChunk>(0xFF);
    es->entries.push_back(entry("ES", "\xF8"));
    chunks.push_back(std::move(es));
  }
}

void SmafOptionalData::Parse() {
  chunks.clear();
  ByteReader in(data.data(), data.size());
  in.Seek(std::min<size_t>(8, data.size()));
  while (in.remaining() >= 4) {
    const uint8_t* head = in.Here();
    if (std::memcmp(head, "Dch", 3) == 0 || std::memcmp(head, "Pro", 3) == 0) {
      SmafChunk skipped;
      if (!skipped.Read(in)) break;
      continue;
    }
    SmafTagEntry e;
    e.tag[0] = static_cast<char>(in.U8());
    e.tag[1] = static_cast<char>(in.U8());
    const uint16_t length = in.U16Be();
    if (length > in.remaining()) {
      SmafSequenceError(kSsqdDataSize);
      break;
    }
    const size_t keep = std::min<size_t>(length, 255);
    e.value.assign(in.Here(), in.Here() + keep);
    in.Skip(length);
    auto c = std::make_unique<SmafDataChunk>(0x80);
    c->entries.push_back(std::move(e));
    chunks.push_back(std::move(c));
  }
}

int32_t SmafOptionalData::FindTag(const char* tag, std::string* value) const {
  for (const auto& c : chunks)
    for (const auto& e : c->entries)
      if (e.tag[0] == tag[0] && e.tag[1] == tag[1]) {
        if (value) value->assign(e.value.begin(), e.value.end());
        return static_cast<int32_t>(e.value.size());
      }
  if (value) value->clear();
  return 0;
}

std::vector<uint8_t> SmafOptionalData::Pack(int64_t length) const {
  std::vector<uint8_t> out;
  for (const auto& c : chunks) {
    std::vector<uint8_t> body;
    for (const auto& e : c->entries) {
      Put(body, e.tag, 2);
      body.push_back(static_cast<uint8_t>(e.value.size() >> 8));
      body.push_back(static_cast<uint8_t>(e.value.size()));
      Put(body, e.value.data(), e.value.size());
    }
    SmafAppendChunk(out, "Dch", c->code(), body);
  }
  if (length != 0) {
    std::vector<uint8_t> body(8, 0);
    PutU32(body, static_cast<uint32_t>(std::clamp<int64_t>(length, 0, 0xFFFFFFFFll)));
    SmafAppendChunk(out, "Pro", 5, body);
  }
  return out;
}

// ---- seek and phrase ----

void SmafSeekPhraseInfo::Parse() {
  if (data.size() >= 7 && std::memcmp(data.data(), "st:", 3) == 0) {
    ByteReader in(data.data() + 3, 4);
    start = static_cast<int32_t>(in.U32Be());
  }
  if (data.size() >= 15 && std::memcmp(data.data() + 8, "sp:", 3) == 0) {
    ByteReader in(data.data() + 11, 4);
    stop = static_cast<int32_t>(in.U32Be());
  }
}

std::vector<uint8_t> SmafSeekPhraseInfo::Build(int32_t start, int32_t stop) {
  std::vector<uint8_t> out;
  Put(out, "st:", 3);
  PutU32(out, static_cast<uint32_t>(start));
  out.push_back(',');
  Put(out, "sp:", 3);
  PutU32(out, static_cast<uint32_t>(stop));
  out.push_back(',');
  return out;
}

// ---- setup data ----

SmafSetupData::SmafSetupData(const std::vector<SmafTimbre>& timbres, int32_t contents_code)
    : SmafChunk("Mtsu") {
  std::vector<SmafTimbre> list = timbres;
  if (list.empty()) {
    SmafChunkError(kSmcdNoTimbre);
    list.push_back({0, 0});
  }
  if (contents_code == kSmafFourTracks) {
    for (size_t i = 0; i < list.size() && i < static_cast<size_t>(kSlots); ++i) {
      const bool drum = list[i].bank == 0x80;
      int32_t program = list[i].program;
      if (drum ? (program < 35 || program > 81) : (program < 0 || program > 127)) {
        SmafChunkError(kSmcdBadProgram);
        program = drum ? 35 : 0;
      }
      std::vector<uint8_t> r = {0xFF, 0xF0, 0x12, 0x43, 0x03, static_cast<uint8_t>(i),
                                static_cast<uint8_t>(drum ? 0x80 : 0x00),
                                static_cast<uint8_t>(program)};
      Put(r, drum ? SmafDrumVoiceRow(program) : SmafFourTrackVoiceRow(program), 12);
      r.push_back(0xF7);
      records.push_back(std::move(r));
    }
    record_size = 21;
  } else {
    header.assign(kHeaderExclusive, kHeaderExclusive + 8);
    if (list.size() > 4) SmafChunkError(kSmcdNoTimbre);
    for (size_t i = 0; i < list.size() && i < 4; ++i) {
      if (list[i].bank == 0x80) {  // no record for a drum timbre
        SmafChunkError(kSmcdDrumSetup);
        continue;
      }
      int32_t program = list[i].program;
      if (program < 0 || program > 127) {
        SmafChunkError(kSmcdBadProgram);
        program = 0;
      }
      std::vector<uint8_t> r = {0xFF, 0xF0, 0x13, 0x43, 0x02, static_cast<uint8_t>(i), 0x00,
                                static_cast<uint8_t>(program)};
      Put(r, SmafVoiceRow(program), 13);
      r.push_back(0xF7);
      records.push_back(std::move(r));
    }
    record_size = 22;
  }
}

SmafSetupData::SmafSetupData(int32_t) : SmafChunk("Mtsu") {}

void SmafSetupData::Parse() {
  records.clear();
  header.clear();
  ByteReader in(data.data(), data.size());
  while (!in.AtEnd()) {
    if (in.Peek() == 0xF0) {
      const size_t length = in.Peek(1);
      const size_t end = in.pos() + 1 + length;  // the announced last byte
      if (length == 0 || end >= in.size() || data[end] != 0xF7) break;
      in.Seek(end + 1);
      continue;
    }
    if (in.Peek() != 0xFF || in.Peek(1) != 0xF0 || in.remaining() < 3) break;
    const size_t length = in.Peek(2);
    if (length != 5 && length != 18 && length != 19) {
      SmafChunkError(kSmcdBadSetup);
      break;
    }
    const size_t total = length + 3;
    if (total > in.remaining() || in.Peek(total - 1) != 0xF7) {
      SmafChunkError(kSmcdBadSetup);
      break;
    }
    std::vector<uint8_t> message(in.Here(), in.Here() + total);
    in.Skip(total);
    if (length == 5) {
      header = std::move(message);
    } else if (records.size() >= static_cast<size_t>(kSlots)) {
      SmafChunkError(kSmcdBadSetup);  // a 33rd record is skipped
    } else {
      record_size = static_cast<int32_t>(total);
      records.push_back(std::move(message));
    }
  }
}

std::vector<uint8_t> SmafSetupData::Pack(int32_t contents_code, int32_t generation) const {
  std::vector<uint8_t> out;
  if (contents_code == kSmafMa3Code) {
    if (generation == 3) {
      Put(out, kMa3Setup3, sizeof kMa3Setup3);
    } else {
      Put(out, kMa3Setup5, sizeof kMa3Setup5);
    }
  } else if (contents_code == kSmafMa3Info) {
    if (generation == 3) Put(out, kMa3Setup3, sizeof kMa3Setup3);
  } else {
    if (contents_code == kSmafSingleTrack) Put(out, header.data(), header.size());
    for (const auto& r : records) Put(out, r.data(), r.size());
  }
  return out;
}

// ---- drum banks and timbres ----

void MarkDrumBanks(MobileTrack& track) {
  for (auto& e : track.events)
    if (e->IsControl(kKindVoiceType)) {
      e->number = kKindBankSelect;
      e->value = e->value == 1 ? 128 : 0;
    }
}

std::vector<SmafTimbre> CollectTimbres(const MobileTrack& track) {
  std::vector<SmafTimbre> list;
  int32_t bank[4] = {};
  for (const auto& e : track.events) {
    if (e->status != kMobileControl) continue;
    if (e->number != kKindBankSelect && e->number != kKindProgram) continue;
    if (e->voice < 0 || e->voice > 3) {
      SmafChunkError(kSmcdBadChannel);
      continue;
    }
    if (e->number == kKindBankSelect) {
      bank[e->voice] = e->value;
      continue;
    }
    const SmafTimbre t{bank[e->voice], e->value};
    if (std::find(list.begin(), list.end(), t) != list.end()) continue;
    if (list.size() >= static_cast<size_t>(SmafSetupData::kSlots)) {
      SmafChunkError(kSmcdTooManyTimbres);
      break;
    }
    list.push_back(t);
  }
  return list;
}

// ---- score track ----

SmafScoreTrack::SmafScoreTrack(int32_t index, const MobileTrack& track,
                               const std::vector<SmafTimbre>& timbres, int32_t contents_code)
    : SmafChunk("MTR") {
  id[3] = static_cast<uint8_t>(contents_code == kSmafFourTracks ? index + 1 : 0);
  uint8_t nibble[4];
  for (int v = 0; v < 4; ++v) nibble[v] = track.IsDrumVoice(v) ? 0x3 : 0xA;
  channel_status[0] = static_cast<uint8_t>(nibble[0] << 4 | nibble[1]);
  channel_status[1] = static_cast<uint8_t>(nibble[2] << 4 | nibble[3]);
  if (index == 0) setup = std::make_unique<SmafSetupData>(timbres, contents_code);
  sequence = std::make_unique<SmafSequenceData>(track);
  if (contents_code != kSmafSingleTrack) seek_phrase = std::make_unique<SmafSeekPhraseInfo>();
}

SmafScoreTrack::SmafScoreTrack(const MobileTrack& track, int32_t number, int32_t duration_base_code,
                               int32_t gate_base_code)
    : SmafChunk("MTR"), duration_base(duration_base_code), gate_base(gate_base_code) {
  id[3] = static_cast<uint8_t>(number);
  uint8_t nibble[4];
  for (int v = 0; v < 4; ++v) nibble[v] = track.IsDrumVoice(v) ? 0x3 : 0xA;
  channel_status[0] = static_cast<uint8_t>(nibble[0] << 4 | nibble[1]);
  channel_status[1] = static_cast<uint8_t>(nibble[2] << 4 | nibble[3]);
  sequence = std::make_unique<SmafSequenceData>(track);
}

SmafScoreTrack::~SmafScoreTrack() = default;

void SmafScoreTrack::Parse() {
  ByteReader in(data.data(), data.size());
  format_type = in.U8();
  sequence_type = in.U8();
  duration_base = in.U8();
  gate_base = in.U8();
  channel_status[0] = in.U8();
  channel_status[1] = in.U8();
  // Sub-chunks are found by their id; only the sequence data is required.
  while (in.ok() && !in.AtEnd()) {
    SmafChunk c;
    if (!c.Read(in)) break;
    if (c.IdIs("MspI") && !seek_phrase) {
      seek_phrase = std::make_unique<SmafSeekPhraseInfo>();
      seek_phrase->data = std::move(c.data);
      seek_phrase->Parse();
    } else if (c.IdIs("Mtsu") && !setup) {
      setup = std::make_unique<SmafSetupData>();
      setup->data = std::move(c.data);
      setup->Parse();
    } else if (c.IdIs("Mtsq") && !sequence) {
      sequence = std::make_unique<SmafSequenceData>(c.data.data(), c.data_size());
    }
  }
  if (!sequence) {
    SmafChunkError(kSmcdNoSequence);
    sequence = std::make_unique<SmafSequenceData>(nullptr, 0);
  }
}

std::vector<uint8_t> SmafScoreTrack::Pack(int32_t contents_code, int64_t start,
                                          int64_t stop) const {
  std::vector<uint8_t> out = {static_cast<uint8_t>(format_type), static_cast<uint8_t>(sequence_type),
                              static_cast<uint8_t>(duration_base), static_cast<uint8_t>(gate_base),
                              channel_status[0], channel_status[1]};
  SmafSequenceData encoded(*sequence);
  int32_t start_position = 0, stop_position = 0;
  if (!encoded.Encode(start, stop, &start_position, &stop_position)) return {};
  bool fits = true;
  if (seek_phrase)
    fits &= SmafAppendChunk(out, "Msp", 'I', SmafSeekPhraseInfo::Build(start_position, stop_position));
  if (setup) fits &= SmafAppendChunk(out, "Mts", 'u', setup->Pack(contents_code, 2));
  fits &= SmafAppendChunk(out, "Mts", 'q', encoded.data);
  if (!fits) return {};
  return out;
}

void SmafScoreTrack::ChangeTimebase(int32_t new_code) {
  const double c = TimebaseMs(duration_base);
  const double d = TimebaseMs(new_code);
  if (d <= 0 || c <= 0) {
    SmafChunkError(kSmcdBadTimebase);
    return;
  }
  for (auto& e : sequence->track->events) {
    e->delta = static_cast<int32_t>(static_cast<double>(e->delta) * c / d);
    if (e->IsNote()) e->duration = static_cast<int32_t>(c / d * e->duration);
  }
}

// ---- file chunk ----

SmafFileChunk::SmafFileChunk(const uint8_t* bytes, int32_t count) : SmafChunk("MMMD") {
  ByteReader in = SmafReadFileHead(bytes, count, *this, crc, contents);
  while (!in.AtEnd()) {
    auto track = std::make_unique<SmafScoreTrack>();
    if (!track->Read(in)) break;
    if (track->IdIs("OPDA")) {
      SmafChunkError(kSmcdBadFormat);
      continue;
    }
    if (!track->IdStartsWith("MTR")) {
      SmafChunkError(kSmcdNoScoreTrack);
      continue;
    }
    if (track_count() >= kMaxTracks) {
      SmafDataError(kSmdtTrackCount);  // a fifth track is skipped
      continue;
    }
    track->Parse();
    tracks.push_back(std::move(track));
  }
}

SmafFileChunk::SmafFileChunk(std::vector<std::unique_ptr<MobileTrack>>& source,
                             int32_t contents_code, const std::string& title)
    : SmafChunk("MMMD") {
  contents = SmafContentsInfo::ForSmaf(title);
  std::vector<SmafTimbre> timbres;
  size_t added = 0;
  for (auto& t : source) {
    MarkDrumBanks(*t);
    for (const SmafTimbre& timbre : CollectTimbres(*t)) {
      if (std::find(timbres.begin(), timbres.end(), timbre) != timbres.end()) continue;
      if (timbres.size() >= static_cast<size_t>(SmafSetupData::kSlots)) {
        SmafChunkError(kSmcdTooManyTimbres);
        break;
      }
      if (++added > 15) SmafChunkError(kSmcdSixteenTimbres);
      timbres.push_back(timbre);
    }
  }
  for (size_t i = 0; i < source.size() && i < static_cast<size_t>(kMaxTracks); ++i)
    tracks.push_back(std::make_unique<SmafScoreTrack>(static_cast<int32_t>(i), *source[i],
                                                      timbres, contents_code));
}

SmafFileChunk::~SmafFileChunk() = default;

bool SmafFileChunk::PackContents(int32_t contents_code, int64_t start, int64_t stop,
                                 std::vector<uint8_t>& out) const {
  out.clear();
  if (!contents || !SmafAppendChunk(out, "CNT", 'I', contents->Pack())) return false;
  for (const auto& t : tracks) {
    std::vector<uint8_t> body = t->Pack(contents_code, start, stop);
    if (body.empty() || !SmafAppendChunk(out, "MTR", t->id[3], body)) {
      out.clear();
      return false;
    }
  }
  return true;
}
