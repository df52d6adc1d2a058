// Timers of a window, by number, as windows set and kill them: setting a number that is already
// running restarts it with the new period; killing an unknown number does nothing. The callback
// runs on the owner's (UI) thread. Setting and killing are safe from any thread: a worker's
// request is carried out on the owner's thread.
#pragma once

#include <QObject>

#include <functional>
#include <map>

class QTimer;

namespace plat {

class UiTimers : public QObject {
  Q_OBJECT

 public:
  using Callback = std::function<void(int id)>;

  explicit UiTimers(QObject* owner = nullptr);
  ~UiTimers() override;

  void SetTimer(int id, int periodMs, Callback callback);
  void KillTimer(int id);
  void KillAll();
  bool IsRunning(int id) const;  // owner's thread only

 private:
  void SetOnThread(int id, int periodMs, Callback callback);
  void KillOnThread(int id);

  std::map<int, QTimer*> timers_;
};

}  // namespace plat
