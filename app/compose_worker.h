// The compose-and-export worker: arranges a song on a thread of its own and writes it as a
// Standard MIDI File with the lyrics; an export to ".wav" or ".mp3" goes on to the audio file.
//
// How the main window uses it (one worker at a time):
//   1. CKVAlgo::Initialize on the UI thread (it chooses the seed), then fill a ComposeRequest.
//      The request holds copies of everything the worker reads: the song, its style and the
//      settings, so the window and its panels may go on editing theirs.
//   2. StartComposeWorker(window, request). It refuses (false) while a worker runs; the engine's
//      state is the worker's until the window has handled the completion message.
//   3. While it works it posts to the window:
//        kMsgComposeStep   (no parameters) for each step of the engine: advance the busy knob;
//        kMsgComposeStage  (wparam = knob display mode) when the arrangement is written;
//        kMsgForgetEncoder (no parameters) when the encoder program was not found.
//   4. Last it posts the request's completion message (kMsgPlayComposed, kMsgExportComposed or
//      kMsgUploadComposed) with wparam 1 when the output file was written, 0 when not. The
//      window then calls FinishComposeWorker.
//
// Files: the intermediate MIDI and WAV files take temporary names of ours; the output is put in
// place whole (temporary name, then rename), and a failed run leaves an older file as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/qt/app_message.h"
#include "style/style_record.h"

class CSongData;
class QObject;

// Completion messages (Part of the window's private messages) and the worker's reports.
constexpr uint32_t kMsgUploadComposed = plat::WM_APP + 11;   // 32779
constexpr uint32_t kMsgPlayComposed = plat::WM_APP + 19;     // 32787
constexpr uint32_t kMsgExportComposed = plat::WM_APP + 20;   // 32788
constexpr uint32_t kMsgComposeStep = plat::WM_APP + 330;
constexpr uint32_t kMsgComposeStage = plat::WM_APP + 331;
constexpr uint32_t kMsgForgetEncoder = plat::WM_APP + 332;

struct ComposeRequest {
  std::unique_ptr<CSongData> song;  // the worker's own copy
  StyleRecord style;                // the style the song is arranged in (the song's own)
  int barCount = 0;                 // the bar-count control
  int metreIndex = 0;               // metre list row: 0 4/4, 1 3/4, 2 6/8
  int styleListIndex = 0;
  int styleSlot = 0;                // -1: the song's own style
  int category = 0;
  int tempo = 120;                  // beats per minute
  std::filesystem::path outputPath;
  uint32_t completionMessage = kMsgPlayComposed;
  int melodyInstrument = 0;         // 256 = part off
  int secondMelodyInstrument = 0;   // channel 15; above 127 = none
  int harmonyInstrument = 0;
  int subHarmonyInstrument = 0;
  uint8_t lyricEventMode = 0;
  // Settings read at the start.
  int leadInBars = 0;
  int audioQuality = 0;             // 0: doubled parts kept
  std::string encoderPath;          // CP932; empty = lame on PATH
  uint32_t seed = 0;                // the generator's seed for this rendering
};

// The song written for a phone made fuller (the settings' thickenForMobile): with volumes evened
// out, each channel-0 track is doubled where tracks 12 and 13 hold no notes (each such track
// gives way, the copy going to the end): an octave down on channel 12, and on channel 13 an eighth
// of a beat later, louder and panned hard left, the original louder too and panned hard right.
// The file is rewritten as format 1; a file of fewer than 14 tracks is left as it is.
void ThickenMobileSong(const std::filesystem::path& path);

// A copy of a song, whole (its stored image read back).
std::unique_ptr<CSongData> CopySong(const CSongData& song);

// Starts the worker; false (nothing started) while another one runs.
bool StartComposeWorker(QObject* window, ComposeRequest request);
// True from a start until FinishComposeWorker: the window's handling of the completion is the
// worker's last step. It is g_composeWorkerRunning (app/main_globals.h), which only the start and
// FinishComposeWorker change; the window's own compose commands refuse while it is set.
bool ComposeWorkerRunning();
// Waits for the worker's thread to end and lets the next one start (at the completion message,
// and before the window goes).
void FinishComposeWorker();
// For tests: while held, a started worker waits before it touches the engine; releasing lets it
// go on. Nothing else changes: the worker counts as running throughout.
void HoldComposeWorkers(bool hold);
// Once the worker has ended: the riff cells its rendering left in the engine's style (a riff
// pattern stores the riff it made) go back into `style`, the style the song was arranged in,
// so that the song's later renderings play the same riff.
void KeepRenderedRiff(StyleRecord& style);

// The worker's work on the calling thread: `post` receives each report and, last, the
// completion message. True when the output file was written.
using ComposePost = std::function<void(uint32_t message, uintptr_t wparam)>;
bool ComposeThreadProc(ComposeRequest& request, const ComposePost& post);
