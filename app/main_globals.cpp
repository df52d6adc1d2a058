#include "app/main_globals.h"

CBrevantDlg* g_mainDialog = nullptr;
MidiOutDevice* g_auditionDevice = nullptr;
CRhythmStaffPicture* g_scorePicture = nullptr;
CButtonPicture* g_toolbarButtons = nullptr;
Midi0Data* g_playingSong = nullptr;
std::atomic<int> g_isPlaying{0};
std::atomic<int> g_composeWorkerRunning{0};
CMelodyDlg* g_melodyPanel = nullptr;
CChordDlg* g_chordPanel = nullptr;
CLyricInputDlg* g_lyricInputPanel = nullptr;
int g_barsPerPage = 0;
int g_rowsPerPage = 0;
int g_barsPerRow = 0;
int g_displayScale = 100;
std::filesystem::path g_programFolder;

void ResetMainGlobals() {
  g_mainDialog = nullptr;
  g_auditionDevice = nullptr;
  g_scorePicture = nullptr;
  g_toolbarButtons = nullptr;
  g_playingSong = nullptr;
  g_isPlaying = 0;
  g_composeWorkerRunning = 0;
  g_melodyPanel = nullptr;
  g_chordPanel = nullptr;
  g_lyricInputPanel = nullptr;
  g_barsPerPage = 0;
  g_rowsPerPage = 0;
  g_barsPerRow = 0;
  g_displayScale = 100;
  g_programFolder.clear();
}
