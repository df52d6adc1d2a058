// SMAF ringtone files (".mmf") for the Yamaha MA-series sound chips of mobile phones: the chunk
// container with its CRC, the score tracks of MA-1/MA-2 devices (four voices a track in a byte
// code of their own) and of MA-3 and later devices (16 MIDI-like channels), the loader and the
// conversions to and from the mobile song.
//
// Every multi-byte number is big-endian. Every read goes through the bounded cursors and stays
// inside its chunk; a chunk that claims more than its parent holds ends the walk. A chunk holds
// at most 0x10000 bytes, and a writer whose chunk or file would not fit writes no bytes at all.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "export/ringtone/mobile.h"
#include "music/music_data.h"
#include "util/byte_cursor.h"


// Codes of the chunk module ("SMCD").
constexpr uint32_t kSmcdChunkSize = 0x1a000001;
constexpr uint32_t kSmcdNoContentsInfo = 0x1a000002;
constexpr uint32_t kSmcdNoScoreTrack = 0x1a000003;
constexpr uint32_t kSmcdNoSeekPhrase = 0x1a000004;
constexpr uint32_t kSmcdNoSetup = 0x1a000005;
constexpr uint32_t kSmcdNoSequence = 0x1a000006;
constexpr uint32_t kSmcdNoStart = 0x1a000007;
constexpr uint32_t kSmcdNoStop = 0x1a000008;
constexpr uint32_t kSmcdNoTimbre = 0x1a000009;
constexpr uint32_t kSmcdSixteenTimbres = 0x1a00000a;
constexpr uint32_t kSmcdAverageRate = 0x1a00000b;
constexpr uint32_t kSmcdPeakRate = 0x1a00000c;
constexpr uint32_t kSmcdTooManyTimbres = 0x1a00000d;
constexpr uint32_t kSmcdBadTimebase = 0x1a00000e;
constexpr uint32_t kSmcdBadEvent = 0x1a00000f;
constexpr uint32_t kSmcdBadProgram = 0x1a000010;
constexpr uint32_t kSmcdBadSystemEvent = 0x1a000011;
constexpr uint32_t kSmcdBadControl = 0x1a000012;
constexpr uint32_t kSmcdBadBend = 0x1a000013;
constexpr uint32_t kSmcdBadContents = 0x1a000014;
constexpr uint32_t kSmcdBadDevice = 0x1a000015;
constexpr uint32_t kSmcdBadSetup = 0x1a000016;
constexpr uint32_t kSmcdDrumSetup = 0x1a000017;
constexpr uint32_t kSmcdBadChannel = 0x1a000018;
constexpr uint32_t kSmcdBadFormat = 0x1a000019;
// Codes of the data module ("SMDT").
constexpr uint32_t kSmdtNotSmaf = 0x19000001;
constexpr uint32_t kSmdtNoTempo = 0x19000002;
constexpr uint32_t kSmdtTrackCount = 0x19000003;
// Codes of the loader ("SMLD").
constexpr uint32_t kSmldInternal = 0x18000001;
constexpr uint32_t kSmldFileType = 0x18000002;
// Codes of the sequence module ("SSQD").
constexpr uint32_t kSsqdBadExclusive = 0x1b000001;
constexpr uint32_t kSsqdUndefined = 0x1b000002;
constexpr uint32_t kSsqdDataSize = 0x1b000004;
constexpr uint32_t kSsqdShift = 0x1b000005;
constexpr uint32_t kSsqdDrum = 0x1b000006;
constexpr uint32_t kSsqdTrackEnd = 0x1b000007;
constexpr uint32_t kSsqdCommand = 0x1b000008;
constexpr uint32_t kSsqdNote = 0x1b000009;
constexpr uint32_t kSsqdOctave = 0x1b000010;
constexpr uint32_t kSsqdGate = 0x1b000011;
constexpr uint32_t kSsqdStatus = 0x1b000012;
constexpr uint32_t kSsqdVoiceKind = 0x1b000013;

// The most bytes a chunk holds, and a file.
constexpr int32_t kSmafChunkLimit = 0x10000;
constexpr int32_t kSmafFileCapacity = 0x60000;
// Contents codes.
constexpr int32_t kSmafSingleTrack = 4;    // one track of four voices, no seek-and-phrase info
constexpr int32_t kSmafFourTracks = 16;    // tracks 1-4
constexpr int32_t kSmafMa3Code = 32;
constexpr int32_t kSmafMa3Info = 33;       // MA-3 with the full information chunk
// Durations and gate times: the longest value of the two-byte forms (MA-1/2, MA-3).
constexpr int32_t kSmafLongestTime = 8319;
constexpr int32_t kSmafMa3LongestTime = 8191;

