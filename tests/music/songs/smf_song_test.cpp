// Standard MIDI File songs: format detection, headers, states, reading and
// writing files of both formats, and the format-0 song's lead-in, division and
// metre.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <type_traits>

#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "music/midi_data.h"
#include "music/sysex_message.h"
#include "platform/core/file_dialogs.h"
#include "platform/core/files.h"
#include "tests/music/songs/songs_test_util.h"
#include "tests/support/test_support.h"

using namespace songs_test;
namespace fs = std::filesystem;

namespace {

const char kTooLarge[] = "M1DT03000019 データが大きすぎます。";

// A format-0 file with a tempo and notes at the ticks (duration 48), division 96.
Bytes Format0File(const std::vector<int>& starts, int division = 96) {
  Bytes body = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
  int at = 0;
  for (int s : starts) {
    body.push_back(static_cast<uint8_t>(s - at));
    Bytes on = {0x90, 60, 100, 48, 0x80, 60, 0};
    body.insert(body.end(), on.begin(), on.end());
    at = s + 48;
  }
  Bytes end = {0x00, 0xFF, 0x2F, 0x00};
  body.insert(body.end(), end.begin(), end.end());
  return Join({Header(0, 1, division), Chunk(body)});
}

Bytes MacBinary(const Bytes& file) {
  Bytes out(kMacBinaryHeaderSize, 0);
  out[1] = 5;
  out.insert(out.end(), file.begin(), file.end());
  return out;
}

fs::path Temp(const std::string& name) { return cantrel_test::TempDir() / name; }

fs::path Write(const std::string& name, const Bytes& bytes) {
  const fs::path path = Temp(name);
  cantrel_test::WriteFileBytes(path, bytes);
  return path;
}

std::vector<std::string> BoxTexts() { return cantrel_test::Sink().Texts(); }

// Lines of mido's view that every save keeps: notes, channel messages, system
// exclusive and the meta messages the system keeps (port prefixes, unknown metas
// and device names are not kept). The master volume the format-1 reader adds to
// songs without one is left out.
std::vector<std::string> Kept(const std::vector<std::string>& lines) {
  std::vector<std::string> kept;
  for (const std::string& l : lines) {
    if (l.find(" midi_port ") != std::string::npos || l.find(" unknown_meta ") != std::string::npos ||
        l.find(" device_name ") != std::string::npos || l.find(" instrument_name ") != std::string::npos) {
      continue;
    }
    if (l.rfind("X ", 0) == 0 && l.find("F0 7F 7F 04 01 00 7F F7") != std::string::npos) continue;
    // A tempo of 0 is read as 500000.
    const size_t zero = l.find("('tempo', 0)]");
    kept.push_back(zero == std::string::npos ? l : l.substr(0, zero) + "('tempo', 500000)]");
  }
  return kept;
}

void ExpectSameMusic(const fs::path& original, const fs::path& saved) {
  CANTREL_NEED_MIDO();
  const auto a = Kept(MidoCanonical(original));
  const auto b = Kept(MidoCanonical(saved));
  const auto lost = Missing(a, b);
  const auto added = Missing(b, a);
  EXPECT_TRUE(lost.empty()) << original << ": " << lost.size() << " lost, first " << lost[0];
  EXPECT_TRUE(added.empty()) << original << ": " << added.size() << " added, first " << added[0];
}

void ExpectMidicsvReads(const fs::path& path) {
  CANTREL_NEED_TOOL("midicsv");
  EXPECT_EQ(MidicsvStatus(path), 0) << path;
}

void ExpectToolsRead(const fs::path& path) {
  ExpectMidicsvReads(path);
  CANTREL_NEED_MIDO();
  std::string error;
  MidoCanonical(path, &error);
  EXPECT_TRUE(error.empty()) << error;
}

// mido's "type tracks division" of the file.
void ExpectMidoHeader(const fs::path& path, const std::string& want) {
  CANTREL_NEED_MIDO();
  EXPECT_EQ(MidoHeader(path), want) << path;
}

// Format-0 song: load, save, load, save.
void RoundTrip0(const fs::path& source, Bytes* first, Bytes* second) {
  const fs::path a = Temp("first0.mid");
  const fs::path b = Temp("second0.mid");
  Midi0Data song(source, kDefaultMusicCapacity);
  ASSERT_EQ(song.state, kSongNotes);
  ASSERT_EQ(song.SaveFile(a, 0), 1);
  EXPECT_EQ(song.state, kSongNotes);
  Midi0Data again(a, kDefaultMusicCapacity);
  ASSERT_EQ(again.SaveFile(b, 0), 1);
  *first = cantrel_test::ReadFileBytes(a);
  *second = cantrel_test::ReadFileBytes(b);
}

void RoundTrip1(const fs::path& source, Bytes* first, Bytes* second) {
  const fs::path a = Temp("first1.mid");
  const fs::path b = Temp("second1.mid");
  Midi1Data song(source, kDefaultMusicCapacity);
  ASSERT_EQ(song.state, kSongNotes);
  ASSERT_GT(song.track_count, 0);
  ASSERT_EQ(song.SaveFile(a), 1);
  EXPECT_EQ(song.state, kSongNotes);
  Midi1Data again(a, kDefaultMusicCapacity);
  ASSERT_EQ(again.SaveFile(b), 1);
  *first = cantrel_test::ReadFileBytes(a);
  *second = cantrel_test::ReadFileBytes(b);
}

}  // namespace

// ---- format detection and headers ----

TEST(SmfFormat, ByFormatBytes) {
  struct Case {
    uint8_t b8, b9;
    int expected;
  } cases[] = {{0, 0, 0}, {0, 1, 1}, {0, 2, -1}, {1, 0, -1}};
  for (const Case& c : cases) {
    Bytes file = Format0File({0});
    file[8] = c.b8;
    file[9] = c.b9;
    EXPECT_EQ(GetSmfFormat(file.data(), static_cast<int32_t>(file.size())), c.expected);
  }
}

