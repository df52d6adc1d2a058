#include "passes_util.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "tests/support/test_support.h"

namespace passes_test {

namespace {

MidiEvent* Base(int32_t delta, uint32_t status, int32_t channel) {
  auto* e = new MidiEvent(delta);
  e->status = status;
  e->channel = channel;
  return e;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

}  // namespace

MidiEvent* Note(int32_t delta, int32_t channel, int32_t pitch, int32_t velocity, int32_t duration) {
  auto* e = Base(delta, kStatusNote, channel);
  e->note = pitch;
  e->velocity = velocity;
  e->duration = duration;
  return e;
}

MidiEvent* On(int32_t delta, int32_t channel, int32_t pitch, int32_t velocity) {
  auto* e = Base(delta, kStatusNoteOn, channel);
  e->note = pitch;
  e->velocity = velocity;
  return e;
}

MidiEvent* Off(int32_t delta, int32_t channel, int32_t pitch) {
  auto* e = Base(delta, kStatusNoteOff, channel);
  e->note = pitch;
  return e;
}

MidiEvent* Cc(int32_t delta, int32_t channel, int32_t number, int32_t value) {
  auto* e = new MidiEvent(delta);
  e->SetControlChange(channel, number, value);
  return e;
}

MidiEvent* Program(int32_t delta, int32_t channel, int32_t program) {
  auto* e = new MidiEvent(delta);
  e->SetProgramChange(channel, program);
  return e;
}

MidiEvent* Meta(int32_t delta, uint32_t type, const std::string& text) {
  auto* e = Base(delta, kStatusMeta, kNoChannel);
  e->number = type;
  if (!text.empty()) e->SetDataQuietly(text.data(), static_cast<int32_t>(text.size()));
  return e;
}

MidiEvent* Tempo(int32_t delta, int32_t microseconds) {
  auto* e = new MidiEvent(delta);
  e->SetTempo(microseconds);
  return e;
}

MidiEvent* End(int32_t delta) {
  auto* e = Base(delta, kStatusMeta, kNoChannel);
  e->number = 0x2F;
  return e;
}

std::unique_ptr<Midi1Track> Make(int32_t mode, const std::vector<MidiEvent*>& events) {
  auto track = std::make_unique<Midi1Track>(mode, kDefaultMusicCapacity);
  for (MidiEvent* e : events) track->AddEvent(e);
  return track;
}

std::vector<int64_t> Ticks(const MidiTrack& track) { return track.EventTicks(); }

std::vector<NoteRow> Notes(const MidiTrack& track) {
  std::vector<NoteRow> rows;
  const std::vector<int64_t> ticks = track.EventTicks();
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    if (e.status == kStatusNote) {
      rows.emplace_back(ticks[static_cast<size_t>(i)], e.channel, e.note, e.velocity, e.duration);
    }
  }
  return rows;
}

std::string Text(const MidiEvent& e) {
  if (e.data == nullptr || e.data_length <= 0) return std::string();
  return std::string(reinterpret_cast<const char*>(e.data), static_cast<size_t>(e.data_length));
}

bool HaveMidicsv() { return cantrel_test::HaveTool("midicsv"); }
bool HaveMido() { return !cantrel_test::PythonWithMido().empty(); }
bool HaveFluidsynth() { return cantrel_test::HaveTool("fluidsynth"); }
bool HaveSox() { return cantrel_test::HaveTool("sox"); }

bool MidicsvNotes(const std::filesystem::path& path, std::vector<CsvNote>* out) {
  std::string csv;
  if (cantrel_test::RunTool({"midicsv", path.string()}, &csv) != 0) return false;
  // Notes are paired per track, channel and pitch in file order.
  std::map<std::tuple<int, int, int>, std::vector<std::pair<int64_t, int>>> open;
  out->clear();
  for (const std::string& line : Lines(csv)) {
    int track = 0;
    long long tick = 0;
    char kind[32] = {};
    int channel = 0;
    int pitch = 0;
    int velocity = 0;
    if (std::sscanf(line.c_str(), "%d, %lld, %31[A-Za-z_], %d, %d, %d", &track, &tick, kind,
                    &channel, &pitch, &velocity) != 6) {
      continue;
    }
    const std::string k = kind;
    const auto key = std::make_tuple(track, channel, pitch);
    if (k == "Note_on_c" && velocity > 0) {
      open[key].push_back({tick, velocity});
    } else if (k == "Note_off_c" || k == "Note_on_c") {
      auto& list = open[key];
      if (list.empty()) continue;
      out->emplace_back(channel, pitch, list.front().second, list.front().first, tick);
      list.erase(list.begin());
    }
  }
  std::sort(out->begin(), out->end());
  return true;
}

std::string MidoError(const std::filesystem::path& path) {
  const std::string python = cantrel_test::PythonWithMido();
  std::string out;
  const int rc = cantrel_test::RunTool(
      {python, "-c", "import sys, mido\nmido.MidiFile(sys.argv[1])\nprint('ok')", path.string()},
      &out);
  return rc == 0 ? std::string() : "mido refused " + path.string() + ": " + out;
}

std::vector<std::string> MidoMessages(const std::filesystem::path& path) {
  const std::string python = cantrel_test::PythonWithMido();
  std::string out;
  const char script[] = R"PY(
import sys, mido
m = mido.MidiFile(sys.argv[1])
tick = 0
for msg in mido.merge_tracks(m.tracks):
    tick += msg.time
    if msg.is_meta:
        continue
    d = msg.dict()
    d.pop('time', None)
    t = d.pop('type')
    if t == 'note_on' and d['velocity'] == 0:
        t = 'note_off'
        d['velocity'] = 0
    if t == 'note_off':
        d['velocity'] = 0
    print(tick, t, ' '.join('%s=%s' % (k, d[k]) for k in sorted(d)))
)PY";
  if (cantrel_test::RunTool({python, "-c", script, path.string()}, &out) != 0) return {};
  return Lines(out);
}