// Reports of the SMAF modules. Each conversion starts with Reset: a code is shown once in a
// conversion however many events raise it.
void SmafChunkError(uint32_t code);
void SmafDataError(uint32_t code);
void SmafSequenceError(uint32_t code);

// CRC-16/GENIBUS (polynomial 0x1021, start 0xFFFF, not reflected, complemented).
std::array<uint16_t, 256> SmafCrcTable();
uint16_t SmafCrc(int32_t count, const uint8_t* bytes);
// The same without the final complement.
uint16_t SmafCrcPlain(int32_t count, const uint8_t* bytes);

// The three voice-parameter tables (see README.md: only the rows the format gives are real).
const uint8_t* SmafFourTrackVoiceRow(int32_t program);  // 12 bytes, program 0-127
const uint8_t* SmafDrumVoiceRow(int32_t drum_note);     // 12 bytes, drum note 35-81
const uint8_t* SmafVoiceRow(int32_t program);           // 13 bytes, program 0-127

// Appends a chunk (three id letters and a fourth byte, the size, the body); false, and nothing
// appended, when the body is over the chunk limit (0x1a000001).
bool SmafAppendChunk(std::vector<uint8_t>& out, const char* id3, uint8_t fourth,
                     const std::vector<uint8_t>& body);
// Writes "MMMD", its size, the contents and the CRC into the data's buffer; false (0x1a000001)
// and no bytes when the file chunk or the buffer would overflow.
bool SmafWriteFile(MusicData& target, const std::vector<uint8_t>& contents);

// ---------------------------------------------------------------------------------------
// A chunk: a four-byte id, a big-endian 32-bit size and that many bytes.
class SmafChunk {
 public:
  SmafChunk() = default;
  explicit SmafChunk(const char* chunk_id);
  virtual ~SmafChunk() = default;

  // Reads the next chunk of the parent: false (0x1a000001 when the header was there) when the
  // size runs past the parent or past the chunk limit; the parent then stands at its end.
  bool Read(ByteReader& parent);
  // Appends id, size and data; false (nothing appended) when the data is over the limit.
  bool AppendTo(std::vector<uint8_t>& out) const;
  bool IdIs(const char* four) const;
  bool IdStartsWith(const char* three) const;
  int32_t data_size() const { return static_cast<int32_t>(data.size()); }

  uint8_t id[4] = {};
  std::vector<uint8_t> data;
};

// "CNTI": class, type, code type, copy status, copy counts and an option of at most 255 bytes.
class SmafContentsInfo : public SmafChunk {
 public:
  SmafContentsInfo() : SmafChunk("CNTI") {}
  static std::unique_ptr<SmafContentsInfo> ForSmaf(const std::string& title);
  static std::unique_ptr<SmafContentsInfo> ForMa3(int32_t copy_bits, int32_t contents_code,
                                                  int32_t generation);
  // Parses the chunk's data (under 5 bytes reports 0x1a000001 and keeps zeros).
  void Parse();
  void CopyFrom(const SmafContentsInfo& other);
  // The five bytes and the option.
  std::vector<uint8_t> Pack() const;
  // The tag's value ("XX:value,"); its length, 0 when absent.
  int32_t GetOptionTag(const char* tag, std::string* value) const;
  // "ST:" + title + ",", the title cut at a character boundary to fit 255 bytes; the length.
  int32_t MakeTitleOption(const std::string& title);

  int32_t contents_class = 0;
  int32_t contents_type = 0;
  int32_t code_type = 0;
  int32_t copy_status = 0;
  int32_t copy_counts = 0;
  std::vector<uint8_t> option;
};

struct SmafTagEntry {
  char tag[2] = {};
  std::vector<uint8_t> value;  // at most 255 bytes
};

class SmafDataChunk : public SmafChunk {
 public:
  explicit SmafDataChunk(uint8_t code);
  uint8_t code() const { return id[3]; }
  std::vector<SmafTagEntry> entries;
};

