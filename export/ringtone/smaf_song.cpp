// SMAF data of MA-1/MA-2 devices as a whole: the file bytes, the conversions from and to the
// mobile song (ticks to 5 ms units and back, the tempo found from the note distances) and the
// loader that tells the two SMAF flavours apart.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "export/ringtone/smaf.h"
#include "util/byte_cursor.h"
#include "util/gne_files.h"
#include "util/gne_music.h"
#include "util/module_error.h"

namespace {

ModuleErrorReporter& LoaderReporter() {
  static ModuleErrorReporter reporter("SMLD", "Smafの読み込みでエラーが発生しました。",
                                      {{kSmldInternal, "Smafの読み込みで内部エラーが発生しました。"},
                                       {kSmldFileType, "ファイルタイプが異常です。"}});
  return reporter;
}

// Replaces the song's voices by those of the other song.
void TakeVoices(MobileData& song, MobileData& from) {
  for (auto& v : song.voices) v.reset();
  song.voice_count = 0;
  for (int32_t i = 0; i < from.voice_count; ++i) song.AppendVoice(std::move(from.voices[i]));
  from.voice_count = 0;
}

// A tempo event's quarter notes a minute; 0 (reported) when it gives none.
int32_t BpmOf(int32_t tempo) {
  const int32_t bpm = tempo >= 1000 ? GneTempoToBpm(tempo) : 0;
  if (bpm <= 0) SmafDataError(kSmdtNoTempo);
  return bpm;
}

int32_t ClampDelta(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, 0, std::numeric_limits<int32_t>::max()));
}

// The argmax of the pair sums count[k] + count[k + 1] (lowest k on ties), kept in a tree so
// that clearing one bin costs a logarithm, not a scan.
class PairMax {
 public:
  explicit PairMax(const std::vector<int32_t>& counts) : counts_(counts) {
    pairs_ = static_cast<int32_t>(counts_.size()) - 1;
    size_ = 1;
    while (size_ < pairs_) size_ <<= 1;
    tree_.assign(2 * static_cast<size_t>(size_), -1);
    for (int32_t k = 0; k < pairs_; ++k) tree_[size_ + k] = k;
    for (int32_t n = size_ - 1; n >= 1; --n) tree_[n] = Better(tree_[2 * n], tree_[2 * n + 1]);
  }
  int32_t Best() const { return tree_[1]; }
  int64_t Sum(int32_t k) const { return k < 0 ? -1 : int64_t{counts_[k]} + counts_[k + 1]; }
  int32_t Count(int32_t bin) const { return counts_[bin]; }
  void Clear(int32_t bin) {
    counts_[bin] = 0;
    if (bin - 1 >= 0) Update(bin - 1);
    if (bin < pairs_) Update(bin);
  }

 private:
  int32_t Better(int32_t a, int32_t b) const {
    if (a < 0) return b;
    if (b < 0) return a;
    return Sum(b) > Sum(a) ? b : a;
  }
  void Update(int32_t k) {
    int32_t n = size_ + k;
    for (n >>= 1; n >= 1; n >>= 1) tree_[n] = Better(tree_[2 * n], tree_[2 * n + 1]);
  }
  std::vector<int32_t> counts_;
  std::vector<int32_t> tree_;
  int32_t pairs_ = 0, size_ = 1;
};

}  // namespace

// ---- construction and packing ----

SmafData::SmafData(int32_t capacity_value) : MusicData(capacity_value) {}

bool SmafData::TakeFileBytes(const uint8_t* bytes, int32_t count) {
  RingtoneReports().Reset();
  if (bytes == nullptr || count < 8 || count > capacity || std::memcmp(bytes, "MMMD", 4) != 0) {
    ErrorMsg(kSmdtNotSmaf);
    return false;
  }
  std::memcpy(buffer, bytes, static_cast<size_t>(count));
  used_size = count;
  return true;
}

