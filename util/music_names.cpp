#include "util/music_names.h"

#include <cstring>

const KeySignature KeySignatureTable[kKeySignatureCount] = {
    {0, 0, "C", 0},     {0, 1, "G", 7},     {0, 2, "D", 2},     {0, 3, "A", 9},
    {0, 4, "E", 4},     {0, 5, "B", 11},    {0, 6, "F#", 6},    {0, 7, "C#", 1},
    {0, -1, "F", 5},    {0, -2, "Bb", 10},  {0, -3, "Eb", 3},   {0, -4, "Ab", 8},
    {0, -5, "Db", 1},   {0, -6, "Gb", 6},   {0, -7, "Cb", 11},  {1, 0, "Am", 9},
    {1, 1, "Em", 4},    {1, 2, "Bm", 11},   {1, 3, "F#m", 6},   {1, 4, "C#m", 1},
    {1, 5, "G#m", 8},   {1, 6, "D#m", 3},   {1, 7, "A#m", 10},  {1, -1, "Dm", 2},
    {1, -2, "Gm", 7},   {1, -3, "Cm", 0},   {1, -4, "Fm", 5},   {1, -5, "Bbm", 10},
    {1, -6, "Ebm", 3},  {1, -7, "Abm", 8},
};

const char* const NoteNameTable[24] = {
    "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B",
    "I", "bII", "II", "bIII", "III", "IV", "bV", "V", "bVI", "VI", "bVII", "VII",
};

const char* const ChordRootNameTable[12] = {
    "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B",
};

const ChordSuffix ChordSuffixTable[kChordSuffixCount] = {
    {" ", "MPo", "メジャー"},
    {"m", "mPo", "マイナー"},
    {"7", "MPs", "セブンス"},
    {"M7", "MPS", "メジャーセブンス"},
    {"m7", "mPs", "マイナーセブンス"},
    {"mM7", "mPS", "マイナーメジャーセブンス"},
    {"dim", "mdo", "ディミニッシュ"},
    {"sus4", "4Po", "サスフォー"},
    {"7sus4", "4Ps", "セブンスサスフォー"},
    {"aug", "MAo", "オーギュメント"},
    {"augM7", "MAS", "オーギュメントメジャーセブンス"},
    {"aug7", "MAs", "オーギュメントセブンス"},
    {"dim7", "md6", "ディミニッシュセブンス"},
    {"m7b5", "mds", "マイナーセブンスフラットヒィフス"},
    {"6", "MP6", "シックス"},
    {"add9", "MP9", "アッドナインス"},
    {"m6", "mP6", "マイナーシックス"},
    {"7b5", "Mds", "セブンスフラットヒィフス"},
    {"madd9", "mP9", "マイナーアッドナインス"},
    {"<b5>", "Mdo", "フラットヒィフス"},
    {"7<b5>", "Mds", "セブンスフラットヒィフス"},
    {"sus2", "4Po", "サスツ―"},
};

const OctaveRange OctaveRangeTable[kOctaveRangeCount] = {
    {-1, "休符"}, {4, "低音域"}, {5, "中音域"}, {6, "高音域"}, {7, "最高音域"}, {-4, "ﾗｯﾌﾟ音"},
};

const NoteValue NoteValueTable[kNoteValueCount] = {
    {0.5, "16分音符"},     {1, "8分音符"},          {1.5, "付点8分音符"},
    {2, "4分音符"},        {3, "付点4分音符"},      {3.5, "複付点4分音符"},
    {4, "2分音符"},        {5, "2分音符と8分音符"}, {6, "付点2分音符"},
    {7, "複付点2分音符"},  {8, "全音符"},
};

const PitchClassName PitchClassNameTable[12] = {
    {0, "ﾄﾞ", "ﾄﾞ", "C", "C"},      {1, "ﾄﾞ#", "ﾚb", "C#", "Db"},
    {2, "ﾚ", "ﾚ", "D", "D"},        {3, "ﾚ#", "ﾐb", "D#", "Eb"},
    {4, "ﾐ", "ﾐ", "E", "E"},        {5, "ﾌｧ", "ﾌｧ", "F", "F"},
    {6, "ﾌｧ#", "ｿb", "F#", "Gb"},   {7, "ｿ", "ｿ", "G", "G"},
    {8, "ｿ#", "ﾗb", "G#", "Ab"},    {9, "ﾗ", "ﾗ", "A", "A"},
    {10, "ﾗ#", "ｼb", "A#", "Bb"},   {11, "ｼ", "ｼ", "B", "B"},
};

const char* const HiraganaSolfegeSharp[12] = {
    "ど", "ど#", "れ", "れ#", "み", "ふぁ", "ふぁ#", "そ", "そ#", "ら", "ら#", "し",
};
const char* const HiraganaSolfegeFlat[12] = {
    "ど", "れb", "れ", "みb", "み", "ふぁ", "そb", "そ", "らb", "ら", "しb", "し",
};
const char* const DegreeDigitSharp[12] = {
    "１", "１#", "２", "２#", "３", "４", "４#", "５", "５#", "６", "６#", "７",
};
const char* const DegreeDigitFlat[12] = {
    "１", "２b", "２", "３b", "３", "４", "５b", "５", "６b", "６", "７b", "７",
};

bool IsFlatKey(int key_index) {
    if (key_index < 0 || key_index >= kKeySignatureCount) return false;
    return KeySignatureTable[key_index].accidentals < 0;
}

