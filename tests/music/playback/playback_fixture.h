// Shared scaffolding of the playback tests: a recording device as device 0, songs built from
// event lists, and recorded messages relative to a start time.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "music/midi0_data.h"
#include "music/midi_out_device.h"
#include "music/midi_player.h"
#include "music/play_thread.h"
#include "platform/core/midi_devices.h"
#include "tests/support/test_support.h"

namespace playback_test {

using Bytes = std::vector<uint8_t>;

inline MidiEvent On(int ch, int note, int vel = 100) {
  MidiEvent e(0);
  e.status = kStatusNoteOn;
  e.channel = ch;
  e.note = note;
  e.velocity = vel;
  return e;
}
inline MidiEvent Off(int ch, int note) {
  MidiEvent e(0);
  e.SetNoteOff(ch, note);
  return e;
}
inline MidiEvent Prog(int ch, int program) {
  MidiEvent e(0);
  e.SetProgramChange(ch, program);
  return e;
}
inline MidiEvent Ctl(int ch, int number, int value) {
  MidiEvent e(0);
  e.SetControlChange(ch, number, value);
  return e;
}
inline MidiEvent Tempo(int us) {
  MidiEvent e(0);
  e.SetTempo(us);
  return e;
}
inline MidiEvent Eot() {
  MidiEvent e(0);
  e.status = kStatusMeta;
  e.number = 0x2F;
  return e;
}
inline MidiEvent SysEx(const Bytes& stored, uint32_t kind = 0) {
  MidiEvent e(0);
  e.status = kStatusSysEx;
  e.number = kind;
  e.SetData(stored.data(), int32_t(stored.size()));
  return e;
}

struct Timed {
  int delta;
  MidiEvent event;
};

// A song in event mode (state 1) of the division holding the events.
inline std::unique_ptr<Midi0Data> Song(int division, const std::vector<Timed>& events) {
  auto song = std::make_unique<Midi0Data>(kSongEvents, division, kDefaultMusicCapacity);
  for (const Timed& t : events) {
    MidiEvent e(t.event);
    e.delta = t.delta;
    song->track->AddEventCopy(e);
  }
  return song;
}

// The same in note mode (state 2), as songs opened from files are.
inline std::unique_ptr<Midi0Data> NoteSong(int division, const std::vector<Timed>& events) {
  auto song = Song(division, events);
  song->ToNoteMode();
  return song;
}

struct Report {
  int index;
  int tick;
  bool has_event;
  uint32_t status;
};

class PlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetPlayThreadModule();
    ResetMidiPlayerModule();
    ResetMidiOutModule();
    log_ = backend_.AddRecordingDevice("rec");
    plat::InstallMidiOutBackend(&backend_);
    PlayerSettings().send_gm_on_at_prepare.store(0);
    PlayerSettings().reporting_device_id.store(0);
  }
  void TearDown() override {
    ResetPlayThreadModule();
    plat::InstallTimerClock(nullptr);
    plat::InstallMidiOutBackend(nullptr);
    ResetMidiPlayerModule();
  }

  // Waits for the play thread to end (real time bound; the fake clock makes it quick).
  void WaitEnd() { ASSERT_TRUE(WaitPlayThreadEnd(20000)); }

  // Messages (resets left out) with their times in ms after `start`.
  std::vector<std::pair<int64_t, Bytes>> Sent(plat::Clock::TimePoint start) const {
    std::vector<std::pair<int64_t, Bytes>> out;
    for (const auto& m : log_->Messages()) {
      if (m.reset) continue;
      out.push_back(
          {std::chrono::duration_cast<std::chrono::milliseconds>(m.time - start).count(),
           m.bytes});
    }
    return out;
  }

  PlayEventCallback Recorder() {
    return [this](int index, int tick, MidiEvent* e) {
      std::lock_guard<std::mutex> g(mutex_);
      reports_.push_back({index, tick, e != nullptr, e ? e->status : 0u});
    };
  }
  std::vector<Report> Reports() {
    std::lock_guard<std::mutex> g(mutex_);
    return reports_;
  }

  plat::TestMidiOutBackend backend_;
  std::shared_ptr<plat::MidiRecording> log_;
  std::mutex mutex_;
  std::vector<Report> reports_;
};

}  // namespace playback_test