SmafData::SmafData(const uint8_t* bytes, int32_t count) : MusicData(kSmafFileCapacity) {
  if (!TakeFileBytes(bytes, count)) return;
  file = std::make_unique<SmafFileChunk>(buffer, count);
  bool numbered = file->track_count() > 0;
  for (const auto& t : file->tracks) numbered &= t->number() >= 1 && t->number() <= 4;
  contents_code = numbered ? kSmafFourTracks : kSmafSingleTrack;
}

SmafData::SmafData(const MobileData& song, int32_t code, int64_t* start, int64_t* stop)
    : MusicData(kSmafFileCapacity) {
  FromMobileData(song, code, start, stop);
}

SmafData::~SmafData() = default;

bool SmafData::Pack(int64_t start, int64_t stop) {
  RingtoneReports().Reset();
  used_size = 0;
  if (!file) return false;
  std::vector<uint8_t> contents;
  if (!file->PackContents(contents_code, start, stop, contents)) return false;
  return SmafWriteFile(*this, contents);
}

int SmafData::SaveWithDialog() const { return MusicData::SaveWithDialog("mmf", "SMAF files|*.mmf"); }

std::vector<uint8_t> SmafData::Bytes() const { return std::vector<uint8_t>(buffer, buffer + UsedBytes()); }

// ---- from a song ----

void SmafData::FromMobileData(const MobileData& song, int32_t code, int64_t* start,
                              int64_t* stop) {
  RingtoneReports().Reset();
  MobileData copy(song, kMobileCapacity);
  PrepareMobileData(copy, song.division, start, stop);
  contents_code = code;
  std::vector<MobileChannel*> active = copy.ActiveVoices();
  std::vector<std::unique_ptr<MobileTrack>> tracks;
  for (size_t at = 0; at < active.size() && tracks.size() < SmafFileChunk::kMaxTracks; at += 4) {
    const int32_t n = static_cast<int32_t>(std::min<size_t>(4, active.size() - at));
    tracks.push_back(std::make_unique<MobileTrack>(active.data() + at, n, kMobileCapacity));
  }
  file = std::make_unique<SmafFileChunk>(tracks, code, song.title);
}

void SmafData::PrepareMobileData(MobileData& song, int32_t division, int64_t* start,
                                 int64_t* stop) {
  std::vector<MobileChannel*> active = song.ActiveVoices();
  if (active.size() > 16) {
    SmafDataError(kSmdtTrackCount);
    active.resize(16);
  }
  MobileTrack track(active.data(), static_cast<int32_t>(active.size()), kMobileCapacity);
  TicksToUnits(track, division, start, stop);
  MobileData rebuilt(track, kMobileCapacity);
  TakeVoices(song, rebuilt);
}

void SmafData::TicksToUnits(MobileTrack& track, int32_t division, int64_t* start,
                            int64_t* stop) {
  if (division <= 0) division = 96;
  const double first_length = 60.0 * division / 12000.0;
  const int64_t start_tick = start ? *start : -1;
  const int64_t stop_tick = stop ? *stop : -1;
  bool start_set = start_tick < 0, stop_set = stop_tick < 0;
  double f = first_length, r = 0;
  int64_t ticks = 0, units = 0;
  for (auto& e : track.events) {
    const int64_t d = std::max(0, e->delta);
    const int64_t nd = static_cast<int64_t>(std::floor((r + static_cast<double>(d)) / f + 1e-9));
    r = r + static_cast<double>(d) - static_cast<double>(nd) * f;
    if (r < 0) r = 0;
    ticks += d;
    units += nd;
    e->delta = ClampDelta(nd);
    if (!start_set && ticks >= start_tick) {
      *start = units;
      start_set = true;
    }
    if (!stop_set && ticks >= stop_tick) {
      *stop = units;
      stop_set = true;
    }
    if (e->IsControl(kKindTempo)) {
      const int32_t bpm = BpmOf(e->value);
      if (bpm > 0) f = bpm * static_cast<double>(division) / 12000.0;
    }
  }
  // A start or stop past every event lies past the end (the encoder reports it).
  if (!start_set) *start = units + 1;
  if (!stop_set) *stop = units + 1;
  double length = first_length;
  for (auto& e : track.events) {
    if (e->IsNote()) {
      const double v = (std::max(0, e->duration) + r) / length;
      const int64_t nd = std::max<int64_t>(1, static_cast<int64_t>(std::floor(v + 1e-9)));
      r = std::max(0.0, std::max(0, e->duration) + r - static_cast<double>(nd) * length);
      e->duration = ClampDelta(nd);
    } else if (e->IsControl(kKindTempo)) {
      const int32_t bpm = e->value >= 1000 ? GneTempoToBpm(e->value) : 0;
      if (bpm > 0) length = bpm * static_cast<double>(division) / 12000.0;
    }
  }
  track.DeleteKind(kKindTempo);
}

