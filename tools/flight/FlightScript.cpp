#include "FlightScript.h"

#include "app/Shell.h"
#include "engine/PlanetSeed.h"
#include "platform/VirtualKeys.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace meridia::flight {
namespace {

bool ParseInt(std::string_view text, int& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

bool ParseUnsigned(std::string_view text, uint32_t& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
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

bool ParseSide(std::string_view text, int& value) {
  return ParseInt(text, value) && value >= 1 && value <= kMaxClientSize;
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

// "# frames N", "# position X,Y,Z", "# clock-seed N", "# step-ms MS", "# size WxH", "# seed N"
// and "# galaxy" before the first event; other comments are ignored.
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
  } else if (words.size() == 2 && words[0] == "clock-seed") {
    uint32_t seed = 0;
    if (!ParseUnsigned(words[1], seed)) {
      why = "clock-seed must be a whole number from 0 to 4294967295";
      return false;
    }
    script.clock_seed = seed;
  } else if (words.size() == 2 && words[0] == "size") {
    ClientSize size;
    if (!ParseClientSize(words[1], size)) {
      why = "size must be WxH, each from 1 to " + std::to_string(kMaxClientSize);
      return false;
    }
    script.size = size;
  } else if (words.size() == 2 && words[0] == "step-ms") {
    int step = 0;
    if (!ParseInt(words[1], step) || step < 0) {
      why = "step-ms must be a whole number of milliseconds";
      return false;
    }
    script.step_ms = step;
  } else if (words.size() == 2 && words[0] == "seed") {
    int32_t seed = 0;
    if (!ParsePlanetSeed(words[1], seed)) {
      why = "seed must be a whole number from -2147483648 to 2147483647";
      return false;
    }
    script.seed = seed;
  } else if (words.size() == 1 && words[0] == "galaxy") {
    script.galaxy = true;
  }
  return true;
}

const char* MouseVerb(uint32_t message) {
  switch (message) {
  case platform::WM_LBUTTONDOWN:
    return "mouse_down";
  case platform::WM_MOUSEMOVE:
    return "mouse_move";
  case platform::WM_LBUTTONUP:
    return "mouse_up";
  default:
    return nullptr;
  }
}

bool IsFullscreenCommand(const platform::Message& message) {
  return message.message == platform::WM_COMMAND &&
         (message.wParam & 0xFFFFu) == Shell::kFullscreenCommand;
}

// The event's line without its frame, or empty for a message a script cannot hold.
std::string EventText(const platform::Message& message) {
  if (IsFullscreenCommand(message)) {
    return "fullscreen";
  }
  if (message.message == platform::WM_SIZE) {
    const int width = platform::LowWord(message.lParam);
    const int height = platform::HighWord(message.lParam);
    if (width < 1 || height < 1 || width > kMaxClientSize || height > kMaxClientSize) {
      return {};
    }
    return "size " + std::to_string(width) + " " + std::to_string(height);
  }
  if (message.message == platform::WM_KEYDOWN || message.message == platform::WM_KEYUP) {
    const std::string key =
        message.wParam <= 255 ? platform::VirtualKeyName(static_cast<int>(message.wParam)) : "";
    if (key.empty()) {
      return {};
    }
    return (message.message == platform::WM_KEYDOWN ? "down " : "up ") + key;
  }
  const char* verb = MouseVerb(message.message);
  if (verb == nullptr) {
    return {};
  }
  return std::string(verb) + " " + std::to_string(platform::SignedLowWord(message.lParam)) + " " +
         std::to_string(platform::SignedHighWord(message.lParam));
}

} // namespace

const char* const kStatsHeader = "frame,render_ms,frame_ms,tris,level,nodes_drawn,node_count,"
                                 "vertex_count,tiles_in_use,generations,height_km,"
                                 "generate_ms,upload_ms,swap_ms,trees_drawn,tree_impostors,"
                                 "buildings_drawn,cpu_ms";

const char* const kUsage =
    "usage: meridia-flight [--frames N] [--step-ms MS] [--script FILE] [--position X,Y,Z]\n"
    "                      [--shot FRAME]... [--shots DIR] [--stats FILE] [--detail]\n"
    "                      [--clock-seed N] [--startup FILE] [--record FILE] [--size WxH]\n"
    "                      [--video FILE] [--fps N] [--quality Q] [--seed N]\n"
    "                      [--galaxy]\n"
    "Runs the viewer from the current folder for N frames (default 300), the clock advancing\n"
    "MS milliseconds a frame (default 16; 0 for real time), replaying the script's input.\n"
    "--size draws at a client area of W by H pixels (each 1 to 8192) instead of the\n"
    "program's 800 by 600 window.\n"
    "--record writes the flight, with the input of the window or the script, as a script that\n"
    "--script replays exactly. --video writes every frame into FILE (.mp4 or .mkv: H.264,\n"
    ".webm: VP9) at N frames a second (default 1000 / MS), the clock advancing to match, at\n"
    "the encoder's constant quality Q (lower is better and larger).\n";

bool ParseClientSize(std::string_view text, ClientSize& size) {
  const size_t x = text.find('x');
  ClientSize parsed;
  if (x == std::string_view::npos || !ParseSide(text.substr(0, x), parsed.width) ||
      !ParseSide(text.substr(x + 1), parsed.height)) {
    return false;
  }
  size = parsed;
  return true;
}

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
    if (verb == "step") {
      // Any tick difference the clock can give, 2^32 - 1 included.
      uint32_t step = 0;
      if (words.size() != 3 || !ParseUnsigned(words[2], step)) {
        error = LineError(line_number, line, "expected FRAME step MS");
        return false;
      }
      // The loop clock moves on only between frames: nothing comes before the first one.
      if (event.frame < 2) {
        error = LineError(line_number, line, "a step applies from frame 2");
        return false;
      }
      if (!script.steps.emplace(event.frame, step).second) {
        error = LineError(line_number, line, "a second step for the same frame");
        return false;
      }
      continue;
    }
    if (verb == "down" || verb == "up") {
      const int key = words.size() == 3 ? platform::VirtualKeyFromName(words[2]) : 0;
      if (key == 0) {
        error = LineError(line_number, line,
                          "expected FRAME down|up KEY (a letter, a digit, F1..F12, ADD, "
                          "SUBTRACT, ESCAPE, SPACE, LEFT, RIGHT, UP, DOWN, SHIFT, CONTROL, "
                          "NUMPAD0..NUMPAD9 or 0xNN)");
        return false;
      }
      event.message = {verb == "down" ? platform::WM_KEYDOWN : platform::WM_KEYUP,
                       static_cast<uintptr_t>(key), 0};
    } else if (verb == "size") {
      // What WM_SIZE tells the window procedure; the maximised flag changes nothing drawn.
      int width = 0, height = 0;
      if (words.size() != 4 || !ParseSide(words[2], width) || !ParseSide(words[3], height)) {
        error =
            LineError(line_number, line,
                      "expected FRAME size W H, each from 1 to " + std::to_string(kMaxClientSize));
        return false;
      }
      event.message = {platform::WM_SIZE, platform::SIZE_RESTORED,
                       platform::MakeLParam(width, height)};
    } else if (verb == "fullscreen") {
      // The command F11 and Alt+Enter send.
      if (words.size() != 2) {
        error = LineError(line_number, line, "expected FRAME fullscreen");
        return false;
      }
      event.message = {platform::WM_COMMAND, platform::MakeWParam(Shell::kFullscreenCommand, 1), 0};
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
                        "unknown event (down, up, mouse_down, mouse_move, mouse_up, size, "
                        "fullscreen, step)");
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
    } else if (arg == "--galaxy") {
      options.galaxy = true;
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
      options.step_ms_given = true;
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
      options.shots_dir_given = true;
    } else if (arg == "--stats") {
      if (!value(options.stats_path)) {
        return false;
      }
    } else if (arg == "--record") {
      if (!value(options.record_path)) {
        return false;
      }
    } else if (arg == "--startup") {
      if (!value(options.startup_path)) {
        return false;
      }
    } else if (arg == "--size") {
      ClientSize size;
      if (!value(text) || !ParseClientSize(text, size)) {
        error = error.empty() ? "--size needs WxH, each a whole number from 1 to " +
                                    std::to_string(kMaxClientSize)
                              : error;
        return false;
      }
      options.size = size;
    } else if (arg == "--video") {
      if (!value(options.video_path)) {
        return false;
      }
    } else if (arg == "--fps" || arg == "--quality") {
      int number = 0;
      if (!value(text) || !ParseInt(text, number) || number < (arg == "--fps" ? 1 : 0) ||
          number > 1000) {
        error = error.empty() ? arg + (arg == "--fps" ? " needs frames a second from 1 to 1000"
                                                      : " needs a whole number from 0 to 1000")
                              : error;
        return false;
      }
      (arg == "--fps" ? options.fps : options.quality) = number;
    } else if (arg == "--clock-seed") {
      uint32_t seed = 0;
      if (!value(text) || !ParseUnsigned(text, seed)) {
        error = error.empty() ? "--clock-seed needs a whole number from 0 to 4294967295" : error;
        return false;
      }
      options.clock_seed = seed;
    } else if (arg == "--seed") {
      int32_t seed = 0;
      if (!value(text) || !ParsePlanetSeed(text, seed)) {
        error =
            error.empty() ? "--seed needs a whole number from -2147483648 to 2147483647" : error;
        return false;
      }
      options.seed = seed;
    } else {
      error = "unknown option " + arg;
      return false;
    }
  }
  if (options.fps && options.step_ms_given) {
    error = "--fps sets the clock's step: give --fps or --step-ms";
    return false;
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
  if (script.clock_seed && !options.clock_seed) {
    options.clock_seed = script.clock_seed;
  }
  if (script.step_ms && !options.step_ms_given) {
    options.step_ms = *script.step_ms;
  }
  if (script.size && !options.size) {
    options.size = script.size;
  }
  if (script.seed && !options.seed) {
    options.seed = script.seed;
  }
  options.galaxy = options.galaxy || script.galaxy;
}