// "OPDA" of MA-3 files.
class SmafOptionalData : public SmafChunk {
 public:
  SmafOptionalData() : SmafChunk("OPDA") {}
  SmafOptionalData(const std::string& title, int32_t contents_code);
  void Parse();
  int32_t FindTag(const char* tag, std::string* value) const;
  // The data chunks and, for a length other than 0, the "Pro" + 5 length chunk.
  std::vector<uint8_t> Pack(int64_t length) const;

  std::vector<std::unique_ptr<SmafDataChunk>> chunks;
};

// "MspI": start and stop byte positions in the sequence data.
class SmafSeekPhraseInfo : public SmafChunk {
 public:
  SmafSeekPhraseInfo() : SmafChunk("MspI") {}
  void Parse();
  static std::vector<uint8_t> Build(int32_t start, int32_t stop);

  int32_t start = 0;
  int32_t stop = 0;
};

// A timbre of the setup data: bank (0x80 drums) and program (the drum note for drums).
struct SmafTimbre {
  int32_t bank = 0;
  int32_t program = 0;
  bool operator==(const SmafTimbre& o) const { return bank == o.bank && program == o.program; }
};

// "Mtsu": the voice-setup exclusive messages.
class SmafSetupData : public SmafChunk {
 public:
  static constexpr int kSlots = 32;
  SmafSetupData() : SmafChunk("Mtsu") {}
  // For SMAF data from the timbre list.
  SmafSetupData(const std::vector<SmafTimbre>& timbres, int32_t contents_code);
  // For MA-3 data (the records come from the contents code at packing).
  explicit SmafSetupData(int32_t contents_code);
  void Parse();
  std::vector<uint8_t> Pack(int32_t contents_code, int32_t generation) const;

  std::vector<std::vector<uint8_t>> records;  // at most 32
  int32_t record_size = 0;
  std::vector<uint8_t> header;
};

// Reads the file chunk "MMMD" of the bytes (its last two bytes kept as the stored CRC) and the
// "CNTI" chunk that must open it (else 0x1a000002); the cursor over the rest of the file chunk,
// which is empty when either is missing.
ByteReader SmafReadFileHead(const uint8_t* bytes, int32_t count, SmafChunk& file, uint8_t crc[2],
                            std::unique_ptr<SmafContentsInfo>& contents);

class SmafSequenceData;

// A score track of SMAF data ("MTR" + track number).
class SmafScoreTrack : public SmafChunk {
 public:
  SmafScoreTrack() : SmafChunk("MTR") {}
  SmafScoreTrack(int32_t index, const MobileTrack& track, const std::vector<SmafTimbre>& timbres,
                 int32_t contents_code);
  // Four voices of a merged track, timebases given, no setup and no seek-and-phrase info.
  SmafScoreTrack(const MobileTrack& track, int32_t number, int32_t duration_base,
                 int32_t gate_base);
  ~SmafScoreTrack() override;
  // Parses the chunk's data.
  void Parse();
  // Header and sub-chunks (the sequence encoded from a copy); empty when the sequence did not
  // fit. start and stop are unit times (-1: none).
  std::vector<uint8_t> Pack(int32_t contents_code, int64_t start, int64_t stop) const;
  // Deltas and note durations to another timebase (the timebase fields stay).
  void ChangeTimebase(int32_t new_code);
  // Timebase code to milliseconds (0 = 1 ms, 1 = 2, 2 = 4, 3 = 5, 0x10 = 10, 0x11 = 20,
  // 0x12 = 40, 0x13 = 50; any other code is that many milliseconds).
  static int32_t TimebaseMs(int32_t code);
  int32_t number() const { return id[3]; }

  int32_t format_type = 0;
  int32_t sequence_type = 0;
  int32_t duration_base = 3;
  int32_t gate_base = 3;
  uint8_t channel_status[2] = {0xAA, 0xAA};
  std::unique_ptr<SmafSeekPhraseInfo> seek_phrase;
  std::unique_ptr<SmafSetupData> setup;
  std::unique_ptr<SmafSequenceData> sequence;
};

// "MMMD" of SMAF data.
class SmafFileChunk : public SmafChunk {
 public:
  static constexpr int kMaxTracks = 4;
  SmafFileChunk() : SmafChunk("MMMD") {}
  // Parses file bytes.
  SmafFileChunk(const uint8_t* bytes, int32_t count);
  // Builds from up to four tracks (each of voices 0-3).
  SmafFileChunk(std::vector<std::unique_ptr<MobileTrack>>& tracks, int32_t contents_code,
                const std::string& title);
  ~SmafFileChunk() override;
  // CNTI and the score tracks; false (no bytes) when a chunk does not fit.
  bool PackContents(int32_t contents_code, int64_t start, int64_t stop,
                    std::vector<uint8_t>& out) const;
  int32_t track_count() const { return static_cast<int32_t>(tracks.size()); }

