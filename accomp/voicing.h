// Pitch helpers the accompaniment generators share: a close triad voiced to
// follow a running reference pitch, and a small chord-tone list folded under
// a ceiling, sorted and made unique.
#pragma once

#include <cstdint>

struct ChordBlock;

// Voices the block's root, third and fifth as a close triad whose top tone is
// the chord tone nearest `*reference` (0 = no reference yet: the block's own
// pitches in root position). Writes the fifth, third and root voices and moves
// the reference to the new fifth voice, kept within 50..70 by steps of 6.
void VoiceTriadNearReference(const ChordBlock& block, int32_t* fifth_voice, int32_t* third_voice,
                             int32_t* root_voice, int32_t* reference);

// Lowers every pitch above `ceiling` by octaves, sorts the list upwards and
// drops repeats. Values of 0 or below are empty slots; they end up last, as 0.
void SortFoldChordTones(int32_t* tones, int32_t ceiling, int count);