void SplitPitch(int value, int* octave_row, int* pitch_class_row) {
    int octave;
    if (value == -4) {
        octave = -4;
    } else if (value == -1 || value == -2) {
        octave = -1;
    } else {
        octave = value / 12;
    }
    if (octave_row != nullptr) {
        for (int i = 0; i < kOctaveRangeCount; ++i) {
            if (OctaveRangeTable[i].octave == octave) {
                *octave_row = i;
                break;
            }
        }
    }
    if (pitch_class_row != nullptr) {
        const int pc = value % 12;
        *pitch_class_row = 0;
        for (int i = 0; i < 12; ++i) {
            if (PitchClassNameTable[i].pitch_class == pc) {
                *pitch_class_row = i;
                break;
            }
        }
    }
}

int PitchFromRows(int octave_row, int pitch_class_row) {
    if (octave_row < 0 || octave_row >= kOctaveRangeCount) return -1;
    const int octave = OctaveRangeTable[octave_row].octave;
    if (octave == -1) return -1;
    if (octave == -4) return -4;
    if (pitch_class_row < 0 || pitch_class_row >= 12) return -1;
    return PitchClassNameTable[pitch_class_row].pitch_class + octave * 12;
}

int NoteValueIndex(double eighths) {
    for (int i = 0; i < kNoteValueCount; ++i) {
        if (NoteValueTable[i].eighths == eighths) return i;
    }
    return 0;
}

int KeyIndexFromName(const char* name) {
    if (name == nullptr) return 0;
    for (int i = 0; i < kKeySignatureCount; ++i) {
        if (std::strcmp(KeySignatureTable[i].name, name) == 0) return i;
    }
    return 0;
}

static int RelativeMajorTonic(int key) {
    if (key < 0 || key >= kKeySignatureCount) return 0;
    const KeySignature& k = KeySignatureTable[key];
    return k.tonic + (k.mode == 1 ? 3 : 0);
}

int KeyDistance(int from_key, int to_key) {
    return RelativeMajorTonic(to_key) - RelativeMajorTonic(from_key);
}

// Copies the root of a chord text (its first character, and the second when
// that is '#' or 'b') into root[3].
static void ReadRoot(const char* chord, char root[3]) {
    root[0] = root[1] = root[2] = 0;
    if (chord == nullptr || chord[0] == 0) return;
    root[0] = chord[0];
    if (chord[1] == '#' || chord[1] == 'b') root[1] = chord[1];
}

int ChordRootIndex(const char* chord) {
    char root[3];
    ReadRoot(chord, root);
    if (root[0] == 0) return -1;
    const bool flat = root[1] == 'b';
    for (int i = 0; i < 12; ++i) {
        const char* name = flat ? PitchClassNameTable[i].letter_flat : ChordRootNameTable[i];
        if (std::strcmp(name, root) == 0) return i;
    }
    return -1;
}

int PitchFromNoteText(const char* text) {
    if (text == nullptr) return -1;
    static const char kRest[] = "休";
    static const char kDown[] = "↓";
    static const char kUp[] = "↑";
    const size_t len = std::strlen(text);
    if (std::strncmp(text, kRest, std::strlen(kRest)) == 0) return -1;
    int step = 0;
    const char* name = text;
    const size_t mark = std::strlen(kDown);
    if (len >= mark + 1 && std::strncmp(text, kDown, mark) == 0) {
        step = -1;
        name = text + mark + 1;
    } else if (len >= mark + 1 && std::strncmp(text, kUp, mark) == 0) {
        step = 1;
        name = text + mark + 1;
    } else if (len >= 2 && text[0] == ' ') {
        name = text + 2;
    }
    for (int i = 0; i < 12; ++i) {
        if (std::strcmp(PitchClassNameTable[i].solfege_sharp, name) == 0) {
            return PitchClassNameTable[i].pitch_class + 60 + 12 * step;
        }
    }
    return -1;
}

void AppendSolfegeName(int key_index, int pitch, char* text) {
    if (text == nullptr || pitch < 0) return;
    const int pc = pitch % 12;
    std::strcat(text, IsFlatKey(key_index) ? HiraganaSolfegeFlat[pc] : HiraganaSolfegeSharp[pc]);
}

void AppendDegreeDigit(int key_index, int pitch, char* text) {
    if (text == nullptr || pitch < 0) return;
    const int pc = pitch % 12;
    std::strcat(text, IsFlatKey(key_index) ? DegreeDigitFlat[pc] : DegreeDigitSharp[pc]);
}

void AppendSlashBass(char* chord, int interval, int key_index) {
    if (chord == nullptr || interval == 0) return;
    char root[3];
    ReadRoot(chord, root);
    int pc = -1;
    bool flat = IsFlatKey(key_index);
    for (int i = 0; i < 12 && pc < 0; ++i) {
        if (std::strcmp(PitchClassNameTable[i].letter_flat, root) == 0) {
            pc = i;
            flat = true;
        }
    }
    for (int i = 0; i < 12 && pc < 0; ++i) {
        if (std::strcmp(PitchClassNameTable[i].letter_sharp, root) == 0) pc = i;
    }
    if (pc < 0) pc = 0;
    const int bass = ((pc + interval + 12) % 12 + 12) % 12;
    std::strcat(chord, "/");
    std::strcat(chord, flat ? PitchClassNameTable[bass].letter_flat
                            : PitchClassNameTable[bass].letter_sharp);
}