TEST(SmfFormat, RequiresMThdAndFourteenBytes) {
  Bytes file = Format0File({0});
  Bytes renamed = file;
  renamed[0] = 'X';
  EXPECT_EQ(GetSmfFormat(renamed.data(), static_cast<int32_t>(renamed.size())), -1);
  EXPECT_EQ(GetSmfFormat(file.data(), 13), -1);
  EXPECT_EQ(GetSmfFormat(file.data(), 14), 0);
  EXPECT_EQ(GetSmfFormat(nullptr, 100), -1);
  Bytes zeros(200, 0);
  EXPECT_EQ(GetSmfFormat(zeros.data(), 200), -1);
}

TEST(SmfFormat, MacBinaryPrefixIsMovedAway) {
  const Bytes file = Format0File({0, 96});
  Bytes prefixed = MacBinary(file);
  EXPECT_EQ(GetSmfFormat(prefixed.data(), static_cast<int32_t>(prefixed.size())), 0);
  EXPECT_TRUE(std::equal(file.begin(), file.end(), prefixed.begin()));
  // A prefix with no room for a header behind it is no MIDI file.
  Bytes short_prefix(kMacBinaryHeaderSize + 10, 0);
  std::copy(file.begin(), file.begin() + 10, short_prefix.begin() + kMacBinaryHeaderSize);
  EXPECT_EQ(GetSmfFormat(short_prefix.data(), static_cast<int32_t>(short_prefix.size())), -1);
}

TEST(SmfHeader, Format0HeaderLengthIsNotRead) {
  Bytes file = Format0File({0});
  file[7] = 8;  // header length 8: still read as 6
  Midi0Data song(file.data(), static_cast<int32_t>(file.size()));
  EXPECT_EQ(song.state, kSongNotes);
  EXPECT_EQ(song.track->CountEvents(kStatusNote), 1);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(SmfHeader, Format0Refusals) {
  struct Case {
    size_t at;
    uint8_t value;
    const char* text;
  } cases[] = {
      {11, 2, "M0DT04000003 トラック数に誤りがあります。"},
      {9, 1, "M0DT04000001 フォーマット0のファイルではありません。"},
      {0, 'm', "M0DT04000004 MIDIファイルではないか、ファイルにマックバイナリがついています。"},
      {13, 0, "MDDT35000001 Midiのフォーマット異常です。"},  // division 0
  };
  for (const Case& c : cases) {
    cantrel_test::Sink().Clear();
    Bytes file = Format0File({0});
    file[c.at] = c.value;
    if (c.at == 13) file[12] = 0;
    Midi0Data song(file.data(), static_cast<int32_t>(file.size()));
    EXPECT_EQ(song.state, kSongNotes);
    EXPECT_EQ(song.track->event_count, 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{c.text});
  }
}

TEST(SmfHeader, ShortInputIsNotAMidiFile) {
  const Bytes file = Format0File({0});
  Midi0Data song(file.data(), 10);
  EXPECT_EQ(song.track->event_count, 0);
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  Midi1Data one(10, file.data());
  EXPECT_EQ(one.state, kSongBytes);
  EXPECT_EQ(one.track_count, 0);
  EXPECT_EQ(one.division, 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 2u);
}

TEST(SmfHeader, Format1TrackCounts) {
  const Bytes track = Chunk({0x00, 0xFF, 0x2F, 0x00});
  std::vector<Bytes> parts = {Header(1, 63, 96)};
  for (int i = 0; i < 63; ++i) parts.push_back(track);
  const Bytes file63 = Join(parts);
  Midi1Data song63(static_cast<int32_t>(file63.size()), file63.data());
  EXPECT_EQ(song63.track_count, 63);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);

  parts[0] = Header(1, 64, 96);
  parts.push_back(track);
  const Bytes file64 = Join(parts);
  Midi1Data song64(static_cast<int32_t>(file64.size()), file64.data());
  EXPECT_EQ(song64.track_count, 32);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"M1DT03000001 トラック数のエラーです。"});
}

TEST(SmfHeader, Format1FileEndingEarlyKeepsTheTracksRead) {
  const Bytes track = Chunk({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00});
  const Bytes file = Join({Header(1, 3, 96), track, track});
  Midi1Data song(static_cast<int32_t>(file.size()), file.data());
  EXPECT_EQ(song.track_count, 2);
  EXPECT_EQ(song.state, kSongNotes);
  EXPECT_EQ(BoxTexts(),
            std::vector<std::string>{"M1DT00000000 Midiのフォーマット１のデータでエラーが発生しました。"});
}

TEST(SmfHeader, ForeignChunksAreSteppedOver) {
  const Bytes track = Chunk({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00});
  const Bytes foreign = {'A', 'B', 'C', 'D', 0, 0, 0, 3, 1, 2, 3};
  const Bytes file = Join({Header(1, 2, 96), foreign, track, foreign, track});
  Midi1Data song(static_cast<int32_t>(file.size()), file.data());
  EXPECT_EQ(song.track_count, 2);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(SmfHeader, MacBinaryFilesReadLikeTheFile) {
  const Bytes file0 = Format0File({0, 96});
  const Bytes prefixed0 = MacBinary(file0);
  Midi0Data plain(file0.data(), static_cast<int32_t>(file0.size()));
  Midi0Data wrapped(prefixed0.data(), static_cast<int32_t>(prefixed0.size()));
  EXPECT_EQ(wrapped.track->event_count, plain.track->event_count);
  EXPECT_EQ(Ticks(*wrapped.track), Ticks(*plain.track));

  const Bytes track = Chunk({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00});
  const Bytes file1 = Join({Header(1, 1, 96), track});
  const Bytes prefixed1 = MacBinary(file1);
  Midi1Data one(static_cast<int32_t>(prefixed1.size()), prefixed1.data());
  EXPECT_EQ(one.track_count, 1);
  EXPECT_EQ(one.tracks[0]->CountEvents(kStatusNote), 1);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);

  const fs::path path = Write("mac.mid", prefixed1);
  Midi0Data opened(path, kDefaultMusicCapacity);
  EXPECT_EQ(opened.track->CountEvents(kStatusNote), 1);
}

