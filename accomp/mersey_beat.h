// Code 27, the Mersey beat: a guitar-band part of fixed strum, riff and
// bass-line figures for one- and two-bar blocks, picked with weights drawn
// once per part; some one-bar figures ask for a follow-up in the next block.
#pragma once

class MidiTrack;

void GenerateMerseyBeatPattern(int channel, MidiTrack& track);
