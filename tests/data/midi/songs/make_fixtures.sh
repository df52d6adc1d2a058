#!/bin/bash
# Rebuilds the song fixtures from the texts beside them: setup_f0.mid and
# band_f1.mid with csvmidi, tune_f1.mid with abc2midi. Run by hand from this
# folder; the .mid files are kept in the repository so that the tests do not need
# the tools.
set -euo pipefail
cd "$(dirname "$0")"
csvmidi setup_f0.csv setup_f0.mid
csvmidi band_f1.csv band_f1.mid
abc2midi tune.abc -o tune_f1.mid > /dev/null
