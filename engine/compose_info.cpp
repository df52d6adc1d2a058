#include "engine/compose_info.h"

#include <cstring>

#include "engine/engine_errors.h"
#include "engine/engine_store.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

std::unique_ptr<ComposeData>& Data() { return TheEngineStore().compose; }

}  // namespace

// ---- EventList ------------------------------------------------------------

ComposeEvent* EventList::event(int i) {
  if (i < 0 || i >= count()) return nullptr;
  return events_[static_cast<size_t>(i)].get();
}

const ComposeEvent* EventList::event(int i) const {
  if (i < 0 || i >= count()) return nullptr;
  return events_[static_cast<size_t>(i)].get();
}

void EventList::FreeEvents() {
  events_.clear();
  events_.shrink_to_fit();
}

ComposeEvent* EventList::Append(std::unique_ptr<ComposeEvent> event, bool warn_at_last) {
  if (count() >= kEventListCapacity) {
    if (!warn_at_last) ShowErrorByCode(engine_error::kNoteMemory);
    return nullptr;
  }
  if (warn_at_last && count() == kEventListCapacity - 1) ShowErrorByCode(engine_error::kNoteMemory);
  events_.push_back(std::move(event));
  return events_.back().get();
}

ComposeEvent* EventList::AppendNote(int length, int pitch) {
  auto e = std::make_unique<ComposeEvent>();
  e->length = length;
  e->pitch = pitch;
  e->kind = kEventNote;
  return Append(std::move(e), true);
}

ComposeEvent* EventList::AppendControl(int length, int value) {
  auto e = std::make_unique<ComposeEvent>();
  e->length = length;
  e->pitch = value;
  e->kind = kEventControl;
  return Append(std::move(e), true);
}

ComposeEvent* EventList::AppendSectionTag(int length, const char* tag4) {
  auto e = std::make_unique<ComposeEvent>();
  e->length = length;
  e->kind = kEventSectionTag;
  if (tag4 != nullptr) {
    for (int i = 0; i < 4 && tag4[i] != '\0'; ++i) e->tag[i] = tag4[i];
  }
  return Append(std::move(e), true);
}

ComposeEvent* EventList::AppendChordMarker(const ChordBlock& block) {
  auto e = std::make_unique<ComposeEvent>();
  e->length = block.length;
  e->pitch = 0;
  e->kind = kEventChordMarker;
  std::memcpy(e->chord_code, block.chord_code, 4);
  if (block.bass_text[0] != '\0') {
    e->bass_text[0] = block.bass_text[0];
    e->bass_text[1] = block.bass_text[1];
  }
  return Append(std::move(e), false);
}

ComposeEvent* EventList::AppendCopy(const ComposeEvent& event) {
  auto e = std::make_unique<ComposeEvent>();
  e->length = event.length;
  e->pitch = event.pitch;
  e->kind = event.kind;
  std::memcpy(e->chord_code, event.chord_code, 4);
  std::memcpy(e->bass_text, event.bass_text, 2);
  return Append(std::move(e), false);
}

void EventList::AppendAll(const EventList& other) {
  if (&other == this) {
    const int n = count();
    for (int i = 0; i < n; ++i)
      if (AppendCopy(*events_[static_cast<size_t>(i)]) == nullptr) return;
    return;
  }
  for (const auto& e : other.events_)
    if (AppendCopy(*e) == nullptr) return;
}

void EventList::CopyFrom(const EventList& other) {
  if (&other == this) return;
  FreeEvents();
  AppendAll(other);
}

void EventList::SplitLongNotes(int max_length) {
  if (max_length <= 0) return;
  // One rebuild: a long note keeps max_length ticks and the rest of its time
  // follows as rests of at most max_length each.
  std::vector<std::unique_ptr<ComposeEvent>> rebuilt;
  rebuilt.reserve(events_.size());
  bool full_reported = false;
  for (size_t i = 0; i < events_.size(); ++i) {
    std::unique_ptr<ComposeEvent>& e = events_[i];
    if (e->kind != kEventNote || e->length <= max_length || full_reported) {
      rebuilt.push_back(std::move(e));
      continue;
    }
    int rest = e->length - max_length;
    const ComposeEvent pattern = *e;
    e->length = max_length;
    rebuilt.push_back(std::move(e));
    while (rest > 0) {
      // Room for every event still to come.
      if (rebuilt.size() + (events_.size() - i - 1) >= static_cast<size_t>(kEventListCapacity)) {
        ShowErrorByCode(engine_error::kNoteMemory);
        rebuilt.back()->length += rest;  // the time stays in the list
        full_reported = true;
        break;
      }
      auto piece = std::make_unique<ComposeEvent>(pattern);
      piece->pitch = 0;
      piece->length = std::min(rest, max_length);
      rest -= piece->length;
      rebuilt.push_back(std::move(piece));
    }
  }
  events_ = std::move(rebuilt);
}

