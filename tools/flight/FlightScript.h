// Flights: the options of the flight tool and the timed input scripts it replays. A script is
// one event a line ("FRAME down KEY", "FRAME mouse_move X Y", "FRAME size W H",
// "FRAME fullscreen", ...), and "FRAME step MS" gives the loop clock's advance before a frame;
// header comments ("# frames N", "# position X,Y,Z", "# clock-seed N", "# step-ms MS",
// "# size WxH", "# seed N", "# galaxy") let a flight file describe itself. A recorded flight is
// written in the same form.
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

// A window's client area in pixels.
struct ClientSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const ClientSize&, const ClientSize&) = default;
};

// The sizes a flight accepts, each way: the program's own window at least, and no more than a
// drawing surface the driver can be asked for.
inline constexpr int kMaxClientSize = 8192;

// "WxH" with whole numbers from 1 to kMaxClientSize.
bool ParseClientSize(std::string_view text, ClientSize& size);

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
  // The client area the flight starts with.
  std::optional<ClientSize> size;
  // The planet seed of the world flown over.
  std::optional<int32_t> seed;
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
// Messages other than keys, the left button, client sizes a script can hold and the full-screen
// command are left out.
std::string FormatFlightScript(const FlightScript& script);

struct FlightOptions {
  int frames = 300;
  int step_ms = 16; // 0: real time
  std::string script_path;
  std::optional<Vector3f> position;
  std::vector<int> shots;
  std::string shots_dir = "screens";
  // Without --shots the shots go where the viewer's screenshots go.
  bool shots_dir_given = false;
  std::string stats_path;
  // Where the start-up times go: one "step,ms" line a step, from the tool's start.
  std::string startup_path;
  // Where the flight is written as a script that replays it exactly.
  std::string record_path;
  // The shared generator's first seed instead of the clock's.
  std::optional<uint32_t> clock_seed;
  // The client area to draw at instead of the program's 800 by 600 window.
  std::optional<ClientSize> size;
  // Where every frame goes as a video; its frame rate, which sets the clock, and the encoder's
  // constant quality.
  std::string video_path;
  std::optional<int> fps;
  std::optional<int> quality;
  // The world's planet seed; the default world's when neither this nor the script names one.
  std::optional<int32_t> seed;
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

// A clock of `fps` frames a second in whole milliseconds: step_ms is 1000 / fps and script.steps
// holds the frames up to options.frames whose step is a millisecond longer, so that frame k comes
// at (k - 1) * 1000 / fps rounded to the nearest millisecond. Replaces the script's own clock.
void ApplyFrameRate(int fps, FlightOptions& options, FlightScript& script);

// "DIR/frame_NNNNN.tga"
std::string ShotFileName(const std::string& dir, int frame);

extern const char* const kStatsHeader;

extern const char* const kUsage;

} // namespace meridia::flight
