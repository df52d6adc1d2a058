#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>

#include "export/ringtone/mfi.h"
#include "ringtone_fixture.h"
#include "tests/support/test_support.h"
#include "util/byte_cursor.h"

using ringtone_test::FixtureShape;
using ringtone_test::FixtureSong;
using ringtone_test::Note;
using ringtone_test::NotesOf;

namespace {

bool HasBox(const std::string& tag, uint32_t code) {
  char head[16];
  std::snprintf(head, sizeof head, "%s%08X", tag.c_str(), code);
  for (const auto& t : cantrel_test::Sink().Texts())
    if (t.rfind(head, 0) == 0) return true;
  return false;
}

// The header, the information chunks and the track chunks add up to the file.
void ExpectLengthsAddUp(const std::vector<uint8_t>& file, int tracks) {
  ASSERT_GE(file.size(), 13u);
  ByteReader in(file.data(), file.size());
  in.Skip(4);
  EXPECT_EQ(in.U32Be(), file.size() - 8);
  const uint16_t header_length = in.U16Be();
  size_t at = 10 + header_length;
  ASSERT_LE(at, file.size());
  // The information chunks fill the header exactly.
  size_t info = 13;
  while (info < at) {
    ByteReader c(file.data() + info, at - info);
    c.Skip(4);
    info += 6 + c.U16Be();
  }
  EXPECT_EQ(info, at);
  int chunks = 0;
  while (at < file.size()) {
    ByteReader c(file.data() + at, file.size() - at);
    char id[5] = {};
    c.Bytes(id, 4);
    EXPECT_STREQ(id, "trac");
    at += 8 + c.U32Be();
    ++chunks;
  }
  EXPECT_EQ(at, file.size());
  EXPECT_EQ(chunks, tracks);
}

struct RoundTrip {
  int type;
  bool multi;
  bool three_byte;
  int tracks;
};

class MFiRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

}  // namespace