// ---- the path constructors ----

TEST(SmfPaths, MissingFileGivesAnEmptySong) {
  const fs::path path = Temp("nothing.mid");
  Midi0Data song(path, kDefaultMusicCapacity);
  EXPECT_EQ(song.state, kSongNotes);
  EXPECT_EQ(song.division, kNewSongDivision);
  ASSERT_NE(song.track, nullptr);
  EXPECT_EQ(song.track->mode, kTrackNotes);
  EXPECT_EQ(song.track->event_count, 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"M0DT04000002 ファイルが開けませんでした。"});

  cantrel_test::Sink().Clear();
  Midi1Data one(path, kDefaultMusicCapacity);
  EXPECT_EQ(one.track_count, 0);
  EXPECT_EQ(one.state, kSongNotes);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"M1DT03000005 ファイルを開けませんでした。"});
}

TEST(SmfPaths, FilesAboveTheCapacityAreRefused) {
  Bytes file = Format0File({0});
  file.resize(kDefaultMusicCapacity + 1, 0);
  const fs::path path = Write("big.mid", file);
  Midi0Data song(path, kDefaultMusicCapacity);
  EXPECT_EQ(song.track->event_count, 0);
  Midi1Data one(path, kDefaultMusicCapacity);
  EXPECT_EQ(one.track_count, 0);
  Midi0Data bytes(file.data(), static_cast<int32_t>(file.size()));
  EXPECT_EQ(bytes.track->event_count, 0);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kTooLarge, kTooLarge, kTooLarge}));
}

TEST(SmfPaths, NoMidiFileIsHandedOverAtMostOnce) {
  const fs::path garbage = Write("garbage.mid", Bytes(500, 0x41));
  Midi0Data song(garbage, kDefaultMusicCapacity);
  EXPECT_EQ(song.track->event_count, 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);

  // A format-0 file the format-0 reader refuses (two tracks announced).
  Bytes two = Format0File({0});
  two[11] = 2;
  const fs::path path = Write("two.mid", two);
  cantrel_test::Sink().Clear();
  Midi0Data zero(path, kDefaultMusicCapacity);
  EXPECT_EQ(zero.track->event_count, 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"M0DT04000003 トラック数に誤りがあります。"});
  cantrel_test::Sink().Clear();
  Midi1Data one(path, kDefaultMusicCapacity);
  EXPECT_EQ(one.track_count, 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"M0DT04000003 トラック数に誤りがあります。"});
}