  std::unique_ptr<SmafContentsInfo> contents;
  std::vector<std::unique_ptr<SmafScoreTrack>> tracks;
  uint8_t crc[2] = {};
};

// Voice-type events (kind 34) become bank events (kind 49: 128 drums, 0 otherwise).
void MarkDrumBanks(MobileTrack& track);
// The (bank, program) pairs of a track, once each, at most 32.
std::vector<SmafTimbre> CollectTimbres(const MobileTrack& track);

// ---------------------------------------------------------------------------------------
// The sequence data "Mtsq" of MA-1/MA-2 devices: voices 0-3 in the compact byte code.
class SmafSequenceData : public SmafChunk {
 public:
  explicit SmafSequenceData(const MobileTrack& source);
  // Decodes chunk bytes.
  SmafSequenceData(const uint8_t* bytes, int32_t count);
  SmafSequenceData(const SmafSequenceData& other);

  // Writes the byte code into `data` (from a copy of the track: encoding can be repeated).
  // Start and stop are unit times (-1: none); the positions come back. False, and no bytes,
  // when the data does not fit the chunk.
  bool Encode(int64_t start, int64_t stop, int32_t* start_position, int32_t* stop_position);
  void ErrorMsg(uint32_t code) const { SmafSequenceError(code); }

  // Bend byte of a 7-bit bend value and back.
  static int32_t BendByte(int32_t value);
  static int32_t BendValue(int32_t byte);
  // The drum map: octave shift and note number (37-84) of a drum note 35-81; others report
  // 0x1b000006 and take note 35.
  static int32_t DrumShift(int32_t drum_note);
  static int32_t DrumNote(int32_t drum_note);

  int32_t read_position = 0;
  std::unique_ptr<MobileTrack> track;
  int32_t voice_kinds[4] = {2, 2, 2, 2};

 private:
  void Decode();
};

// ---------------------------------------------------------------------------------------
class SmafMa3FileChunk;

// SMAF data of MA-1 and MA-2 devices: the file bytes and the file chunk.
class SmafData : public MusicData {
 public:
  explicit SmafData(int32_t capacity = kSmafFileCapacity);
  // Copies and parses file bytes; more than 0x60000 are refused (0x19000001).
  SmafData(const uint8_t* bytes, int32_t count);
  // From a song; start and stop ticks (optional) come back as unit times.
  SmafData(const MobileData& song, int32_t contents_code, int64_t* start = nullptr,
           int64_t* stop = nullptr);
  virtual ~SmafData();

  void FromMobileData(const MobileData& song, int32_t contents_code, int64_t* start,
                      int64_t* stop);
  // The song's voices merged, in units, and rebuilt (voices without notes drop out).
  static void PrepareMobileData(MobileData& song, int32_t division, int64_t* start,
                                int64_t* stop);
  // Ticks to 5 ms units following the tempo events (which go); start and stop move to the
  // unit time of the first event at or after them.
  static void TicksToUnits(MobileTrack& track, int32_t division, int64_t* start, int64_t* stop);
  // Units back to ticks at 96 a quarter note and 120 bpm (deltas and durations).
  static void UnitsToTicks(MobileTrack& track);
  // The tempo that makes the most frequent note distance an eighth note; rescales the deltas
  // and durations by it.
  static int32_t DetectTempo(MobileTrack& track, int32_t division);
  void ToMobileData(MobileData& song) const;

  // Writes the file bytes (start and stop as unit times, -1: none); false and no bytes when it
  // does not fit.
  bool Pack(int64_t start = -1, int64_t stop = -1);
  int SaveWithDialog() const;
  std::vector<uint8_t> Bytes() const;
  static void ErrorMsg(uint32_t code) { SmafDataError(code); }

  std::unique_ptr<SmafFileChunk> file;
  int32_t contents_code = 0;
  int32_t generation = 2;

 protected:
  // Copies file bytes into the buffer: none, too many, or no "MMMD" are refused (0x19000001).
  bool TakeFileBytes(const uint8_t* bytes, int32_t count);
};