TEST_P(MFiRoundTrip, EveryNoteKeepsVoiceTickPitchVelocityAndDuration) {
  const RoundTrip p = GetParam();
  FixtureShape shape;
  if (p.three_byte) {
    shape.melodic = 4;
    shape.drums = false;
    shape.low = 45;
    shape.high = 107;
  }
  auto song = FixtureSong(shape);
  std::vector<Note> expected = NotesOf(*song);
  // Voice numbers as the form places them.
  std::map<int, int> voice_of;
  int k = 0;
  for (auto* v : song->ActiveVoices()) voice_of[v->index] = p.multi ? v->index : k++;
  if (p.type == 254) voice_of[9] = 9;
  for (auto& n : expected) {
    n.voice = voice_of[n.voice];
    if (p.three_byte) n.velocity = 100;
    n.velocity &= 0xFE;
  }
  std::sort(expected.begin(), expected.end());

  std::unique_ptr<MFiData> written;
  if (p.multi) {
    written = std::make_unique<MultiMFiData>(*song, p.type, kMfiFileCapacity);
  } else {
    written = std::make_unique<MFiData>(*song, p.type, kMfiFileCapacity);
  }
  written->BuildFile();
  const std::vector<uint8_t> bytes = written->Bytes();
  ASSERT_GT(bytes.size(), 13u);
  ExpectLengthsAddUp(bytes, p.tracks);

  MobileData back;
  if (p.multi) {
    MultiMFiData read(bytes.data(), bytes.size(), kMfiFromBytes);
    EXPECT_EQ(read.device_type, p.type == 250 ? 250 : 6);
    MidiMobileData midi_form;
    read.ToMobileData(midi_form);
    EXPECT_EQ(NotesOf(midi_form), expected);
    return;
  }
  MFiData read(bytes.data(), bytes.size());
  read.ToMobileData(back);
  EXPECT_EQ(back.division, 96);
  EXPECT_EQ(NotesOf(back), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Types, MFiRoundTrip,
    ::testing::Values(RoundTrip{1, false, true, 1}, RoundTrip{252, false, true, 1},
                      RoundTrip{4, false, false, 4}, RoundTrip{5, false, false, 4},
                      RoundTrip{255, false, false, 4}, RoundTrip{254, false, false, 1},
                      RoundTrip{6, true, false, 4}, RoundTrip{7, true, false, 4},
                      RoundTrip{8, true, false, 4}, RoundTrip{9, true, false, 4},
                      RoundTrip{32, true, false, 4}),
    [](const auto& info) { return "Type" + std::to_string(info.param.type); });

// A file read and written again, as a re-encoded ringtone is, keeps its notes whatever the
// number of trips: long notes do not grow, and the shortest notes stay.
TEST(MFiRoundTrip, WritingWhatWasReadKeepsTheNotesTripAfterTrip) {
  for (int type : {4, 5, 255, 254, 6, 32}) {
    SCOPED_TRACE(type);
    const bool multi = type == 6 || type == 32;
    auto read_back = [&](const std::vector<uint8_t>& bytes) {
      if (multi) {
        auto song = std::make_unique<MidiMobileData>();
        MultiMFiData(bytes.data(), bytes.size(), kMfiFromBytes).ToMobileData(*song);
        return std::unique_ptr<MobileData>(std::move(song));
      }
      auto song = std::make_unique<MobileData>();
      MFiData(bytes.data(), bytes.size()).ToMobileData(*song);
      return song;
    };
    auto write = [&](const MobileData& song) {
      std::unique_ptr<MFiData> file;
      if (multi) {
        file = std::make_unique<MultiMFiData>(song, type, kMfiFileCapacity);
      } else {
        file = std::make_unique<MFiData>(song, type, kMfiFileCapacity);
      }
      file->BuildFile();
      return file->Bytes();
    };
    auto song = FixtureSong(FixtureShape{});
    const std::vector<Note> written = NotesOf(*song);
    std::vector<uint8_t> bytes = write(*song);
    const std::vector<Note> first = NotesOf(*read_back(bytes));
    ASSERT_FALSE(first.empty());
    for (const Note& n : first) EXPECT_GE(n.duration, 1) << n;
    EXPECT_TRUE(std::any_of(first.begin(), first.end(), [](const Note& n) { return n.duration == 1; }));
    EXPECT_TRUE(std::any_of(first.begin(), first.end(), [](const Note& n) { return n.duration == 300; }));
    EXPECT_EQ(first.size(), written.size());
    for (int trip = 1; trip <= 3; ++trip) {
      SCOPED_TRACE(trip);
      bytes = write(*read_back(bytes));
      EXPECT_EQ(NotesOf(*read_back(bytes)), first);
    }
    // Re-encoded as a sixteen-voice file, as the engine re-encodes ringtones: voices are
    // placed anew, every note keeps its time, pitch and length.
    auto times = [](const std::vector<Note>& notes) {
      std::vector<std::tuple<int, int, int>> t;
      for (const Note& n : notes) t.emplace_back(n.tick, n.pitch, n.duration);
      std::sort(t.begin(), t.end());
      return t;
    };
    MFiData sixteen(*read_back(bytes), kMfiCmid16, kMfiFileCapacity);
    sixteen.BuildFile();
    const std::vector<uint8_t> cmid = sixteen.Bytes();
    MobileData again;
    MFiData(cmid.data(), cmid.size()).ToMobileData(again);
    EXPECT_EQ(times(NotesOf(again)), times(first));
  }
}

// ---- the encoding of single events ----

namespace {

std::unique_ptr<MobileData> OneVoiceSong(int kind, std::vector<std::tuple<int, int, int, int>> notes,
                                         bool end = true) {
  auto song_ptr = std::make_unique<MobileData>();
  MobileData& song = *song_ptr;
  song.division = 96;
  auto v = std::make_unique<MobileChannel>(0, kind);
  v->AddControl(0, kKindVoiceType, kind == 1 ? 1 : 0);
  v->AddControl(0, kKindTempo, 500000);
  for (auto [delta, pitch, duration, velocity] : notes) v->AddNote(delta, pitch, duration, velocity);
  if (end) v->AddEndOfTrack();
  song.AppendVoice(std::move(v));
  return song_ptr;
}

// The event bytes of track 0 (after the 8-byte chunk header), without the end 00 FF DF 00.
std::vector<uint8_t> TrackEvents(MFiData& file) {
  const auto& b = file.tracks[0]->bytes();
  if (b.size() < 12) return {};
  return {b.begin() + 8, b.end() - 4};
}

std::string Hex(const std::vector<uint8_t>& b) {
  std::string s;
  char x[4];
  for (uint8_t c : b) {
    std::snprintf(x, sizeof x, "%02X ", c);
    s += x;
  }
  return s;
}

}  // namespace

TEST(MFiTrack, NotesOutsideTheKeyRangeTakeOctaveCodes) {
  struct Case {
    int note, key, code;
  };
  for (const Case& c : {Case{40, 7, 3}, Case{110, 53, 1}, Case{21, 0, 2}, Case{119, 62, 1},
                        Case{60, 15, 0}, Case{20, 11, 0}}) {
    SCOPED_TRACE(c.note);
    cantrel_test::Sink().Clear();
    auto song_ptr = OneVoiceSong(2, {{0, c.note, 10, 64}});
    MobileData& song = *song_ptr;
    MFiData file(song, 4, kMfiFileCapacity);
    file.BuildFile();
    const std::vector<uint8_t> ev = TrackEvents(file);
    // start marker, tempo, note, stop
    const std::string hex = Hex(ev);
    char note[32];
    std::snprintf(note, sizeof note, "00 %02X 0A %02X ", c.key, 32 * 4 + c.code);
    EXPECT_NE(hex.find(note), std::string::npos) << hex;
    EXPECT_EQ(HasBox("MFTK", kMftkRange), c.note == 20);
    MFiData back(file.Bytes().data(), file.Bytes().size());
    MobileData read;
    back.ToMobileData(read);
    const auto notes = NotesOf(read);
    ASSERT_EQ(notes.size(), 1u);
    if (c.note != 20) {
      EXPECT_EQ(notes[0].pitch, c.note);
    }
  }
}

TEST(MFiTrack, TrackZeroGetsStartAndStopMarkersAndTheEndMarker) {
  for (int type : {4, 1}) {
    auto song_ptr = OneVoiceSong(2, {{0, 60, 10, 64}});
    MobileData& song = *song_ptr;
    MFiData file(song, type, kMfiFileCapacity);
    file.BuildFile();
    const auto& b = file.tracks[0]->bytes();
    const std::string hex = Hex(std::vector<uint8_t>(b.begin() + 8, b.end()));
    // Type 4 states the voice's type (FF BA) first; type 1 has none.
    const std::string head = type == 1 ? "" : "00 FF BA 00 ";
    const std::string stop = type == 1 ? "00 FF DF 00 " : "00 FF D0 01 ";
    const std::string note = type == 1 ? "00 0F 0A " : "00 0F 0A 80 ";
    EXPECT_EQ(hex, head + "00 FF D0 00 00 FF C4 78 " + note + stop + "00 FF DF 00 ") << type;
  }
}

TEST(MFiTrack, LongGapsAndLongNotesAreSplitAndJoinedBack) {
  auto song_ptr = OneVoiceSong(2, {{600, 60, 300, 64}});
  MobileData& song = *song_ptr;
  for (int type : {4, 6}) {
    SCOPED_TRACE(type);
    std::unique_ptr<MFiData> file;
    if (type == 6) {
      file = std::make_unique<MultiMFiData>(song, type, kMfiFileCapacity);
    } else {
      file = std::make_unique<MFiData>(song, type, kMfiFileCapacity);
    }
    file->BuildFile();
    const std::string hex = Hex(TrackEvents(*file));
    // Two fillers of 255 and the rest 90; a note of 255 and its rest 46 at 254 ticks.
    EXPECT_NE(hex.find("FF FF DE 00 FF FF DE 00 5A 0F FF 80 "), std::string::npos) << hex;
    EXPECT_NE(hex.find("FE 0F 2E 80 "), std::string::npos) << hex;
    const auto bytes = file->Bytes();
    std::vector<Note> notes;
    if (type == 6) {
      MultiMFiData back(bytes.data(), bytes.size(), kMfiFromBytes);
      MidiMobileData read;
      back.ToMobileData(read);
      notes = NotesOf(read);
    } else {
      MFiData back(bytes.data(), bytes.size());
      MobileData read;
      back.ToMobileData(read);
      notes = NotesOf(read);
    }
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].tick, 600);
    EXPECT_EQ(notes[0].duration, 300);
  }
}