TEST(SmfPaths, Format1FileOpensAsOneTrack) {
  const fs::path path = cantrel_test::DataPath("midi/songs/band_f1.mid");
  Midi1Data one(path, kDefaultMusicCapacity);
  ASSERT_EQ(one.track_count, 3);
  int notes = 0;
  int events = 0;
  for (int i = 0; i < one.track_count; ++i) {
    notes += one.tracks[i]->CountEvents(kStatusNote);
    events += one.tracks[i]->event_count - 1;  // without End of Track
  }
  Midi0Data song(path, kDefaultMusicCapacity);
  EXPECT_EQ(song.state, kSongNotes);
  EXPECT_EQ(song.division, 480);
  EXPECT_EQ(song.track->CountEvents(kStatusNote), notes);
  EXPECT_EQ(song.track->event_count, events + 1);
  EXPECT_EQ(song.track->GetLength(), 2880);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(SmfPaths, Format0FileOpensAsSeventeenTracks) {
  const fs::path path = cantrel_test::DataPath("midi/songs/setup_f0.mid");
  Midi1Data one(path, kDefaultMusicCapacity);
  ASSERT_EQ(one.track_count, kSplitTrackCount);
  EXPECT_EQ(one.division, 96);
  EXPECT_EQ(one.tracks[10]->CountEvents(kStatusNote), 2);  // channel 9
  EXPECT_EQ(one.tracks[1]->CountEvents(kStatusNote), 3);   // channel 0
  EXPECT_EQ(one.tracks[0]->CountEvents(kStatusSysEx), 0);
  EXPECT_EQ(one.tracks[1]->CountEvents(kStatusSysEx), 3);
  // The GS part message of channel 10 goes with its channel.
  EXPECT_EQ(one.tracks[11]->CountEvents(kStatusSysEx), 1);
  for (int i = 0; i < one.track_count; ++i) {
    EXPECT_EQ(one.tracks[i]->GetLength(), 400) << i;
    EXPECT_TRUE(one.tracks[i]->LastIsEndOfTrack());
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(SmfPaths, MasterVolumeIsAddedToFormat1Songs) {
  const fs::path path = cantrel_test::DataPath("midi/songs/band_f1.mid");
  Midi1Data one(path, kDefaultMusicCapacity);
  EXPECT_EQ(one.GetMasterVolume(), 127);
  EXPECT_EQ(one.tracks[1]->CountSysExKind(1), 1);  // the first track with a channel
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);

  const Bytes bytes = cantrel_test::ReadFileBytes(path);
  Midi1Data warned(bytes.data(), static_cast<int32_t>(bytes.size()), 1, kDefaultMusicCapacity);
  EXPECT_EQ(warned.GetMasterVolume(), 127);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{
                            "M1DT03000016 マスターボリュームが設定されていませんでしたので127を設定しました。"});
}

// ---- states ----

TEST(SmfStates, WrongStateIsReportedAndChangesNothing) {
  const Bytes file = Format0File({0, 96});
  Midi0Data song(file.data(), static_cast<int32_t>(file.size()));
  song.Pack(0);
  EXPECT_EQ(song.state, kSongNotes);
  song.Unpack();
  song.ToNoteMode();
  EXPECT_EQ(song.state, kSongNotes);
  EXPECT_EQ(song.CutLeadIn(), 0 * 0 + song.CutLeadIn());
  const auto texts = BoxTexts();
  ASSERT_EQ(texts.size(), 3u);
  for (const auto& t : texts) {
    EXPECT_EQ(t, "M0DT04000005 Midiのフォーマット0のデータで内部エラーが発生しました。");
  }

  cantrel_test::Sink().Clear();
  Midi1Data one(96, kDefaultMusicCapacity);
  one.Pack();
  one.Unpack();
  EXPECT_EQ(one.state, kSongNotes);
  EXPECT_EQ(cantrel_test::Sink().Count(), 2u);
}

TEST(SmfStates, StepByStep) {
  const Bytes file = Format0File({0, 96});
  Midi0Data song(file.data(), static_cast<int32_t>(file.size()));
  EXPECT_EQ(song.track->mode, kTrackNotes);
  song.ToEventMode();
  EXPECT_EQ(song.state, kSongEvents);
  EXPECT_EQ(song.track->mode, kTrackEvents);
  song.Pack(0);
  EXPECT_EQ(song.state, kSongBytes);
  EXPECT_EQ(song.track, nullptr);
  EXPECT_EQ(song.position, kSmfHeaderSize);
  song.Unpack();
  EXPECT_EQ(song.state, kSongEvents);
  EXPECT_EQ(song.track->CountEvents(kStatusNoteOn), 2);
}

TEST(SmfStates, SaveReturnsToTheStateAndOrdersTicks) {
  // A note ending at 96 and the next starting at 96 on another channel, stored
  // note-on first.
  std::unique_ptr<MidiTrack> track(MakeTrack(
      kTrackEvents, {NoteOn(0, 0, 60, 100), NoteOn(96, 1, 64, 100), NoteOff(0, 0, 60),
                     NoteOff(96, 1, 64), EndOfTrack(0)}));
  Midi0Data song(kSongEvents, 96, kDefaultMusicCapacity);
  delete song.track;
  song.track = track.release();
  song.ToNoteMode();
  const fs::path path = Temp("ordered.mid");
  ASSERT_EQ(song.SaveFile(path, 0), 1);
  EXPECT_EQ(song.state, kSongNotes);
  song.ToEventMode();
  EXPECT_EQ(song.track->events[1]->status, kStatusNoteOff);
  EXPECT_EQ(song.track->events[2]->status, kStatusNoteOn);
  ExpectToolsRead(path);
}

TEST(SmfStates, Format1PackWritesTheTrueTrackCount) {
  Midi1Data song(96, 600);
  for (int t = 0; t < 3; ++t) {
    Midi1Track* track = song.AddEmptyTrack(kDefaultMusicCapacity);
    track->mode = kTrackNotes;
    for (int i = 0; i < 40; ++i) track->AddNote(t, i == 0 ? 0 : 24, 60 + i % 12, 100, 20);
    track->AddEndOfTrackAt(24);
  }
  const int32_t packed = song.GetPackedSize();
  EXPECT_EQ(song.state, kSongNotes);
  EXPECT_EQ(song.track_count, 3);
  cantrel_test::Sink().Clear();
  const fs::path path = Temp("cut.mid");
  // The file holds what fits and says so; the song keeps every track.
  EXPECT_EQ(song.SaveFile(path), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kTooLarge});
  EXPECT_EQ(song.state, kSongNotes);
  EXPECT_EQ(song.track_count, 3);
  EXPECT_EQ(song.tracks[2]->CountEvents(kStatusNote), 40);
  const Bytes bytes = cantrel_test::ReadFileBytes(path);
  ASSERT_GE(bytes.size(), 14u);
  EXPECT_EQ(bytes[11], 1);  // only the first track fitted
  EXPECT_LT(bytes.size(), 600u);
  EXPECT_EQ(static_cast<int32_t>(bytes.size()), packed);
  ExpectToolsRead(path);
  ExpectMidoHeader(path, "1 1 96");
  // Where the part that fits cannot be written either, the reason follows the size box.
  cantrel_test::Sink().Clear();
  const fs::path blocked = path / "a.mid";
  std::error_code error;
  ASSERT_FALSE(plat::WriteFileAtomic(blocked, std::string("x"), &error));
  EXPECT_EQ(song.SaveFile(blocked), 0);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            kTooLarge, "M1DT03000005 ファイルを開けませんでした。\n" +
                                           plat::WriteFailureText(error)}));
  EXPECT_EQ(song.track_count, 3);

  // Pack itself keeps the tracks that fit and counts them in the header.
  song.ToEventMode();
  song.Pack();
  EXPECT_EQ(song.state, kSongBytes);
  EXPECT_EQ(song.buffer[11], 1);
  song.Unpack();
  EXPECT_EQ(song.track_count, 1);
}

TEST(SmfStates, Format0PackThatDoesNotFitKeepsTheSong) {
  Midi0Data song(kSongEvents, 96, 300);
  delete song.track;
  std::vector<MidiEvent*> events;
  for (int i = 0; i < 100; ++i) {
    events.push_back(NoteOn(10, 0, 60, 100));
    events.push_back(NoteOff(10, 0, 60));
  }
  events.push_back(EndOfTrack(0));
  song.track = MakeTrack(kTrackEvents, events);
  song.Pack(0);
  EXPECT_EQ(song.state, kSongEvents);
  ASSERT_NE(song.track, nullptr);
  EXPECT_EQ(song.track->event_count, 201);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kTooLarge});
  EXPECT_EQ(song.SaveFile(Temp("x.mid"), 0), 0);
  EXPECT_FALSE(fs::exists(Temp("x.mid")));
}

// Why a write of `path` fails, in the words the boxes use.
std::string WhyWriteFails(const fs::path& path) {
  std::error_code error;
  EXPECT_FALSE(plat::WriteFileAtomic(path, std::string("x"), &error));
  return plat::WriteFailureText(error);
}

