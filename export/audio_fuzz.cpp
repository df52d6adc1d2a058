#include "export/audio_fuzz.h"

#include "export/aiff_data.h"
#include "export/wav_data.h"

int FuzzAudioFileInput(const uint8_t* data, size_t size) {
  CAiffData aiff(data, size);
  if (aiff.IsValid()) {
    const std::vector<uint8_t> samples = AiffSamplesToWav(aiff);
    if (samples.size() > aiff.Form().SoundData().SampleByteCount()) return 1;
    const CCommonChunk& comm = aiff.Form().Common();
    if (comm.Channels() <= 0 || comm.Bits() < 8 || comm.SampleRate() <= 0) return 2;
  }
  WavData scanned;
  if (scanned.LoadImage(data, size)) {
    if (scanned.ByteCount() > size) return 3;
    const std::vector<uint8_t> image = scanned.BuildFileImage();
    WavData again(image.data(), image.size());
    if (!again.IsLoaded() || again.Samples() != scanned.Samples()) return 4;
  }
  WavData direct(data, size);
  if (direct.IsLoaded() && direct.ByteCount() > size) return 5;
  return 0;
}
