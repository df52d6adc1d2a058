// The application object: registers the song file type, installs the message-box sink and runs
// the main window modally. There is no message loop after the main window.
#pragma once

#include <filesystem>
#include <string>

class CBrevantApp {
 public:
  // `commandLine`: the song path given to the program (empty = none).
  explicit CBrevantApp(std::string commandLine);

  // Registers the file type, runs the main window until the exit button ends it, releases it;
  // returns false as the framework expects (no application loop follows).
  bool InitInstance();

  // The open command of the file type: the program's own path, quoted, then "%1" quoted.
  static std::string OpenCommand(const std::filesystem::path& program);
  // Registers ".mwd" as "Pellmor.Cantrel" ("Cantrel Document") with the program's own path.
  static void RegisterSongFileType();

  // For start-up measurements: the main window ends itself as soon as it is ready.
  void SetExitWhenReady(bool exit) { exitWhenReady_ = exit; }

 private:
  std::string commandLine_;
  bool exitWhenReady_ = false;
};
