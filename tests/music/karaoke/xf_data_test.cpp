// The karaoke MIDI file: what the builder and SaveFile write (checked against mido and
// midicsv), reading it back, the lyric text, XF chord names, and damaged files.
#include "music/xf_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../../support/smf_bytes.h"
#include "../../support/test_support.h"
#include "util/gne_text.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Lyric {
  int32_t tick;
  std::string text;  // CP932
  int32_t note;
};

// The engine's way: a note-mode song track and an event-mode karaoke track with a lyric
// at each note, End of Track on both.
std::unique_ptr<XfData> Build(const std::vector<Lyric>& lyrics, int32_t division = 480) {
  MidiTrack song(kTrackNotes, kDefaultMusicCapacity);
  auto* karaoke = new MidiTrack(kTrackEvents, kDefaultMusicCapacity);
  int32_t last = 0;
  for (const Lyric& l : lyrics) {
    song.AddNote(0, l.tick - last, l.note, 100, 120);
    karaoke->AddMetaEvent(l.tick - last, 0x05, l.text.data(), static_cast<int32_t>(l.text.size()));
    last = l.tick;
  }
  song.AddEndOfTrackAt(480);
  karaoke->AddEndOfTrackAt(480);
  return std::make_unique<XfData>(song, karaoke, division);
}

using cantrel_test::ReadFileBytes;
using cantrel_test::WriteFileBytes;

using cantrel_test::Put32;

Bytes Header(int format, int tracks, int division) {
  Bytes b = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<uint8_t>(format), 0,
             static_cast<uint8_t>(tracks), static_cast<uint8_t>(division >> 8),
             static_cast<uint8_t>(division)};
  return b;
}