// ---------------------------------------------------------------------------------------
// MA-3 and later devices.
class SmafMa3SequenceData : public SmafChunk {
 public:
  explicit SmafMa3SequenceData(const MobileTrack& source);
  SmafMa3SequenceData(const uint8_t* bytes, int32_t count);
  SmafMa3SequenceData(const SmafMa3SequenceData& other);

  // Encodes into `data`; false and no bytes when it does not fit.
  bool Encode(int32_t units_per_second, int32_t* start_position, int32_t* end_position,
              int32_t* average_rate, int32_t* peak_rate);
  void Thin(int32_t n);
  int64_t GetLength() const;

  int32_t read_position = 0;
  int32_t last_velocity[16] = {};
  std::unique_ptr<MobileTrack> track;

 private:
  void Decode();
};

class SmafMa3ScoreTrack : public SmafChunk {
 public:
  SmafMa3ScoreTrack() : SmafChunk("MTR\x05") {}
  SmafMa3ScoreTrack(const MobileTrack& track, int32_t contents_code, int32_t generation);
  ~SmafMa3ScoreTrack() override;
  void Parse();
  // Header and sub-chunks, the sequence thinned (on a copy) until its rate fits.
  std::vector<uint8_t> Pack(int32_t contents_code, int32_t generation) const;
  static void WarnOnce(uint32_t code);

  int32_t format_type = 2;
  int32_t sequence_type = 0;
  int32_t duration_base = 3;
  int32_t gate_base = 3;
  uint8_t channel_status[16] = {};
  std::unique_ptr<SmafSetupData> setup;
  std::unique_ptr<SmafSeekPhraseInfo> seek_phrase;
  std::unique_ptr<SmafMa3SequenceData> sequence;
};

class SmafMa3FileChunk : public SmafChunk {
 public:
  SmafMa3FileChunk() : SmafChunk("MMMD") {}
  SmafMa3FileChunk(const uint8_t* bytes, int32_t count);
  ~SmafMa3FileChunk() override;

  std::unique_ptr<SmafContentsInfo> contents;
  std::unique_ptr<SmafOptionalData> optional;
  std::unique_ptr<SmafMa3ScoreTrack> track;
  uint8_t crc[2] = {};
};

class SmafMa3Data : public SmafData {
 public:
  SmafMa3Data();
  SmafMa3Data(const uint8_t* bytes, int32_t count);
  // A song whose voices are indexed by MIDI channel.
  SmafMa3Data(const MobileData& song, int32_t contents_code, int32_t generation,
              int32_t capacity = kSmafFileCapacity);
  ~SmafMa3Data() override;

  bool Pack(int32_t contents_code);
  // SMAF-data file chunk of four score tracks made from the 16 channels.
  void ToSmafChunk(std::unique_ptr<SmafFileChunk>& out, int32_t* code) const;
  // The converted chunk as a song indexed by MIDI channel (division 96, tempo 500,000), made
  // through a MIDI song by the MIDI conversion.
  void ToMobileData(const SmafFileChunk& chunk, MobileData& song) const;
  int32_t FindStatus10Channel() const;
  int32_t FindStatus20Channel() const;
  static int HasMtr5Or6(const uint8_t* bytes, int32_t count);

  std::unique_ptr<SmafMa3FileChunk> ma3;
};

// ---------------------------------------------------------------------------------------
class SmafLoader {
 public:
  explicit SmafLoader(const std::filesystem::path& path);
  // The same from bytes already read (the path reader's second half).
  SmafLoader(const uint8_t* bytes, int32_t count);
  static void ErrorMsg(uint32_t code);

  int32_t file_size = 0;
  std::vector<uint8_t> buffer;
  std::unique_ptr<SmafData> smaf;
  std::unique_ptr<SmafMa3Data> ma3;
  int32_t capacity = kSmafFileCapacity;

 private:
  void Build();
};

// Fuzz entries over arbitrary bytes (mutation tests): the chunk parser, the two sequence
// decoders, the loader with its conversions. 0 when every invariant held.
int FuzzSmafChunks(const uint8_t* bytes, size_t size);
int FuzzSmafSequence(const uint8_t* bytes, size_t size);
int FuzzSmafMa3Sequence(const uint8_t* bytes, size_t size);
int FuzzSmafLoader(const uint8_t* bytes, size_t size);
