// MFi ringtone files: the "melo" form with one or four tracks of up to four voices, and the
// "cmid" form whose single track carries up to 16 voices. A device-type code chosen by the
// caller decides the header, the information chunks, the track count and the event encoding.
//
// Every byte is written and read through the bounded cursors; a reader never runs past its
// file, and whatever would not fit the fixed blocks (4,096-byte event scratch, 0xF0000-byte
// track, the file's capacity) is reported (0x1f000010) and gives no bytes.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "export/ringtone/mobile.h"
#include "music/music_data.h"

// Codes of the track module ("MFTK").
constexpr uint32_t kMftkInternal = 0x1f000001;
constexpr uint32_t kMftkRange = 0x1f000002;  // warning
constexpr uint32_t kMftkAfterStop = 0x1f000003;
constexpr uint32_t kMftkTempoClamped = 0x1f000004;
constexpr uint32_t kMftkNoBend = 0x1f000005;  // warning
constexpr uint32_t kMftkVoiceKind = 0x1f000006;
constexpr uint32_t kMftkNoBend16 = 0x1f000007;  // warning
constexpr uint32_t kMftkTrackId = 0x1f000008;
constexpr uint32_t kMftkUnknownEvent = 0x1f000009;
constexpr uint32_t kMftkBadValue = 0x1f00000a;
constexpr uint32_t kMftkBadTempo = 0x1f00000b;
constexpr uint32_t kMftkBadDrumSetting = 0x1f00000c;
constexpr uint32_t kMftkBadVibrato = 0x1f00000d;
constexpr uint32_t kMftkBadData = 0x1f00000e;
constexpr uint32_t kMftkBadType = 0x1f00000f;
constexpr uint32_t kMftkSizeOver = 0x1f000010;
constexpr uint32_t kMftkBadLoop = 0x1f000011;
constexpr uint32_t kMftkBadEventType = 0x1f000012;
constexpr uint32_t kMftkBadDrum = 0x1f000013;
constexpr uint32_t kMftkDataError = 0x1f000014;
constexpr uint32_t kMftkBadVoiceType = 0x1f000015;
constexpr uint32_t kMftkBadShift = 0x1f000016;
constexpr uint32_t kMftkBadExclusive = 0x1f000017;
constexpr uint32_t kMftkBadCommand = 0x1f000018;
constexpr uint32_t kMftkBadChannel = 0x1f000019;
constexpr uint32_t kMftkDrumOperation = 0x1f00001a;
// Codes of the file module ("MFDT").
constexpr uint32_t kMfdtInternal = 0x20000001;
constexpr uint32_t kMfdtTooManyTracks = 0x20000002;
constexpr uint32_t kMfdtVoiceCount = 0x20000003;
constexpr uint32_t kMfdtBadTrack = 0x20000005;
constexpr uint32_t kMfdtUndefinedEvent = 0x20000006;
constexpr uint32_t kMfdtBadChannel = 0x20000007;
constexpr uint32_t kMfdtShaping = 0x20000009;
constexpr uint32_t kMfdt16Voice = 0x2000000a;
constexpr uint32_t kMfdtChannels = 0x2000000b;
constexpr uint32_t kMfdtChannels2 = 0x2000000c;
constexpr uint32_t kMfdtTargetChannel = 0x2000000d;
constexpr uint32_t kMfdtTargetTrack = 0x2000000e;
constexpr uint32_t kMfdtDrumInfo = 0x2000000f;
// Codes of the header module ("MFHD").
constexpr uint32_t kMfhdInternal = 0x21000001;
constexpr uint32_t kMfhdBadType = 0x21000002;
constexpr uint32_t kMfhdBadHeader = 0x21000003;

// Device types.
constexpr int32_t kMfiType1 = 1;
constexpr int32_t kMfiType4 = 4;
constexpr int32_t kMfiType5 = 5;
constexpr int32_t kMfiCmidRead = 250;
constexpr int32_t kMfiUnknownId = 251;
constexpr int32_t kMfiType252 = 252;
constexpr int32_t kMfiFromBytes = 253;
constexpr int32_t kMfiCmid16 = 254;
constexpr int32_t kMfiCmid4 = 255;

// Fixed blocks.
constexpr size_t kMfiTrackBlock = 0xF0000;
constexpr size_t kMfiScratch = 4096;
constexpr size_t kMfiInfoData = 256;
constexpr size_t kMfiHeaderBlock = 10000;
constexpr int32_t kMfiFileCapacity = 0x60000;

// The process-wide state of the MFi modules: the track module's once-only warnings and the
// reports shown once per conversion.
struct MfiModuleState {
  bool warned[8] = {};
  void Reset() { *this = MfiModuleState(); }
};
MfiModuleState& MfiModule();

