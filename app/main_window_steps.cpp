// The steps of the main window's start-up and release that belong to its other parts: the
// panels and the chord-dictionary program. Each part fills in its step here; until then the step
// does nothing and the window runs without it.
#include "app/main_dialog.h"


void CBrevantDlg::QuitChordDictionary() {}
