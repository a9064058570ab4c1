#include "FlightScript.h"

#include "platform/VirtualKeys.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace meridia::flight {
namespace {

bool ParseInt(std::string_view text, int& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

bool ParseFloat(std::string_view text, float& value) {
  // from_chars for floats is locale-free; strtod would read a comma in some locales.
  const char* end = text.data() + text.size();
  double parsed = 0.0;
  auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
  // A number finite as a double can still lie beyond the float range: it would become an
  // infinite position.
  const auto narrowed = static_cast<float>(parsed);
  if (ec != std::errc() || ptr != end || !std::isfinite(narrowed)) {
    return false;
  }
  value = narrowed;
  return true;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
      ++i;
    }
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
      ++i;
    }
    if (i > start) {
      words.push_back(line.substr(start, i - start));
    }
  }
  return words;
}

std::string LineError(int line_number, std::string_view line, const std::string& why) {
  return "line " + std::to_string(line_number) + " (\"" + std::string(line) + "\"): " + why;
}

// "# frames N" and "# position X,Y,Z" before the first event; other comments are ignored.
bool ParseHeader(std::string_view comment, FlightScript& script, std::string& why) {
  const auto words = Words(comment);
  if (words.size() == 2 && words[0] == "frames") {
    int frames = 0;
    if (!ParseInt(words[1], frames) || frames < 1) {
      why = "frames must be a positive whole number";
      return false;
    }
    script.frames = frames;
  } else if (words.size() == 2 && words[0] == "position") {
    Vector3f position;
    if (!ParsePosition(words[1], position)) {
      why = "position must be X,Y,Z";
      return false;
    }
    script.position = position;
  }
  return true;
}

} // namespace

const char* const kStatsHeader = "frame,render_ms,frame_ms,tris,level,nodes_drawn,node_count,"
                                 "vertex_count,tiles_in_use,generations,height_km";

const char* const kUsage =
    "usage: meridia-flight [--frames N] [--step-ms MS] [--script FILE] [--position X,Y,Z]\n"
    "                      [--shot FRAME]... [--shots DIR] [--stats FILE] [--detail]\n"
    "                      [--clock-seed N] [--startup FILE]\n"
    "Runs the viewer from the current folder for N frames (default 300), the clock advancing\n"
    "MS milliseconds a frame (default 16; 0 for real time), replaying the script's input.\n";

bool ParsePosition(std::string_view text, Vector3f& position) {
  float values[3] = {0, 0, 0};
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t comma = i < 2 ? text.find(',', start) : text.size();
    if (comma == std::string_view::npos) {
      return false;
    }
    if (!ParseFloat(text.substr(start, comma - start), values[i])) {
      return false;
    }
    start = comma + 1;
  }
  position = {values[0], values[1], values[2]};
  return true;
}

