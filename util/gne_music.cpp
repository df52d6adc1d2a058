#include "util/gne_music.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "util/byte_cursor.h"
#include "util/gne_error.h"
#include "util/music_names.h"

namespace {

int PitchClassOf(int pitch) { return ((pitch % 12) + 12) % 12; }

// Truncates toward zero; values beyond int (or NaN) are held at the int range (or 0).
int TruncToInt(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(v);
}

void CopyText(const std::string& text, char* out) {
    std::memcpy(out, text.c_str(), text.size() + 1);
}

const char* const kSolfegeNames[12] = {
    "ド", "ド#", "レ", "レ #", "ミ", "ファ", "ファ#", "ソ", "ソ#", "ラ", "ラ#", "シ",
};

const char* const kIntervalNames[12] = {
    "完全１度", "短２度", "長２度", "短３度", "長３度", "完全４度",
    "増４度",   "完全５度", "短６度", "長６度", "短７度", "長７度",
};

}  // namespace

// ---- Variable-length numbers and byte order ----

int GneWriteVarLen(int64_t value, uint8_t* out) { return ByteWriter(out, 4).VarLen(value); }

int GneReadVarLen(const uint8_t* in, size_t avail, uint32_t* value) {
    ByteReader reader(in, avail < 4 ? avail : 4);
    const uint32_t v = reader.VarLen();
    // Unterminated within the bytes there (or within four): no number.
    if (!reader.ok() || (in[reader.pos() - 1] & 0x80u) != 0) return 0;
    if (value != nullptr) *value = v;
    return static_cast<int>(reader.pos());
}

void GneWriteBigEndian32(uint8_t* out, uint32_t value) { ByteWriter(out, 4).U32Be(value); }

void GneWriteLittleEndian32(uint8_t* out, uint32_t value) { ByteWriter(out, 4).U32Le(value); }

int GneReadBigEndian24(const uint8_t* bytes) {
    return static_cast<int>(ByteReader(bytes, 3).U24Be());
}

