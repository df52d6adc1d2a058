// The general library's registry functions on a freedesktop system.
//
// The file-type registration becomes a shared-mime-info package and a desktop entry in the
// user's data home (platform/core/association.h). The other values that were kept in the
// registry live in a small key-value file, "registry.txt" in the user data folder: one line
// per value, "key<TAB>name<TAB>data" (CP932 text, data without line breaks).
#pragma once

#include <string>
#include <vector>

// Registers the extension with its type name, description and open command. `command` is a
// command line in the form "\"program\" \"%1\"" (native path text); "%1" stands for the file.
// The machine-wide flag is accepted for compatibility; the registration is always the user's.
// Returns 1; a failure goes to the standard error stream, and the start goes on. The MIDI mapper
// functions show their boxes when the key-value file cannot be written.
int GneRegisterFileType(const char* extension, const char* typeName, const char* description,
                        const std::string& command, int machineWide);

// Splits a command line at blanks outside double quotes, dropping the quotes.
std::vector<std::string> GneSplitCommandLine(const std::string& command);

// Values of the key-value file. Get returns false when the value is not there.
bool GneRegistryGet(const std::string& key, const std::string& name, std::string& data);
bool GneRegistrySet(const std::string& key, const std::string& name, const std::string& data);

// The MIDI mapper's device name (no caller in the program uses them).
int GneGetMidiMapperDeviceName(std::string& name);
void GneMakeMidiMapperDeviceName(const std::string& name);
int GneSetMidiMapperDeviceName(const std::string& name);