TEST(SmfStates, AFailedSaveShowsOneBoxWithTheReason) {
  const fs::path source = Write("song.mid", Format0File({0, 96}));
  const fs::path blocked = Write("plain", Format0File({0})) / "a.mid";  // a file for a folder
  const std::string why = WhyWriteFails(blocked);
  ASSERT_FALSE(why.empty());
  const std::string kMidi0 = "M0DT04000002 ファイルが開けませんでした。\n" + why;
  const std::string kMidi1 = "M1DT03000005 ファイルを開けませんでした。\n" + why;
  // In every state the song can be in when saved: bytes, events and notes.
  for (int32_t state : {kSongBytes, kSongEvents, kSongNotes}) {
    Midi0Data song(source, kDefaultMusicCapacity);
    if (state != kSongNotes) song.ToEventMode();
    if (state == kSongBytes) song.Pack(0);
    ASSERT_EQ(song.state, state);
    cantrel_test::Sink().Clear();
    EXPECT_EQ(song.SaveFile(blocked, 0), 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kMidi0}) << state;
    EXPECT_EQ(song.state, state);

    Midi1Data one(source, kDefaultMusicCapacity);
    if (state == kSongBytes) {
      one.ToEventMode();
      one.Pack();
    }
    if (state == kSongEvents) one.ToEventMode();
    ASSERT_EQ(one.state, state);
    cantrel_test::Sink().Clear();
    EXPECT_EQ(one.SaveFile(blocked), 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kMidi1}) << state;
  }
  EXPECT_FALSE(fs::exists(blocked));
}

TEST(SmfStates, SaveWithDialogWritesTheChosenFileInEveryState) {
  plat::ScriptedFileDialogs dialogs;
  plat::InstallFileDialogs(&dialogs);
  const fs::path source = cantrel_test::DataPath("midi/songs/tune_f1.mid");
  struct Case {
    const char* name;
    int format;
    int32_t state;
  } cases[] = {{"format 0 notes", 0, kSongNotes}, {"format 0 events", 0, kSongEvents},
               {"format 0 bytes", 0, kSongBytes}, {"format 1 notes", 1, kSongNotes},
               {"format 1 events", 1, kSongEvents}, {"format 1 bytes", 1, kSongBytes}};
  for (const Case& c : cases) {
    const fs::path direct = Temp("direct.mid"), chosen = Temp("chosen.mid");
    fs::remove(chosen);
    int saved_direct = 0, saved_chosen = 0, cancelled = 0;
    int32_t state_after = -1;
    auto run = [&](auto& song) {
      constexpr bool kFormat0 = std::is_same_v<std::decay_t<decltype(song)>, Midi0Data>;
      if (c.state != kSongNotes) song.ToEventMode();
      if (c.state == kSongBytes) {
        if constexpr (kFormat0) {
          song.Pack(0);
        } else {
          song.Pack();
        }
      }
      ASSERT_EQ(song.state, c.state) << c.name;
      dialogs.QueueFile(chosen);
      dialogs.QueueFileCancel();
      if constexpr (kFormat0) {
        saved_direct = song.SaveFile(direct, 0);
      } else {
        saved_direct = song.SaveFile(direct);
      }
      saved_chosen = song.SaveFileWithDialog();
      cancelled = song.SaveFileWithDialog();
      state_after = song.state;
    };
    if (c.format == 0) {
      Midi0Data song(source, kDefaultMusicCapacity);
      run(song);
    } else {
      Midi1Data song(source, kDefaultMusicCapacity);
      run(song);
    }
    EXPECT_EQ(saved_direct, 1) << c.name;
    EXPECT_EQ(saved_chosen, 1) << c.name;
    EXPECT_EQ(cancelled, 0) << c.name;
    EXPECT_EQ(state_after, c.state) << c.name;
    EXPECT_EQ(cantrel_test::ReadFileBytes(chosen), cantrel_test::ReadFileBytes(direct)) << c.name;
  }
  const auto requests = dialogs.FileRequests();
  ASSERT_EQ(requests.size(), 12u);
  EXPECT_EQ(requests[0].kind, plat::FileDialogRequest::Kind::Save);
  EXPECT_EQ(requests[0].default_extension, "mid");
  EXPECT_TRUE(requests[0].confirm_overwrite);
  plat::InstallFileDialogs(nullptr);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(SmfStates, PackedSizeIsTheFileSize) {
  Midi1Data song(cantrel_test::DataPath("midi/songs/tune_f1.mid"), kDefaultMusicCapacity);
  const int32_t size = song.GetPackedSize();
  EXPECT_EQ(song.state, kSongNotes);
  const fs::path path = Temp("tune.mid");
  ASSERT_EQ(song.SaveFile(path), 1);
  EXPECT_EQ(static_cast<int32_t>(fs::file_size(path)), size);
}

// ---- round trips ----

TEST(SmfRoundTrip, OwnFixtures) {
  struct Case {
    const char* file;
    int format;
  } cases[] = {{"midi/songs/setup_f0.mid", 0}, {"midi/songs/band_f1.mid", 1},
               {"midi/songs/tune_f1.mid", 1},  {"midi/abc_tune.mid", 1},
               {"midi/features.mid", 1},       {"midi/running_status.mid", -1}};
  for (const Case& c : cases) {
    const fs::path source = cantrel_test::DataPath(c.file);
    if (!fs::exists(source)) continue;
    const int format = c.format >= 0 ? c.format : GetSmfFileFormat(source);
    Bytes first, second;
    if (format == 0) {
      RoundTrip0(source, &first, &second);
    } else {
      RoundTrip1(source, &first, &second);
    }
    EXPECT_EQ(first, second) << c.file;
    const fs::path saved = Write("saved.mid", first);
    ExpectToolsRead(saved);
    ExpectSameMusic(source, saved);
  }
}

// A chord sounding with a lyric at its start and with a lyric and a controller at
// its end: the events of each tick are put in the written order by the first save,
// and the second save finds nothing more to move.
TEST(SmfRoundTrip, NotesAndLyricsOfOneTickKeepTheirOrderFromTheFirstSave) {
  const Bytes body = {0x00, 0x90, 60, 100, 0x00, 64, 90, 0x00, 67, 80, 0x00, 0xFF, 0x05, 0x02, 'l', 'a',
                      0x81, 0x70, 0x80, 60, 0x40, 0x00, 0x90, 64, 0x00, 0x00, 0x80, 67, 0x40,
                      0x00, 0xFF, 0x05, 0x02, 'l', 'u', 0x00, 0xB0, 0x07, 100, 0x00, 0xFF, 0x2F, 0x00};
  const fs::path source = Write("chord_lyrics.mid", Join({Header(0, 1, 96), Chunk(body)}));
  Bytes first, second;
  RoundTrip0(source, &first, &second);
  EXPECT_EQ(first, second);
  ExpectToolsRead(Write("chord_lyrics_saved.mid", first));
  const fs::path source1 = Write("chord_lyrics1.mid", Join({Header(1, 1, 96), Chunk(body)}));
  RoundTrip1(source1, &first, &second);
  EXPECT_EQ(first, second);
}

TEST(SmfRoundTrip, Format1OpenedAsFormat0) {
  const fs::path source = cantrel_test::DataPath("midi/songs/tune_f1.mid");
  Bytes first, second;
  RoundTrip0(source, &first, &second);
  EXPECT_EQ(first, second);
  const fs::path saved = Write("merged.mid", first);
  ExpectToolsRead(saved);
  ExpectSameMusic(source, saved);
  ExpectMidoHeader(saved, "0 1 480");
}

TEST(SmfRoundTrip, MacBinaryFileIsWrittenWithoutThePrefix) {
  const Bytes file = cantrel_test::ReadFileBytes(cantrel_test::DataPath("midi/songs/setup_f0.mid"));
  const fs::path source = Write("mac.mid", MacBinary(file));
  Bytes first, second;
  RoundTrip0(source, &first, &second);
  EXPECT_EQ(first, second);
  ASSERT_GE(first.size(), 4u);
  EXPECT_EQ(std::string(first.begin(), first.begin() + 4), "MThd");
}

TEST(SmfRoundTrip, DebianMusic) {
  const fs::path folder = "/usr/share/planetblupi/music";
  CANTREL_NEED(fs::exists(folder), "the real MIDI files of planetblupi-music-midi");
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".mid") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty());
  for (size_t i = 0; i < files.size(); ++i) {
    Bytes first, second;
    RoundTrip1(files[i], &first, &second);
    EXPECT_EQ(first, second) << files[i];
    // Tools and music checks on a few of them, to keep the run short.
    if (i % 4 == 0) {
      const fs::path saved = Write("blupi.mid", first);
      ExpectToolsRead(saved);
      ExpectSameMusic(files[i], saved);
    }
  }
  // Merged into one track as for playing.
  Bytes first, second;
  RoundTrip0(files[0], &first, &second);
  EXPECT_EQ(first, second);
  const fs::path merged = Write("blupi0.mid", first);
  ExpectToolsRead(merged);
  ExpectSameMusic(files[0], merged);
}