// A file of a finer timebase than the program's 96 ticks: its shortest notes become notes of
// one tick, read and re-encoded, never notes of none.
TEST(MFiTrack, ShortNotesOfFinerTimebasesStayNotes) {
  auto song = OneVoiceSong(2, {{0, 60, 1, 64}, {4, 62, 3, 64}, {8, 64, 16, 64}});
  MFiData file(*song, 4, kMfiFileCapacity);
  file.BuildFile();
  std::vector<uint8_t> bytes = file.Bytes();
  bool patched = false;
  for (size_t i = 0; i + 1 < bytes.size() && !patched; ++i) {
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xC4) {
      bytes[i + 1] = 0xC6;  // 384 ticks a quarter
      patched = true;
    }
  }
  ASSERT_TRUE(patched);
  MobileData read;
  MFiData(bytes.data(), bytes.size()).ToMobileData(read);
  const std::vector<Note> notes = NotesOf(read);
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0].duration, 1);
  EXPECT_EQ(notes[1].duration, 1);
  EXPECT_EQ(notes[2].duration, 4);
  MFiData sixteen(read, kMfiCmid16, kMfiFileCapacity);
  sixteen.BuildFile();
  const std::vector<uint8_t> cmid = sixteen.Bytes();
  MobileData again;
  MFiData(cmid.data(), cmid.size()).ToMobileData(again);
  std::vector<int> durations;
  for (const Note& n : NotesOf(again)) durations.push_back(n.duration);
  EXPECT_EQ(durations, (std::vector<int>{1, 1, 4}));
}

