// The unpacked deployment kit the kit's tests work on, and running its
// scripts and its settings template the way its README tells a user to.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace testsupport::kit {

// <kit folder>\<name>.
std::string KitFile(const std::string& name);
// "1.2.3" from the kit folder's name "Tavrel-1.2.3-win32"; empty when the
// name is not of that form.
std::string KitVersion();

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);

// The command processor a script runs under: the 64-bit one, which a double
// click starts on 64-bit Windows, or the 32-bit one.
enum class CommandProcessor { Native, Wow32 };

struct ScriptRun {
    std::optional<DWORD> exitCode;  // empty when it did not end in time
    std::string output;             // its standard output and error
};

// Runs "<kit>\<script> [argument]" as "cmd /c" does for a user.
ScriptRun RunScript(CommandProcessor processor, const std::string& script,
                    const std::string& argument = "");

// "regedit /s <file>" with the 32-bit registry editor, as the kit's README
// says for 64-bit Windows; true when the editor ended in time.
bool ImportWith32BitRegistryEditor(const std::string& file);

// The folder 32-bit programs are installed in ("Program Files (x86)" on
// 64-bit Windows).
std::string ProgramFilesOf32BitPrograms();

}  // namespace testsupport::kit