int32_t GneReadInt32(const uint8_t* bytes) {
    int32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// ---- Tempo, time and metre ----

int GneBpmToTempo(int bpm) {
    if (bpm == 0) {
        GneErrorMsg(kGneTempoConversionError);
        return 500000;
    }
    return (60000 / bpm) * 1000;
}

int GneTempoToBpm(int tempo) {
    const int t = tempo / 1000;
    if (t == 0) {
        GneErrorMsg(kGneBpmConversionError);
        return 120;
    }
    return 60000 / t;
}

double GneTicksToSeconds(int ticks, int division, int tempo) {
    if (ticks == 0 || division == 0) return 0.0;
    return static_cast<double>(ticks) / division * tempo / 1000000.0;
}

int GneSecondsToTicks(double seconds, int division, int tempo) {
    if (seconds == 0.0 || tempo == 0) return 0;
    return TruncToInt(seconds * 1000000.0 * division / tempo);
}

int GneBeatsToSeconds(double beats, int bpm) {
    if (bpm == 0) return 0;
    return TruncToInt(60.0 / bpm * beats);
}

double GneQuartersPerBar(int metre) {
    const int numerator = metre / 256;
    int denominator = metre % 256;
    if (denominator < 2) {
        GneErrorMsg(kGneMetreError);
        if (denominator < 1) denominator = 1;
    }
    return 4.0 / denominator * numerator;
}

void GneMakeTimeSignature(int metre, uint8_t* record, int* length) {
    const int numerator = metre / 256;
    int denominator = metre % 256;
    int power = 0;
    // A denominator below 2 counts as 2^0; the loop ends for every value.
    while (denominator >= 2) {
        denominator /= 2;
        ++power;
    }
    record[0] = static_cast<uint8_t>(numerator);
    record[1] = static_cast<uint8_t>(power);
    record[2] = 0x12;
    record[3] = 0x08;
    if (length != nullptr) *length = 4;
}

// ---- Note names ----

namespace {

const char* const kSharpRoots[] = {"C#", "D#", "F#", "G#", "A#"};
const char* const kFlatRoots[] = {"Db", "Eb", "Gb", "Ab", "Bb"};

// The name with its two-letter root found in `from` spelled as the same row of `to`; other
// names as they are.
std::string Respell(const std::string& name, const char* const (&from)[5],
                    const char* const (&to)[5]) {
    if (name.size() < 2) return name;
    for (int i = 0; i < 5; ++i) {
        if (name.compare(0, 2, from[i]) == 0) return to[i] + name.substr(2);
    }
    return name;
}

}  // namespace

std::string GneSharpToFlat(const std::string& name) { return Respell(name, kSharpRoots, kFlatRoots); }

std::string GneFlatToSharp(const std::string& name) { return Respell(name, kFlatRoots, kSharpRoots); }

void GneSharpToFlat(const char* name, char* out) {
    CopyText(GneSharpToFlat(std::string(name != nullptr ? name : "")), out);
}

void GneFlatToSharp(const char* name, char* out) {
    CopyText(GneFlatToSharp(std::string(name != nullptr ? name : "")), out);
}

void GnePitchClassFromName(int* out, const char* name, int flat_first) {
    *out = -1;
    if (name == nullptr) return;
    for (int pass = 0; pass < 2; ++pass) {
        const bool flat = (pass == 0) == (flat_first != 0);
        for (int i = 0; i < 12; ++i) {
            const std::string candidate =
                flat ? GneSharpToFlat(std::string(NoteNameTable[i])) : std::string(NoteNameTable[i]);
            if (candidate == name) {
                *out = i;
                return;
            }
        }
    }
}

std::string GneNoteName(int pitch) { return NoteNameTable[PitchClassOf(pitch)]; }
void GneNoteName(int pitch, char* out) { CopyText(GneNoteName(pitch), out); }

std::string GneSolfegeName(int pitch) { return kSolfegeNames[PitchClassOf(pitch)]; }
void GneSolfegeName(int pitch, char* out) { CopyText(GneSolfegeName(pitch), out); }

namespace {

// The octave number after a note name ("4", "-1"), read like atoi but kept to the octaves in
// which a MIDI note can lie (-2 .. 9 covers both octave modes); a run of digits of any length
// saturates instead of overflowing.
int OctaveOfNoteName(const char* text) {
    constexpr int kLowest = -2, kHighest = 9;
    while (*text == ' ' || *text == '\t') ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    int octave = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        octave = std::min(octave * 10 + (*text - '0'), 1000);
    }
    if (negative) octave = -octave;
    return std::clamp(octave, kLowest, kHighest);
}

}  // namespace

int GnePitchFromNoteName(int octave_mode, const char* name) {
    if (name == nullptr || name[0] == 0) return 24 - (octave_mode == 1 ? 12 : 0);
    int value;
    switch (name[0]) {
        case 'A': value = 9; break;
        case 'B': value = 11; break;
        case 'C': value = 0; break;
        case 'D': value = 2; break;
        case 'E': value = 4; break;
        case 'F': value = 5; break;
        case 'G': value = 7; break;
        default: value = 0; break;
    }
    const char* rest = name + 1;
    if (name[1] == '#') {
        value += 1;
        ++rest;
    } else if (name[1] == 'b') {
        value -= 1;
        ++rest;
    }
    value += 12 * OctaveOfNoteName(rest);
    value += 24;
    if (octave_mode == 1) value -= 12;
    return value;
}

// ---- Keys and degrees ----

void GneKeySignatureName(char* out, int mode, int count) {
    out[0] = 0;
    for (const KeySignature& key : KeySignatureTable) {
        if (key.mode == mode && key.accidentals == count) {
            std::strcpy(out, key.name);
            return;
        }
    }
}

int GneKeyIndexOfTonic(int pitch_class) {
    for (int i = 0; i < kKeySignatureCount; ++i) {
        if (KeySignatureTable[i].tonic == pitch_class) return i;
    }
    return kKeySignatureCount;
}