// ---- to a song ----

void SmafData::UnitsToTicks(MobileTrack& track) {
  // 5 ms units at 96 ticks a quarter note and 120 bpm: 24 ticks every 25 units, counted on the
  // running total so that no event drifts.
  int64_t units = 0, ticks = 0;
  for (auto& e : track.events) {
    units += std::max(0, e->delta);
    const int64_t t = units * 24 / 25;
    e->delta = ClampDelta(t - ticks);
    ticks = t;
    if (e->IsNote())
      e->duration = std::max(1, ClampDelta(std::llround(std::max(0, e->duration) * 0.96)));
  }
}

int32_t SmafData::DetectTempo(MobileTrack& track, int32_t division) {
  constexpr int32_t kBins = 16384;
  std::vector<int32_t> counts(kBins, 0);
  for (const auto& e : track.events)
    if (e->delta >= 0 && e->delta < kBins) ++counts[e->delta];
  counts[0] = 0;
  PairMax pairs(counts);
  double factor = 1.0;
  int32_t tempo = 500000, last_tempo = -1, last_bin = -1;
  for (int32_t pass = 1;; ++pass) {
    const int32_t k = pairs.Best();
    if (k < 0 || pairs.Sum(k) <= 0) break;  // no bin left: the factor stays
    // The fuller bin of the best pair (the lower on a tie).
    const int32_t bin = pairs.Count(k + 1) > pairs.Count(k) ? k + 1 : k;
    if (bin != 0) factor = (division / 2.0) / bin;
    pairs.Clear(bin);
    tempo = static_cast<int32_t>(std::min(500000.0 / factor, 2.0e9));
    if (tempo >= 250000 && tempo <= 1500000) break;
    if (pass > 50 && tempo == last_tempo && bin == last_bin) break;
    last_tempo = tempo;
    last_bin = bin;
  }
  // Every time rescaled on the running total.
  int64_t old_total = 0, new_total = 0;
  for (auto& e : track.events) {
    old_total += std::max(0, e->delta);
    const int64_t t = static_cast<int64_t>(std::floor(static_cast<double>(old_total) * factor + 1e-6));
    e->delta = ClampDelta(t - new_total);
    new_total = t;
    if (e->IsNote())
      e->duration = std::max(1, ClampDelta(std::llround(e->duration * factor)));
  }
  return tempo;
}

void SmafData::ToMobileData(MobileData& song) const {
  RingtoneReports().Reset();
  if (!file) return;
  std::vector<std::unique_ptr<MobileChannel>> owned;
  std::vector<MobileChannel*> slots(static_cast<size_t>(file->track_count()) * 4, nullptr);
  for (int32_t i = 0; i < file->track_count(); ++i) {
    const SmafSequenceData& seq = *file->tracks[i]->sequence;
    for (int32_t v = 0; v < 4; ++v) {
      auto ch = std::make_unique<MobileChannel>(4 * i + v, seq.track->GetVoiceKind(v));
      seq.track->ExtractVoice(v, *ch, contents_code == kSmafMa3Code ? 1 : 0);
      slots[static_cast<size_t>(4 * i + v)] = ch.get();
      owned.push_back(std::move(ch));
    }
  }
  MobileTrack track(slots.data(), static_cast<int32_t>(slots.size()), kMobileCapacity);
  UnitsToTicks(track);
  const int32_t tempo = DetectTempo(track, 96);
  MobileData rebuilt(track, kMobileCapacity);
  TakeVoices(song, rebuilt);
  song.division = 96;
  song.tempo = tempo;
  if (tempo == 0) ErrorMsg(kSmdtNoTempo);
  std::string title;
  if (file->contents && file->contents->GetOptionTag("ST", &title) > 0) song.title = title;
}

