// The song information of a sample song ("ふるさと") with four parts on and the solo and drum
// instruments of its style, as the song-information dialog shows it.
#pragma once

#include "song/song_data.h"

namespace cantrel_test {

inline void FillSampleSongInfo(CSongData& song) {
  SongInfoBlock& info = song.info;
  info.SetText(SongInfoBlock::kTitle, 33, "ふるさと");
  info.SetText(SongInfoBlock::kAltTitle, 31, "Furusato");
  info.SetText(SongInfoBlock::kComposer, 33, "岡野貞一");
  info.SetText(SongInfoBlock::kLyricist, 33, "高野辰之");
  info.SetInt(SongInfoBlock::kMelodyProgram, 73);
  info.SetInt(SongInfoBlock::kSoloProgram, 40);
  info.SetInt(SongInfoBlock::kAccompProgram, 0);
  info.SetInt(SongInfoBlock::kAccomp2Program, 48);
  song.style.instrument[2] = 33;
  song.style.instrument[9] = 0;
}

}  // namespace cantrel_test
