// Fitting a format-1 song into the channels of a sound module: moving tracks between
// channels, merging tracks that share a drum part, a channel or a program, moving
// second-port channels down, renumbering; and splitting and doubling tracks.
//
// A track's port channel is its channel, plus 16 when its last instrument name names
// a second-port device. Operations that add tracks check first that the song has the
// room (tracks, channels) for all of them; when it has not, they report and leave the
// song as it was.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "music/controllers.h"
#include "music/gs_part.h"
#include "music/midi1_data.h"
#include "music/sysex_kind.h"
#include "util/gne_pitch.h"

namespace {

constexpr uint32_t kNoDrumTrack = 0x03000012;
constexpr uint32_t kSeveralSysExTracks = 0x0300000a;
constexpr uint32_t kSecondSystemChannel = 0x0300000b;
constexpr uint32_t kDuplicateChannel = 0x0300000c;
constexpr uint32_t kNoChannelForSplit = 0x03000011;
constexpr uint32_t kNoProgramSet = 0x03000015;
constexpr uint32_t kBadSysEx = 0x0300001d;
constexpr uint32_t kDrumSplit = 0x03000020;
constexpr uint32_t kManyTriples = 0x03000021;
constexpr uint32_t kNameRoom = 256;
// Marks a copy as a second-port track.
constexpr char kSecondPortName[] = "SC88B";
constexpr char kDrumToneTitle[] = "DrumToneMapping ";
constexpr int32_t kCopyCapacity = 0x60000;

bool IsInstrumentName(const MidiEvent& e) { return e.status == kStatusMeta && e.number == 4; }

// The first instrument name of the track, empty when it has none.
std::string FirstInstrumentName(const MidiTrack& track) {
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    if (!IsInstrumentName(e)) continue;
    if (e.data == nullptr || e.data_length <= 0) return std::string();
    const char* text = reinterpret_cast<const char*>(e.data);
    return std::string(text, strnlen(text, static_cast<size_t>(e.data_length)));
  }
  return std::string();
}

bool NamesSecondPort(const std::string& name) { return GneIsSc88Device(name.c_str()) != 0; }

// The distinct first instrument names, in track order.
std::vector<std::string> DistinctNames(const Midi1Data& song) {
  std::vector<std::string> names;
  for (int32_t t = 0; t < song.track_count; ++t) {
    std::string name = FirstInstrumentName(*song.tracks[t]);
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  return names;
}

void DeleteAllInstrumentNames(MidiTrack& track) {
  for (int32_t i = 0; i < track.event_count; ++i) {
    if (IsInstrumentName(*track.events[i])) track.events[i]->MarkDeleted();
  }
  track.Compact();
}

// Deletes the tracks (indexes in any order), the highest first.
void DeleteTrackList(Midi1Data& song, std::vector<int32_t> indexes) {
  std::sort(indexes.begin(), indexes.end());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) song.DeleteTrack(*it);
}

MidiEvent* MetaText(int32_t type, const std::string& text) {
  auto* e = new MidiEvent(0);
  e->status = kStatusMeta;
  e->number = static_cast<uint32_t>(type);
  e->SetDataQuietly(text.c_str(), static_cast<int32_t>(text.size()));
  return e;
}

// The controller clean-up after merges (the controllers exempt from it).
constexpr int32_t kKeptWithRpn[] = {7, 11, 39, 43, 10, 6, 99, 98, 0, 32};
constexpr int32_t kKeptWithoutRpn[] = {7, 11, 39, 43, 10, 0, 32};

}  // namespace

// ---------------------------------------------------------------------------
// Moving and grouping

void Midi1Data::MoveTrackChannel(int32_t index, int32_t channel) {
  const Midi1Track* track = Track(index);
  if (track == nullptr) return;
  const int from = track->GetChannel();
  if (from == kNoChannel) return;
  const std::string name = FirstInstrumentName(*track);
  for (int32_t t = 0; t < track_count; ++t) {
    tracks[t]->ChangeChannelIfInstrumentName(name.c_str(), from, channel);
  }
}