int EventList::CountNotesBetween(int from, int to) const {
  int n = 0;
  int start = 0;
  for (const auto& e : events_) {
    if (e->kind == kEventNote && e->pitch > 0 && start >= from && start < to) ++n;
    start += e->length;
  }
  return n;
}

void EventList::InsertAtTime(ComposeEvent* event, int time) {
  InsertAtTime(std::unique_ptr<ComposeEvent>(event), time);
}

void EventList::InsertAtTime(std::unique_ptr<ComposeEvent> event, int time) {
  if (!event) return;
  if (full()) {
    ShowErrorByCode(engine_error::kNoteMemory);
    return;
  }
  if (time < 0) time = 0;
  int start = 0;
  for (size_t i = 0; i < events_.size(); ++i) {
    ComposeEvent& e = *events_[i];
    const int end = start + e.length;
    if (end >= time) {
      e.length = time - start;
      event->length = end - time;
      events_.insert(events_.begin() + static_cast<long>(i) + 1, std::move(event));
      return;
    }
    start = end;
  }
  if (!events_.empty()) events_.back()->length += time - start;
  event->length = 0;
  events_.push_back(std::move(event));
}

void EventList::MergeFrom(const EventList& other) {
  if (&other == this) return;
  int start = 0;
  for (const auto& e : other.events_) {
    InsertAtTime(std::make_unique<ComposeEvent>(*e), start);
    start += e->length;
  }
}

void EventList::TransposeDownFrom(int first) {
  const StyleRecord& style = CurrentStyle();
  if (style.modulation == 0) return;
  const int low = style.parts[kMelodyChannel].range_low;
  for (int i = first < 0 ? 0 : first; i < count(); ++i) {
    ComposeEvent& e = *events_[static_cast<size_t>(i)];
    if (e.kind == kEventNote && e.pitch > 0) {
      e.pitch -= 1;
      if (e.pitch + 12 < low) e.pitch += 12;
    } else if (e.kind == kEventChordMarker) {
      e.chord_code[0] = RootLetterDown(e.chord_code[0]);
    }
  }
}

void EventList::TransposeUpFrom(int first) {
  const StyleRecord& style = CurrentStyle();
  if (style.modulation == 0) return;
  const int high = style.parts[kMelodyChannel].range_high;
  for (int i = first < 0 ? 0 : first; i < count(); ++i) {
    ComposeEvent& e = *events_[static_cast<size_t>(i)];
    if (e.kind == kEventNote && e.pitch > 0) {
      e.pitch = e.pitch + 1 > 126 ? e.pitch - 11 : e.pitch + 1;
      if (e.pitch > high + 12) e.pitch -= 12;
    } else if (e.kind == kEventChordMarker) {
      e.chord_code[0] = RootLetterUp(e.chord_code[0]);
    }
  }
}

void EventList::PackNotes(uint8_t* buffer) const {
  std::memset(buffer, 0, kPackBufferSize);
  size_t at = 0;
  for (const auto& e : events_) {
    if (at + 3 > kPackBufferSize) break;
    buffer[at++] = static_cast<uint8_t>((e->length / 256) & 0xFF);
    buffer[at++] = static_cast<uint8_t>((e->length % 256) & 0xFF);
    buffer[at++] = static_cast<uint8_t>(e->pitch & 0xFF);
  }
}

int EventList::StartOf(int i) const {
  int start = 0;
  for (int k = 0; k < i && k < count(); ++k) start += events_[static_cast<size_t>(k)]->length;
  return start;
}

int EventList::TotalLength() const { return StartOf(count()); }

void ClearEventListArray(std::array<EventList, kSectionCapacity>& lists) {
  for (EventList& list : lists) list.FreeEvents();
}

// ---- ComposeInformation ---------------------------------------------------

void ComposeInformation::Reset() {
  section_id_count = 0;
  ClearEventListArray(section_chords);
  chord_timeline.FreeEvents();
  melody_notes.FreeEvents();
  voicing_notes.FreeEvents();
}