TEST(MFiTrack, TempoBytesStayWithinOneToTwoFiftyFive) {
  struct Case {
    int microseconds;
    uint8_t byte;
    bool report;
  };
  for (const Case& c : {Case{500000, 0x78, false}, Case{200000, 0xFF, true}, Case{0, 0xFF, true},
                        Case{-5, 0xFF, true}, Case{90000000, 0x01, true}}) {
    SCOPED_TRACE(c.microseconds);
    cantrel_test::Sink().Clear();
    MobileData song;
    song.division = 96;
    auto v = std::make_unique<MobileChannel>(0, 2);
    v->AddControl(0, kKindTempo, c.microseconds);
    v->AddNote(0, 60, 10, 64);
    v->AddEndOfTrack();
    song.AppendVoice(std::move(v));
    MFiData file(song, 4, kMfiFileCapacity);
    file.BuildFile();
    const std::string hex = Hex(TrackEvents(file));
    char want[16];
    std::snprintf(want, sizeof want, "FF C4 %02X", c.byte);
    EXPECT_NE(hex.find(want), std::string::npos) << hex;
    EXPECT_EQ(HasBox("MFTK", kMftkTempoClamped), c.report);
  }
}

TEST(MFiTrack, EventsWithoutAnEncodingWriteANoOperationNotALoneStatus) {
  // Kinds without an encoding, raw MIDI bytes, drum keys past the range, unset voice kinds.
  MobileData song;
  song.division = 96;
  auto v = std::make_unique<MobileChannel>(0, 2);
  v->AddControl(0, kKindTempo, 500000);
  v->AddNote(0, 60, 10, 64);
  v->AddControl(5, 99, 1);            // unknown kind
  v->AddControl(5, kKindExclusive, 0);  // raw bytes
  v->AddControl(5, 66, 0);
  v->AddNote(5, 61, 10, 64);
  v->AddEndOfTrack();
  song.AppendVoice(std::move(v));
  MFiData file(song, 4, kMfiFileCapacity);
  file.BuildFile();
  const auto bytes = file.Bytes();
  // Every event reads back as one event: the second note is still there at its tick.
  MFiData back(bytes.data(), bytes.size());
  MobileData read;
  back.ToMobileData(read);
  const auto notes = NotesOf(read);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[1].tick, 20);
  EXPECT_EQ(notes[1].pitch, 61);
}

