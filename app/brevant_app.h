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
  // Registers ".mwd" as "Pellmor.Cantrel" ("Cantrel Document") with the program's own path;
  // a program that runs from a build tree registers nothing, since the association would name
  // a file that is gone once the tree is cleaned. True when it registered.
  static bool RegisterSongFileType();
  // The registration itself, for the given program.
  static void RegisterSongFileTypeFor(const std::filesystem::path& program);
  // Removes what saves of ours cut short by a crash or a kill left behind: in the user data
  // folder, its temp folder and the association's folders. Called once the lock is held.
  static void RemoveInterruptedSaves();

  // For start-up measurements: the main window ends itself as soon as it is ready.
  void SetExitWhenReady(bool exit) { exitWhenReady_ = exit; }

 private:
  std::string commandLine_;
  bool exitWhenReady_ = false;
};
