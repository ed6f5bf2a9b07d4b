// Splitting the process command line and choosing the mode from the token
// that follows the program path.
#pragma once

namespace tavrel {

namespace tokens {
constexpr const char* kHaltAll = "@@@HaltAll";
constexpr const char* kStartFirstly = "@@@StartFirstly";
constexpr const char* kStart = "@@@Start";
// Parameters the log-on mode starts the monitor with. The leading blank is
// dropped again by the started instance's own split.
constexpr const char* kStartParameters = " @@@Start";
}  // namespace tokens

enum class Mode {
    None,          // any other command line, the empty one included
    HaltAll,       // signal every instance to end
    StartFirstly,  // log-on: restart the media status process, then start the monitor
    Start,         // the session's monitoring instance
};

// What follows the program's own path: skips the path (which may be quoted
// and hold blanks) and every character of code 0x20 and below after it.
// Trailing characters are kept.
const char* CommandRemainder(const char* commandLine) noexcept;

// Exact, case-sensitive, whole-string match of the remainder against the
// tokens in the order HaltAll, StartFirstly, Start.
Mode SelectMode(const char* remainder) noexcept;

}  // namespace tavrel
