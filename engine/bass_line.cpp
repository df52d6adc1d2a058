#include "engine/bass_line.h"

#include <algorithm>

#include "style/style_table.h"

bool BassLine::Place(int* length) {
  last_start_ = written_ + pending_;
  covered_ = 0;
  if (cut_ >= 0) {
    if (last_start_ >= cut_) return false;
    *length = std::min(*length, cut_ - last_start_);
  }
  return true;
}

void BassLine::Advance(int step) {
  written_ = last_start_;
  pending_ = step;
}

void BassLine::Note(int pitch, int length, int step, int velocity) {
  last_kept_ = Place(&length);
  if (!last_kept_) {
    pending_ += step;
    return;
  }
  if (pitch <= 0 || velocity <= 0 || length <= 0) {  // silence
    pitch = 0;
    velocity = 0;
  }
  AddNote(track_, channel_, pending_, pitch, velocity, length);
  Advance(step);
}

void BassLine::With(int pitch, int length, int velocity) {
  if (!last_kept_) return;
  if (cut_ >= 0) length = std::min(length, cut_ - written_);
  if (pitch <= 0 || velocity <= 0 || length <= 0) return;  // a rest beside a note adds nothing
  AddNote(track_, channel_, 0, pitch, velocity, length);
}

void BassLine::Bent(BendWriter write, int pitch, int velocity, int length, int bend_ticks,
                    int step) {
  last_kept_ = Place(&length);
  if (!last_kept_) {
    pending_ += step;
    return;
  }
  if (velocity <= 0) pitch = 0;
  const int grace = write(track_, channel_, pending_, pitch, velocity, length, bend_ticks);
  Advance(step - grace);
  written_ += grace;
}

void BassLine::BentFromBelow(int pitch, int velocity, int length, int bend_ticks, int step) {
  Bent(AddNoteBentFromBelow, pitch, velocity, length, bend_ticks, step);
}

void BassLine::BentFromAbove(int pitch, int velocity, int length, int bend_ticks, int step) {
  Bent(AddNoteBentFromAbove, pitch, velocity, length, bend_ticks, step);
}

FirstChordWeights::FirstChordWeights() {
  const ChordBlock* first = ComposeInfo().chord_block(0);
  BuildToneWeights(first != nullptr ? first->chord_code : "NoCd", text);
}

bool IsTripletRhythm() { return CurrentStyle().basic_beat == 3; }

bool IsSixEightFeel() {
  const StyleRecord& style = CurrentStyle();
  return style.metre == 1 && style.triple_metre_kind == 2;
}
