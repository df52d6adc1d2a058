// Every built-in style arranged as a user makes a song: sixteen bars of chords and melody composed
// bar by bar through the window's compose road, then arranged by the worker as Play arranges it,
// in C major and A minor with two seeds. mido reads each file: no note is struck again on a key
// its channel still holds, every part ends by the song's end and so does every track, the harmony
// and sub-harmony parts sound in the last bar whenever they play at all, no box shows while
// composing and arranging, and a seed gives its file again byte for byte. tools/test runs every eleventh style and a few chosen ones;
// CANTREL_SWEEP_LONG=1 runs them all and prints the figures:
//   CANTREL_SWEEP_LONG=1 build/test/tests/test_app_compose --gtest_filter='StyleSweep*'
// The song builder comes before Qt, whose keyword macros clash with its names.
#include "tests/app/compose/compose_fixture.h"

#include "tests/app/window/window_fixture.h"

#include "app/compose_worker.h"
#include "engine/engine_state.h"
#include "style/style_table.h"
#include "util/gne.h"

#include <QComboBox>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

namespace {

namespace fs = std::filesystem;

constexpr int kBars = 16;
constexpr int kHarmonyChannel = 3;
constexpr int kSubHarmonyChannel = 7;
constexpr int kShortSweepStep = 11;
// Styles the short form always takes: the 7/8 ones, a 3/4 one ending with a drum fill, blues and
// ragtime harmonies, a chord struck again and again.
const std::set<std::pair<int, int>> kShortSweepStyles = {{0, 19}, {5, 14}, {5, 4},
                                                         {2, 3},  {2, 8},  {6, 15}};
// The oldies guitar (pattern 44) rests through a last block of a bar of straight eighths (where
// it draws none of its one-bar figures): the one part that may end the song on its own silence.
bool MayRestInTheLastBar(int pattern, int beats, bool triplet) {
  return pattern == 44 && beats == 4 && !triplet;
}

bool LongSweep() {
  const char* v = std::getenv("CANTREL_SWEEP_LONG");
  return v && *v && std::strcmp(v, "0") != 0;
}

// mido's account of each file named on the command line, one line a file:
//   path division overlaps last-note-end end-of-track harmony-end sub-harmony-end detail
// (a part's end is its latest note-off, -1 when it has no note).
// An overlap is a note-on of a key its channel still holds (tracks merged by time, note-offs of a
// tick before its note-ons). The detail names the first overlap and the latest-ending note.
const char kArrangementCheck[] = R"(
import sys, mido
for path in sys.argv[1:]:
    f = mido.MidiFile(path)
    events, eot = [], 0
    for track in f.tracks:
        t = 0
        for m in track:
            t += m.time
            if m.type == 'end_of_track':
                eot = max(eot, t)
            elif m.type in ('note_on', 'note_off'):
                on = m.type == 'note_on' and m.velocity > 0
                events.append((t, 1 if on else 0, m.channel, m.note))
    events.sort()
    held, overlaps, first, last, last_what, part_end = {}, 0, '-', 0, '-', {}
    for t, on, ch, note in events:
        k = (ch, note)
        if on:
            if held.get(k):
                overlaps += 1
                if first == '-':
                    first = 'ch%d:%d@%d' % (ch, note, t)
            held.setdefault(k, []).append(t)
        elif held.get(k):
            start = held[k].pop(0)
            if t > last:
                last, last_what = t, 'ch%d:%d@%d-%d' % (ch, note, start, t)
            part_end[ch] = max(part_end.get(ch, -1), t)
    print(path, f.ticks_per_beat, overlaps, last, eot, part_end.get(%HARMONY%, -1),
          part_end.get(%SUB%, -1), first, last_what)
)";

struct FileReport {
  int division = 0, overlaps = 0, last_end = 0, end_of_track = 0, harmony_end = -1, sub_end = -1;
  std::string first_overlap, latest_note;
};

