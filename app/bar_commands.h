// The command numbers of the bar context menu. They travel as the menu items' data and in
// kMsgCommand messages, and the recent-command list holds them.
#pragma once

namespace bar_command {

enum : int {
  // Playing.
  kPlayBar = 256,
  kPlayAround = 257,      // the bar with one before and one after
  kPlayPage = 258,
  kPlayFromPage = 278,
  kPlayRange = 287,
  // Lyrics.
  kClearBarLyrics = 260,
  kClearLyricsFromBar = 261,
  kSetBarLyrics = 268,
  kSetLyricsFromBar = 277,
  kPourLyrics = 269,
  kShiftLyricsLater = 270,
  kShiftLyricsEarlier = 271,
  // Bar edits.
  kDeleteBar = 262,
  kDeleteEighth = 263,
  kComposeChords = 264,
  kComposeMelody = 265,
  kComposeBoth = 266,
  kBarOctaveUp = 267,
  kThreeToFour = 272,
  kRemoveSkipBeats = 273,
  kSongOctaveDown = 274,
  kSongOctaveUp = 275,
  kPitchStatistics = 276,
  kInsertBar = 279,
  kUndo = 280,
  // The selected range.
  kRangeFirst = 281,
  kRangeLast = 282,
  kRangeCopyInsert = 283,
  kRangeOverwrite = 284,
  kRangeMove = 285,
  kRangeDelete = 286,
  kLyricNotesOctaveDown = 288,
  kRangeClearNotes = 289,
  // Rhythm figures.
  kRangeToTriplets = 290,
  kGlissandoUp = 291,
  kGlissandoDown = 292,
  kTrillBar = 293,
  kSixteenthsToTriplet = 294,
};

}  // namespace bar_command
