#include "storage/Log.h"

#include "platform/FileSystem.h"
#include "storage/FilePaths.h"

#include <cstdio>
#include <ctime>

namespace meridia {
namespace {

struct LogState {
  std::FILE* file = nullptr;
  LogClockFn clock = nullptr;
  // No stamp yet in this file, so the first line always opens with "[".
  bool has_stamp = false;
  LogTime last_stamp{};
};

LogState& State() {
  static LogState state;
  return state;
}

LogTime LocalTimeNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return {local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(now.tv_nsec / 1000000)};
}

bool IsBlank(std::string_view text) {
  for (const char c : text) {
    // Bytes above 127 are text, not blanks, whatever the signedness of char.
    if (static_cast<unsigned char>(c) > 32) {
      return false;
    }
  }
  return true;
}

bool SameTime(const LogTime& a, const LogTime& b) {
  return a.hour == b.hour && a.minute == b.minute && a.second == b.second &&
         a.millisecond == b.millisecond;
}

} // namespace

void SetLogClock(LogClockFn fn) {
  State().clock = fn;
}

std::string LogFileNameFor(std::string_view executable_path) {
  // Converted first: a Linux path has "/" separators, and a "." in a folder name would otherwise
  // be taken for the start of the extension.
  return ChangeFileExt(ToBackslashes(executable_path), ".zolog");
}

bool LogStart(std::string_view file_name) {
  LogState& state = State();
  if (state.file != nullptr) {
    LogFinish();
  }
  state.has_stamp = false;
  state.file = std::fopen(platform::ResolvePath(file_name).c_str(), "wb");
  LogWrite("Log Started");
  return state.file != nullptr;
}

void LogWrite(std::string_view text) {
  LogState& state = State();
  if (state.file == nullptr || IsBlank(text)) {
    return;
  }
  const LogTime now = state.clock != nullptr ? state.clock() : LocalTimeNow();
  const bool repeat = state.has_stamp && SameTime(now, state.last_stamp);
  char stamp[64];
  const int stamp_length =
      std::snprintf(stamp, sizeof(stamp), repeat ? "<%2d:%2d:%2d:%3d> " : "[%2d:%2d:%2d:%3d] ",
                    now.hour, now.minute, now.second, now.millisecond);
  if (!repeat) {
    state.last_stamp = now;
    state.has_stamp = true;
  }
  std::string line(stamp, static_cast<size_t>(stamp_length));
  line.append(text);
  line.push_back('\n');
  // A write or flush that fails once the file is open drops the line silently. Deliberate: an
  // exception here would end the viewer over a diagnostic line.
  if (std::fwrite(line.data(), 1, line.size(), state.file) == line.size()) {
    std::fflush(state.file);
  }
}

void LogFinish() {
  LogState& state = State();
  if (state.file == nullptr) {
    return;
  }
  LogWrite("Log Finished");
  std::fclose(state.file);
  state.file = nullptr;
}

void LogError(int code, std::string_view caption) {
  std::string text = "Error : " + std::to_string(code) + " Caption : ";
  text.append(caption);
  LogWrite(text);
}

bool LogIsOpen() {
  return State().file != nullptr;
}

} // namespace meridia