TEST(MFiData, FiveVoicesAsTypeFourGiveTwoTracksAndTypeOneReports) {
  FixtureShape shape;
  shape.melodic = 5;
  shape.drums = false;
  shape.low = 45;
  shape.high = 107;
  auto song = FixtureSong(shape);
  MFiData four(*song, 4, kMfiFileCapacity);
  ASSERT_EQ(four.track_count, 4);
  int flags[4];
  EXPECT_EQ(four.tracks[0]->CountUsedVoices(flags), 4);
  EXPECT_EQ(four.tracks[1]->CountUsedVoices(flags), 1);
  EXPECT_EQ(four.tracks[2]->CountUsedVoices(flags), 0);
  cantrel_test::Sink().Clear();
  MFiData one(*song, 1, kMfiFileCapacity);
  EXPECT_TRUE(HasBox("MFDT", kMfdtTooManyTracks));
}

TEST(MFiData, InformationChunksOfTypesOneAnd254) {
  MobileData song;
  song.title = "abc";
  song.copyright = "xyz";
  song.AddChannel(0, 2)->InsertControl(0, 0, kKindVoiceType, 0);
  song.voices[0]->events.insert(song.voices[0]->events.begin(), nullptr);
  song.voices[0]->events.erase(song.voices[0]->events.begin());
  song.voices[0]->AddNote(0, 60, 10, 64);
  MFiData one(song, 1, kMfiFileCapacity);
  one.BuildFile();
  auto b = one.Bytes();
  ASSERT_GT(b.size(), 13u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "melo");
  // titl(6+3) sorc(6+1) vers(6+4) copy(6+3) = 35; header length 38.
  EXPECT_EQ(ByteReader(b.data() + 8, 2).U16Be(), 38);
  EXPECT_EQ(std::string(b.begin() + 13, b.begin() + 13 + 35),
            std::string("titl\0\3abcsorc\0\1\0vers\0\4" "0100copy\0\3xyz", 35));
  EXPECT_EQ(b[10], 1);
  EXPECT_EQ(b[11], 1);
  EXPECT_EQ(b[12], 1);

  MFiData cmid(song, 254, kMfiFileCapacity);
  cmid.BuildFile();
  b = cmid.Bytes();
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "cmid");
  EXPECT_EQ(b[10], 2);
  EXPECT_EQ(b[11], 1);
  EXPECT_EQ(b[12], 1);
  std::vector<std::string> ids;
  size_t at = 13;
  const size_t end = 10 + ByteReader(b.data() + 8, 2).U16Be();
  while (at < end) {
    ids.emplace_back(b.begin() + at, b.begin() + at + 4);
    at += 6 + ByteReader(b.data() + at + 4, 2).U16Be();
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"vers", "code", "titl", "sorc", "note", "exst"}));
}

namespace {

std::vector<uint8_t> Header(const char* id, int tracks, std::vector<uint8_t> info) {
  std::vector<uint8_t> f(13);
  std::memcpy(f.data(), id, 4);
  ByteWriter(f.data() + 8, 2).U16Be(static_cast<uint32_t>(3 + info.size()));
  f[10] = 1;
  f[11] = 1;
  f[12] = static_cast<uint8_t>(tracks);
  f.insert(f.end(), info.begin(), info.end());
  return f;
}

std::vector<uint8_t> Chunk(const char* id, std::vector<uint8_t> data) {
  std::vector<uint8_t> c(6);
  std::memcpy(c.data(), id, 4);
  ByteWriter(c.data() + 4, 2).U16Be(static_cast<uint32_t>(data.size()));
  c.insert(c.end(), data.begin(), data.end());
  return c;
}

std::vector<uint8_t> Trac(const char* id, std::vector<uint8_t> events) {
  std::vector<uint8_t> c(8);
  std::memcpy(c.data(), id, 4);
  ByteWriter(c.data() + 4, 4).U32Be(static_cast<uint32_t>(events.size()));
  c.insert(c.end(), events.begin(), events.end());
  return c;
}

void Append(std::vector<uint8_t>& a, const std::vector<uint8_t>& b) { a.insert(a.end(), b.begin(), b.end()); }

void Finish(std::vector<uint8_t>& f) { ByteWriter(f.data() + 4, 4).U32Be(static_cast<uint32_t>(f.size() - 8)); }

}  // namespace

