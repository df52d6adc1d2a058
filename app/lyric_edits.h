// Lyric edits on the melody's notes: the moves of the lyric panel's four buttons, pouring a text
// onto the notes syllable by syllable, and shifting every lyric by one note. A lyric is at most
// seven bytes of CP932 text in its note slot; no edit ever writes past that or splits a
// double-byte character, and an edit whose join would not fit changes nothing.
//
// A position is a note cell (bar x beats per bar x 2 + eighth) and one of its three slots. A
// "pitched" slot holds a pitch above 0; rests, holds, empty third parts and rap notes are not.
#pragma once

#include <cstddef>
#include <string>

class CSongData;

namespace lyric_edit {

constexpr size_t kLyricBytes = 7;

// What an edit did.
enum class Outcome {
  kDone,     // the song changed
  kNothing,  // nothing to do there (no note, empty lyric where one is taken, a rest cursor)
  kEmpty,    // the lyric to split is empty
  kTooLong,  // a join would pass seven bytes: nothing changed
};

// The length in bytes of the first character of `text` (0 for an empty text).
size_t FirstCharLength(const std::string& text);
// Where the last character of `text` starts, walking the characters from the start.
size_t LastCharStart(const std::string& text);

// The lyric of a slot (at most seven bytes, whatever the field holds) and its setter (cut to
// fit at a character boundary, the field's rest zeroed).
std::string LyricAt(const CSongData& song, int cell, int slot);
void SetLyricAt(CSongData& song, int cell, int slot, const std::string& text);

// Reads the next syllable of a pour from `text` into `syllable` (eight bytes, zero-filled;
// may be null) and answers the bytes used. A syllable ends at a blank, a line break, a
// full-width blank or once seven bytes are taken; a double-byte character that would pass the
// seventh byte starts the next syllable.
size_t NextSyllable(const char* text, char* syllable);

// Pours `text` from `cell` on: every pitched or rap slot takes the next syllable until the
// text or the song ends. Answers the number of slots written.
int PourLyrics(CSongData& song, const char* text, int cell);

// The next pitched slot after (cell, slot) (the next cell's slot 0 after slot 2): false at the
// song's end.
bool NextPitchedSlot(const CSongData& song, int* cell, int* slot);

// Puts `text` in front of the lyric of the next pitched slot after (cell, slot). kTooLong when
// the joined lyric would pass seven bytes, kNothing when no note follows.
Outcome PrependToNextLyric(CSongData& song, const char* text, int cell, int slot);
// Gives `text` to the next pitched slot after (cell, slot); that slot's lyric goes to the
// pitched slot after it, and so on to the song's end, where the last lyric drops off.
Outcome InsertLyricShifting(CSongData& song, const char* text, int cell, int slot);

// The lyric panel's four buttons at the cursor slot (cell, slot).
// Cuts the last character off the cursor lyric and puts it in front of the next note's lyric.
Outcome SplitEndToNext(CSongData& song, int cell, int slot);
// Cuts the last character off the cursor lyric and gives it to the next note as its whole
// lyric; every later lyric moves one note on.
Outcome SplitEndAndPush(CSongData& song, int cell, int slot);
// Takes the first character of the next note's lyric onto the end of the cursor lyric.
Outcome JoinNextLyric(CSongData& song, int cell, int slot);
// The same, and each following note hands its first character on to the note before it, up to
// a note without a lyric or the song's end.
Outcome JoinNextLyricAndPull(CSongData& song, int cell, int slot);

// Ctrl+",": the first lyric after the cursor cell joins the cursor cell's lyric and every later
// lyric moves one lyric place earlier.
Outcome PullNextLyric(CSongData& song, int cell);
// Ctrl+".": from the cursor cell on, every lyric of a note or rest moves one note later; the
// cursor cell's lyrics empty and the last drops off.
void PushLyricsFromCursor(CSongData& song, int cell);
// The bar menu: every pitched note's lyric from the bar on moves one note later (the bar's
// first note gets none) or one note earlier (the last note keeps its own as well).
void ShiftLyricsLater(CSongData& song, int bar);
void ShiftLyricsEarlier(CSongData& song, int bar);

}  // namespace lyric_edit