// ---- loader ----

void SmafLoader::ErrorMsg(uint32_t code) { LoaderReporter().ErrorMsg(code); }

SmafLoader::SmafLoader(const std::filesystem::path& path) {
  buffer.assign(static_cast<size_t>(capacity), 0);
  int count = 0;
  if (!GneReadWholeFile(path, buffer.data(), &count, buffer.size(), GneFileUse::kUserChosen))
    count = 0;
  file_size = count;
  Build();
}

SmafLoader::SmafLoader(const uint8_t* bytes, int32_t count) {
  buffer.assign(static_cast<size_t>(capacity), 0);
  file_size = bytes ? std::clamp(count, 0, capacity) : 0;
  if (file_size > 0) std::memcpy(buffer.data(), bytes, static_cast<size_t>(file_size));
  Build();
}

void SmafLoader::Build() {
  RingtoneReports().Reset();
  if (file_size < 23 || std::memcmp(buffer.data(), "MMMD", 4) != 0) {
    SmafDataError(kSmdtNotSmaf);
    return;
  }
  const int32_t type = buffer[17];
  if (type <= 0x0F) {
    smaf = std::make_unique<SmafData>(buffer.data(), file_size);
  } else if (type < 0x30 || buffer[19] > 0x33) {
    ErrorMsg(kSmldFileType);
  } else {
    ma3 = std::make_unique<SmafMa3Data>(buffer.data(), file_size);
  }
}

// ---- fuzz entries ----

int FuzzSmafChunks(const uint8_t* bytes, size_t size) {
  RingtoneReports().Reset();
  const int32_t n = static_cast<int32_t>(std::min<size_t>(size, kSmafFileCapacity));
  SmafFileChunk chunk(bytes, n);
  if (chunk.track_count() > SmafFileChunk::kMaxTracks) return 1;
  if (chunk.contents && chunk.contents->option.size() > 255) return 2;
  for (const auto& t : chunk.tracks) {
    if (!t->sequence) return 3;
    if (t->setup && t->setup->records.size() > static_cast<size_t>(SmafSetupData::kSlots)) return 4;
  }
  std::string value;
  if (chunk.contents) chunk.contents->GetOptionTag("ST", &value);
  // What was read packs again, whole or not at all.
  std::vector<uint8_t> out;
  if (chunk.PackContents(kSmafFourTracks, -1, -1, out) && out.size() > 0x50000) return 5;
  return 0;
}

int FuzzSmafLoader(const uint8_t* bytes, size_t size) {
  SmafLoader loader(bytes, static_cast<int32_t>(std::min<size_t>(size, kSmafFileCapacity)));
  if (loader.smaf && loader.ma3) return 1;
  if (loader.smaf) {
    MobileData song;
    loader.smaf->ToMobileData(song);
    for (int32_t i = 0; i < song.voice_count; ++i)
      for (const auto& e : song.voices[i]->events)
        if (e->delta < 0 || (e->IsNote() && e->duration < 1)) return 2;
    loader.smaf->Pack();
  }
  if (loader.ma3) {
    std::unique_ptr<SmafFileChunk> chunk;
    int32_t code = 0;
    loader.ma3->ToSmafChunk(chunk, &code);
    if (!chunk || chunk->track_count() != 4) return 3;
    MobileData song;
    loader.ma3->ToMobileData(*chunk, song);
    loader.ma3->Pack(kSmafMa3Code);
  }
  return 0;
}