bool MidoMergeEndsFirst(const std::filesystem::path& in, const std::filesystem::path& out) {
  const std::string python = cantrel_test::PythonWithMido();
  if (python.empty()) return false;
  const char script[] = R"PY(
import sys, mido
m = mido.MidiFile(sys.argv[1])
msgs, t = [], 0
for msg in mido.merge_tracks(m.tracks):
    t += msg.time
    msgs.append((t, msg))
def off(msg):
    return msg.type == 'note_off' or (msg.type == 'note_on' and msg.velocity == 0)
ordered, i = [], 0
while i < len(msgs):
    j = i
    while j < len(msgs) and msgs[j][0] == msgs[i][0]:
        j += 1
    group = msgs[i:j]
    ordered += [g for g in group if off(g[1])] + [g for g in group if not off(g[1])]
    i = j
track, last = mido.MidiTrack(), 0
for t, msg in ordered:
    if msg.type == 'end_of_track':
        continue
    track.append(msg.copy(time=t - last))
    last = t
track.append(mido.MetaMessage('end_of_track', time=0))
f = mido.MidiFile(type=0, ticks_per_beat=m.ticks_per_beat)
f.tracks.append(track)
f.save(sys.argv[2])
)PY";
  return cantrel_test::RunTool({python, "-c", script, in.string(), out.string()}) == 0;
}

std::filesystem::path SoundFont() {
  for (const char* p : {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
                        "/usr/share/sounds/sf2/default-GM.sf2"}) {
    if (std::filesystem::exists(p)) return p;
  }
  return {};
}

bool Render(const std::filesystem::path& midi, const std::filesystem::path& wav) {
  // No reverb or chorus, one thread: the same notes give the same samples.
  return cantrel_test::RunTool({"fluidsynth", "-n", "-i", "-q", "-R", "0", "-C", "0", "-r",
                                "22050", "-g", "0.5", "-F", wav.string(), "-T", "wav",
                                SoundFont().string(), midi.string()}) == 0 &&
         std::filesystem::exists(wav);
}

namespace {

// The RMS amplitude sox's statistics report for a sound file; negative on failure.
// "-n stat" reports on standard error, which the shell folds into the output.
double SoxRms(const std::filesystem::path& wav) {
  std::string out;
  const std::string cmd = "sox '" + wav.string() + "' -n stat 2>&1";
  if (cantrel_test::RunTool({"sh", "-c", cmd}, &out) != 0) return -1;
  for (const std::string& line : Lines(out)) {
    if (line.rfind("RMS     amplitude:", 0) == 0) return std::stod(line.substr(18));
  }
  return -1;
}

}  // namespace

double Rms(const std::filesystem::path& wav) { return SoxRms(wav); }

double DifferenceRms(const std::filesystem::path& a, const std::filesystem::path& b) {
  // The difference: b inverted, mixed with a.
  const std::filesystem::path diff = a.parent_path() / (a.stem().string() + "_diff.wav");
  if (cantrel_test::RunTool({"sox", "-m", "-v", "1", a.string(), "-v", "-1", b.string(),
                             diff.string()}) != 0) {
    return -1;
  }
  return SoxRms(diff);
}

bool SameSamples(const std::filesystem::path& a, const std::filesystem::path& b) {
  const auto read = [](const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  const std::string x = read(a);
  return !x.empty() && x == read(b);
}

std::filesystem::path BlupiFile(int n) {
  char name[64];
  std::snprintf(name, sizeof name, "/usr/share/planetblupi/music/music%03d.mid", n);
  return name;
}

}  // namespace passes_test
