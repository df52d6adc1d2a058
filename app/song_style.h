// The style a song is composed and arranged in.
#pragma once

#include "song/song_data.h"
#include "style/style_record.h"
#include "style/style_table.h"

// The song's own style record; a song that has never been given one (its record names no
// pattern database) is in the built-in style of its category and slot, as a loaded song is.
// Slot 0 of a category is the category's random entry, which the style list does not show.
inline const StyleRecord& SongStyleOrBuiltIn(const CSongData& song) {
  if (song.style.pattern_db[0] != '\0') return song.style;
  return StyleTableSlot(song.info.GetInt(SongInfoBlock::kStyleCategory),
                        song.info.GetInt(SongInfoBlock::kStyleSlot));
}