void GneMarkKeyAccidentals(int row, int letters[7]) {
    if (row < 0 || row >= kKeySignatureCount) return;
    static const int kSharpOrder[7] = {3, 0, 4, 1, 5, 2, 6};  // F C G D A E B
    static const int kFlatOrder[7] = {6, 2, 5, 1, 4, 0, 3};   // B E A D G C F
    const int n = KeySignatureTable[row].accidentals;
    if (n >= 0 && n <= 7) {
        for (int i = 0; i < n; ++i) letters[kSharpOrder[i]] += 1;
    } else if (n < 0 && n >= -7) {
        for (int i = 0; i < -n; ++i) letters[kFlatOrder[i]] = -1;
    }
}

int GneIsDiatonic(int row, int pitch) {
    if (row < 0 || row >= kKeySignatureCount) return 0;
    const KeySignature& key = KeySignatureTable[row];
    const int reference = key.tonic + (key.mode == 1 ? 3 : 0);
    const int d = PitchClassOf(pitch - reference % 12);
    return (d == 1 || d == 3 || d == 6 || d == 8 || d == 10) ? 0 : 1;
}

int GneIsScaleTone(int tonic, int minor, int pitch) {
    static const bool kMajor[12] = {1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 1};
    static const bool kMinor[12] = {1, 0, 1, 1, 0, 1, 0, 1, 1, 1, 1, 1};
    const int d = PitchClassOf(pitch - tonic);
    return (minor != 0 ? kMinor[d] : kMajor[d]) ? 1 : 0;
}

void GneDegreeChordName(char* out, const char* chord, int row) {
    if (chord == nullptr || row < 0 || row >= kKeySignatureCount) return;
    const std::string sharp = GneFlatToSharp(std::string(chord));
    for (int n = 11; n >= 0; --n) {
        const size_t len = std::strlen(NoteNameTable[n]);
        if (sharp.compare(0, len, NoteNameTable[n]) == 0) {
            const int degree = (n - KeySignatureTable[row].tonic + 24) % 12;
            CopyText(std::string(NoteNameTable[12 + degree]) + sharp.substr(len), out);
            return;
        }
    }
}

// ---- Intervals and motion ----

int GnePitchClassDistance(int a, int b) {
    const int d = PitchClassOf(PitchClassOf(b) - PitchClassOf(a));
    return d > 6 ? 12 - d : d;
}

std::string GneFormatIntervalName(int semitones) {
    const int n = std::abs(semitones);
    std::string text;
    if (n >= 12) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%dオクターブと", n / 12);
        text = buffer;
    }
    return text + kIntervalNames[n % 12];
}

void GneFormatIntervalName(int semitones, char* out) { CopyText(GneFormatIntervalName(semitones), out); }

std::string GneFormatMotionName(int step) {
    const int n = std::abs(step);
    if (n == 0) return "同音進行";
    if (n <= 2) return "順次進行";
    return "跳躍進行";
}

void GneFormatMotionName(int step, char* out) { CopyText(GneFormatMotionName(step), out); }

// ---- Position and time texts ----

void GneFormatBarBeatTick(char* out, int bar, int beat, int tick) {
    std::snprintf(out, 32, "%04d:%02d:%03d", bar + 1, beat + 1, tick);
}

static int ReadField(const char* text, size_t length, size_t first, size_t count) {
    char field[8] = {0};
    for (size_t i = 0; i < count && first + i < length; ++i) field[i] = text[first + i];
    return std::atoi(field);
}

void GneParseBarBeatTick(const char* text, int* bar, int* beat, int* tick) {
    const size_t length = text != nullptr ? std::strlen(text) : 0;
    if (bar != nullptr) *bar = ReadField(text, length, 0, 4);
    if (beat != nullptr) *beat = ReadField(text, length, 5, 2);
    if (tick != nullptr) *tick = ReadField(text, length, 8, 3);
}

void GneFormatMinSecMs(char* out, double seconds) {
    const int minutes = TruncToInt(seconds / 60);
    const double rest = seconds - minutes * 60.0;
    const int s = TruncToInt(rest);
    const int ms = TruncToInt((rest - s) * 1000);
    std::snprintf(out, 48, "%02d:%02d:%02d", minutes, s, ms);
}
