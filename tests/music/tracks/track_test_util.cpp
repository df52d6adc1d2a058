#include "tests/music/tracks/track_test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>

#include "platform/core/files.h"
#include "tests/support/smf_bytes.h"
#include "tests/support/test_support.h"

namespace track_test {

namespace {

using cantrel_test::Put32;

std::string HexBytes(const uint8_t* p, int64_t n) {
  std::string s;
  char b[4];
  for (int64_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02x", p[i]);
    s += b;
  }
  return s;
}

std::string HexOf(const std::vector<int>& v) {
  std::string s;
  char b[4];
  for (int x : v) {
    std::snprintf(b, sizeof b, "%02x", x & 0xFF);
    s += b;
  }
  return s;
}

int MetreWord(int n, int p) {
  if (n <= 0 || p <= 0 || p > 7 || n > 255) return 0x404;
  return n * 256 + (1 << p);
}

// Splits one midicsv line into fields, decoding quoted texts into raw bytes.
std::vector<std::string> CsvFields(const std::string& line) {
  std::vector<std::string> fields;
  size_t i = 0;
  while (i <= line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    std::string f;
    if (i < line.size() && line[i] == '"') {
      ++i;
      while (i < line.size()) {
        char c = line[i];
        if (c == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            f += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        if (c == '\\' && i + 1 < line.size()) {
          if (line[i + 1] == '\\') {
            f += '\\';
            i += 2;
            continue;
          }
          if (i + 3 < line.size() && isdigit(static_cast<unsigned char>(line[i + 1]))) {
            f += static_cast<char>(std::stoi(line.substr(i + 1, 3), nullptr, 8));
            i += 4;
            continue;
          }
        }
        f += c;
        ++i;
      }
      while (i < line.size() && line[i] != ',') ++i;
    } else {
      size_t j = line.find(',', i);
      if (j == std::string::npos) j = line.size();
      f = line.substr(i, j - i);
      while (!f.empty() && (f.back() == ' ' || f.back() == '\r')) f.pop_back();
      i = j;
    }
    fields.push_back(f);
    if (i >= line.size()) break;
    ++i;  // the comma
  }
  return fields;
}

}  // namespace

Bytes Chunk(const Bytes& body, const char* id) {
  Bytes out(id, id + 4);
  Put32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes SmfFile(const std::vector<Bytes>& chunks, int division) {
  Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
  out.push_back(static_cast<uint8_t>(chunks.size() >> 8));
  out.push_back(static_cast<uint8_t>(chunks.size()));
  out.push_back(static_cast<uint8_t>(division >> 8));
  out.push_back(static_cast<uint8_t>(division));
  for (const Bytes& c : chunks) out.insert(out.end(), c.begin(), c.end());
  return out;
}

std::unique_ptr<MidiTrack> ParseBody(const Bytes& body, int32_t capacity) {
  Bytes chunk = Chunk(body);
  return std::make_unique<MidiTrack>(static_cast<int64_t>(chunk.size()), 0, chunk.data(), 0,
                                     capacity);
}

Bytes ChunkBytes(const MidiTrack& track) {
  return Bytes(track.buffer, track.buffer + track.used_size);
}

bool SplitFile(const std::filesystem::path& path, FileChunks* out) {
  if (!plat::ReadWholeFile(path, out->bytes)) return false;
  const Bytes& b = out->bytes;
  if (b.size() < 14 || std::memcmp(b.data(), "MThd", 4) != 0) return false;
  size_t at = 0;
  while (at + 8 <= b.size()) {
    uint64_t len = (uint64_t{b[at + 4]} << 24) | (b[at + 5] << 16) | (b[at + 6] << 8) | b[at + 7];
    if (std::memcmp(&b[at], "MThd", 4) == 0) {
      out->header.assign(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + 8 + len));
    } else if (std::memcmp(&b[at], "MTrk", 4) == 0) {
      out->track_offsets.push_back(at);
    }
    at += 8 + len;
  }
  return true;
}

std::vector<std::string> Canonical(const MidiTrack& track) {
  std::vector<std::string> lines;
  int64_t tick = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    tick += e.delta;
    std::ostringstream s;
    s << tick << ' ';
    const uint8_t* d = e.GetDataPointer();
    auto data_hex = [&](int64_t from) {
      int64_t n = e.data_length;
      if (n > e.DataBlockSize()) n = e.DataBlockSize();
      return from < n ? HexBytes(d + from, n - from) : std::string();
    };
    switch (e.status) {
      case kStatusDeleted: continue;
      case kStatusNoteOff: s << "off " << e.channel << ' ' << e.note; break;
      case kStatusNoteOn: s << "on " << e.channel << ' ' << e.note << ' ' << e.velocity; break;
      case kStatusPolyPressure: s << "poly " << e.channel << ' ' << e.note << ' ' << e.value; break;
      case kStatusController: s << "cc " << e.channel << ' ' << e.number << ' ' << e.value; break;
      case kStatusProgram: s << "prog " << e.channel << ' ' << e.value; break;
      case kStatusChannelPressure: s << "chpress " << e.channel << ' ' << e.value; break;
      case kStatusPitchBend: s << "bend " << e.channel << ' ' << (e.value * 128 + e.note); break;
      case kStatusSysEx:
      case kStatusSysExEscape: {
        // The body after the status and the length number.
        int64_t start = 1;
        while (start < e.data_length && d && (d[start] & 0x80)) ++start;
        s << (e.status == kStatusSysEx ? "sysex " : "packet ") << data_hex(start + 1);
        break;
      }
      case kStatusMeta:
        switch (e.number) {
          case 0x2F: s << "end"; break;
          case 0x51: s << "tempo " << e.value; break;
          case 0x58:
            s << "timesig " << data_hex(0).substr(0, 8) << ' ' << e.value;
            break;
          case 0x59: s << "key " << data_hex(0); break;
          case 0x00: s << "seqno " << data_hex(0); break;
          case 0x20: s << "chprefix " << data_hex(0); break;
          case 0x54: s << "smpte " << data_hex(0); break;
          default: {
            std::string hex = data_hex(0);
            if (hex == "00") hex.clear();
            s << "text" << e.number << ' ' << hex;
          }
        }
        break;
      default: s << "status" << e.status; break;
    }
    lines.push_back(s.str());
  }
  return lines;
}

bool HaveMidicsv() { return cantrel_test::HaveTool("midicsv"); }

bool MidicsvCanonical(const std::filesystem::path& path, std::vector<std::vector<std::string>>* out,
                      std::string* error) {
  std::string csv;
  int rc = cantrel_test::RunTool({"midicsv", path.string()}, &csv);
  if (rc != 0) {
    *error = "midicsv exit " + std::to_string(rc);
    return false;
  }
  out->clear();
  std::istringstream in(csv);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> f = CsvFields(line);
    if (f.size() < 3) continue;
    int track = std::stoi(f[0]);
    if (track <= 0) continue;
    if (static_cast<int>(out->size()) < track) out->resize(static_cast<size_t>(track));
    const std::string& type = f[2];
    auto num = [&](size_t k) { return std::stol(f.at(k)); };
    auto rest_hex = [&](size_t from) {
      std::vector<int> v;
      for (size_t k = from; k < f.size(); ++k) v.push_back(static_cast<int>(std::stol(f[k])));
      return HexOf(v);
    };
    auto text_hex = [&](size_t k) {
      const std::string& t = f.at(k);
      return HexBytes(reinterpret_cast<const uint8_t*>(t.data()), static_cast<int64_t>(t.size()));
    };
    std::ostringstream s;
    s << f[1] << ' ';
    if (type == "Note_on_c") {
      if (num(5) == 0) {
        s << "off " << num(3) << ' ' << num(4);
      } else {
        s << "on " << num(3) << ' ' << num(4) << ' ' << num(5);
      }
    } else if (type == "Note_off_c") {
      s << "off " << num(3) << ' ' << num(4);
    } else if (type == "Poly_aftertouch_c") {
      s << "poly " << num(3) << ' ' << num(4) << ' ' << num(5);
    } else if (type == "Control_c") {
      s << "cc " << num(3) << ' ' << num(4) << ' ' << num(5);
    } else if (type == "Program_c") {
      s << "prog " << num(3) << ' ' << num(4);
    } else if (type == "Channel_aftertouch_c") {
      s << "chpress " << num(3) << ' ' << num(4);
    } else if (type == "Pitch_bend_c") {
      s << "bend " << num(3) << ' ' << num(4);
    } else if (type == "System_exclusive") {
      s << "sysex " << rest_hex(4);
    } else if (type == "System_exclusive_packet") {
      s << "packet " << rest_hex(4);
    } else if (type == "End_track") {
      s << "end";
    } else if (type == "Tempo") {
      s << "tempo " << (num(3) == 0 ? 500000 : num(3));
    } else if (type == "Time_signature") {
      s << "timesig " << HexOf({static_cast<int>(num(3)), static_cast<int>(num(4)),
                                 static_cast<int>(num(5)), static_cast<int>(num(6))})
        << ' ' << MetreWord(static_cast<int>(num(3)), static_cast<int>(num(4)));
    } else if (type == "Key_signature") {
      s << "key " << HexOf({static_cast<int>(num(3)), f.at(4) == "minor" ? 1 : 0});
    } else if (type == "Sequence_number") {
      s << "seqno " << HexOf({static_cast<int>(num(3) >> 8), static_cast<int>(num(3) & 255)});
    } else if (type == "Channel_prefix") {
      s << "chprefix " << HexOf({static_cast<int>(num(3))});
    } else if (type == "SMPTE_offset") {
      s << "smpte " << rest_hex(3);
    } else if (type == "Text_t" || type == "Copyright_t" || type == "Title_t" ||
               type == "Instrument_name_t" || type == "Lyric_t" || type == "Marker_t" ||
               type == "Cue_point_t") {
      static const char* kNames[] = {"Text_t", "Copyright_t", "Title_t", "Instrument_name_t",
                                     "Lyric_t", "Marker_t", "Cue_point_t"};
      int t = 1;
      while (type != kNames[t - 1]) ++t;
      s << "text" << t << ' ' << text_hex(3);
    } else if (type == "Sequencer_specific") {
      s << "text127 " << rest_hex(4);
    } else if (type == "Unknown_meta_event" && num(3) == 9) {
      s << "text4 " << rest_hex(5);
    } else {
      continue;  // header lines, dropped meta events (MIDI port, program name, ...)
    }
    (*out)[static_cast<size_t>(track - 1)].push_back(s.str());
  }
  return true;
}

std::string MidoLoadError(const std::filesystem::path& path) {
  std::string python = cantrel_test::PythonWithMido();
  if (python.empty()) return "python3 with mido is missing";  // never passes unchecked
  std::string output;
  std::string script =
      "import sys, mido\n"
      "try:\n"
      "    m = mido.MidiFile(sys.argv[1])\n"
      "    n = sum(len(t) for t in m.tracks)\n"
      "    print('ok', n)\n"
      "except Exception as e:\n"
      "    print('error', repr(e))\n";
  cantrel_test::RunTool({python, "-c", script, path.string()}, &output);
  if (output.rfind("ok", 0) == 0) return std::string();
  return output.empty() ? "mido did not run" : output;
}

}  // namespace track_test

namespace {

// Every test starts with the track module's process-wide state reset.
struct ResetTrackModule : testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override { ResetMidiTrackModule(); }
};
const int kRegistered =
    (testing::UnitTest::GetInstance()->listeners().Append(new ResetTrackModule), 0);

}  // namespace
