// The process-wide text log: one file per run, one time-stamped line per message, every line on
// disk before LogWrite returns. While no file is open every call is a silent no-op, so modules
// may log unconditionally. Lines end in LF, the text-file convention of this platform, where
// tools and editors expect it; a CR before each would show as a stray character.
#pragma once

#include <string>
#include <string_view>

namespace meridia {

// Local time of day, as stamped on each line.
struct LogTime {
  int hour;
  int minute;
  int second;
  int millisecond;
};

using LogClockFn = LogTime (*)();

// Replaces the clock that stamps lines; nullptr restores the real local time.
void SetLogClock(LogClockFn fn);

// The log's file name for a program file: the same folder and name with the extension ".zolog".
// The result uses "\" separators, like every name the program composes.
std::string LogFileNameFor(std::string_view executable_path);

// Creates (or empties) the file and writes "Log Started". When the file cannot be created the log
// stays off for the run and nothing is reported anywhere. Returns whether the log is open.
bool LogStart(std::string_view file_name);

// Writes "[hh:mm:ss:mmm] text", or "<hh:mm:ss:mmm> text" within the millisecond of the previous
// stamp. A text of nothing but characters 0..32 writes nothing at all.
void LogWrite(std::string_view text);

// Writes "Log Finished" and closes the file.
void LogFinish();

// Writes "Error : <code> Caption : <caption>".
void LogError(int code, std::string_view caption);

bool LogIsOpen();

} // namespace meridia
