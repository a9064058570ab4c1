// Flies every scripted flight headless with fixed options and compares chosen frames, reduced by
// box-averaging, with the reference pictures kept in tests/pictures/references. Before any
// picture, the flight's statistics must show that each chosen frame draws what the flight is
// for (trees, buildings or neither): trees and buildings stand where the order of splits and
// draws puts them, so a change of refinement or drawing can move them out of a flight's view,
// and that is told as such rather than as a picture difference. Each picture the run makes is
// kept as MERIDIA_PICTURE_OUTPUT/actual/NAME.png; a mismatch writes the expected, the actual and
// an amplified difference picture to MERIDIA_PICTURE_OUTPUT/failed/ and prints their paths.
// With MERIDIA_PICTURE_REFRESH set the pictures made replace the references instead, and each
// is reported as new, changed or the same.
#include "pictures/PictureFiles.h"
#include "support/FlightRunFolder.h"
#include "support/PictureCompare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace meridia::testing {
namespace {

// Shots are 800 by 600; a quarter of that each way keeps a reference near 50 KB while a tree
// or a building edge still moves whole blocks.
constexpr int kReduction = 4;

constexpr const PictureTolerance& kTolerance = kReferenceTolerance;

// What a chosen frame draws when its flight shows what it was made for.
enum class Subject {
  kAnything,
  // The planet from far up: no tree, no building.
  kBare,
  // A wood: trees as geometry close at hand (some without their impostor) and impostors
  // beyond.
  kWood,
  // A city block: at least five buildings.
  kCity,
};

struct ChosenFrame {
  int Frame;
  Subject Shows;
};

struct ReferenceFlight {
  const char* Name; // of the pictures, and of the flight unless Flight names another
  std::vector<ChosenFrame> Frames;
  const char* Flight = nullptr;
  const char* Options = ""; // for the flight tool, after the suite's own
};

// Names the test's parameter in gtest's messages.
void PrintTo(const ReferenceFlight& flight, std::ostream* out) {
  *out << flight.Name;
}

// The frames that show what each flight is about.
const ReferenceFlight kFlights[] = {
    // The textured planet from 2500 units out, early and a third of a turn later.
    {"orbit", {{150, Subject::kBare}, {600, Subject::kBare}}},
    // The same with the galaxy behind: its core at the planet's limb, then its arms around it.
    {"orbit_galaxy", {{150, Subject::kBare}, {600, Subject::kBare}}, "orbit", "--galaxy"},
    // The island from high up, its ground close while slowing, among the trees where it lands.
    {"descent", {{50, Subject::kBare}, {150, Subject::kBare}, {400, Subject::kWood}}},
    // Trees as geometry close at hand on grass under the sky, and the wood toward a city block
    // with impostors beyond the near trees.
    {"forest", {{24, Subject::kWood}, {100, Subject::kWood}}},
    // A city block across the grass, and the block from about 100 m above.
    {"city", {{45, Subject::kCity}, {120, Subject::kCity}}},
    // Coming down onto the slope looking straight down, on it, and at the horizon after the turn.
    {"landing", {{60, Subject::kAnything}, {120, Subject::kAnything}, {300, Subject::kAnything}}},
    // The planet of seed 7 from orbit: another world, its maps made by the flight itself.
    {"world7", {{60, Subject::kBare}}},
};

std::vector<int> FrameNumbers(const std::vector<ChosenFrame>& frames) {
  std::vector<int> numbers;
  for (const ChosenFrame& chosen : frames) {
    numbers.push_back(chosen.Frame);
  }
  return numbers;
}

struct Decorations {
  int Trees = 0;
  int Impostors = 0;
  int Buildings = 0;
};

// The decoration counters of every frame, found by their names in the header line.
std::map<int, Decorations> ReadDecorations(const fs::path& stats) {
  std::ifstream in(stats);
  std::string line;
  std::map<std::string, size_t> column;
  if (std::getline(in, line)) {
    std::istringstream header(line);
    std::string name;
    for (size_t i = 0; std::getline(header, name, ','); ++i) {
      column[name] = i;
    }
  }
  std::map<int, Decorations> frames;
  if (!column.count("frame") || !column.count("trees_drawn") || !column.count("tree_impostors") ||
      !column.count("buildings_drawn")) {
    return frames;
  }
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::istringstream row(line);
    for (std::string cell; std::getline(row, cell, ',');) {
      cells.push_back(cell);
    }
    if (cells.size() <=
        std::max({column["trees_drawn"], column["tree_impostors"], column["buildings_drawn"]})) {
      continue;
    }
    frames[std::stoi(cells[column["frame"]])] = {std::stoi(cells[column["trees_drawn"]]),
                                                 std::stoi(cells[column["tree_impostors"]]),
                                                 std::stoi(cells[column["buildings_drawn"]])};
  }
  return frames;
}

