#!/bin/bash
# Rebuilds the small MIDI fixtures of the track tests from the texts below, with
# abc2midi, csvmidi and Python. Run by hand from this folder; the .mid files are kept
# in the repository so that the tests do not need the tools.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A small tune in 3/4, E flat major, with a tempo, chords and lyrics.
cat > "$work/tune.abc" <<'ABC'
X:1
T:Little Waltz
M:3/4
L:1/4
Q:1/4=132
K:Eb
"Eb"E G B | "Ab"c2 A | "Bb7"B A F | "Eb"E3 |
w:la la la sing a song to the end
"Cm"G2 G | "Fm"A F D | "Bb"F2 E | "Eb"E3 |]
w:once a-gain we sing it all
ABC
abc2midi "$work/tune.abc" -o abc_tune.mid > /dev/null

# Every kind of event the parser knows, with long texts and system-exclusive setup.
long150=$(printf 'x%.0s' $(seq 1 150))
long300=$(printf 'y%.0s' $(seq 1 300))
cat > "$work/features.csv" <<CSV
0, 0, Header, 1, 3, 480
1, 0, Start_track
1, 0, Title_t, "Conductor"
1, 0, Sequence_number, 7
1, 0, Copyright_t, "(c) nobody"
1, 0, Text_t, "a text"
1, 0, Time_signature, 3, 2, 24, 8
1, 0, Key_signature, -3, "major"
1, 0, Tempo, 400000
1, 0, SMPTE_offset, 96, 0, 3, 0, 0
1, 0, Unknown_meta_event, 8, 3, 65, 66, 67
1, 0, Unknown_meta_event, 9, 7, 83, 67, 45, 56, 56, 32, 66
1, 0, MIDI_port, 1
1, 0, Channel_prefix, 3
1, 0, Sequencer_specific, 3, 67, 0, 1
1, 960, Marker_t, "verse"
1, 960, Cue_point_t, "cue"
1, 1440, Time_signature, 4, 2, 24, 8
1, 1440, Key_signature, 2, "minor"
1, 1440, Tempo, 500000
1, 3001440, Text_t, "far away"
1, 3001440, End_track
2, 0, Start_track
2, 0, System_exclusive, 5, 126, 127, 9, 1, 247
2, 0, System_exclusive, 10, 65, 16, 66, 18, 64, 0, 127, 0, 65, 247
2, 0, System_exclusive, 10, 65, 16, 66, 18, 64, 0, 4, 100, 88, 247
2, 0, System_exclusive, 7, 127, 127, 4, 1, 0, 110, 247
2, 0, System_exclusive, 10, 65, 16, 66, 18, 64, 26, 21, 1, 16, 247
2, 0, System_exclusive, 8, 67, 16, 76, 0, 0, 126, 0, 247
2, 0, System_exclusive_packet, 3, 1, 2, 3
2, 0, Instrument_name_t, "Piano"
2, 0, Control_c, 0, 0, 0
2, 0, Control_c, 0, 32, 0
2, 0, Program_c, 0, 4
2, 0, Control_c, 0, 7, 100
2, 0, Control_c, 0, 10, 64
2, 0, Pitch_bend_c, 0, 8192
2, 0, Note_on_c, 0, 60, 100
2, 0, Note_on_c, 0, 64, 90
2, 0, Lyric_t, "Hel"
2, 240, Note_off_c, 0, 60, 30
2, 240, Note_on_c, 0, 64, 0
2, 240, Note_on_c, 0, 67, 80
2, 240, Lyric_t, "$long150"
2, 300, Pitch_bend_c, 0, 9000
2, 360, Channel_aftertouch_c, 0, 50
2, 400, Poly_aftertouch_c, 0, 67, 40
2, 480, Note_on_c, 0, 67, 0
2, 480, Text_t, "$long300"
2, 480, Note_on_c, 0, 67, 70
2, 960, Note_off_c, 0, 67, 0
2, 960, End_track
3, 0, Start_track
3, 0, Program_c, 9, 0
3, 0, Note_on_c, 9, 36, 120
3, 0, Note_on_c, 9, 42, 100
3, 120, Note_on_c, 9, 36, 0
3, 120, Note_on_c, 9, 42, 0
3, 240, Note_on_c, 15, 72, 64
3, 480, Note_off_c, 15, 72, 64
3, 480, Control_c, 15, 64, 127
3, 500, End_track
0, 0, End_of_file
CSV
csvmidi "$work/features.csv" features.mid

# Hand-made bytes: running status that goes on across meta events, a note-on with
# velocity 0, a device name, an unknown chunk between the tracks, a tempo of 0 and a
# time signature whose denominator power is 0.
python3 - <<'PY'
import struct
def chunk(cid, body):
    return cid + struct.pack('>I', len(body)) + body
track = bytes([
    0x00, 0x90, 0x3C, 0x40,
    0x10, 0x3E, 0x40,
    0x00, 0xFF, 0x05, 0x03]) + b'abc' + bytes([
    0x10, 0x40, 0x40,
    0x00, 0xFF, 0x09, 0x05]) + b'SC88B' + bytes([
    0x10, 0x3C, 0x00,
    0x00, 0x3E, 0x00,
    0x00, 0x40, 0x00,
    0x00, 0xB1, 0x07, 0x64,
    0x08, 0x0A, 0x40,
    0x00, 0xFF, 0x2F, 0x00])
head = chunk(b'MThd', struct.pack('>HHH', 1, 2, 96))
conductor = chunk(b'MTrk', bytes([0x00, 0xFF, 0x51, 0x03, 0, 0, 0,
                                  0x00, 0xFF, 0x58, 0x04, 0x06, 0x00, 0x18, 0x08,
                                  0x60, 0xFF, 0x2F, 0x00]))
open('running_status.mid', 'wb').write(head + conductor + chunk(b'MTrk', track))
open('unknown_chunk.mid', 'wb').write(
    head + chunk(b'XTRA', b'\x01\x02\x03hello') + conductor + chunk(b'MTrk', track))
PY
echo "fixtures written"
