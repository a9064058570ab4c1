// Flights: the options of the flight tool and the timed input scripts it replays. A script is
// one event a line ("FRAME down KEY", "FRAME mouse_move X Y", ...), and "FRAME step MS" gives the
// loop clock's advance before a frame; header comments ("# frames N", "# position X,Y,Z",
// "# clock-seed N", "# step-ms MS", "# galaxy") let a flight file describe itself. A recorded
// flight is written in the same form.
#pragma once

#include "engine/VectorTypes.h"
#include "platform/Messages.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace meridia::flight {

struct ScriptEvent {
  int frame = 0; // delivered before this frame is drawn
  platform::Message message;
};

struct FlightScript {
  std::vector<ScriptEvent> events; // in frame order, file order within a frame
  std::optional<int> frames;
  std::optional<Vector3f> position;
  std::optional<uint32_t> clock_seed;
  std::optional<int> step_ms;
  // Flown with the galaxy on from the first frame.
  bool galaxy = false;
  // The loop clock's advance before a frame (from frame 2), where it is not step_ms.
  std::map<int, uint32_t> steps;
};

// False with a message naming the line when a line is malformed.
bool ParseFlightScript(std::string_view text, FlightScript& script, std::string& error);

// "X,Y,Z" with decimal numbers.
bool ParsePosition(std::string_view text, Vector3f& position);

// The script as text that ParseFlightScript reads back as the same script: the headers, then
// frame by frame its step and its events in order. Positions keep every bit of their floats.
// Messages other than keys and the left button are left out.
std::string FormatFlightScript(const FlightScript& script);

struct FlightOptions {
  int frames = 300;
  int step_ms = 16; // 0: real time
  std::string script_path;
  std::optional<Vector3f> position;
  std::vector<int> shots;
  std::string shots_dir = "screens";
  std::string stats_path;
  // Where the start-up times go: one "step,ms" line a step, from the tool's start.
  std::string startup_path;
  // Where the flight is written as a script that replays it exactly.
  std::string record_path;
  // The shared generator's first seed instead of the clock's.
  std::optional<uint32_t> clock_seed;
  bool detail = false;
  // The galaxy backdrop on from the first frame, as if G had been pressed before it.
  bool galaxy = false;
  bool help = false;
  // Whether --frames, --position and --step-ms were given, so that a script's header does not
  // override.
  bool frames_given = false;
  bool position_given = false;
  bool step_ms_given = false;
};

bool ParseFlightOptions(const std::vector<std::string>& args, FlightOptions& options,
                        std::string& error);

// Fills the options a script's header gives and the command line left open.
void ApplyScriptDefaults(const FlightScript& script, FlightOptions& options);

// "DIR/frame_NNNNN.tga"
std::string ShotFileName(const std::string& dir, int frame);

extern const char* const kStatsHeader;

extern const char* const kUsage;

} // namespace meridia::flight
