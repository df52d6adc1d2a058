#include "song/chord_forms.h"

#include <cstring>
#include <mutex>

#include "util/gne.h"

const FourStringTuning FourStringTuningTable[kFourStringTuningCount] = {
    {"スタンダード・チューニング", {67, 60, 64, 69, -1, -1}, FourStringForms::kStandard},
    {"ギター・チューニング", {62, 67, 71, 64, -1, -1}, FourStringForms::kGuitar},
    {"アメリカン・チューニング", {69, 62, 66, 71, -1, -1}, FourStringForms::kStandardUp2},
    {"Low-G・チューニング", {55, 60, 64, 69, -1, -1}, FourStringForms::kStandard},
    {"一五一会 (Key D)", {62, 69, 74, 81, -1, -1}, FourStringForms::kDada},
    {"一五一会 (Key G)", {55, 62, 67, 74, -1, -1}, FourStringForms::kDadaUp5},
};

namespace {

struct FormTables {
  std::mutex mutex;
  bool data_loaded = false;
  bool built = false;
  std::vector<ChordFormRecord> standard, dada, guitar, standard_up2, dada_up5;
};

FormTables& Tables() {
  static FormTables tables;
  return tables;
}

std::vector<ChordFormRecord> FromData(const ChordFormData* forms, int count) {
  std::vector<ChordFormRecord> out(count);
  for (int i = 0; i < count; ++i) {
    out[i].name = forms[i].name;
    std::memcpy(out[i].frets, forms[i].frets, sizeof out[i].frets);
  }
  return out;
}

void LoadData(FormTables& t) {
  if (t.data_loaded) return;
  t.standard = FromData(kStandardFourStringForms, kStandardFormCount);
  t.dada = FromData(kDadaFourStringForms, kDadaFormCount);
  t.data_loaded = true;
}

std::vector<ChordFormRecord> Raised(const std::vector<ChordFormRecord>& source, int semitones) {
  std::vector<ChordFormRecord> from = source;
  std::vector<ChordFormRecord> to(source.size());
  for (int i = 0; i < semitones; ++i) {
    TransposeFormTable(static_cast<int>(from.size()), to.data(), from.data());
    from.swap(to);
  }
  return from;
}

const char* const kSharpRoots[] = {"C#", "D#", "F#", "G#", "A#"};
const char* const kSharpUp[] = {"D", "E", "G", "A", "B"};
const char kNaturals[] = {'C', 'D', 'E', 'F', 'G', 'A', 'B'};

}  // namespace

void TransposeFormTable(int count, ChordFormRecord* destination, const ChordFormRecord* source) {
  if (destination == nullptr || source == nullptr) return;
  for (int i = 0; i < count; ++i) {
    const std::string& name = source[i].name;
    std::string out;
    bool named = false;
    for (int k = 0; k < 5 && !named; ++k) {
      const size_t at = name.find(kSharpRoots[k]);
      if (at == std::string::npos) continue;
      out = name.substr(0, at) + kSharpUp[k] + name.substr(at + 2);
      const size_t slash = out.find('/');
      if (slash != std::string::npos) out.resize(slash);
      named = true;
    }
    for (int k = 0; k < 7 && !named; ++k) {
      const size_t at = name.find(kNaturals[k]);
      if (at == std::string::npos) continue;
      const char letter = kNaturals[k];
      if (letter == 'E' || letter == 'B') {
        out = name;
        out[at] = letter == 'E' ? 'F' : 'C';
      } else {
        static const char* const kSharp[] = {"C#", "D#", nullptr, "F#", "G#", "A#"};
        static const char* const kFlat[] = {"Db", "Eb", nullptr, "Gb", "Ab", "Bb"};
        const std::string sharp = name.substr(0, at) + kSharp[k] + name.substr(at + 1);
        const std::string flat = name.substr(0, at) + kFlat[k] + name.substr(at + 1);
        out = sharp + "/" + flat;
      }
      named = true;
    }
    if (!named) {
      GneMessageBox("error");
      out = name;  // a form keeps a name to show
    }
    // Copy through a temporary: the destination may be the source.
    ChordFormRecord record;
    record.name = out;
    std::memcpy(record.frets, source[i].frets, sizeof record.frets);
    destination[i] = record;
  }
}

std::vector<ChordFormRecord> FourStringFormsFromGuitar(const ChordFormData* forms, int count) {
  std::vector<ChordFormRecord> out;
  if (forms == nullptr) return out;
  for (int i = 0; i < count; ++i) {
    const int* f = forms[i].frets;
    if (f[2] < 0 || f[3] < 0 || f[4] < 0 || f[5] < 0) continue;
    ChordFormRecord record;
    record.name = forms[i].name;
    record.frets[0] = f[2];
    record.frets[1] = f[3];
    record.frets[2] = f[4];
    record.frets[3] = f[5];
    out.push_back(record);
  }
  return out;
}

void BuildFourStringFormTables() {
  FormTables& t = Tables();
  std::lock_guard<std::mutex> lock(t.mutex);
  if (t.built) return;
  LoadData(t);
  // Only the names and the four strings of the raised standard forms are kept.
  t.standard_up2 = Raised(t.standard, 2);
  for (ChordFormRecord& r : t.standard_up2) r.frets[4] = r.frets[5] = -1;
  t.guitar = FourStringFormsFromGuitar(GuitarChordFormTable, kGuitarFormCount);
  t.dada_up5 = Raised(t.dada, 5);
  t.built = true;
}

void FreeFourStringFormTables() {
  FormTables& t = Tables();
  std::lock_guard<std::mutex> lock(t.mutex);
  t.standard_up2.clear();
  t.guitar.clear();
  t.dada_up5.clear();
  t.built = false;
}

const std::vector<ChordFormRecord>& FourStringFormTable(FourStringForms kind) {
  FormTables& t = Tables();
  {
    std::lock_guard<std::mutex> lock(t.mutex);
    LoadData(t);
  }
  switch (kind) {
    case FourStringForms::kStandard: return t.standard;
    case FourStringForms::kGuitar: return t.guitar;
    case FourStringForms::kStandardUp2: return t.standard_up2;
    case FourStringForms::kDada: return t.dada;
    case FourStringForms::kDadaUp5: return t.dada_up5;
  }
  return t.standard;
}

const std::vector<ChordFormRecord>& FourStringFormsOf(int tuning) {
  static const std::vector<ChordFormRecord> kNone;
  if (tuning < 0 || tuning >= kFourStringTuningCount) return kNone;
  BuildFourStringFormTables();
  return FourStringFormTable(FourStringTuningTable[tuning].forms);
}