ChordBlock* ComposeInformation::chord_block(int i) {
  if (i < 0 || i >= chord_block_count()) return nullptr;
  return chord_blocks_[static_cast<size_t>(i)].get();
}

const ChordBlock* ComposeInformation::chord_block(int i) const {
  if (i < 0 || i >= chord_block_count()) return nullptr;
  return chord_blocks_[static_cast<size_t>(i)].get();
}

void ComposeInformation::FreeChordBlocks() { chord_blocks_.clear(); }

ChordBlock* ComposeInformation::AddChordBlock(const ChordEntry& entry, const char* bass_text) {
  if (chord_block_count() >= kChordBlockCapacity) return nullptr;
  chord_blocks_.push_back(std::make_unique<ChordBlock>(entry, bass_text));
  ChordBlock* block = chord_blocks_.back().get();
  if (chord_block_count() == kChordBlockCapacity) ErrorMsg();
  return block;
}

ChordBlock* ComposeInformation::AddChordBlockWithBass(const ChordEntry& entry, int bass_offset) {
  if (bass_offset < 0) bass_offset = 0;
  if (bass_offset > 99) bass_offset = 99;
  const char text[3] = {static_cast<char>('0' + bass_offset / 10),
                        static_cast<char>('0' + bass_offset % 10), '\0'};
  return AddChordBlock(entry, text);
}

int ComposeInformation::TotalChordLength() const {
  int total = 0;
  for (const auto& block : chord_blocks_) total += block->length;
  return total;
}

bool ComposeInformation::AddSectionId(int id) {
  if (section_id_count < 0) section_id_count = 0;
  if (section_id_count >= kSectionIdCapacity) {
    ShowErrorByCode(engine_error::kSectionId);
    return false;
  }
  section_ids[section_id_count++] = id;
  return true;
}

bool ComposeInformation::SetChordInputEntry(int index, const ChordEntry& entry,
                                            const char* digits) {
  if (index < 0 || index >= kChordInputEntries) {
    ShowErrorByCode(engine_error::kEditInit);
    return false;
  }
  const size_t at = static_cast<size_t>(index) * kChordEntrySize;
  WriteChordEntry(chord_input + at, entry);
  // The end mark: a zero length after the entry (its two length bytes fit
  // even after the 682nd entry).
  const size_t next = at + kChordEntrySize;
  if (next + 2 <= kChordInputSize) {
    chord_input[next] = 0;
    chord_input[next + 1] = 0;
  }
  bass_digits[index][0] = digits != nullptr ? digits[0] : '0';
  bass_digits[index][1] = digits != nullptr ? digits[1] : '0';
  return true;
}

int ComposeInformation::ChordInputCount() const {
  int n = 0;
  while (n < kChordInputEntries) {
    const size_t at = static_cast<size_t>(n) * kChordEntrySize;
    if (chord_input[at] == 0 && chord_input[at + 1] == 0) break;
    ++n;
  }
  return n;
}

ChordEntry ComposeInformation::ChordInputEntry(int index) const {
  if (index < 0 || index >= kChordInputEntries) return ChordEntry{};
  return ReadChordEntry(chord_input + static_cast<size_t>(index) * kChordEntrySize);
}

void ComposeInformation::ClearChordInput() {
  std::memset(chord_input, 0, sizeof chord_input);
  std::memset(bass_digits, 0, sizeof bass_digits);
}

void ComposeInformation::ErrorMsg() { GneMessageBox("ComposeInformation::ErrorMsg"); }

// ---- Globals ----------------------------------------------------------------

ComposeInformation& ComposeInfo() { return Data()->info; }
EventList& VocalMelodyList() { return Data()->vocal_melody; }
EventList& MelodyInputCopy() { return Data()->melody_input_copy; }
EventList& ObbligatoInputList() { return Data()->obbligato_input; }
EventList& InstrumentalMelodyList() { return Data()->instrumental_melody; }

std::string ChordTemplateKey() { return CurrentTimingDatabases().chord_template_key; }

void SetChordTemplateKey(const char* code4) {
  std::string key;
  for (int i = 0; i < 4 && code4 != nullptr && code4[i] != '\0'; ++i) key.push_back(code4[i]);
  EngineServices().timing.chord_template_key = key;
}

std::string TimeChartFileName() { return CurrentTimingDatabases().time_chart; }
std::string CadenceTimeChartFileName() { return CurrentTimingDatabases().cadence_time_chart; }

void ResetComposeInformation() { Data() = std::make_unique<ComposeData>(); }