void Midi1Data::MergeTrackList(int32_t count, const int32_t* indexes, int close_overlaps) {
  if (state != kSongNotes) {
    ErrorMsg(kM1dtInternal);
    return;
  }
  if (count <= 0 || indexes == nullptr || Track(indexes[0]) == nullptr) return;
  Midi1Track& first = *tracks[indexes[0]];
  std::vector<int32_t> merged;
  for (int32_t k = 1; k < count; ++k) {
    const int32_t index = indexes[k];
    if (Track(index) == nullptr || index == indexes[0]) continue;
    MoveTrackChannel(index, first.GetChannel());
    first.Merge(*tracks[index]);
    merged.push_back(index);
  }
  DeleteTrackList(*this, merged);
  if (close_overlaps == 1) CloseOverlaps(0);
}

int32_t Midi1Data::CollectInstrumentNames(char (*names)[256]) const {
  const std::vector<std::string> distinct = DistinctNames(*this);
  if (names != nullptr) {
    for (size_t i = 0; i < distinct.size(); ++i) {
      // Cut to the room at a character boundary (a CP932 lead byte is never left alone).
      const std::string& name = distinct[i];
      size_t n = 0;
      while (n < name.size()) {
        const auto c = static_cast<unsigned char>(name[n]);
        const size_t width = ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 2 : 1;
        if (n + width > kNameRoom - 1) break;
        n += width;
      }
      std::memcpy(names[i], name.data(), n);
      names[i][n] = '\0';
    }
  }
  return static_cast<int32_t>(distinct.size());
}

int Midi1Data::SameSingleProgram(int32_t index, int32_t other) const {
  const Midi1Track* a = Track(index);
  const Midi1Track* b = Track(other);
  if (a == nullptr || b == nullptr) return 0;
  int32_t program = -1;
  bool seen = false;
  for (int32_t i = 0; i < a->event_count; ++i) {
    const MidiEvent& e = *a->events[i];
    if (e.status != kStatusProgram) continue;
    if (seen && e.value != program) return 0;
    program = e.value;
    seen = true;
  }
  for (int32_t i = 0; i < b->event_count; ++i) {
    const MidiEvent& e = *b->events[i];
    if (e.status == kStatusProgram && e.value != program) return 0;
  }
  return 1;
}