bool ParseFlightScript(std::string_view text, FlightScript& script, std::string& error) {
  script = FlightScript{};
  bool events_started = false;
  int line_number = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }

    std::string_view content = line;
    const size_t hash = content.find('#');
    if (hash != std::string_view::npos) {
      if (!events_started && Words(content.substr(0, hash)).empty()) {
        std::string why;
        if (!ParseHeader(content.substr(hash + 1), script, why)) {
          error = LineError(line_number, line, why);
          return false;
        }
      }
      content = content.substr(0, hash);
    }
    const auto words = Words(content);
    if (words.empty()) {
      continue;
    }
    events_started = true;

    ScriptEvent event;
    if (!ParseInt(words[0], event.frame) || event.frame < 1) {
      error = LineError(line_number, line, "the frame must be a positive whole number");
      return false;
    }
    const std::string_view verb = words.size() > 1 ? words[1] : std::string_view();
    if (verb == "down" || verb == "up") {
      const int key = words.size() == 3 ? platform::VirtualKeyFromName(words[2]) : 0;
      if (key == 0) {
        error = LineError(line_number, line,
                          "expected FRAME down|up KEY (a letter, a digit, F1..F12, ADD, "
                          "SUBTRACT or ESCAPE)");
        return false;
      }
      event.message = {verb == "down" ? platform::WM_KEYDOWN : platform::WM_KEYUP,
                       static_cast<uintptr_t>(key), 0};
    } else if (verb == "mouse_down" || verb == "mouse_move" || verb == "mouse_up") {
      int x = 0, y = 0;
      // Negative positions are what a captured drag past the window's left or top edge gives.
      if (words.size() != 4 || !ParseInt(words[2], x) || !ParseInt(words[3], y) || x < -0x8000 ||
          y < -0x8000 || x > 0x7FFF || y > 0x7FFF) {
        error = LineError(line_number, line, "expected FRAME " + std::string(verb) + " X Y");
        return false;
      }
      const uint32_t kind = verb == "mouse_down"   ? platform::WM_LBUTTONDOWN
                            : verb == "mouse_move" ? platform::WM_MOUSEMOVE
                                                   : platform::WM_LBUTTONUP;
      event.message = {kind, 0, platform::MakeLParam(x, y)};
    } else {
      error = LineError(line_number, line,
                        "unknown event (down, up, mouse_down, mouse_move, mouse_up)");
      return false;
    }
    script.events.push_back(event);
  }
  std::stable_sort(script.events.begin(), script.events.end(),
                   [](const ScriptEvent& a, const ScriptEvent& b) { return a.frame < b.frame; });
  return true;
}

bool ParseFlightOptions(const std::vector<std::string>& args, FlightOptions& options,
                        std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    std::string text;
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--detail") {
      options.detail = true;
    } else if (arg == "--frames") {
      if (!value(text) || !ParseInt(text, options.frames) || options.frames < 1) {
        error = error.empty() ? "--frames needs a positive whole number" : error;
        return false;
      }
      options.frames_given = true;
    } else if (arg == "--step-ms") {
      if (!value(text) || !ParseInt(text, options.step_ms) || options.step_ms < 0) {
        error = error.empty() ? "--step-ms needs a whole number of milliseconds" : error;
        return false;
      }
    } else if (arg == "--script") {
      if (!value(options.script_path)) {
        return false;
      }
    } else if (arg == "--position") {
      Vector3f position;
      if (!value(text) || !ParsePosition(text, position)) {
        error = error.empty() ? "--position needs X,Y,Z" : error;
        return false;
      }
      options.position = position;
      options.position_given = true;
    } else if (arg == "--shot") {
      int frame = 0;
      if (!value(text) || !ParseInt(text, frame) || frame < 1) {
        error = error.empty() ? "--shot needs a frame number from 1" : error;
        return false;
      }
      options.shots.push_back(frame);
    } else if (arg == "--shots") {
      if (!value(options.shots_dir)) {
        return false;
      }
    } else if (arg == "--stats") {
      if (!value(options.stats_path)) {
        return false;
      }
    } else if (arg == "--startup") {
      if (!value(options.startup_path)) {
        return false;
      }
    } else if (arg == "--clock-seed") {
      uint32_t seed = 0;
      bool parsed = false;
      if (value(text)) {
        const char* end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data(), end, seed);
        parsed = ec == std::errc() && ptr == end;
      }
      if (!parsed) {
        error = error.empty() ? "--clock-seed needs a whole number from 0 to 4294967295" : error;
        return false;
      }
      options.clock_seed = seed;
    } else {
      error = "unknown option " + arg;
      return false;
    }
  }
  return true;
}

void ApplyScriptDefaults(const FlightScript& script, FlightOptions& options) {
  if (script.frames && !options.frames_given) {
    options.frames = *script.frames;
  }
  if (script.position && !options.position_given) {
    options.position = script.position;
  }
}

std::string ShotFileName(const std::string& dir, int frame) {
  char name[32];
  std::snprintf(name, sizeof(name), "frame_%05d.tga", frame);
  return dir + "/" + name;
}

} // namespace meridia::flight
