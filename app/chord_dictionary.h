// The chord-dictionary program: an outside program that the chord panel's search button (21) starts
// with the panel's chord and whose answer sets the panel's chord (WM_APP+25).
//
// Its path is the key-value file's value ChordDictionary/Program (registry.txt in the user data
// folder; a relative path is taken from the program folder). It is started with three arguments:
// the main window's id in decimal, the chord (the root letter and the three-letter quality code of
// the engine's chord codes, each left out when the panel has none) and the root letter of the bass
// note (empty when the panel has no chord). It answers on its standard output, one line per chord:
// the four characters of a chord code, optionally followed by the root letter of a bass note. Each
// answer becomes WM_APP+25 to the main window.
#pragma once

#include "dialogs/panel_fields.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr const char* kChordDictionaryKey = "ChordDictionary";
constexpr const char* kChordDictionaryName = "Program";

// The program's arguments for the chord panel's chord.
std::vector<std::string> ChordDictionaryArguments(unsigned long long windowId,
                                                  const ChordPanelFields& chord);

// One line of the program's output as WM_APP+25's parameters: the bass row (the bass letter's row,
// else the root letter's, -1 when neither is one of the twelve letters) and the four characters,
// the first in the lowest byte. False for a line shorter than four characters.
bool ChordDictionaryAnswer(const std::string& line, int* bassRow, uint32_t* code);