int Midi1Data::IsInList(int32_t value, const int32_t* list, int32_t count) {
  for (int32_t i = 0; i < count && list != nullptr; ++i) {
    if (list[i] == value) return 1;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Fitting into 16 channels

void Midi1Data::FitTo16Channels() {
  if (CountChannels(nullptr) > 16) {
    MergeDrumTracks();
    if (CountChannels(nullptr) > 16) {
      MergeAllSameProgramTracks();
      if (CountChannels(nullptr) > 16) {
        MergeInstrumentFamilies(0);
        return;
      }
    }
  }
  MoveHighChannelsDown();
}

void Midi1Data::MergeDrumTracks() {
  std::vector<int32_t> drums;
  for (int32_t t = 0; t < track_count; ++t) {
    if (IsDrumTrack(t)) drums.push_back(t);
  }
  if (drums.empty()) {
    ErrorMsg(kNoDrumTrack);
    return;
  }
  for (size_t k = 0; k < drums.size(); ++k) {
    if (tracks[drums[k]]->GetPortChannel() == 9) {
      std::swap(drums[0], drums[k]);
      break;
    }
  }
  const int32_t base = drums[0];
  for (size_t k = 1; k < drums.size(); ++k) {
    MoveTrackChannel(drums[k], tracks[base]->GetChannel());
    if (!SameSingleProgram(base, drums[k])) Warn(kM1dtDrumPrograms);
    tracks[base]->Merge(*tracks[drums[k]]);
    DeleteAllInstrumentNames(*tracks[base]);
  }
  DeleteTrackList(*this, std::vector<int32_t>(drums.begin() + 1, drums.end()));
  CloseOverlaps(0);
  RemoveRedundantControllers(kKeptWithRpn, static_cast<int32_t>(std::size(kKeptWithRpn)));
  RemoveRepeatedMixerValues();
  RemoveUnusedPans();
  RemoveDuplicateBankPrograms();
}

int Midi1Data::MergeSamePortChannelTracks(std::string* message) {
  if (message != nullptr) message->clear();
  if (state != kSongNotes) {
    ErrorMsg(kM1dtInternal);
    return 0;
  }
  int merged_any = 0;
  for (const std::string& name : DistinctNames(*this)) {
    const bool second_port = NamesSecondPort(name);
    for (int32_t channel = 0; channel < 16; ++channel) {
      std::vector<int32_t> found;
      for (int32_t t = 0; t < track_count; ++t) {
        if (tracks[t]->GetChannel() != channel) continue;
        if (NamesSecondPort(FirstInstrumentName(*tracks[t])) != second_port) continue;
        if (IsDrumTrack(t)) continue;
        found.push_back(t);
      }
      if (found.size() < 2) continue;
      if (message != nullptr) {
        *message += "問題のあるトラック " + std::to_string(channel + 1) + "Ch ";
        for (int32_t t : found) *message += tracks[t]->MetaText(3) + " ";
        *message += "\r\n";
      }
      for (size_t k = 1; k < found.size(); ++k) {
        MoveTrackChannel(found[k], tracks[found[0]]->GetChannel());
        tracks[found[0]]->Merge(*tracks[found[k]]);
      }
      DeleteTrackList(*this, std::vector<int32_t>(found.begin() + 1, found.end()));
      merged_any = 1;
    }
  }
  CloseOverlaps(0);
  RemoveDuplicateBankPrograms();
  RemoveRedundantControllers(kKeptWithRpn, static_cast<int32_t>(std::size(kKeptWithRpn)));
  RemoveRepeatedMixerValues();
  return merged_any;
}

int Midi1Data::MergeSamePortChannelTracksQuietly() { return MergeSamePortChannelTracks(nullptr); }

namespace {

// What decides whether a track joins a bank-and-program merge.
struct ProgramKey {
  bool eligible = false;
  int32_t bank = 0;
  int32_t program = 0;
  std::string name;
};

ProgramKey KeyOf(const Midi1Data& song, int32_t index, const int32_t* exempt, int32_t count) {
  ProgramKey key;
  const Midi1Track& track = *song.tracks[index];
  key.name = FirstInstrumentName(track);
  int32_t bank = -1;
  int32_t programs = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    if (bank < 0 && e.status == kStatusController && e.number == 0) bank = e.value;
    if (e.status == kStatusProgram) {
      if (++programs > 1) return key;
      key.program = e.value;
    }
  }
  if (bank < 0 || bank > 127 || programs != 1 || key.program < 0 || key.program > 127) return key;
  if (Midi1Data::IsInList(track.GetChannel(), exempt, count)) return key;
  if (song.IsDrumTrack(index)) return key;
  key.bank = bank;
  key.eligible = true;
  return key;
}

}  // namespace

void Midi1Data::MergeSameProgramTracks(const int32_t* exempt, int32_t count) {
  if (state != kSongNotes) {
    ErrorMsg(kM1dtInternal);
    return;
  }
  // The clean-up of repeated bank selects and program changes is idempotent: once per
  // track here and once on each merged track gives what repeating it before every
  // (name, bank, program) would. Only the pairs that tracks have are visited, in the
  // order names, banks and programs come, so the merges are the same and come in the
  // same order.
  for (int32_t t = 0; t < track_count; ++t) tracks[t]->RemoveRedundantBankProgram();
  std::vector<ProgramKey> keys;
  const auto refresh = [&] {
    keys.clear();
    for (int32_t t = 0; t < track_count; ++t) keys.push_back(KeyOf(*this, t, exempt, count));
  };
  refresh();
  for (const std::string& name : DistinctNames(*this)) {
    int32_t done = -1;  // bank * 128 + program of the last pair visited
    for (;;) {
      int32_t next = INT32_MAX;
      for (const ProgramKey& k : keys) {
        if (!k.eligible || k.name != name) continue;
        const int32_t pair = k.bank * 128 + k.program;
        if (pair > done) next = std::min(next, pair);
      }
      if (next == INT32_MAX) break;
      done = next;
      std::vector<int32_t> found;
      for (int32_t t = 0; t < track_count; ++t) {
        const ProgramKey& k = keys[static_cast<size_t>(t)];
        if (k.eligible && k.name == name && k.bank * 128 + k.program == next) found.push_back(t);
      }
      if (found.size() < 2) continue;
      MergeTrackList(static_cast<int32_t>(found.size()), found.data(), 0);
      tracks[found[0]]->RemoveRedundantBankProgram();
      refresh();
    }
  }
  CloseOverlaps(0);
  RemoveDuplicateBankPrograms();
  RemoveRedundantControllers(kKeptWithoutRpn, static_cast<int32_t>(std::size(kKeptWithoutRpn)));
  RemoveRepeatedMixerValues();
  RemoveRedundantBends();
}

void Midi1Data::MergeAllSameProgramTracks() { MergeSameProgramTracks(nullptr, 0); }

void Midi1Data::MergeInstrumentFamilies(int) {
  for (int32_t p = 0; p < 128; ++p) {
    std::vector<int32_t> found;
    for (int32_t t = 0; t < track_count; ++t) {
      const Midi1Track& track = *tracks[t];
      if (track.GetChannel() == kNoChannel) continue;
      const int first = track.GetFirstNonZeroProgramAny();
      if (first < 0) continue;
      if (!GneSameInstrumentFamily(first, p)) continue;
      if (IsDrumTrack(t)) continue;
      found.push_back(t);
    }
    if (found.empty()) continue;
    int32_t kept = -1;
    int32_t most = -1;
    for (int32_t t : found) {
      const int32_t notes = tracks[t]->GetNoteCount();
      if (notes > most) {
        most = notes;
        kept = tracks[t]->GetFirstNonZeroProgramAny();
      }
    }
    if (kept < 0 || kept > 127) {
      kept = 0;
      ErrorMsg(kNoProgramSet);
    }
    for (int32_t t : found) {
      Midi1Track& track = *tracks[t];
      track.DeleteProgramChanges(track.GetChannel());
      track.DeleteControlChange(0);
      track.DeleteControlChange(32);
    }
    const int32_t channel = tracks[found[0]]->GetChannel();
    for (size_t k = 1; k < found.size(); ++k) {
      MoveTrackChannel(found[k], channel);
      tracks[found[0]]->Merge(*tracks[found[k]]);
    }
    tracks[found[0]]->InsertProgramBeforeFirstEvent(channel, kept);
    DeleteTrackList(*this, std::vector<int32_t>(found.begin() + 1, found.end()));
  }
  CloseOverlaps(0);
}

void Midi1Data::MoveHighChannelsDown() {
  bool used[16] = {};
  std::vector<bool> placed(static_cast<size_t>(track_count), false);
  std::vector<int> port(static_cast<size_t>(track_count));
  for (int32_t t = 0; t < track_count; ++t) {
    port[static_cast<size_t>(t)] = tracks[t]->GetPortChannel();
    const int pc = port[static_cast<size_t>(t)];
    if (pc == kNoChannel || pc < 0 || pc >= 32) {
      placed[static_cast<size_t>(t)] = true;  // no channel to place
    } else if (pc < 16) {
      used[pc] = true;
      placed[static_cast<size_t>(t)] = true;
    }
  }
  for (int32_t t = 0; t < track_count; ++t) {
    const int pc = port[static_cast<size_t>(t)];
    if (placed[static_cast<size_t>(t)] || used[pc - 16]) continue;
    used[pc - 16] = true;
    placed[static_cast<size_t>(t)] = true;
  }
  for (int32_t t = 0; t < track_count; ++t) {
    if (placed[static_cast<size_t>(t)]) continue;
    const int pc = port[static_cast<size_t>(t)];
    // Tracks of one port channel move together: one moved before already took them.
    if (tracks[t]->GetPortChannel() != pc) continue;
    int free = -1;
    for (int c = 0; c < 16 && free < 0; ++c) {
      if (!used[c]) free = c;
    }
    if (free < 0) continue;  // stays where it is
    const bool drum = IsDrumTrack(t) != 0;
    const int from = tracks[t]->GetChannel();
    MoveTrackChannel(t, free);
    used[free] = true;
    if (free == 9 && !drum) tracks[t]->InsertRhythmPartSysEx(0, 9);
    if (from == 9 && drum && free != 9) tracks[t]->InsertRhythmPartSysEx(1, free);
  }
}

int Midi1Data::RenumberChannels(const int32_t* kept, int32_t count) {
  // New channel of every port channel.
  int32_t map[32];
  for (int32_t& m : map) m = -1;
  for (int32_t k = 0; k < count && kept != nullptr; ++k) {
    if (kept[k] >= 0 && kept[k] < 32) map[kept[k]] = kept[k];
  }
  int32_t next = 0;
  for (int32_t t = 0; t < track_count; ++t) {
    const int pc = tracks[t]->GetPortChannel();
    if (pc < 0 || pc >= 32 || map[pc] >= 0) continue;
    while (IsInList(next, kept, count)) ++next;
    if (next > 15) {
      ErrorMsg(kM1dtChannelCount);
      return 0;
    }
    map[pc] = next++;
  }
  bool without_channel = false;
  bool taken[16] = {};
  for (int32_t t = 0; t < track_count; ++t) {
    Midi1Track& track = *tracks[t];
    const int channel = track.GetChannel();
    const int pc = track.GetPortChannel();
    const bool drum = IsDrumTrack(t) != 0;
    // Without its names the track is on the first port, where its new channel lies.
    DeleteAllInstrumentNames(track);
    if (channel != kNoChannel && pc >= 0 && pc < 32) {
      const int32_t to = map[pc];
      if (drum) {
        DeleteChannelSysEx(channel, SysExKind::kGsRhythmPart);
        if (channel != 9) track.InsertRhythmPartSysEx(1, to);
      }
      track.ChangeChannel(channel, to);
    }
    const int now = track.GetChannel();
    if (now == kNoChannel) {
      if (without_channel) ErrorMsg(kSecondSystemChannel);
      without_channel = true;
    } else if (now >= 0 && now < 16) {
      if (taken[now]) ErrorMsg(kDuplicateChannel);
      taken[now] = true;
    }
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Splitting and doubling

namespace {

struct Triple {
  int32_t msb, lsb, program;
  bool operator==(const Triple& o) const {
    return msb == o.msb && lsb == o.lsb && program == o.program;
  }
};

}  // namespace

int Midi1Data::SplitTrackByBankProgram(int32_t index) {
  if (Track(index) == nullptr) {
    ErrorMsg(kM1dtInternal);
    return 0;
  }
  if (IsDrumTrack(index)) {
    ErrorMsg(kDrumSplit);
    return 0;
  }
  Midi1Track& track = *tracks[index];
  // First the walk, without changing anything: the triples.
  std::vector<Triple> triples;
  int32_t msb = 0;
  int32_t lsb = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    if (e.status == kStatusController && e.number == 0) msb = e.value;
    if (e.status == kStatusController && e.number == 32) lsb = e.value;
    if (e.status != kStatusProgram) continue;
    const Triple triple{msb, lsb, e.value};
    if (std::find(triples.begin(), triples.end(), triple) != triples.end()) continue;
    if (triples.size() + 1 >= 128) {
      ErrorMsg(kManyTriples);
      return 0;
    }
    triples.push_back(triple);
  }
  if (triples.empty()) return 0;  // nothing to split by: the track stays
  // Room: a port channel for every copy, a slot for every copy but one.
  bool marked[32] = {};
  for (int32_t t = 0; t < track_count; ++t) {
    if (t == index) continue;
    const int pc = tracks[t]->GetPortChannel();
    if (pc >= 0 && pc < 32) marked[pc] = true;
  }
  marked[9] = marked[25] = true;
  std::vector<int32_t> free;
  for (int32_t c = 0; c < 32; ++c) {
    if (!marked[c]) free.push_back(c);
  }
  if (free.size() < triples.size()) {
    ErrorMsg(kNoChannelForSplit);
    return 0;
  }
  if (track_count - 1 + static_cast<int32_t>(triples.size()) > kMaxSongTracks) {
    ErrorMsg(kM1dtTrackCount);
    return 0;
  }
  // Each copy is made from the whole track, so that a note after a repeated program
  // change stays with its program; the copy then drops the repeat.
  std::vector<Midi1Track*> copies;
  for (size_t k = 0; k < triples.size(); ++k) {
    auto* copy = new Midi1Track(track, kCopyCapacity);
    copy->KeepBankAndProgram(triples[k].msb, triples[k].lsb, triples[k].program);
    copy->RemoveRedundantBankProgram();
    const int32_t pc = free[k];
    if (pc < 16) {
      copy->SetChannelAll(pc);
    } else {
      copy->SetChannelAll(pc - 16);
      // The second-port marker at tick 0, the copy's only instrument name, so that its
      // port channel reads as the one it took.
      DeleteAllInstrumentNames(*copy);
      copy->InsertEvent(0, 2, MetaText(4, kSecondPortName));
    }
    copies.push_back(copy);
  }
  DeleteTrack(index);
  for (Midi1Track* copy : copies) AddTrack(copy);
  return 1;
}

int Midi1Data::SplitChannelByNoteValue(int32_t channel, int32_t threshold, int32_t kind) {
  if (state != kSongNotes) {
    ErrorMsg(kM1dtInternal);
    return 0;
  }
  int32_t doubled = 0;
  for (int32_t t = 0; t < track_count; ++t) doubled += tracks[t]->GetChannel() == channel ? 1 : 0;
  if (doubled == 0) return 0;
  if (track_count + doubled > kMaxSongTracks) {
    ErrorMsg(kM1dtTrackCount);
    return 0;
  }
  const auto value_of = [kind](const MidiEvent& e) -> int32_t {
    switch (kind) {
      case 1:
        return e.note;
      case 2:
        return e.duration;
      case 3:
        return e.velocity;
      default:
        return 0;
    }
  };
  for (int32_t t = 0; t < track_count; ++t) {
    if (tracks[t]->GetChannel() != channel) continue;
    Midi1Track& high = *tracks[t];
    auto* low = new Midi1Track(high, kCopyCapacity);
    if (kind >= 1 && kind <= 3) {
      for (int32_t i = 0; i < high.event_count; ++i) {
        MidiEvent& a = *high.events[i];
        if (a.status != kStatusNote) continue;
        // The copies hold the same events in the same order.
        if (value_of(a) >= threshold) {
          low->events[i]->MarkDeleted();
        } else {
          a.MarkDeleted();
        }
      }
    }
    high.Compact();
    low->Compact();
    InsertTrackAt(low, t + 1);
    ++t;
  }
  return 1;
}

void Midi1Data::DistributeSysExTracks() {
  std::vector<int32_t> gathered;
  for (int32_t t = 0; t < track_count; ++t) {
    if (tracks[t]->IsSysExAndMetaOnly() == 1) gathered.push_back(t);
  }
  if (gathered.empty()) return;
  // A message without channel goes to the channel of track 1 of the song that is
  // left: without such a track the messages stay where they are.
  const int32_t left = track_count - static_cast<int32_t>(gathered.size());
  bool channel_less = false;
  for (int32_t t : gathered) {
    for (int32_t i = 0; i < tracks[t]->event_count; ++i) {
      const MidiEvent& e = *tracks[t]->events[i];
      if (e.status == kStatusSysEx && (e.channel < 0 || e.channel > 15)) channel_less = true;
    }
  }
  int32_t second = -1;  // index, in the song as it is, of track 1 of the song left
  for (int32_t t = 0, kept = 0; t < track_count; ++t) {
    if (std::find(gathered.begin(), gathered.end(), t) != gathered.end()) continue;
    if (kept++ == 1) second = t;
  }
  if (channel_less && left <= 1) {
    ErrorMsg(kM1dtTrackCount);
    return;
  }
  const int second_channel = second >= 0 ? tracks[second]->GetChannel() : kNoChannel;
  std::unique_ptr<Midi1Track> gathering(new Midi1Track(*tracks[gathered[0]], kCopyCapacity));
  for (size_t k = 1; k < gathered.size(); ++k) {
    ErrorMsg(kSeveralSysExTracks);
    gathering->Merge(*tracks[gathered[k]]);
  }
  DeleteTrackList(*this, gathered);
  int64_t tick = 0;
  for (int32_t i = 0; i < gathering->event_count; ++i) {
    const MidiEvent& e = *gathering->events[i];
    tick += e.delta;
    if (e.status == kStatusSysExEscape) {
      ErrorMsg(kBadSysEx);
      continue;
    }
    if (e.status != kStatusSysEx) continue;
    const int channel = (e.channel >= 0 && e.channel <= 15) ? e.channel : second_channel;
    auto* copy = new MidiEvent(e);
    copy->delta = 0;
    InsertEventOnChannel(channel, copy, SaturatedDelta(tick));
  }
}

int Midi1Data::AddDoubledPart(int32_t channel, int32_t new_channel, int32_t delay, int32_t program,
                              double velocity_factor, int32_t octaves) {
  const int32_t source = FindTrackByChannel(channel);
  if (source < 0) return 0;
  auto* copy = new Midi1Track(*tracks[source], kCopyCapacity);
  copy->SetChannelAll(new_channel);
  copy->SetFirstProgram(program);
  copy->SetControllerValues(cc::kPan, 64);
  bool first = true;
  for (int32_t i = 0; i < copy->event_count; ++i) {
    MidiEvent& e = *copy->events[i];
    if (e.status != kStatusNote) continue;
    int32_t note = e.note + octaves * 12;
    if (note > 127) note -= 12;
    if (note < 0) note += 12;
    e.note = std::clamp(note, 0, 127);
    const double velocity = e.velocity * velocity_factor;
    e.velocity = velocity >= 127 ? 127 : std::max(0, static_cast<int32_t>(velocity));
    if (first) {
      e.delta += delay;
      first = false;
    }
  }
  AddTrack(copy);
  return 1;
}

int Midi1Data::AddDetunedDouble(int32_t channel, int32_t new_channel, int32_t delay, int32_t detune,
                                int32_t modulation) {
  const int32_t source = FindTrackByChannel(channel);
  if (source < 0) return 0;
  auto* copy = new Midi1Track(*tracks[source], kCopyCapacity);
  copy->SetChannelAll(new_channel);
  tracks[source]->SetControllerValues(cc::kPan, 16);
  copy->SetControllerValues(cc::kPan, 111);
  const int copy_channel = copy->GetChannel();
  for (int32_t i = 0; i < copy->event_count; ++i) {
    MidiEvent& e = *copy->events[i];
    if (e.status == kStatusPitchBend) {
      auto* mod = new MidiEvent(delay);
      mod->SetControlChange(copy_channel, 1, modulation);
      copy->InsertEvent(i, 2, mod);
      break;
    }
    if (e.status == kStatusNote) {
      const int32_t note_delta = e.delta;
      e.delta = delay;
      if (i == 0) {
        ErrorMsg(0);
        break;
      }
      auto* mod = new MidiEvent(0);
      mod->SetControlChange(copy_channel, 1, modulation);
      auto* centre = new MidiEvent(note_delta);
      centre->status = kStatusPitchBend;
      centre->channel = copy_channel;
      centre->SetPitchBend(8192);
      copy->InsertEvent(i, 2, mod);
      copy->InsertEvent(i + 1, 2, centre);
      break;
    }
  }
  for (int32_t i = 0; i < copy->event_count; ++i) {
    MidiEvent& e = *copy->events[i];
    if (e.status == kStatusPitchBend) e.SetPitchBend(std::min(0x3FFF, e.GetPitchBend() + detune));
  }
  AddTrack(copy);
  return 1;
}

int Midi1Data::MapDrumsToTones(int32_t bank_lsb, const int8_t (*table)[128][2], int reset_kit) {
  if (table == nullptr) return 0;
  // The tracks to map and, for each, its row and the drum notes it plays: counted
  // first, so that a song without room for every copy is left as it is.
  struct Mapping {
    int32_t track;
    int32_t row;
    std::vector<int32_t> notes;
  };
  std::vector<Mapping> plan;
  int32_t copies = 0;
  for (int32_t t = track_count - 1; t >= 0; --t) {
    const Midi1Track& track = *tracks[t];
    if (track.IsMetaOnly() == 1 || !IsDrumTrack(t)) continue;
    int lsb = track.GetFirstControllerValue(cc::kBankLsb);
    if (lsb < 0) lsb = 0;
    if (lsb != bank_lsb) continue;
    int row = track.GetFirstNonZeroProgramAny();
    if (row < 0 || row > 127) row = 0;
    Mapping m{t, row, {}};
    for (int32_t note = 0; note < 128; ++note) {
      if (table[row][note][0] >= 0 && track.HasPitch(note)) m.notes.push_back(note);
    }
    copies += static_cast<int32_t>(m.notes.size());
    plan.push_back(std::move(m));
  }
  if (track_count + copies > kMaxSongTracks) {
    ErrorMsg(kM1dtTrackCount);
    return 0;
  }
  int result = 0;
  for (const Mapping& m : plan) {
    for (int32_t note : m.notes) {
      const int32_t tone_program = table[m.row][note][0];
      const int32_t tone_note = table[m.row][note][1];
      int32_t channel = FindChannelOfInstrument(0, 0, tone_program);
      if (channel >= 0 && channel != kNoChannel) {
        Warn(kM1dtSameTone);
      } else {
        channel = FindFreeChannel();
        if (channel < 0 || channel == kNoChannel) {
          channel = 0;
          Warn(kM1dtNoFreeChannel);
        }
      }
      Midi1Track& drums = *tracks[m.track];
      auto* copy = new Midi1Track(drums, kCopyCapacity);
      const std::string name = copy->MetaText(3);
      for (int32_t i = 0; i < copy->event_count; ++i) {
        const MidiEvent& e = *copy->events[i];
        if (e.status == kStatusMeta && e.number == 3) {
          copy->DeleteEvent(i);
          break;
        }
      }
      drums.DeleteNotesByPitch(note, 1);
      copy->DeleteNotesByPitch(note, 0);
      copy->SetChannelAll(channel);
      copy->SetAllNotePitches(std::clamp<int32_t>(tone_note, 0, 127));
      copy->DeleteProgramChanges(-1);
      while (copy->DeleteControlChange(0) == 1) {
      }
      while (copy->DeleteControlChange(32) == 1) {
      }
      copy->InsertProgramAtStart(channel, tone_program);
      copy->InsertControllerAtStart(channel, cc::kBankLsb, 0);
      copy->InsertControllerAtStart(channel, cc::kBankMsb, 0);
      copy->InsertEvent(0, 2, MetaText(3, kDrumToneTitle + name));
      AddTrack(copy);
      result = 1;
    }
    if (reset_kit == 1) {
      Midi1Track& drums = *tracks[m.track];
      drums.SetControllerValues(cc::kBankMsb, 0);
      drums.SetControllerValues(cc::kBankLsb, 0);
      drums.SetFirstProgram(0);
    }
  }
  return result;
}

// ---------------------------------------------------------------------------
// The GS use-for-rhythm-part message

void Midi1Track::InsertRhythmPartSysEx(int flag, int32_t channel) {
  uint8_t message[kGsPartMessageLength] = {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12,
                                           0x40, 0x10, 0x15, 0x00, 0x00, 0xF7};
  if (GsPartBlock(channel) < 0) {
    // A channel without a GS part is reported, and no message is made: the unchanged
    // address would name the rhythm part.
    SysExErrorMsg(kSysExError);
    return;
  }
  SetGsPartAddress(channel, &message[kGsPartAddress], 0x10);
  message[kGsDataByte] = flag ? 1 : 0;
  SetRolandChecksum(message);
  auto* e = new MidiEvent(0);
  e->status = kStatusSysEx;
  e->number = SysExKind::kGsRhythmPart;
  e->value = message[kGsDataByte];
  e->channel = channel;
  e->SetDataQuietly(message, kGsPartMessageLength);
  InsertEvent(0, 2, e);
}
