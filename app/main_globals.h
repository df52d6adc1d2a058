// Process-wide values of the main window that the panels, pictures and workers read.
// They are null or zero until the main window starts; ResetMainGlobals puts them back.
#pragma once

#include <atomic>
#include <filesystem>

class CBrevantDlg;
class MidiOutDevice;
class CRhythmStaffPicture;
class CButtonPicture;
class Midi0Data;
class CMelodyDlg;
class CChordDlg;
class CLyricInputDlg;

extern CBrevantDlg* g_mainDialog;
// The MIDI-out device for auditioned notes, chimes and progress notes; null while a song plays.
extern MidiOutDevice* g_auditionDevice;
// The picture of the score rows (made by the page layout).
extern CRhythmStaffPicture* g_scorePicture;
// The toolbar buttons and the buttons the main window puts on its panels.
extern CButtonPicture* g_toolbarButtons;
// The song being played, null when none.
extern Midi0Data* g_playingSong;
// 1 while a song plays (read by the exit button, written by the play thread's end).
extern std::atomic<int> g_isPlaying;
// 1 while the compose-and-export worker runs, from its start until the window has taken its
// completion (set and cleared by app/compose_worker.cpp only): it uses the engine's process-wide
// state, which the window's own compose commands then leave alone.
extern std::atomic<int> g_composeWorkerRunning;
extern CMelodyDlg* g_melodyPanel;
extern CChordDlg* g_chordPanel;
extern CLyricInputDlg* g_lyricInputPanel;
// The score page: bar cells, rows and bars per row (bars per page = rows x bars per row <= 48).
extern int g_barsPerPage;
extern int g_rowsPerPage;
extern int g_barsPerRow;
// Display scale in per cent.
extern int g_displayScale;
// Folder of the program's read-only data (databases, skin, lyric file, archive).
extern std::filesystem::path g_programFolder;

void ResetMainGlobals();