TEST(MFiData, ReadingEdgeCases) {
  // An unknown id.
  {
    cantrel_test::Sink().Clear();
    std::vector<uint8_t> f = Header("MThd", 1, {});
    MFiData file(f.data(), f.size());
    EXPECT_EQ(file.device_type, kMfiUnknownId);
    EXPECT_EQ(file.track_count, 0);
    EXPECT_TRUE(HasBox("MFHD", kMfhdBadType));
  }
  // An unknown chunk between "titl" and "vers" is passed over.
  {
    std::vector<uint8_t> info = Chunk("titl", {'a'});
    Append(info, Chunk("zzzz", {1, 2, 3, 4, 5}));
    Append(info, Chunk("vers", {'0', '1', '0', '0'}));
    std::vector<uint8_t> f = Header("melo", 1, info);
    Append(f, Trac("trac", {0x00, 0x0F, 0x10}));
    Finish(f);
    MFiData file(f.data(), f.size());
    ASSERT_NE(file.info->Find("vers"), nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.info->Find("vers")->data), 4), "0100");
    MobileData song;
    file.ToMobileData(song);
    EXPECT_EQ(NotesOf(song).size(), 1u);
  }
  // A track id "TRAC" is reported and still read.
  {
    cantrel_test::Sink().Clear();
    std::vector<uint8_t> f = Header("melo", 1, Chunk("vers", {'0', '1', '0', '0'}));
    Append(f, Trac("TRAC", {0x00, 0x0F, 0x10, 0x05, 0xFF, 0xD1, 0x00, 0x07, 0x4F, 0x10}));
    Finish(f);
    MFiData file(f.data(), f.size());
    EXPECT_TRUE(HasBox("MFTK", kMftkTrackId));
    MobileData song;
    file.ToMobileData(song);
    const auto notes = NotesOf(song);
    ASSERT_EQ(notes.size(), 2u);
    // FF D1 kept its delta: the second note is at 5 + 7 ticks of 48, i.e. 24 at 96.
    EXPECT_EQ(notes[1].tick, 24);
  }
  // A one-track cmid file whose "vers" is "0300" is read as type 254.
  {
    cantrel_test::Sink().Clear();
    std::vector<uint8_t> f = Header("cmid", 1, Chunk("vers", {'0', '3', '0', '0'}));
    Append(f, Trac("trac", {0x00, 0x0F, 0x10, 0x80}));
    Finish(f);
    MFiData file(f.data(), f.size());
    EXPECT_EQ(file.device_type, 254);
    EXPECT_TRUE(HasBox("MFDT", kMfdt16Voice));
  }
}