// ---- split and merge ----

TEST(SmfConvert, SplitLayout) {
  std::unique_ptr<MidiTrack> track(MakeTrack(
      kTrackNotes,
      {Meta(0, 0x51, std::string("\x07\xA1\x20", 3)),
       SysEx(0, Bytes(std::begin(kGsResetMessage), std::end(kGsResetMessage))), Note(0, 0, 60, 100, 96),
       Note(10, 1, 62, 100, 96), Note(10, 9, 36, 100, 20), Note(10, 20, 40, 100, 20), EndOfTrack(200)}));
  track->events[0]->value = 500000;
  Midi0Data song(*track, 96);
  Midi1Data one(song, kDefaultMusicCapacity);
  ASSERT_EQ(one.track_count, 17);
  EXPECT_EQ(one.tracks[0]->CountEvents(kStatusMeta), 2);  // tempo and End of Track
  EXPECT_EQ(one.tracks[1]->CountEvents(kStatusSysEx), 1);
  EXPECT_EQ(TicksOf(*one.tracks[1], kStatusNote), std::vector<int64_t>{0});
  EXPECT_EQ(TicksOf(*one.tracks[2], kStatusNote), std::vector<int64_t>{10});
  EXPECT_EQ(TicksOf(*one.tracks[10], kStatusNote), std::vector<int64_t>{20});
  int only_end = 0;
  for (int i = 0; i < 17; ++i) {
    EXPECT_EQ(one.tracks[i]->GetLength(), 230) << i;
    if (one.tracks[i]->event_count == 1) ++only_end;
  }
  EXPECT_EQ(only_end, 13);
  // Channel 20 has no track in the layout: reported and left out.
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"M1DT0300001E チャネルに異常が発生しました。"});
}

TEST(SmfConvert, MergeRoundByRound) {
  Midi1Data one(96, kDefaultMusicCapacity);
  Midi1Track* a = one.AddEmptyTrack(kDefaultMusicCapacity);
  a->mode = kTrackNotes;
  a->AddEvent(Note(0, 0, 60, 100, 10));
  a->AddEvent(Note(96, 0, 61, 100, 10));
  a->AddEndOfTrackAt(10);
  Midi1Track* b = one.AddEmptyTrack(kDefaultMusicCapacity);
  b->mode = kTrackNotes;
  b->AddEvent(Note(0, 1, 70, 100, 10));
  b->AddEvent(Note(48, 1, 71, 100, 10));
  b->AddEndOfTrackAt(200);
  Midi0Data song(kDefaultMusicCapacity);
  one.MergeToFormat0(song);
  const MidiTrack& t = *song.track;
  ASSERT_EQ(t.event_count, 5);
  EXPECT_EQ(t.events[0]->note, 60);
  EXPECT_EQ(t.events[1]->note, 70);
  EXPECT_EQ(t.events[2]->note, 71);
  EXPECT_EQ(t.events[3]->note, 61);
  EXPECT_EQ(Ticks(t), (std::vector<int64_t>{0, 0, 48, 96, 248}));
  EXPECT_TRUE(t.LastIsEndOfTrack());
  EXPECT_EQ(song.division, 96);
}

// ---- copies, lead-in, division, metre ----