std::string CheckScript() {
  std::string script = kArrangementCheck;
  for (const auto& [key, channel] : {std::pair<std::string, int>{"%HARMONY%", kHarmonyChannel},
                                     {"%SUB%", kSubHarmonyChannel}})
    script.replace(script.find(key), key.size(), std::to_string(channel));
  return script;
}

// mido's reports on the files, by path; empty when mido could not read them.
std::map<std::string, FileReport> ReadReports(const std::vector<fs::path>& files) {
  std::vector<std::string> argv = {cantrel_test::PythonWithMido(), "-c", CheckScript()};
  for (const fs::path& f : files) argv.push_back(f.string());
  std::string out;
  std::map<std::string, FileReport> reports;
  if (cantrel_test::RunTool(argv, &out) != 0) return reports;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string path;
    FileReport r;
    if (words >> path >> r.division >> r.overlaps >> r.last_end >> r.end_of_track >>
        r.harmony_end >> r.sub_end >> r.first_overlap >> r.latest_note)
      reports[path] = r;
  }
  return reports;
}

struct Arrangement {
  int category, slot, beats, harmony_pattern, sub_pattern;
  bool triplet;
  std::string style;
  const char* key;
  uint32_t seed;
  fs::path file;
  size_t boxes;
  std::string first_box;
};

class StyleSweepTest : public WindowTest {
 protected:
  // The styles the window lists, category by category.
  std::vector<std::pair<int, int>> ListedStyles() {
    std::vector<std::pair<int, int>> styles;
    for (int category = 0; category < kStyleCategoryCount; ++category) {
      dlg->categoryList->setCurrentIndex(category);
      dlg->FillStyleList();
      for (int i = 0; i < dlg->styleList->count(); ++i) {
        const int slot = dlg->styleList->itemData(i).toInt();
        if (FindStyleSlot(category, slot)) styles.emplace_back(category, slot);
      }
    }
    return styles;
  }

  // The worker arranges the window's song into `out` as Play does (no lead-in bars) and the
  // window takes its completion. The engine starts as a newly started program's does: what its
  // parts keep from one song to the next (ornament jitter, pan walk, roll counters) is not
  // carried over from the song before.
  void Render(const fs::path& out) {
    unrendered_style_ = dlg->song->style;
    ResetEngineState();
    // The question a program asks once about the long pipe and siren effects has been met.
    PartMemory().long_pipe_question_done = true;
    dlg->config.leadInBars = 0;
    dlg->StartComposeThread(out, dlg->song.get(), kMsgExportComposed);
    window_test::PumpUntil([] { return !ComposeWorkerRunning(); }, 60000);
  }

  // A new song in the style's metre (a 7/8 style is played as 4/4), the style chosen in the
  // lists, its chords and melody composed bar by bar and the song arranged into `out`. Boxes
  // shown on the way are counted.
  Arrangement Arrange(int category, int slot, const char* key, uint32_t seed,
                      const fs::path& out) {
    const StyleRecord& style = *FindStyleSlot(category, slot);
    const int beats = style.metre == 1 ? 3 : 4;
    NewSong(kBars, beats, CSongData::KeyIndexFromName(key));
    dlg->categoryList->setCurrentIndex(category);
    dlg->FillStyleList();
    dlg->styleList->setCurrentIndex(dlg->styleList->findData(slot));
    dlg->OnStyleChange();
    cantrel_test::Sink().Clear();
    GneSeedRandomWith(seed);
    for (int bar = 0; bar < kBars; ++bar) dlg->ComposeChords(bar, bar);
    dlg->ComposeMelody(0, kBars - 1);
    Render(out);
    Arrangement a{category,
                  slot,
                  beats,
                  style.accompaniment,
                  style.subharmony_accompaniment,
                  style.basic_beat == 3,
                  style.english_name,
                  key,
                  seed,
                  out,
                  cantrel_test::Sink().Count(),
                  ""};
    const std::vector<std::string> texts = cantrel_test::Sink().Texts();
    if (!texts.empty()) a.first_box = texts.front();
    return a;
  }

  // The song's style as it was before its last rendering kept a riff in it.
  StyleRecord unrendered_style_;
};

