#include "accomp/voicing.h"

#include <cstdlib>

#include "engine/chord_block.h"

namespace {

// Distance from the reference to a tone at its own octave or one below.
int NearerOfTwoOctaves(int reference, int tone) {
  int here = std::abs(reference - tone);
  int below = std::abs(reference - (tone - 12));
  return here < below ? here : below;
}

}  // namespace

void VoiceTriadNearReference(const ChordBlock& block, int32_t* fifth_voice, int32_t* third_voice,
                             int32_t* root_voice, int32_t* reference) {
  const int root = block.root;
  const int third = block.third;
  const int fifth = block.fifth;
  const int r = *reference;

  if (r == 0) {
    *fifth_voice = fifth;
    *third_voice = third;
    *root_voice = root;
  } else {
    const int to_fifth = NearerOfTwoOctaves(r, fifth);
    const int to_third = NearerOfTwoOctaves(r, third);
    const int to_root = std::abs(r - root);
    if (to_fifth < to_third && to_fifth < to_root) {
      // The fifth on top.
      const int shift = std::abs(r - fifth) < std::abs(r - (fifth - 12)) ? 0 : 12;
      *fifth_voice = fifth - shift;
      *third_voice = third - shift;
      *root_voice = root - shift;
    } else if (to_third < to_fifth && to_third < to_root) {
      // The third on top, the fifth below it.
      const bool own_octave = std::abs(r - third) < std::abs(r - (third - 12));
      *fifth_voice = own_octave ? fifth - 12 : fifth - 24;
      *third_voice = own_octave ? third : third - 12;
      *root_voice = own_octave ? root : root - 12;
    } else {
      // The root on top (every tie lands here).
      *fifth_voice = fifth - 12;
      *third_voice = third - 12;
      *root_voice = root;
    }
  }

  int next = *fifth_voice;
  if (next < 50) next += 6;
  if (next > 70) next -= 6;
  *reference = next;
}

void SortFoldChordTones(int32_t* tones, int32_t ceiling, int count) {
  if (tones == nullptr || count <= 0) return;
  for (int i = 0; i < count; ++i) {
    if (tones[i] <= 0) continue;
    while (tones[i] > ceiling && tones[i] > 12) tones[i] -= 12;
  }
  // An empty slot sorts after every pitch.
  auto key = [](int32_t v) { return v > 0 ? v : INT32_MAX; };
  for (int i = 0; i < count; ++i) {
    for (int j = i + 1; j < count; ++j) {
      if (tones[i] > 0 && tones[j] == tones[i]) {
        tones[j] = 0;
      } else if (key(tones[i]) > key(tones[j])) {
        int32_t t = tones[i];
        tones[i] = tones[j];
        tones[j] = t;
      }
    }
  }
  for (int i = 0; i < count; ++i) {
    if (tones[i] < 0) tones[i] = 0;
  }
}