TEST(MFiData, DamagedLengthsAndValuesAreBoundedAndReported) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    const char* tag;
    uint32_t code;
  };
  std::vector<Case> cases;
  cases.push_back({"twelve bytes", std::vector<uint8_t>{'m', 'e', 'l', 'o', 0, 0, 0, 0, 0, 3, 1, 1}, "MFHD", kMfhdBadHeader});
  {
    std::vector<uint8_t> f = Header("melo", 1, Chunk("titl", std::vector<uint8_t>(400, 'x')));
    ByteWriter(f.data() + 8, 2).U16Be(0xFFFF);  // header past the file
    cases.push_back({"header too long", f, nullptr, 0});
  }
  {
    std::vector<uint8_t> f = Header("melo", 1, {});
    ByteWriter(f.data() + 8, 2).U16Be(1);  // header under 3
    Append(f, Trac("trac", {0x00, 0x0F, 0x10}));
    cases.push_back({"header under three", f, "MFHD", kMfhdBadHeader});
  }
  {
    std::vector<uint8_t> f = Header("melo", 1, {});
    std::vector<uint8_t> t = Trac("trac", {0x00, 0x0F, 0x10, 0x00, 0xFF, 0xFF, 0x7F});
    ByteWriter(t.data() + 4, 4).U32Be(0xFFFFFFF0u);  // track past the file
    Append(f, t);
    cases.push_back({"track length", f, "MFTK", kMftkDataError});
  }
  {
    std::vector<uint8_t> f = Header("melo", 4, {});
    Append(f, Trac("trac", {0x00, 0xFF, 0xF0, 1, 2, 3}));  // F0 cut short
    cases.push_back({"cut F0", f, "MFTK", kMftkDataError});
  }
  {
    std::vector<uint8_t> f = Header("melo", 4, {});
    Append(f, Trac("trac", {0x00, 0xFF, 0xBA, 0xF9}));  // voice 31
    cases.push_back({"BA voice 31", f, "MFTK", kMftkBadValue});
  }
  {
    std::vector<uint8_t> f = Header("melo", 1, {});
    Append(f, Trac("trac", {0x00, 0xFF, 0xBA, 0x49}));  // voice 9 of a one-track file
    cases.push_back({"assignment to an absent track", f, "MFDT", kMfdtBadTrack});
  }
  {
    std::vector<uint8_t> f = Header("melo", 1, {});
    Append(f, Trac("trac", {0x00, 0xFF, 0xC4, 0x00, 0x00, 0x0F, 0x10}));  // tempo 0
    cases.push_back({"tempo zero", f, "MFTK", kMftkBadTempo});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cantrel_test::Sink().Clear();
    MFiData file(c.file.data(), c.file.size());
    MobileData song;
    file.ToMobileData(song);
    file.BuildFile();
    if (c.tag != nullptr) {
      EXPECT_TRUE(HasBox(c.tag, c.code));
    }
    MultiMFiData multi(c.file.data(), c.file.size(), kMfiFromBytes);
    IsMultiMFiImage(c.file.data(), c.file.size());
  }
}

TEST(MFiData, SizeOverGivesNoBytes) {
  // A gap of millions of ticks would need millions of fillers.
  auto song_ptr = OneVoiceSong(2, {{0, 60, 10, 64}, {400000000, 61, 10, 64}});
  MobileData& song = *song_ptr;
  cantrel_test::Sink().Clear();
  MFiData file(song, 4, kMfiFileCapacity);
  file.BuildFile();
  EXPECT_EQ(file.used_size, 0);
  EXPECT_TRUE(HasBox("MFTK", kMftkSizeOver));
  // A note of millions of ticks likewise.
  auto long_note_ptr = OneVoiceSong(2, {{0, 60, 400000000, 64}});
  MobileData& long_note = *long_note_ptr;
  MFiData file2(long_note, 4, kMfiFileCapacity);
  file2.BuildFile();
  EXPECT_EQ(file2.used_size, 0);
}

TEST(MFiData, UnbuiltAndEmptyObjectsWriteNothing) {
  auto song_ptr = OneVoiceSong(2, {{0, 60, 10, 64}});
  MobileData& song = *song_ptr;
  for (int type : {6, 7, 8, 9, 32}) {
    MFiData file(song, type, kMfiFileCapacity);
    file.BuildFile();
    EXPECT_EQ(file.used_size, 0) << type;
    MobileData out;
    file.ToMobileData(out);
    EXPECT_EQ(out.voice_count, 0);
  }
  const auto missing = cantrel_test::TempDir() / "missing.mld";
  cantrel_test::Sink().Clear();
  MFiData none(missing, 4, kMfiFileCapacity);
  none.BuildFile();
  EXPECT_EQ(none.used_size, 0);
  MultiMFiData none2(missing, 6, kMfiFileCapacity);
  EXPECT_EQ(none2.track_count, 0);
  EXPECT_EQ(IsMultiMFiFile(missing), 0);
}