// A chunk of the id with the body; `declared` overrides the length field.
Bytes Chunk(const char* id, const Bytes& body, int64_t declared = -1) {
  Bytes b(id, id + 4);
  Put32(b, static_cast<uint32_t>(declared >= 0 ? declared : static_cast<int64_t>(body.size())));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const Bytes kSongBody = {0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0x90, 64, 100,
                         0x60, 0x80, 64, 0,   0x00, 0xFF, 0x2F, 0};
const Bytes kInfoBody = {0x00, 0xFF, 0x01, 0x05, 'X', 'F', 'l', 'n', ':', 0x00, 0xFF, 0x2F, 0x00};
const Bytes kKaraokeBody = {0x00, 0xFF, 0x05, 0x02, 'l', 'a', 0x60, 0xFF, 0x05, 0x02,
                            'l', 'i', 0x00, 0xFF, 0x2F, 0x00};

bool ShownBox(const std::string& prefix) {
  for (const std::string& t : cantrel_test::Sink().Texts()) {
    if (t.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

std::string Hex(const std::string& s) {
  std::ostringstream out;
  for (unsigned char c : s) {
    static const char* digits = "0123456789abcdef";
    out << digits[c >> 4] << digits[c & 15];
  }
  return out.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// mido's view: "N tick channel pitch" for note-ons and "L tick hex" for lyrics.
const char kMidoScript[] = R"PY(
import sys, mido
m = mido.MidiFile(sys.argv[1])
print("H", m.type, len(m.tracks), m.ticks_per_beat)
for t in m.tracks:
    tick = 0
    for msg in t:
        tick += msg.time
        if msg.type == 'note_on' and msg.velocity > 0:
            print("N", tick, msg.channel, msg.note)
        elif msg.type == 'lyrics':
            print("L", tick, msg.text.encode('latin-1').hex())
)PY";

std::vector<std::string> Mido(const std::filesystem::path& path) {
  std::string out;
  const int rc = cantrel_test::RunTool({cantrel_test::PythonWithMido(), "-c", kMidoScript,
                                        path.string()},
                                       &out);
  EXPECT_EQ(rc, 0) << "mido refused " << path;
  return Lines(out);
}

// The "XFKM" chunk of a karaoke file as a one-track file of its own (id read as MTrk).
Bytes KaraokeChunkAsFile(const Bytes& file, int division) {
  size_t at = 14;
  while (at + 8 <= file.size()) {
    const uint32_t length = (uint32_t{file[at + 4]} << 24) | (uint32_t{file[at + 5]} << 16) |
                            (uint32_t{file[at + 6]} << 8) | file[at + 7];
    if (std::memcmp(&file[at], "XFKM", 4) == 0) {
      Bytes chunk(file.begin() + static_cast<long>(at),
                  file.begin() + static_cast<long>(at + 8 + length));
      std::memcpy(chunk.data(), "MTrk", 4);
      return Cat({Header(0, 1, division), chunk});
    }
    at += 8 + length;
  }
  return {};
}

// ---- what the builder and SaveFile write ----

TEST(KaraokeFile, BuilderWithoutLyricsIsHeaderSongInfoAndEmptyKaraokeChunk) {
  for (bool with_track : {true, false}) {
    SCOPED_TRACE(with_track ? "empty karaoke track" : "no karaoke track");
    MidiTrack song(kTrackNotes, kDefaultMusicCapacity);
    song.AddNote(0, 0, 60, 100, 240);
    song.AddEndOfTrackAt(240);
    MidiTrack* karaoke = nullptr;
    if (with_track) {
      karaoke = new MidiTrack(kTrackEvents, kDefaultMusicCapacity);
      karaoke->AddEndOfTrackAt(0);
    }
    XfData xf(song, karaoke, 480);
    const auto path = cantrel_test::TempDir() / "plain.mid";
    ASSERT_EQ(xf.SaveFile(path), 1);
    const Bytes file = ReadFileBytes(path);
    const Bytes song_chunk = Chunk("MTrk", {0x00, 0x90, 60, 100, 0x81, 0x70, 0x80, 60, 64, 0x00,
                                            0xFF, 0x2F, 0x00});
    const Bytes expected = Cat({Header(0, 1, 480), song_chunk, Chunk("XFIH", kInfoBody),
                                Chunk("XFKM", {0x00, 0xFF, 0x2F, 0x00})});
    EXPECT_EQ(Chunk("XFIH", kInfoBody).size(), 21u);
    EXPECT_EQ(file, expected);
    // The tracks are back in their modes and the object saves the same again.
    EXPECT_EQ(xf.track->mode, kTrackNotes);
    ASSERT_EQ(xf.SaveFile(path), 1);
    EXPECT_EQ(ReadFileBytes(path), expected);
  }
}

const std::vector<Lyric> kLyrics = {{0, "Hel", 60},    {240, "lo/", 62}, {480, "<A", 64},
                                   {960, "さく", 65}, {1920, "ら", 67}, {2000, "^x[y]", 69}};

TEST(KaraokeFile, SongTrackLoadsInMidicsv) {
  CANTREL_NEED_TOOL("midicsv");
  auto xf = Build(kLyrics);
  const auto path = cantrel_test::TempDir() / "song.mid";
  ASSERT_EQ(xf->SaveFile(path), 1);
  std::string csv;
  ASSERT_EQ(cantrel_test::RunTool({"midicsv", path.string()}, &csv), 0);
  std::vector<std::string> notes;
  for (const std::string& line : Lines(csv)) {
    // "2, tick, Note_on_c, channel, note, velocity"
    if (line.find("Note_on_c") == std::string::npos) continue;
    std::vector<std::string> f;
    std::istringstream fields(line);
    std::string field;
    while (std::getline(fields, field, ',')) f.push_back(field.substr(field.find_first_not_of(' ')));
    if (f.size() == 6 && f[5] != "0") notes.push_back(f[1] + " " + f[4]);
  }
  std::vector<std::string> expected;
  for (const Lyric& l : kLyrics) expected.push_back(std::to_string(l.tick) + " " + std::to_string(l.note));
  EXPECT_EQ(notes, expected);
}

TEST(KaraokeFile, SongAndKaraokeChunkLoadInMidoWithEachLyricAtItsNote) {
  CANTREL_NEED_MIDO();
  for (bool through_builder : {true, false}) {
    SCOPED_TRACE(through_builder ? "builder" : "read back and saved again");
    const auto dir = cantrel_test::TempDir();
    const auto path = dir / "song.mid";
    {
      auto xf = Build(kLyrics);
      ASSERT_EQ(xf->SaveFile(path), 1);
    }
    if (!through_builder) {
      int flag = -1;
      XfData read(&path, 0, &flag);
      ASSERT_EQ(flag, 1);
      ASSERT_EQ(read.SaveFile(path), 1);
    }
    const Bytes file = ReadFileBytes(path);
    const std::vector<std::string> song = Mido(path);
    ASSERT_FALSE(song.empty());
    EXPECT_EQ(song[0], "H 0 1 480");
    std::vector<std::string> expected_notes;
    std::vector<std::string> expected_lyrics;
    for (const Lyric& l : kLyrics) {
      expected_notes.push_back("N " + std::to_string(l.tick) + " 0 " + std::to_string(l.note));
      expected_lyrics.push_back("L " + std::to_string(l.tick) + " " + Hex(l.text));
    }
    EXPECT_EQ(std::vector<std::string>(song.begin() + 1, song.end()), expected_notes);

    const auto karaoke_path = dir / "karaoke_as_track.mid";
    WriteFileBytes(karaoke_path, KaraokeChunkAsFile(file, 480));
    const std::vector<std::string> karaoke = Mido(karaoke_path);
    ASSERT_FALSE(karaoke.empty());
    EXPECT_EQ(std::vector<std::string>(karaoke.begin() + 1, karaoke.end()), expected_lyrics);
  }
}

// ---- reading back: the lyric text ----

std::string LyricTextOf(const std::vector<std::string>& lyrics) {
  std::vector<Lyric> l;
  int32_t tick = 0;
  for (const std::string& text : lyrics) l.push_back({tick += 120, text, 60});
  auto built = Build(l);
  const auto path = cantrel_test::TempDir() / "lyrics.mid";
  EXPECT_EQ(built->SaveFile(path), 1);
  int flag = -1;
  XfData read(&path, 0, &flag);
  EXPECT_EQ(flag, 1);
  return read.GetLyricText();
}

TEST(KaraokeLyrics, TextFollowsTheConventions) {
  struct Case {
    std::vector<std::string> lyrics;
    std::string text;
  };
  const Case cases[] = {
      {{"Hello/", "world"}, "Hello\r\nworld"},
      {{"<イントロ", "<A", "b^c[d]"}, "Ab c(d)"},
      {{"x<y"}, "x\r\n\r\ny"},
      {{"<間奏", "a", "<エンディング", "b"}, "ab"},
      {{"a", "<B", "<C"}, "a\r\n\r\nB\r\n\r\nC"},
      // Trail bytes that look like "[", "]" and "^" stay in their characters.
      {{"ラー", "／", "‐"}, "ラー／‐"},
      {{"漢[かん]/"}, "漢(かん)\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.text));
    EXPECT_EQ(Hex(LyricTextOf(c.lyrics)), Hex(c.text));
  }
}

// Every character of the text is whole: no lead byte without its trail, no CR without LF.
bool WholeCharacters(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const uint8_t b = static_cast<uint8_t>(text[i]);
    if (GneIsLeadByte(b)) {
      if (i + 1 >= text.size()) return false;
      ++i;
    } else if (b == '\r') {
      if (i + 1 >= text.size() || text[i + 1] != '\n') return false;
      ++i;
    }
  }
  return true;
}

TEST(KaraokeLyrics, LongLyricsAreCutAtCharacterBoundaries) {
  // A lyric longer than a line: 200 double-byte characters are cut to 127 (254 bytes).
  std::string long_lyric;
  for (int i = 0; i < 200; ++i) long_lyric += "あ";
  XfData one(480);
  one.karaoke_track->AddMetaEvent(0, 0x05, long_lyric.data(), static_cast<int32_t>(long_lyric.size()));
  const std::string line = one.GetLyricText();
  EXPECT_EQ(line.size(), 254u);
  EXPECT_TRUE(WholeCharacters(line));

  // Odd single bytes first, so that a byte-wise cut would split a character: the work
  // text of 64 KB holds whole characters only.
  XfData many(480);
  std::string lyric = "a";
  for (int i = 0; i < 120; ++i) lyric += "か";
  for (int i = 0; i < 400; ++i) {
    many.karaoke_track->AddMetaEvent(0, 0x05, lyric.data(), static_cast<int32_t>(lyric.size()));
  }
  const std::string text = many.GetLyricText();
  EXPECT_LE(text.size(), kLyricWorkRoom - 1);
  EXPECT_GE(text.size(), kLyricWorkRoom - 2);
  EXPECT_TRUE(WholeCharacters(text));

  // A lead byte at the end of a lyric has no trail: it is dropped, not joined to the next.
  XfData broken(480);
  broken.karaoke_track->AddMetaEvent(0, 0x05, "a\x82", 2);
  broken.karaoke_track->AddMetaEvent(0, 0x05, "[b]", 3);
  EXPECT_EQ(broken.GetLyricText(), "a(b)");
}

TEST(KaraokeLyrics, CallersTextIsCutAtCharacterBoundaries) {
  XfData xf(480);
  xf.karaoke_track->AddMetaEvent(0, 0x05, "ab/", 3);
  xf.karaoke_track->AddMetaEvent(0, 0x05, "あい", 4);
  ASSERT_EQ(xf.GetLyricText(), "ab\r\nあい");
  struct Case {
    size_t room;
    std::string text;
  };
  const Case cases[] = {{1, ""}, {3, "ab"}, {4, "ab"}, {5, "ab\r\n"}, {6, "ab\r\n"},
                        {7, "ab\r\nあ"}, {8, "ab\r\nあ"}, {9, "ab\r\nあい"}, {64, "ab\r\nあい"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.room);
    std::vector<char> out(c.room + 4, 'Z');
    xf.GetLyricText(out.data(), c.room);
    EXPECT_EQ(std::string(out.data()), c.text);
    EXPECT_EQ(out[c.room], 'Z');  // nothing past the room
  }
}

TEST(KaraokeLyrics, RubyIsReplacedByTheReadingCharacterWise) {
  struct Case {
    std::string lyric;
    std::string reading;
  };
  const Case cases[] = {
      {"漢[かん]", "かん"},
      {"a[b]c", "bc"},
      {"ラー", "ラー"},          // the trail byte of "ー" is "["
      {"ラー[らー]", "ラらー"},  // the whole "ー" goes, not its trail byte alone
      {"‐x", "‐x"},              // the trail byte of "‐" is "]"
      {"[x]", "x"},
  };
  XfData xf(480);
  for (const Case& c : cases) {
    xf.karaoke_track->AddMetaEvent(0, 0x05, c.lyric.data(), static_cast<int32_t>(c.lyric.size()));
  }
  xf.ReplaceRubyWithReading();
  for (size_t i = 0; i < std::size(cases); ++i) {
    const MidiEvent* e = xf.karaoke_track->events[i];
    SCOPED_TRACE(Hex(cases[i].lyric));
    EXPECT_EQ(Hex(std::string(reinterpret_cast<const char*>(e->data), static_cast<size_t>(e->data_length))),
              Hex(cases[i].reading));
  }
}

TEST(KaraokeLyrics, SingleByteLyricWalksCharacters) {
  struct Case {
    std::vector<std::string> lyrics;
    int single;
  };
  const Case cases[] = {
      {{"abc", "d/e"}, 1},
      {{"a−b"}, 1},  // the full-width minus is allowed
      {{"ab", "さ"}, 0},
      {{"ー"}, 0},
      {{}, 1},
  };
  for (const Case& c : cases) {
    XfData xf(480);
    for (const std::string& l : c.lyrics) {
      xf.karaoke_track->AddMetaEvent(0, 0x05, l.data(), static_cast<int32_t>(l.size()));
    }
    EXPECT_EQ(xf.IsSingleByteLyric(), c.single) << (c.lyrics.empty() ? "" : Hex(c.lyrics[0]));
  }
  // The minus: 81 7C, its trail byte is no lead byte of another character.
  EXPECT_EQ(Hex("−"), "817c");
}

// ---- XF chords ----

TEST(KaraokeChords, RootsAndTypeNames) {
  const std::pair<int, int> roots[] = {{0x33, 4}, {0x21, 11}, {0x07, 8}, {0x31, 0},
                                       {0x47, 0}, {0x65, 10}, {0x38, 0}, {0x75, 7}};
  for (const auto& [root, pc] : roots) EXPECT_EQ(XfData::XfChordRootToPitchClass(root), pc) << root;
  const std::pair<int, const char*> types[] = {{0, "Maj"},  {19, "7th"}, {34, "cc"},
                                               {35, ""},    {-1, ""},    {0x100 + 8, "min"},
                                               {200, ""},   {15, "minMaj7"}};
  for (const auto& [code, name] : types) {
    std::string out = "old";
    XfData::GetXfChordTypeName(code, &out);
    EXPECT_EQ(out, name) << code;
  }
}

TEST(KaraokeChords, HasXfChordsNeedsTheXfSignature) {
  for (const auto& [data, has] : std::vector<std::pair<Bytes, int>>{
           {{0x43, 0x7B, 0x01, 0x31, 0x00}, 1}, {{0x43, 0x7B}, 0}, {{0x43, 0x7B, 0x00, 1}, 0},
           {{0x43, 0x7B, 0x01}, 0}, {{0x43, 0x7B, 0x01, 0x31}, 0}}) {  // no root or no type
    MidiTrack song(kTrackNotes, kDefaultMusicCapacity);
    song.AddMetaEvent(0, 0x7F, data.data(), static_cast<int32_t>(data.size()));
    song.AddEndOfTrackAt(0);
    XfData xf(song, nullptr, 480);
    EXPECT_EQ(xf.HasXfChords(), has);
  }
}

// ---- damaged and plain files ----

TEST(KaraokeRead, WholeFileIsKaraoke) {
  const Bytes file = Cat({Header(0, 1, 96), Chunk("MTrk", kSongBody), Chunk("XFIH", kInfoBody),
                          Chunk("XFKM", kKaraokeBody)});
  int flag = -1;
  XfData xf(file.data(), static_cast<int32_t>(file.size()), 0, &flag);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(xf.division, 96);
  EXPECT_EQ(xf.track->GetNoteCount(), 2);
  EXPECT_EQ(xf.info_length, 21);
  ASSERT_NE(xf.karaoke_track, nullptr);
  EXPECT_EQ(xf.GetLyricText(), "lali");
  EXPECT_EQ(XfData::IsXfFile(file.data(), static_cast<int64_t>(file.size())), 1);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(KaraokeRead, OverrunningChunksMakeNoKaraokeFileAndKeepTheSong) {
  struct Case {
    const char* name;
    Bytes file;
    int result;
    int flag;
    int notes;     // of the song track afterwards
    bool karaoke;  // a karaoke track was read
  };
  const Bytes head = Cat({Header(0, 1, 96), Chunk("MTrk", kSongBody)});
  const Case cases[] = {
      {"information chunk runs past the end", Cat({head, Chunk("XFIH", kInfoBody, 0x7FFFFFF0)}),
       0, 0, 2, false},
      {"information length wraps a 32-bit sum", Cat({head, Chunk("XFIH", kInfoBody, 0xFFFFFFFC)}),
       0, 0, 2, false},
      {"karaoke chunk runs past the end",
       Cat({head, Chunk("XFIH", kInfoBody), Chunk("XFKM", kKaraokeBody, 0x1000)}), 1, 0, 2, false},
      {"karaoke chunk cut inside its header",
       Cat({head, Chunk("XFIH", kInfoBody), Bytes{'X', 'F', 'K', 'M', 0, 0}}), 1, 0, 2, false},
      {"information id cut", Cat({head, Bytes{'X', 'F'}}), 0, 0, 2, false},
      {"plain MIDI file", head, 0, 0, 2, false},
      {"song chunk runs past the end", Cat({Header(0, 1, 96), Chunk("MTrk", kSongBody, 0x10000)}),
       0, 0, 0, false},
      {"no song chunk before information and karaoke",
       Cat({Header(0, 1, 96), Chunk("XFIH", kInfoBody), Chunk("XFKM", kKaraokeBody)}), 1, 0, 0,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool with_flag : {true, false}) {
      cantrel_test::Sink().Clear();
      int flag = -1;
      XfData xf(480);
      std::memcpy(xf.buffer, c.file.data(), c.file.size());
      xf.used_size = static_cast<int32_t>(c.file.size());
      EXPECT_EQ(xf.Parse(0, with_flag ? &flag : nullptr), c.result);
      if (with_flag) {
        EXPECT_EQ(flag, c.flag);
        EXPECT_FALSE(ShownBox("XFDT"));
      } else {
        EXPECT_TRUE(ShownBox("XFDT2F000001"));
      }
      ASSERT_NE(xf.track, nullptr);
      EXPECT_EQ(xf.state, kSongNotes);
      EXPECT_EQ(xf.track->GetNoteCount(), c.notes);
      EXPECT_EQ(xf.karaoke_track != nullptr, c.karaoke);
    }
  }
}

TEST(KaraokeRead, IsXfFileStaysInsideTheBytes) {
  const Bytes head = Cat({Header(0, 1, 96), Chunk("MTrk", kSongBody)});
  struct Case {
    const char* name;
    Bytes file;
    int is_xf;
  };
  Bytes mac(128, 0);
  const Case cases[] = {
      {"karaoke file", Cat({head, Chunk("XFIH", kInfoBody)}), 1},
      {"information chunk first", Cat({Header(0, 1, 96), Chunk("XFIH", kInfoBody)}), 1},
      {"behind a MacBinary header", Cat({mac, head, Chunk("XFIH", kInfoBody)}), 1},
      {"plain file", head, 0},
      {"id cut at the end", Cat({head, Bytes{'X', 'F', 'I'}}), 0},
      {"song length points past the end", Cat({Header(0, 1, 96), Chunk("MTrk", kSongBody, 0xFFFFFFF0)}), 0},
      {"song length reaches exactly the end", Cat({Header(0, 1, 96), Chunk("MTrk", kSongBody, 20 + 4)}), 0},
      {"format 1", Cat({Header(1, 1, 96), Chunk("MTrk", kSongBody), Chunk("XFIH", kInfoBody)}), 0},
      {"header only", Header(0, 1, 96), 0},
  };
  for (const Case& c : cases) {
    // An exact-size copy, so that a read past the end is seen by the sanitizer.
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[c.file.size()]);
    std::memcpy(bytes.get(), c.file.data(), c.file.size());
    EXPECT_EQ(XfData::IsXfFile(bytes.get(), static_cast<int64_t>(c.file.size())), c.is_xf) << c.name;
  }
  EXPECT_EQ(XfData::IsXfFile(nullptr, 100), 0);
}

TEST(KaraokeRead, Format1IsMergedWithAFlagAndRefusedWithout) {
  const Bytes track1 = {0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0};
  const Bytes track2 = {0x30, 0x91, 67, 90, 0x60, 0x81, 67, 0, 0x00, 0xFF, 0x2F, 0};
  const Bytes file = Cat({Header(1, 2, 96), Chunk("MTrk", track1), Chunk("MTrk", track2)});
  int flag = -1;
  {
    cantrel_test::QuietBoxes quiet;  // the format-1 reader may warn about master volume
    XfData merged(file.data(), static_cast<int32_t>(file.size()), 0, &flag);
    EXPECT_EQ(flag, 0);  // merged, but no karaoke chunks
    ASSERT_NE(merged.track, nullptr);
    EXPECT_EQ(merged.track->GetNoteCount(), 2);
    EXPECT_EQ(merged.karaoke_track, nullptr);
  }
  cantrel_test::Sink().Clear();
  XfData refused(file.data(), static_cast<int32_t>(file.size()), 0, nullptr);
  EXPECT_TRUE(ShownBox("XFDT2F000001"));
  EXPECT_EQ(refused.karaoke_track, nullptr);
}

// ---- plain files, division, saving ----

TEST(KaraokeSave, PlainFileKeepsNoKaraokeTrackConvertsAndSavesAnEmptyKaraokeChunk) {
  const Bytes file = Cat({Header(0, 1, 96), Chunk("MTrk", kSongBody)});
  const auto dir = cantrel_test::TempDir();
  WriteFileBytes(dir / "plain.mid", file);
  const auto path = dir / "plain.mid";
  int flag = -1;
  XfData xf(&path, 0, &flag);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(xf.karaoke_track, nullptr);
  EXPECT_EQ(xf.GetLyricText(), "");
  xf.SetDivision(480);
  EXPECT_EQ(xf.division, 480);
  const std::vector<int64_t> ticks = xf.track->EventTicks();
  ASSERT_GE(ticks.size(), 2u);
  EXPECT_EQ(ticks[1], 480);  // the second note, a quarter later
  cantrel_test::QuietBoxes quiet;
  ASSERT_EQ(xf.SaveFile(dir / "saved.mid"), 1);
  const Bytes saved = ReadFileBytes(dir / "saved.mid");
  const Bytes tail = Cat({Chunk("XFIH", {}), Chunk("XFKM", {0x00, 0xFF, 0x2F, 0x00})});
  // No information chunk was read, so none is written; the karaoke chunk is empty.
  const Bytes empty_karaoke = Chunk("XFKM", {0x00, 0xFF, 0x2F, 0x00});
  ASSERT_GE(saved.size(), empty_karaoke.size());
  EXPECT_EQ(Bytes(saved.end() - static_cast<long>(empty_karaoke.size()), saved.end()), empty_karaoke);
  int again = -1;
  const auto saved_path = dir / "saved.mid";
  XfData reread(&saved_path, 0, &again);
  EXPECT_EQ(reread.track->GetNoteCount(), 2);
  EXPECT_EQ(reread.division, 480);
}

TEST(KaraokeSave, FileLargerThanTheBufferIsRefusedAndNothingWritten) {
  MidiTrack song(kTrackNotes, kDefaultMusicCapacity);
  for (int i = 0; i < 36000; ++i) song.AddNote(i % 16, 7, 40 + i % 40, 100, 5);
  song.AddEndOfTrackAt(0);
  auto* karaoke = new MidiTrack(kTrackEvents, kDefaultMusicCapacity);
  const std::string lyric(120, 'a');
  for (int i = 0; i < 1200; ++i) karaoke->AddMetaEvent(7, 0x05, lyric.data(), 120);
  karaoke->AddEndOfTrackAt(0);
  XfData xf(song, karaoke, 480);
  const auto path = cantrel_test::TempDir() / "big.mid";
  WriteFileBytes(path, Bytes{1, 2, 3});
  cantrel_test::Sink().Clear();
  EXPECT_EQ(xf.SaveFile(path), 0);
  EXPECT_TRUE(ShownBox("XFDT2F000002"));
  EXPECT_EQ(ReadFileBytes(path), (Bytes{1, 2, 3}));  // the old file is untouched
  // The tracks are back as they were.
  EXPECT_EQ(xf.track->mode, kTrackNotes);
  EXPECT_EQ(xf.track->GetNoteCount(), 36000);
  EXPECT_EQ(xf.karaoke_track->mode, kTrackEvents);
  EXPECT_EQ(xf.karaoke_track->event_count, 1201);
}

TEST(KaraokeSave, FailedWriteShowsItsBoxAndReturnsZero) {
  auto xf = Build(kLyrics);
  const auto path = cantrel_test::TempDir() / "missing folder" / "song.mid";
  cantrel_test::Sink().Clear();
  EXPECT_EQ(xf->SaveFile(path), 0);  // a ProgramExit would fail the test
  EXPECT_GE(cantrel_test::Sink().Count(), 1u);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(xf->track->mode, kTrackNotes);
}

TEST(KaraokeSave, MissingMasterVolumeWarnsAtEverySaveAndStillWrites) {
  auto xf = Build(kLyrics);
  const auto path = cantrel_test::TempDir() / "song.mid";
  for (int i = 0; i < 2; ++i) {
    cantrel_test::Sink().Clear();
    EXPECT_EQ(xf->SaveFile(path), 1);
    EXPECT_TRUE(ShownBox("XFDT2F000003"));
  }
  EXPECT_EQ(xf->AddMissingMasterVolume(), 0);
  cantrel_test::Sink().Clear();
  EXPECT_EQ(xf->SaveFile(path), 1);
  EXPECT_FALSE(ShownBox("XFDT"));
}

TEST(KaraokeSave, AddLyricNoteBuildsBothTracks) {
  XfData xf(480);
  xf.AddLyricNote(0, 60, "さ", 0, 240, 100, -1);
  xf.AddLyricNote(240, 62, "く", 0, 240, 100, 3);
  xf.AddEndOfTracks(240);
  EXPECT_EQ(xf.track->GetNoteCount(), 3);
  EXPECT_EQ(xf.track->CountNotesOfChannel(3), 1);
  EXPECT_EQ(xf.GetLyricText(), "さく");
  xf.SetDivision(96);
  const std::vector<int64_t> ticks = xf.karaoke_track->EventTicks();
  ASSERT_EQ(ticks.size(), 3u);
  EXPECT_EQ(ticks[1], 48);
}

}  // namespace

namespace {

// A song read at 120 per quarter and set to 96: every event lands on its own tick scaled
// (rounded down), however many uneven deltas come before it.
TEST(KaraokeDivision, UnevenDivisionsDoNotDrift) {
  MidiTrack song(kTrackNotes, kDefaultMusicCapacity);
  auto* karaoke = new MidiTrack(kTrackEvents, kDefaultMusicCapacity);
  std::vector<int64_t> ticks;
  int64_t at = 0;
  for (int i = 0; i < 2000; ++i) {
    const int32_t delta = 1 + (i * 7) % 13;  // deltas of 1..13 ticks: most do not scale evenly
    at += delta;
    ticks.push_back(at);
    song.AddNote(0, delta, 60 + i % 12, 100, 5);
    karaoke->AddMetaEvent(delta, 0x05, "a", 1);
  }
  song.AddEndOfTrackAt(0);
  karaoke->AddEndOfTrackAt(0);
  XfData xf(song, karaoke, 120);
  xf.SetDivision(96);
  ASSERT_EQ(xf.division, 96);
  for (const MidiTrack* t : {static_cast<const MidiTrack*>(xf.track), static_cast<const MidiTrack*>(xf.karaoke_track)}) {
    int64_t tick = 0;
    size_t k = 0;
    for (int32_t i = 0; i < t->event_count; ++i) {
      tick += t->events[i]->delta;
      const MidiEvent& e = *t->events[i];
      const bool counted = e.status == kStatusNote || (e.status == kStatusMeta && e.number == 0x05);
      if (!counted) continue;
      ASSERT_LT(k, ticks.size());
      EXPECT_EQ(tick, ticks[k] * 96 / 120) << "event " << k;
      ++k;
    }
    EXPECT_EQ(k, ticks.size());
  }
}

}  // namespace

namespace {

// The format-0 passes on the karaoke song's track: every GS reset (any device number) and
// XG System On becomes GM System On; a channel is doubled on another.
TEST(KaraokeSysEx, SongTrackPasses) {
  const Bytes body = {0x00, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7,
                      0x00, 0xF0, 0x0A, 0x41, 0x13, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7,
                      0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7,
                      0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00};
  const Bytes file = Cat({Header(0, 1, 96), Chunk("MTrk", body)});
  int flag = -1;
  XfData xf(file.data(), static_cast<int32_t>(file.size()), 0, &flag);
  ASSERT_NE(xf.track, nullptr);
  EXPECT_EQ(xf.ReplaceGsResetWithGmOn(), 1);
  const Bytes gm_on = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  int found = 0;
  for (int32_t i = 0; i < xf.track->event_count; ++i) {
    const MidiEvent& e = *xf.track->events[i];
    if (e.status != kStatusSysEx || e.GetDataByte(2) == 0x43) continue;  // the XG message
    ASSERT_EQ(e.data_length, 7);
    EXPECT_EQ(Bytes(e.data, e.data + 7), gm_on);
    ++found;
  }
  EXPECT_EQ(found, 2);
  EXPECT_EQ(xf.ReplaceGsResetWithGmOn(), 0);
  EXPECT_EQ(xf.ReplaceXgOnWithGmOn(), 1);
  EXPECT_EQ(xf.ReplaceXgOnWithGmOn(), 0);

  xf.DuplicateChannel(0, 5);
  EXPECT_EQ(xf.track->CountNotesOfChannel(0), 1);
  EXPECT_EQ(xf.track->CountNotesOfChannel(5), 1);
}

}  // namespace
