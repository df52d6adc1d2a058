#include "song/song_fuzz.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "song/song_data.h"

namespace {

// The song documents of the entry, one pair per thread, read afresh for every input (each
// read clears its document first). A document is too large to allocate and free per input at
// any speed under AddressSanitizer (every allocation is fresh memory, faulted in page by page).
struct FuzzDocuments {
  std::unique_ptr<CSongData> read = std::make_unique<CSongData>();
  std::unique_ptr<CSongData> image = std::make_unique<CSongData>();
};

}  // namespace

int FuzzSongFileBytes(const uint8_t* data, size_t size) {
  static thread_local FuzzDocuments documents;
  CSongData* song = documents.read.get();
  song->path.clear();
  int bars = 4, bpb = 4, key = 0, metre = 1;
  song->ReadFileBytes(data, size, &bars, &bpb, &key, &metre);

  // What the program does with a loaded song: save it (the undo snapshot is the song's image,
  // kept in the document's own room), show it, edit it, and take the edits back.
  song->TakeUndoSnapshot();
  for (int c = 0; c < 16; ++c) {
    song->GetCellText(c / 8, (c / 2) % 4, c % 2);
    song->DescribeSlot(c * 97 % kSongMaxCells, c % 3, c & 1);
    double length = 0;
    song->GetNoteAt(c / 8, c % 8, &length, c & 1);
    song->CountSameChordBeats(0, c % 4);
    char lyric[32];
    song->GetCellLyric(0, c % 4, c & 1, lyric, -1);
    int root, type, k, bass;
    song->GetChord(0, c % 4, &root, &type, &k, &bass, c & 1);
  }
  song->BuildLyricText();
  song->NormalizeCells();
  song->PackExtraTexts();
  song->ClearPackedSlots();
  song->TransposeSong(5);
  song->InvertMelodyAndChords(0, song->bar_count);
  song->DoubleNoteValues(0, 0);
  song->SetBarCount(song->bar_count + 1);
  song->RemoveSkipBeats();
  song->Undo();

  // The same bytes handed over as an image.
  CSongData* from_image = documents.image.get();
  from_image->ReadImage(data, size);
  from_image->UpdatePitchRange(-1);
  from_image->TidyLyricText();
  return bars;
}