class ByteReader;

bool IsMeloEventType(int32_t type);  // 4-byte note events (a third byte)

class MFiTrack {
 public:
  MFiTrack(int32_t index, int32_t type);
  MFiTrack(const MobileTrack& source, int32_t index, int32_t type, int32_t capacity);
  // Reads the chunk at the reader's position (the reader moves past what was consumed).
  MFiTrack(const uint8_t* bytes, size_t size, int32_t index, int32_t type, int32_t* shared_kinds,
           int32_t capacity);

  void Build(int model);
  void Prepare(int model);
  void Write(int model);
  void ScaleTimebase(int32_t new_base);
  void SplitLongDeltas();
  int32_t LastNoteLength() const;
  int CountUsedVoices(int* flags) const;
  void CopyFrom(const MFiTrack& other);
  void ClearMarkers();
  void AppendEvents(const MobileTrack& source);
  int32_t FindProgramVoice(int32_t program) const;
  int32_t FirstKindValue(uint32_t kind) const;
  void RefreshVoiceKinds();
  void InsertVoiceBlock();
  void PrepareCmid();
  // The pieces of long notes read back become one note again.
  void JoinOverlaps();

  static int32_t DrumNoteOfKey(int32_t key, int32_t code);  // -1 outside the two ranges
  static int32_t DrumKeyOfNote(int32_t note);               // -1 outside 35-81
  static int32_t DrumThirdByte(int32_t note, int32_t velocity);
  static int32_t OctaveShiftOfCode(int32_t code);
  static int32_t OctaveCodeOfShift(int32_t octaves);  // -1 when no code exists
  static void ErrorMsg(uint32_t code);
  static void Warn(uint32_t code);

  const std::vector<uint8_t>& bytes() const { return written_; }
  bool overflowed() const { return overflow_; }

  std::unique_ptr<MobileTrack> events;
  char id[4] = {'t', 'r', 'a', 'c'};
  int32_t written_length = 0;
  int32_t voice_kinds[16] = {};
  int32_t index;
  int32_t device_type;
  int32_t timebase = -1;

 private:
  void Read(const uint8_t* bytes, size_t size, int32_t* shared_kinds);
  bool ReadNote(ByteReader& ev, int32_t delta, uint8_t key_byte);
  bool ReadExtended(ByteReader& ev, int32_t delta, int32_t* bank, int32_t* shared_kinds);
  void ReadTrackControl(uint8_t status, uint8_t data, int32_t delta, int32_t* shared_kinds);
  void ReadVoiceControl(uint8_t status, uint8_t data, int32_t delta, int32_t* bank);
  void ReadVoiceExclusive(const uint8_t* data, size_t n, int32_t delta);
  void JoinSamePitchOverlaps();
  void JoinVoiceOverlaps();
  bool SplitLongNotes();
  void PlaceMarkers();
  void MoveToFrontForModel5();
  void EncodeEvent(const MobileEvent& e, int model, std::vector<uint8_t>& out);
  void EncodeNote(const MobileEvent& e, std::vector<uint8_t>& out);
  void EncodeControl(const MobileEvent& e, int model, std::vector<uint8_t>& out);
  void EncodeProgram(const MobileEvent& e, int first_bank, std::vector<uint8_t>& out);
  void EncodePitchBend(const MobileEvent& e, int model, std::vector<uint8_t>& out);
  void EncodeDataEvent(const MobileEvent& e, std::vector<uint8_t>& out);
  void EncodeCmidEvent(const MobileEvent& e, std::vector<uint8_t>& out);
  void WriteSlotAssign(int32_t voice, bool drum, std::vector<uint8_t>& out, int32_t delta);
  // The key byte and third byte of a note, or false when the note cannot be written.
  bool NoteBytes(int32_t voice, int32_t note, int32_t velocity, bool four_byte, uint8_t* key,
                 uint8_t* third);

  std::vector<uint8_t> written_;
  bool overflow_ = false;
  int32_t cmid_slots_[4] = {0, 1, 2, 3};
};

struct MFiInfoChunk {
  char id[4] = {};
  uint8_t data[kMfiInfoData] = {};
  int32_t length = 0;
};

class MFiInfoList {
 public:
  static constexpr int kSlots = 11;
  static const char* const kIds[kSlots];

  void Build(int32_t type, const std::string& title, const std::string& copyright,
             uint8_t source);
  // Reads the chunks of the span; chunks are passed over by their own length, and a chunk
  // that runs past the span ends the reading.
  void Parse(const uint8_t* bytes, size_t size);
  void Write();
  const MFiInfoChunk* Find(const char* chunk_id) const;
  void Set(int slot, const char* chunk_id, const void* data, size_t n);

