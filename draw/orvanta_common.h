// The import tool's song and staff display: a Standard MIDI File loaded into a
// format-1 song of one track per channel (240 ticks per quarter), and one
// channel's notes shown on the rhythm staff picture, one bar per cell.
#pragma once

#include <string>

class CRhythmStaffPicture;
class Midi1Data;

class COrvantaCommon {
 public:
  virtual ~COrvantaCommon();

  static constexpr int kDivision = 240;
  static constexpr int kLongestNote = 960;
  static constexpr int kSlotCount = 17;  // track 0 without channel, 1..16 channels 0..15
  static constexpr int kTrackCapacity = 0x60000;

  // Loads the Standard MIDI File named by the path (a text with "*" is a filter
  // for the open-file dialog) into a song of 17 tracks at 240 ticks per quarter:
  // track 0 the events without channel, track c + 1 channel c, every empty
  // channel slot given the program. Returns 1 and replaces *song (the previous
  // one deleted); returns 0 and leaves *song as it was when nothing was loaded.
  static int LoadSmf(const std::string& path_or_filter, Midi1Data** song, int program);

  // Clears, numbers and fills the displayed cells.
  static void ShowTracksOnStaff(int rows, int bars_per_row, CRhythmStaffPicture* picture,
                                int first_cell, const Midi1Data* song, int first_bar,
                                int channel, int beats_per_bar);
  static void ClearStaffRows(int rows, int bars_per_row, CRhythmStaffPicture* picture,
                             int first_cell);
  // Every displayed cell shows its 1-based bar number.
  static void WriteBarNumbers(int rows, int bars_per_row, CRhythmStaffPicture* picture,
                              int first_cell, int first_bar);
  // The channel's notes in the displayed bars [first bar, first bar + rows x
  // bars per row), one bar per cell from the first cell; empty sixteenths of
  // the bars the song covers become rests.
  static void ShowTrack(CRhythmStaffPicture* picture, int first_cell, const Midi1Data* song,
                        int channel, int beats_per_bar, int first_bar, int rows,
                        int bars_per_row);
  // The staff note type of a note of `length` ticks followed by the next note
  // `gap` ticks after its start.
  static int StaffNoteTypeOf(int length, int gap);

  // Loading steps: the tracks into 17 slots by channel (a second track of a
  // channel is dropped; empty slots get a track with the program), and notes
  // longer than a whole note cut to one.
  static void SplitByChannel(Midi1Data* song, int program);
  static void ClampLongNotes(Midi1Data* song);

 private:
  COrvantaCommon() = default;
};
