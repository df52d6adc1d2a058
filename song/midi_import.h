// A Standard MIDI File made into the song document: the metre and bar count, the key,
// one chord per beat (from the file's XF chord events, else from the chord analysis),
// the melody channel's notes as note cells per eighth, and the lyrics.
//
// The song holds at most 1024 beats (2048 eighth cells, 256 bars of 4/4); a longer file
// is cut there with one message.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "music/chord_analysis.h"

class CSongData;
class MidiTrack;
class TuneStructure;
class XfData;

// Slots the import's chord-name table holds.
constexpr int32_t kImportChordSlots = 6800;

// Proposes the melody channel (0-based) and may change it; gets the karaoke song too.
using MelodyChannelCallback = std::function<void(int32_t& channel, XfData& song)>;

// What the last import left behind (the chord names, the key and the tone weights).
struct MidiImportState {
  std::vector<char> chord_names = std::vector<char>(
      static_cast<size_t>(kImportChordSlots) * kChordNameBytes, 0);
  uint8_t key[2] = {0, 0};
  char tone_weight_text[kToneWeightTextBytes] = "xxxx000000000000";
  int32_t slot_length = 0;
  int32_t slot_count = 0;
  bool limit_reported = false;  // the bar-limit message of this import was shown
};
MidiImportState& ImportState();

// A melody track made ready for note cells: quantised to sixteenths and triplet eighths of the
// division, then in note mode with only the highest of simultaneous notes, each note shortened
// to the next start.
void PrepareMelodyTrack(MidiTrack& track, int32_t division);
void ResetMidiImportModule();

class CKvImport {
 public:
  CKvImport() = delete;

  // Builds the document from the karaoke song (division set to 96 per quarter) and
  // its analysed tune structure. Always returns normally.
  static void ImportSmf(XfData& karaoke, TuneStructure& structure, CSongData& song,
                        const MelodyChannelCallback& choose_channel);

  // The main window's import: empties the song, reads the file as a karaoke song (a
  // plain file reads the same way), sets the division to 96, analyses the channels and
  // imports. False (the song untouched) when the file gives no song track.
  static bool ImportFile(const std::filesystem::path& path, CSongData& song,
                         const MelodyChannelCallback& choose_channel);

  // Code 1: the bar limit; any other code its own text.
  static void ErrorMsg(int code);
  // The two callbacks the chord analysis gets: they do nothing.
  static int NoProgress();
  static int NotBusy();

  // A lyric without the marks of the karaoke text ("/", "<", ">", "[", "]", "^") and
  // without the intro, interlude and ending labels.
  static std::string CleanLyric(const std::string& text);
  // No leading line breaks; a run of three or more CR LF becomes two.
  static void NormalizeLyricBreaks(std::string& text);
  // The ChordSuffixTable index of an XF chord-type name (0, major, when unknown).
  static int XfChordTypeToSuffix(const char* xf_name);
  // Chord of every beat from the analysed slot names.
  static void ChordsFromAnalysis(int bars, int beats_per_bar, int beats_per_slot, CSongData& song);
  // Chord of every beat from the file's XF chord events.
  static void ChordsFromXfEvents(const XfData& karaoke, CSongData& song);
};