// What mido found in the arrangements against what they should be; in the long form the totals
// are printed.
void ExpectSoundFiles(const std::vector<Arrangement>& done, size_t styles) {
  std::vector<fs::path> files;
  for (const Arrangement& a : done) files.push_back(a.file);
  const std::map<std::string, FileReport> reports = ReadReports(files);
  int overlaps = 0, late = 0, early = 0, boxes = 0, silent_closes = 0, own_rests = 0;
  for (const Arrangement& a : done) {
    const std::string what = std::to_string(a.category) + "/" + std::to_string(a.slot) + " \"" +
                             a.style + "\" " + a.key + " seed " + std::to_string(a.seed);
    const auto it = reports.find(a.file.string());
    ASSERT_NE(it, reports.end()) << what << ": mido could not read the file";
    const FileReport& r = it->second;
    const int end = kBars * a.beats * r.division;
    const int bar = a.beats * r.division;
    EXPECT_EQ(r.overlaps, 0) << what << ": first at " << r.first_overlap;
    EXPECT_LE(r.last_end, end) << what << ": " << r.latest_note;
    EXPECT_EQ(r.end_of_track, end) << what << ": last note " << r.latest_note;
    // A part that plays at all sounds in the last bar: a note of it ends after the bar begins.
    bool silent_close = false;
    for (const auto& [part, part_end, pattern] :
         {std::tuple<const char*, int, int>{"harmony", r.harmony_end, a.harmony_pattern},
          {"sub-harmony", r.sub_end, a.sub_pattern}}) {
      const bool silent = part_end >= 0 && part_end <= end - bar;
      if (MayRestInTheLastBar(pattern, a.beats, a.triplet)) {
        own_rests += silent;
        continue;
      }
      EXPECT_FALSE(silent) << what << ": the " << part << " (pattern " << pattern
                           << ") is silent in the last bar";
      silent_close = silent_close || silent;
    }
    EXPECT_EQ(a.boxes, 0u) << what << ": " << a.first_box;
    overlaps += r.overlaps;
    late += r.last_end > end || r.end_of_track > end;
    early += r.end_of_track < end;
    silent_closes += silent_close;
    boxes += static_cast<int>(a.boxes);
  }
  if (LongSweep()) {
    std::printf("style sweep: %zu styles, %zu songs; %d same-key overlaps, %d songs running past "
                "the end, %d ending early, %d with a part silent in the last bar (and %d oldies "
                "guitar parts resting there by their own rule), %d boxes\n",
                styles, done.size(), overlaps, late, early, silent_closes, own_rests, boxes);
  }
}

TEST_F(StyleSweepTest, EveryStyleArrangesCleanly) {
  CANTREL_NEED_MIDO();
  Start();
  BuildStyleTable();
  const std::vector<std::pair<int, int>> styles = ListedStyles();
  ASSERT_FALSE(styles.empty());
  const fs::path folder = cantrel_test::TempDir();
  std::vector<Arrangement> done;
  int index = 0;
  for (const auto& [category, slot] : styles) {
    const bool sampled =
        index++ % kShortSweepStep == 0 || kShortSweepStyles.count({category, slot}) > 0;
    if (!LongSweep() && !sampled) continue;
    for (const char* key : {"C", "Am"}) {
      for (uint32_t seed : {7u, 2024u}) {
        const std::string stem = std::to_string(category) + "_" + std::to_string(slot) + "_" +
                                 key + "_" + std::to_string(seed);
        done.push_back(Arrange(category, slot, key, seed, folder / (stem + ".mid")));
        ASSERT_FALSE(ComposeWorkerRunning()) << stem << ": the worker never finished";
        // The same song arranged again from the same style and seed gives the same file.
        const fs::path again = folder / (stem + "b.mid");
        dlg->song->style = unrendered_style_;
        Render(again);
        EXPECT_TRUE(compose_test::ReadBytes(again) == compose_test::ReadBytes(done.back().file))
            << stem << ": the seed gave another file";
        fs::remove(again);
      }
    }
  }
  ExpectSoundFiles(done, styles.size());
}

}  // namespace
