#pragma once
// The program's command line. Without arguments the program starts as it
// always has. A file name opens that file in the main window; /play plays a
// file without showing the main window and ends with an exit code:
//
//   Taplore.exe [FILE.mou]
//   Taplore.exe /play FILE.mou [/repeat N] [/speed X] [/yes] [/quiet]
//   Taplore.exe /?
//
// Switches start with "/" or "-" and ignore letter case. Anything the parser
// does not understand is an error: a mistyped switch or number must never
// start a run.
#include <cstdint>

enum class LaunchMode {
    Window,  // no arguments: the main window as always
    Open,    // a file name alone: the main window with that file open
    Play,    // /play: play the file and end
    Usage,   // /?: show how to call the program
    Error,   // a wrong argument; `error` says which
};

enum class LaunchError {
    None,
    UnknownSwitch,   // `argument` is the switch
    MissingValue,    // `argument` is the switch that needs a value
    BadRepeat,       // `argument` is the value
    BadSpeed,        // `argument` is the value
    MissingFile,     // /play without a file
    ExtraArgument,   // a second file name, or a switch that needs /play
};

// Exit codes of a /play run (and of the usage text, 0).
enum : int {
    kExitPlayed = 0,     // every pass ran
    kExitStopped = 1,    // the break key (or the list's own break-key release) stopped it
    kExitFailed = 2,     // the file could not be read, an argument was wrong, or the run was refused
    // The run ended early because the system refused its input, or a
    // screenshot could not be saved into the folder.
    kExitIncomplete = 3,
};

struct LaunchRequest {
    LaunchMode mode = LaunchMode::Window;
    // Point into the arguments given to ParseCommandLine.
    const wchar_t* file = nullptr;
    LaunchError error = LaunchError::None;
    const wchar_t* argument = nullptr;
    // /repeat as the Repeat box counts: 0 one pass, N > 0 N passes, negative
    // until stopped. /speed in hundredths; a /play run without it plays at x1.
    int32_t repeat = 0;
    int32_t speed = 100;
    bool yes = false;    // play a file from another computer without asking
    bool quiet = false;  // no window and no message at all
};

// Reads the arguments after the program name. /repeat takes the repeat rule
// in full ("-1", " 3"), but a text that is not a number is an error rather
// than one pass; /speed takes the speed box's texts (model/play_speed.h).
LaunchRequest ParseCommandLine(int count, const wchar_t* const* arguments);

// The usage text in English (language other than 1) or Japanese.
const wchar_t* UsageText(int language);

// The message for a request whose mode is Error: a format with one %s for the
// argument (an empty text when it has none), in English or Japanese.
const wchar_t* LaunchErrorFormat(LaunchError error, int language);