  std::unique_ptr<MFiInfoChunk> chunks[kSlots];
  int32_t written_length = 0;
  std::vector<uint8_t> written;
  int32_t device_type = 0;
};

class MFiHeader {
 public:
  explicit MFiHeader(int32_t type);
  // Reads the 13 header bytes; false for a file too short or with an unknown id.
  bool Parse(const uint8_t* bytes, size_t size);
  void Write(int32_t info_length, int64_t track_length);
  static void ErrorMsg(uint32_t code);

  char id[4] = {'m', 'e', 'l', 'o'};
  int32_t version = 257;
  int32_t device_type = 1;
  int32_t header_length = 0;  // as read: 3 + information length
  int32_t track_byte = 0;     // byte 12 as read
  int32_t written_length = 0;
  uint8_t written[13] = {};
};

class MFiData : public MusicData {
 public:
  MFiData(int32_t type, int32_t capacity);
  MFiData(const std::filesystem::path& path, int32_t type, int32_t capacity);
  MFiData(const uint8_t* bytes, size_t length);
  MFiData(const MobileData& song, int32_t type, int32_t capacity);
  virtual ~MFiData();

  void BuildFile() { WriteFile(0); }
  void WriteFile(int model);
  void ToMobileData(MobileData& song) const;
  void ShapeForModel(int model);
  void ScaleVelocities(int32_t percent);
  void ScaleVolumes(int32_t percent);
  void CompactTracks();
  void SplitLongDeltas();
  void KeepLastEndOfTrack();
  void DeleteVoiceTypes();
  void SetMasterVolume(int32_t value);
  void InsertMasterVolume(int32_t value);
  int HasMasterVolume() const;
  void EnsureMasterVolume();
  int32_t FindProgramVoice(int32_t program) const;
  int32_t FirstKindValue(uint32_t kind) const;
  static int32_t TimebaseOfCode(int code);
  void InitVoiceKinds(int32_t* kinds) const;
  static void ErrorMsg(uint32_t code);

  std::vector<uint8_t> Bytes() const { return {buffer, buffer + UsedBytes()}; }

  std::unique_ptr<MFiHeader> header;
  std::unique_ptr<MFiInfoList> info;
  std::unique_ptr<MFiTrack> tracks[4];
  int32_t track_count = 0;
  int32_t device_type;
  uint8_t source_byte = 0;

 protected:
  MFiData(int32_t type, int32_t capacity, bool);  // nothing built
  void BuildFromMobileData(const MobileData& song);
  void BuildCmidFromMobileData(const MobileData& song);
  void Parse();
  void ParseTracks(size_t offset);
  void ParseCmidStream(size_t offset);
  void CollectVoiceTypes();
  void InsertModelExclusives(int model);
  void InsertVoiceData(int model);
  // The melodic programs in use, each once (marked as bank programs unless the model's rows
  // are by program), and the drum notes in use (their program values cleared with such rows).
  void CollectVoicePrograms(bool program_rows, std::vector<int32_t>* programs,
                            std::vector<int32_t>* drums);
  void SpreadVoicesForModel5();
  // True when the voice (0-3) of the track is a drum voice.
  bool IsDrumVoiceOf(int32_t track, int32_t voice) const;
  void NewHeaderAndInfo(int32_t type, const MobileData& song);
  const MFiInfoChunk* Vers() const { return info ? info->Find("vers") : nullptr; }
};

class MultiMFiData : public MFiData {
 public:
  MultiMFiData(const std::filesystem::path& path, int32_t type, int32_t capacity);
  MultiMFiData(const uint8_t* bytes, size_t length, int32_t type);
  MultiMFiData(const MobileData& song, int32_t type, int32_t capacity);
  ~MultiMFiData() override;

  void Parse();
  void ToMobileData(MidiMobileData& song) const;
  int32_t GetFileTrackCount() const;

 private:
  void BuildFromMobileData(const MobileData& song, int32_t type);
  void ParseTracks(size_t offset);
  void InsertDrumProgram();
};

int IsMultiMFiFile(const std::filesystem::path& path);
int IsMultiMFiImage(const uint8_t* bytes, size_t size);
void GetMFiNoteRange(int32_t* lowest, int32_t* highest);
void AddBendRangeAfterVolumes(MobileChannel& voice);

// Fuzz entries: the melo and cmid readers and the multi-track reader over arbitrary bytes.
void FuzzMFiBytes(const uint8_t* data, size_t size);
void FuzzMultiMFiBytes(const uint8_t* data, size_t size);
// Fuzz entry: a Standard MIDI file through both conversions into the mobile song, into MFi
// files and back into a MIDI song.
void FuzzMobileFromMidiBytes(const uint8_t* data, size_t size);