TEST(Format0Song, CopiesAreIndependent) {
  const Bytes file = Format0File({0, 96});
  Midi0Data song(file.data(), static_cast<int32_t>(file.size()));
  song.metre_override = 3 * 256 + 4;
  Midi0Data copy(song);
  EXPECT_EQ(copy.state, kSongNotes);
  EXPECT_EQ(copy.division, 96);
  EXPECT_EQ(copy.metre_override, 3 * 256 + 4);
  copy.track->events[1]->note = 10;
  EXPECT_EQ(song.track->events[1]->note, 60);

  song.ToEventMode();
  Midi0Data event_copy(song);
  EXPECT_EQ(event_copy.track->mode, kTrackEvents);
  EXPECT_EQ(event_copy.track->event_count, song.track->event_count);

  song.Pack(0);
  Midi0Data byte_copy(song);
  EXPECT_EQ(byte_copy.state, kSongBytes);
  EXPECT_EQ(byte_copy.used_size, song.used_size);
  byte_copy.Unpack();
  EXPECT_EQ(byte_copy.track->CountEvents(kStatusNoteOn), 2);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(Format0Song, BarLength) {
  Midi0Data song(kDefaultMusicCapacity);
  EXPECT_EQ(song.GetBarLength(), 384);
  song.metre_override = 3 * 256 + 4;
  EXPECT_EQ(song.GetBarLength(), 2880);
  song.metre_override = 0;
  song.division = 96;
  song.track->AddEvent(TimeSignature(0, 6, 3));
  EXPECT_EQ(song.GetBarLength(), 288);
  int32_t metre = 0;
  EXPECT_EQ(song.GetMetre(&metre), 1);
  EXPECT_EQ(metre, 6 * 256 + 8);
  // Metres that give no bar fall back to 384 instead of dividing by zero.
  for (int32_t m : {0 * 256 + 4, 3 * 256 + 0, 0x7F00}) {
    song.metre_override = m;
    EXPECT_EQ(song.GetBarLength(), 384) << m;
  }
  song.metre_override = 4 * 256 + 4;
  song.division = 0;
  EXPECT_EQ(song.GetBarLength(), 384);
}

TEST(Format0Song, LeadInCut) {
  struct Case {
    int first_note, division, numerator, power, expected_cut;
  } cases[] = {{2000, 96, 4, 2, 1920}, {2000, 480, 0, 0, 1920}, {0, 96, 4, 2, 0}, {300, 96, 3, 2, 288}};
  for (const Case& c : cases) {
    std::vector<MidiEvent*> events;
    if (c.numerator) events.push_back(TimeSignature(0, c.numerator, c.power));
    events.push_back(Note(c.first_note, 0, 60, 100, 48));
    events.push_back(EndOfTrack(100));
    std::unique_ptr<MidiTrack> track(MakeTrack(kTrackNotes, events));
    Midi0Data song(*track, c.division);
    EXPECT_EQ(song.CutLeadIn(), c.expected_cut);
    EXPECT_EQ(TicksOf(*song.track, kStatusNote),
              std::vector<int64_t>{c.first_note - c.expected_cut});
  }
  // Without notes: the whole bars within the song's length.
  std::unique_ptr<MidiTrack> empty(MakeTrack(kTrackNotes, {EndOfTrack(1000)}));
  Midi0Data quiet(*empty, 96);
  EXPECT_EQ(quiet.CutLeadIn(), 768);
  EXPECT_EQ(Ticks(*quiet.track).back(), 232);
}

TEST(Format0Song, PlayCopyOfALongDelayKeepsItsTicksPositive) {
  // Played songs go to division 96: a delay past 32 bits there is held at the
  // longest delay, never wrapped to a negative one, and the lead-in cut stays a
  // whole number of bars at or after 0.
  const Bytes file = LongDelayFile();
  ASSERT_EQ(file.size(), 37u);
  Midi0Data song(file.data(), static_cast<int32_t>(file.size()));
  ASSERT_EQ(song.state, kSongNotes);
  for (bool cut_first : {false, true}) {
    Midi0Data copy(song);
    copy.ChangeDivision(96, 0);
    copy.ToEventMode();
    ASSERT_EQ(copy.state, kSongEvents);
    for (int32_t i = 0; i < copy.track->event_count; ++i)
      EXPECT_GE(copy.track->events[i]->delta, 0) << "event " << i;
    EXPECT_EQ(TicksOf(*copy.track, kStatusNoteOn).front(), INT32_MAX);
    if (cut_first) {
      const int32_t cut = copy.CutLeadIn();
      EXPECT_GE(cut, 0);
      EXPECT_EQ(cut % copy.GetBarLength(), 0);
      for (int32_t i = 0; i < copy.track->event_count; ++i)
        EXPECT_GE(copy.track->events[i]->delta, 0) << "event " << i;
    }
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(Format0Song, TrimStartShortensDeltasOnly) {
  std::unique_ptr<MidiTrack> track(MakeTrack(
      kTrackNotes, {Controller(10, 0, 7, 100), Controller(20, 0, 10, 64), Note(100, 0, 60, 100, 48),
                    Note(50, 0, 62, 100, 48), EndOfTrack(100)}));
  Midi0Data song(*track, 96);
  song.TrimStart(60);
  EXPECT_EQ(Ticks(*song.track), (std::vector<int64_t>{0, 0, 70, 120, 220}));
  EXPECT_EQ(song.track->event_count, 5);
}

TEST(Format0Song, DivisionChange) {
  std::unique_ptr<MidiTrack> track(
      MakeTrack(kTrackNotes, {Note(0, 0, 60, 100, 480), Note(960, 0, 62, 100, 240), EndOfTrack(480)}));
  Midi0Data song(*track, 960);
  song.SetDivision(96);
  EXPECT_EQ(song.division, 96);
  EXPECT_EQ(TicksOf(*song.track, kStatusNote), (std::vector<int64_t>{0, 96}));
  EXPECT_EQ(song.track->events[0]->duration, 48);
  song.ChangeDivision(0, 0);
  EXPECT_EQ(song.division, 96);
  song.ToEventMode();
  song.SetDivision(480);
  EXPECT_EQ(song.division, 96);  // the track reports its wrong mode; nothing changes
  EXPECT_EQ(cantrel_test::Sink().Count(), 2u);
}

TEST(Format0Song, PlayPreparation) {
  Midi0Data song(cantrel_test::DataPath("midi/songs/band_f1.mid"), kDefaultMusicCapacity);
  Midi0Data copy(song);
  copy.ChangeDivision(96, 0);
  copy.ToEventMode();
  const int32_t cut = copy.CutLeadIn();
  // 6/8 at 96 is a bar of 288 ticks; the first note stands at 240 * 96 / 480 = 48.
  EXPECT_EQ(cut, 0);
  EXPECT_EQ(copy.state, kSongEvents);
  EXPECT_EQ(TicksOf(*copy.track, kStatusNoteOn).front(), 48);
  EXPECT_EQ(song.division, 480);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(Format0Song, ExcerptInNoteMode) {
  std::unique_ptr<MidiTrack> track(MakeTrack(
      kTrackNotes, {Controller(0, 0, 7, 100), Note(0, 0, 60, 100, 480), Bend(100, 0, 9000), Bend(10, 0, 9100),
                    Bend(10, 0, 9200), Note(840, 0, 62, 100, 480), Note(480, 0, 64, 100, 960),
                    Note(480, 0, 65, 100, 480), EndOfTrack(480)}));
  Midi0Data song(*track, 480);
  Midi0Data excerpt(song, 960, 1920);
  EXPECT_EQ(excerpt.state, kSongNotes);
  EXPECT_EQ(excerpt.division, 480);
  const MidiTrack& t = *excerpt.track;
  EXPECT_EQ(TicksOf(t, kStatusNote), (std::vector<int64_t>{0, 480}));
  EXPECT_EQ(t.events[t.IndexAtTime(480)]->duration, 480);  // ends at the excerpt's end
  EXPECT_EQ(TicksOf(t, kStatusController), std::vector<int64_t>{0});
  EXPECT_EQ(TicksOf(t, kStatusPitchBend), (std::vector<int64_t>{0, 0}));  // the last two bends
  EXPECT_EQ(Ticks(t).back(), 960);
  EXPECT_TRUE(t.LastIsEndOfTrack());
  EXPECT_EQ(song.track->event_count, 9);  // the source is untouched
}

TEST(Format0Song, ExcerptInEventModeClosesNotes) {
  std::unique_ptr<MidiTrack> track(MakeTrack(
      kTrackEvents, {NoteOn(0, 0, 60, 100), NoteOn(1000, 1, 62, 100), NoteOff(200, 0, 60),
                     NoteOff(1300, 1, 62), EndOfTrack(0)}));
  Midi0Data song(kSongEvents, 480, kDefaultMusicCapacity);
  delete song.track;
  song.track = track.release();
  Midi0Data excerpt(song, 960, 1920);
  const MidiTrack& t = *excerpt.track;
  EXPECT_EQ(TicksOf(t, kStatusNoteOn), std::vector<int64_t>{40});
  // The note on channel 0 started before the excerpt: its note-on went, its
  // note-off stays; the note on channel 1 is closed at the end.
  EXPECT_EQ(TicksOf(t, kStatusNoteOff), (std::vector<int64_t>{240, 960}));
  EXPECT_EQ(Ticks(t).back(), 960);

  Midi1Data one(96, kDefaultMusicCapacity);
  Midi1Data refused(one, 0, 96);  // not in state 1
  EXPECT_EQ(refused.track_count, 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);

  Midi1Data band(cantrel_test::DataPath("midi/songs/band_f1.mid"), kDefaultMusicCapacity);
  band.ToEventMode();
  Midi1Data part(band, 480, 1440);
  EXPECT_EQ(part.state, kSongEvents);
  ASSERT_EQ(part.track_count, 3);
  EXPECT_EQ(TicksOf(*part.tracks[1], kStatusNoteOn), (std::vector<int64_t>{0, 240}));
  EXPECT_EQ(TicksOf(*part.tracks[2], kStatusNoteOn), std::vector<int64_t>{480});
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Ticks(*part.tracks[i]).back(), 960);
}

TEST(SmfStates, KeepOrderWritesTheStoredOrder) {
  // A controller stored after a note-on of the same tick.
  auto make = [] {
    std::unique_ptr<MidiTrack> track(MakeTrack(
        kTrackEvents, {NoteOn(0, 0, 60, 100), Controller(0, 0, 7, 90), NoteOff(96, 0, 60), EndOfTrack(0)}));
    auto song = std::make_unique<Midi0Data>(kSongEvents, 96, kDefaultMusicCapacity);
    delete song->track;
    song->track = track.release();
    return song;
  };
  auto kept = make();
  kept->Pack(1);
  ASSERT_EQ(kept->state, kSongBytes);
  EXPECT_EQ(kept->buffer[14 + 8 + 1], 0x90);
  auto ordered = make();
  ordered->Pack(0);
  ASSERT_EQ(ordered->state, kSongBytes);
  EXPECT_EQ(ordered->buffer[14 + 8 + 1], 0xB0);
}

TEST(SmfTracks, TrackList) {
  Midi1Data song(96, kDefaultMusicCapacity);
  Midi1Track* a = song.AddEmptyTrack(kDefaultMusicCapacity);
  Midi1Track* b = song.AddEmptyTrack(kDefaultMusicCapacity);
  auto* c = new Midi1Track(kDefaultMusicCapacity);
  song.InsertTrackAt(c, 1);
  EXPECT_EQ(song.track_count, 3);
  EXPECT_EQ(song.Track(0), a);
  EXPECT_EQ(song.Track(1), c);
  EXPECT_EQ(song.Track(2), b);
  song.SwapTracks(0, 2);
  EXPECT_EQ(song.Track(0), b);
  song.DeleteTrack(1);
  EXPECT_EQ(song.track_count, 2);
  EXPECT_EQ(song.Track(1), a);
  EXPECT_EQ(song.Track(5), nullptr);
  for (int i = 0; i < 70; ++i) song.AddEmptyTrack(1024);
  EXPECT_EQ(song.track_count, kMaxSongTracks);
  EXPECT_EQ(cantrel_test::Sink().Count(), 8u);  // every track past 64 is refused
  song.DeleteTracks();
  EXPECT_EQ(song.track_count, 0);
}