std::string FormatFlightScript(const FlightScript& script) {
  std::string text;
  char line[128];
  if (script.frames) {
    text += "# frames " + std::to_string(*script.frames) + "\n";
  }
  if (script.position) {
    // Nine significant digits bring every float back to the same bits.
    std::snprintf(line, sizeof(line), "# position %.9g,%.9g,%.9g\n",
                  static_cast<double>(script.position->x), static_cast<double>(script.position->y),
                  static_cast<double>(script.position->z));
    text += line;
  }
  if (script.clock_seed) {
    text += "# clock-seed " + std::to_string(*script.clock_seed) + "\n";
  }
  if (script.step_ms) {
    text += "# step-ms " + std::to_string(*script.step_ms) + "\n";
  }
  if (script.size) {
    text += "# size " + std::to_string(script.size->width) + "x" +
            std::to_string(script.size->height) + "\n";
  }
  if (script.seed) {
    text += "# seed " + std::to_string(*script.seed) + "\n";
  }
  if (script.galaxy) {
    text += "# galaxy\n";
  }
  std::vector<ScriptEvent> events = script.events;
  std::stable_sort(events.begin(), events.end(),
                   [](const ScriptEvent& a, const ScriptEvent& b) { return a.frame < b.frame; });
  auto step = script.steps.begin();
  auto write_steps_to = [&](int frame) {
    for (; step != script.steps.end() && step->first <= frame; ++step) {
      text += std::to_string(step->first) + " step " + std::to_string(step->second) + "\n";
    }
  };
  for (const ScriptEvent& event : events) {
    write_steps_to(event.frame);
    const std::string event_text = EventText(event.message);
    if (!event_text.empty()) {
      text += std::to_string(event.frame) + " " + event_text + "\n";
    }
  }
  write_steps_to(std::numeric_limits<int>::max());
  return text;
}

void ApplyFrameRate(int fps, FlightOptions& options, FlightScript& script) {
  options.step_ms = 1000 / fps;
  script.steps.clear();
  const auto time_ms = [fps](int64_t frame) { return ((frame - 1) * 2000 + fps) / (2 * fps); };
  for (int frame = 2; frame <= options.frames; ++frame) {
    const int64_t step = time_ms(frame) - time_ms(frame - 1);
    if (step != options.step_ms) {
      script.steps[frame] = static_cast<uint32_t>(step);
    }
  }
}

std::string ShotFileName(const std::string& dir, int frame) {
  char name[32];
  std::snprintf(name, sizeof(name), "frame_%05d.tga", frame);
  return dir + "/" + name;
}

} // namespace meridia::flight