TEST(MultiMFi, VoicesByIndexAndTheDrumProgram) {
  MobileData song;
  song.division = 96;
  for (int index : {0, 1, 9}) {
    auto v = std::make_unique<MobileChannel>(index, index == 9 ? 1 : 2);
    v->AddControl(0, kKindVoiceType, index == 9 ? 1 : 0);
    v->AddControl(0, kKindVolume, 100);
    v->AddNote(0, index == 9 ? 36 : 60, 10, 64);
    v->AddEndOfTrack();
    song.AppendVoice(std::move(v));
  }
  MultiMFiData file(song, 6, kMfiFileCapacity);
  ASSERT_EQ(file.track_count, 4);
  int flags[4];
  EXPECT_EQ(file.tracks[0]->CountUsedVoices(flags), 2);
  EXPECT_EQ(file.tracks[1]->CountUsedVoices(flags), 0);
  EXPECT_EQ(file.tracks[2]->CountUsedVoices(flags), 1);
  EXPECT_EQ(flags[1], 1);
  EXPECT_EQ(file.tracks[3]->CountUsedVoices(flags), 0);
  // A program change 0 stands before the drum voice's first volume.
  const auto& ev = file.tracks[2]->events->events;
  int program = -1, volume = -1;
  for (size_t i = 0; i < ev.size(); ++i) {
    if (ev[i]->IsControl(kKindProgram) && ev[i]->voice == 1 && program < 0) program = static_cast<int>(i);
    if (ev[i]->IsControl(kKindVolume) && ev[i]->voice == 1 && volume < 0) volume = static_cast<int>(i);
  }
  EXPECT_GE(program, 0);
  EXPECT_LT(program, volume);
}

TEST(MultiMFi, AdatChunksArePassedOverAndVersDecides) {
  std::vector<uint8_t> f = Header("melo", 4, Chunk("vers", {'0', '3', '0', '0'}));
  for (const char* id : {"trac", "adat", "trac", "trac", "trac"}) Append(f, Trac(id, {0x00, 0xFF, 0xDE, 0x00}));
  Finish(f);
  MultiMFiData file(f.data(), f.size(), kMfiFromBytes);
  EXPECT_EQ(file.track_count, 4);
  EXPECT_EQ(file.device_type, 6);
  EXPECT_EQ(IsMultiMFiImage(f.data(), f.size()), 1);
  std::vector<uint8_t> g = Header("melo", 4, Chunk("vers", {'0', '2', '0', '0'}));
  EXPECT_EQ(IsMultiMFiImage(g.data(), g.size()), 0);
  // The walk fills at most four slots whatever byte 12 says.
  std::vector<uint8_t> h = Header("melo", 255, {});
  for (int i = 0; i < 9; ++i) Append(h, Trac("trac", {0x00, 0xFF, 0xDE, 0x00}));
  cantrel_test::Sink().Clear();
  MultiMFiData many(h.data(), h.size(), kMfiFromBytes);
  EXPECT_EQ(many.track_count, 4);
  EXPECT_TRUE(HasBox("MFDT", kMfdtTooManyTracks));
  // Path reader.
  const auto path = cantrel_test::TempDir() / "multi.mld";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
  EXPECT_EQ(IsMultiMFiFile(path), 1);
  int lo = 0, hi = 0;
  GetMFiNoteRange(&lo, &hi);
  EXPECT_EQ(lo, 21);
  EXPECT_EQ(hi, 119);
}

TEST(MultiMFi, VoiceIndexesOutsideTheSixteenSlotsOrTakenTwiceAreReportedOnce) {
  MobileData song;
  for (int index : {0, 3, 3, 16, 40}) {
    auto v = std::make_unique<MobileChannel>(index, 2);
    v->AddControl(0, kKindVoiceType, 0);
    v->AddNote(0, 60 + index % 12, 96, 64);
    v->AddEndOfTrack();
    song.AppendVoice(std::move(v));
  }
  cantrel_test::Sink().Clear();
  MultiMFiData file(song, 6, kMfiFileCapacity);
  file.BuildFile();
  EXPECT_TRUE(HasBox("MFDT", kMfdtTooManyTracks));
  size_t reports = 0;
  for (const auto& t : cantrel_test::Sink().Texts()) reports += t.rfind("MFDT20000002", 0) == 0;
  EXPECT_EQ(reports, 1u);
  const std::vector<uint8_t> bytes = file.Bytes();
  ExpectLengthsAddUp(bytes, 4);
  MultiMFiData read(bytes.data(), bytes.size(), kMfiFromBytes);
  MidiMobileData back;
  read.ToMobileData(back);
  EXPECT_EQ(NotesOf(back).size(), 2u);  // voices 0 and the first 3
}