// Empty when the frame draws its subject, else what it drew instead.
std::string MissedSubject(Subject subject, const Decorations& drawn) {
  const std::string counts = std::to_string(drawn.Trees) + " trees (" +
                             std::to_string(drawn.Impostors) + " with their impostor) and " +
                             std::to_string(drawn.Buildings) + " buildings";
  switch (subject) {
  case Subject::kAnything:
    return {};
  case Subject::kBare:
    return drawn.Trees == 0 && drawn.Buildings == 0 ? std::string()
                                                    : "draws " + counts + " where none belong";
  case Subject::kWood:
    return drawn.Impostors > 0 && drawn.Trees > drawn.Impostors
               ? std::string()
               : "draws " + counts + ", not both near trees as geometry and far ones as impostors";
  case Subject::kCity:
    return drawn.Buildings >= 5 ? std::string()
                                : "draws " + counts + ", not the five buildings of a city block";
  }
  return {};
}

// The bottom lines of the overlay name the machine (system, driver, processor, memory): they
// are blanked so that the pictures only show what was drawn.
constexpr int kMachineLinesTop = 536;

void BlankMachineLines(Picture& shot) {
  for (int y = kMachineLinesTop; y < shot.Height; ++y) {
    std::fill_n(shot.Rgb.begin() + static_cast<ptrdiff_t>(y) * shot.Width * 3, shot.Width * 3, 0);
  }
}

fs::path PictureOutput() {
  return fs::path(MERIDIA_PICTURE_OUTPUT);
}

// A private copy of the runnable folder with the terrain maps the other end-to-end tests of the
// flight tool share, so that parallel tests never share files and whichever runs first makes
// the maps once for all.
fs::path MakeRunFolder() {
  const fs::path dir = MakeFlightRunFolder(MERIDIA_RUN_DIR);
  if (!dir.empty()) {
    CopyTerrainMaps(SharedTerrainMaps(MERIDIA_RUN_DIR, MERIDIA_TEST_DIR), dir);
  }
  return dir;
}

std::string LastLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line, last;
  while (std::getline(in, line)) {
    last = line;
  }
  return last;
}

// The suite's options for a flight shot at the given frames: the stepped clock and the seed are
// the defaults, named so that a change of default cannot move the pictures; the flight stops at
// its last shot.
std::string FlightArgs(const char* name, const std::vector<int>& frames) {
  std::string args = std::string("--script ") + MERIDIA_FLIGHTS_DIR + "/" + name +
                     ".flight --step-ms 16 --clock-seed 1 --shots shots --frames " +
                     std::to_string(frames.back());
  for (const int frame : frames) {
    args += " --shot " + std::to_string(frame);
  }
  return args;
}

// The shot of a frame as the flight tool wrote it into the run folder.
Picture LoadShot(const fs::path& dir, int frame) {
  char shot[32];
  std::snprintf(shot, sizeof shot, "frame_%05d.tga", frame);
  return LoadTgaShot(dir / "shots" / shot);
}

// A test over one flight flown in its own run folder, removed afterwards.
template <typename Flight> class FlownInRunFolder : public ::testing::TestWithParam<Flight> {
protected:
  void TearDown() override {
    if (!dir_.empty()) {
      fs::remove_all(dir_);
    }
  }
  fs::path dir_;
};

