#include "engine/drum_auto_patterns.h"

#include <algorithm>

// Hit types used: 1 closed hat, 2 kick, 3 snare, 4 snare with hat, 5 kick with
// hat, 6 rest, 7 high tom, 8 low-mid tom, 9 low tom, 15 open hat, 21 ride,
// 22 soft kick with ride, 23 soft snare with ride, 37 crash with kick.
// Every beat is a group of its own, so a block cut after any beat sounds whole.
namespace {

const AutoDrumPattern kPatterns[kAutoDrumPatternCount] = {
    // A: the verse. Kick on 1 and 3, snare on 2 and 4 under a steady hat.
    {MakeDrumSteps({{{5, 1, 1, 1, 4, 1, 1, 1, 5, 1, 1, 1, 4, 1, 1, 1,
                      5, 1, 1, 1, 4, 1, 1, 1, 5, 1, 1, 2, 3, 3, 8, 9}}}),
     MakeDrumSteps({{{5, 6, 1, 4, 6, 1, 5, 6, 1, 4, 6, 1,
                      5, 6, 1, 4, 6, 1, 5, 6, 2, 3, 8, 9}}})},
    // B: the chorus. A crash opens it, the open hat lifts the off-beats and
    // the kick pushes on the last sixteenths.
    {MakeDrumSteps({{{37, 1, 15, 1, 4, 1, 15, 2, 5, 1, 15, 5, 4, 1, 15, 1,
                      5, 1, 15, 1, 4, 1, 15, 2, 5, 1, 15, 5, 3, 7, 8, 9}}}),
     MakeDrumSteps({{{37, 6, 15, 4, 6, 15, 5, 2, 15, 4, 6, 15,
                      5, 6, 15, 4, 6, 2, 5, 2, 15, 3, 8, 9}}})},
    // Other sections: a lighter bridge on the ride with soft kick and snare
    // and a low tom answering.
    {MakeDrumSteps({{{22, 6, 21, 6, 23, 6, 21, 6, 22, 6, 21, 21, 23, 6, 9, 6,
                      22, 6, 21, 6, 23, 6, 21, 6, 22, 6, 21, 9, 7, 7, 8, 9}}}),
     MakeDrumSteps({{{22, 6, 21, 23, 6, 21, 22, 6, 21, 23, 6, 9,
                      22, 6, 21, 23, 6, 21, 22, 6, 9, 7, 8, 9}}})},
};

}  // namespace

const AutoDrumPattern& AutoDrumPatterns(int index) {
  return kPatterns[std::clamp(index, 0, kAutoDrumPatternCount - 1)];
}
