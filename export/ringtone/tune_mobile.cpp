#include "export/ringtone/tune_mobile.h"

#include <vector>

#include "export/ringtone/mobile.h"
#include "music/tune_structure.h"

void AnalyseMobile(TuneStructure& tune, const MobileData& song) {
  std::vector<std::vector<MobileChannelView::Event>> events(static_cast<size_t>(song.voice_count));
  std::vector<MobileChannelView> views;
  for (int32_t i = 0; i < song.voice_count; ++i) {
    const MobileChannel* voice = song.Voice(i);
    if (voice == nullptr) continue;
    auto& list = events[static_cast<size_t>(i)];
    for (const auto& e : voice->events) {
      MobileChannelView::Event v;
      v.delta = e->delta;
      v.status = e->status;
      v.note = e->note;
      v.duration = e->duration;
      v.velocity = e->velocity;
      v.kind = e->number;
      v.value = e->value;
      list.push_back(v);
    }
    MobileChannelView view;
    view.midi_channel = voice->index;
    view.rhythm = voice->kind == 1;
    view.events = list.data();
    view.event_count = static_cast<int32_t>(list.size());
    views.push_back(view);
  }
  tune.AnalyseMobile(views.data(), static_cast<int32_t>(views.size()), song.GetBarCount(),
                     song.division);
}