class ReferencePictures : public FlownInRunFolder<ReferenceFlight> {};

TEST_P(ReferencePictures, MatchTheStoredOnes) {
  const ReferenceFlight& flight = GetParam();
  dir_ = MakeRunFolder();
  ASSERT_FALSE(dir_.empty());
  ASSERT_TRUE(fs::exists(dir_ / "base" / "maps" / "basemap.dat"))
      << "the terrain maps could not be generated";

  std::string args = FlightArgs(flight.Flight != nullptr ? flight.Flight : flight.Name,
                                FrameNumbers(flight.Frames)) +
                     " --stats stats.csv " + flight.Options;
  // Lets a person see what a changed flight does to the pictures without editing anything.
  if (const char* extra = std::getenv("MERIDIA_PICTURE_FLIGHT_ARGS")) {
    args += std::string(" ") + extra;
  }
  ASSERT_EQ(FlyIn(dir_, args), 0) << LastLine(dir_ / "out.txt");

  // A flight that no longer shows its subject needs aiming again, whatever its pictures say;
  // they are neither compared nor refreshed.
  const std::map<int, Decorations> drawn = ReadDecorations(dir_ / "stats.csv");
  bool on_subject = true;
  for (const ChosenFrame& chosen : flight.Frames) {
    const auto frame = drawn.find(chosen.Frame);
    ASSERT_NE(frame, drawn.end()) << "no decoration counters for frame " << chosen.Frame;
    const std::string missed = MissedSubject(chosen.Shows, frame->second);
    if (!missed.empty()) {
      on_subject = false;
      ADD_FAILURE() << flight.Name << " frame " << chosen.Frame << " " << missed
                    << ": the flight no longer shows what it is for. Trees and buildings stand "
                       "where the order of splits and draws puts them, so a change of refinement "
                       "or drawing can move them out of view; unless the change itself is wrong, "
                       "aim "
                    << MERIDIA_FLIGHTS_DIR << "/"
                    << (flight.Flight != nullptr ? flight.Flight : flight.Name)
                    << ".flight at its subject again and refresh its pictures.";
    }
  }
  if (!on_subject) {
    return;
  }

  // After an intended change the pictures made replace the references (tools/pictures/refresh.sh).
  const bool refresh = std::getenv("MERIDIA_PICTURE_REFRESH") != nullptr;
  fs::create_directories(PictureOutput() / "actual");
  fs::create_directories(PictureOutput() / "failed");
  for (const int frame : FrameNumbers(flight.Frames)) {
    char name[64];
    std::snprintf(name, sizeof name, "%s_%03d", flight.Name, frame);
    SCOPED_TRACE(name);
    Picture full = LoadShot(dir_, frame);
    ASSERT_TRUE(full.Valid()) << "no readable shot of frame " << frame;
    BlankMachineLines(full);
    const Picture actual = BoxDownscale(full, kReduction);
    ASSERT_TRUE(actual.Valid()) << "the shot of frame " << frame << " is " << full.Width << " by "
                                << full.Height;
    const fs::path actual_file = PictureOutput() / "actual" / (std::string(name) + ".png");
    ASSERT_TRUE(SavePng(actual, actual_file)) << actual_file;

    const fs::path failed = PictureOutput() / "failed" / name;
    for (const char* what : {"-expected.png", "-actual.png", "-difference.png"}) {
      fs::remove(failed.string() + what);
    }
    const fs::path reference = fs::path(MERIDIA_PICTURE_REFERENCES) / (std::string(name) + ".png");
    const Picture expected = LoadPng(reference);
    if (refresh) {
      if (expected.Valid() && expected.Width == actual.Width && expected.Rgb == actual.Rgb) {
        std::printf("refresh: same     %s\n", name);
        continue;
      }
      EXPECT_TRUE(SavePng(actual, reference)) << reference;
      if (!expected.Valid()) {
        std::printf("refresh: new      %s\n", name);
      } else {
        const PictureDifference difference = ComparePictures(expected, actual, kTolerance);
        std::printf("refresh: changed  %s (%zu pixels over %d levels, mean %.3f)\n", name,
                    difference.Differing, kTolerance.Level, difference.MeanLevel);
      }
      continue;
    }
    if (!expected.Valid()) {
      ADD_FAILURE() << "no reference picture " << reference
                    << " (tools/pictures/refresh.sh makes it from " << actual_file << ")";
      continue;
    }
    const PictureDifference difference = ComparePictures(expected, actual, kTolerance);
    std::printf("%s: %zu of %zu pixels over %d levels, mean %.3f, largest %d\n", name,
                difference.Differing, difference.Pixels, kTolerance.Level, difference.MeanLevel,
                difference.Largest);
    if (!difference.Matches) {
      SavePng(expected, failed.string() + "-expected.png");
      SavePng(actual, failed.string() + "-actual.png");
      SavePng(DifferencePicture(expected, actual, kTolerance.Level),
              failed.string() + "-difference.png");
      ADD_FAILURE() << name << " differs from its reference: " << difference.Differing
                    << " pixels over " << kTolerance.Level << " levels (at most "
                    << kTolerance.Share * 100 << " % allowed), mean difference "
                    << difference.MeanLevel << " (at most " << kTolerance.MeanLevel
                    << ")\n  expected:   " << failed.string() << "-expected.png"
                    << "\n  actual:     " << failed.string() << "-actual.png"
                    << "\n  difference: " << failed.string() << "-difference.png";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Flights, ReferencePictures, ::testing::ValuesIn(kFlights),
                         [](const ::testing::TestParamInfo<ReferenceFlight>& info) {
                           return std::string(info.param.Name);
                         });

// Once a flight has landed its camera stays a metre or two above the ground, and the ground must
// fill its frames: a frame more than half black shows the clear colour where the ground was cut
// away by the near plane or left above the camera by rounding. Every second frame is looked at;
// the faults this guards against came one frame in twenty or so.
struct LandedStretch {
  const char* Name;
  int First;
  int Last;
};

void PrintTo(const LandedStretch& stretch, std::ostream* out) {
  *out << stretch.Name;
}

const LandedStretch kLandedStretches[] = {
    {"landing", 80, 300},
    {"descent", 230, 330},
};

double BlackShare(const Picture& shot) {
  size_t black = 0;
  for (size_t i = 0; i + 2 < shot.Rgb.size(); i += 3) {
    black += shot.Rgb[i] < 8 && shot.Rgb[i + 1] < 8 && shot.Rgb[i + 2] < 8 ? 1 : 0;
  }
  return static_cast<double>(black) / (static_cast<double>(shot.Rgb.size()) / 3);
}

class GroundInView : public FlownInRunFolder<LandedStretch> {};

TEST_P(GroundInView, FillsEveryFrameAfterLanding) {
  const LandedStretch& stretch = GetParam();
  dir_ = MakeRunFolder();
  ASSERT_FALSE(dir_.empty());
  std::vector<int> frames;
  for (int frame = stretch.First; frame <= stretch.Last; frame += 2) {
    frames.push_back(frame);
  }
  ASSERT_EQ(FlyIn(dir_, FlightArgs(stretch.Name, frames)), 0) << LastLine(dir_ / "out.txt");
  for (const int frame : frames) {
    const Picture picture = LoadShot(dir_, frame);
    ASSERT_TRUE(picture.Valid()) << "no readable shot of frame " << frame;
    EXPECT_LE(BlackShare(picture), 0.5) << stretch.Name << " frame " << frame;
  }
}

INSTANTIATE_TEST_SUITE_P(Flights, GroundInView, ::testing::ValuesIn(kLandedStretches),
                         [](const ::testing::TestParamInfo<LandedStretch>& info) {
                           return std::string(info.param.Name);
                         });

} // namespace
} // namespace meridia::testing
