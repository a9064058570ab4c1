// meridia-inspect's pieces: where it writes an extracted entry (always below the folder it was
// given), how it names files in JSON, and how it recognises pictures.
#include "ExtractPath.h"
#include "FileKind.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace meridia::inspect {
namespace {

TEST(ExtractPath, NamesStayBelowTheFolder) {
  const struct {
    std::string name;
    const char* expected; // null: refused
  } cases[] = {
      {"base/shaders/treevp.txt", "out/base/shaders/treevp.txt"},
      {"Base\\Models\\City\\b.obj", "out/Base/Models/City/b.obj"},
      {"./a//b/./c", "out/a/b/c"},
      {"name..with..dots", "out/name..with..dots"},
      {"...", "out/..."},
      {"../evil", nullptr},
      {"a/../../evil", nullptr},
      {"a\\..\\b", nullptr},
      {"..", nullptr},
      {"/etc/passwd", nullptr},
      {"\\\\server\\share", nullptr},
      {"C:\\windows", nullptr},
      {"c:relative", nullptr},
      {"", nullptr},
      {".", nullptr},
      {"./", nullptr},
      {std::string("a\0b", 3), nullptr},
  };
  for (const auto& c : cases) {
    const auto path = ExtractPath("out", c.name);
    if (c.expected == nullptr) {
      EXPECT_FALSE(path.has_value()) << c.name;
    } else {
      ASSERT_TRUE(path.has_value()) << c.name;
      EXPECT_EQ(path->string(), c.expected);
    }
  }
}

TEST(JsonString, UTF8PassesAndOnlyWhatIsNotTextIsEscaped) {
  const struct {
    std::string text;
    const char* json;
  } cases[] = {
      {"plain name.tga", R"("plain name.tga")"},
      {"quote \" and \\", R"("quote \" and \\")"},
      {"tab\tline\n\x7f", R"("tab\u0009line\u000a\u007f")"},
      {std::string("nul\0", 4), R"("nul\u0000")"},
      {"Stra\xC3\x9F"
       "e \xE2\x82\xAC \xF0\x9F\x8C\x8D",
       "\"Stra\xC3\x9F"
       "e \xE2\x82\xAC \xF0\x9F\x8C\x8D\""},
      {"\xEF\xBF\xBF\xF4\x8F\xBF\xBF",
       "\"\xEF\xBF\xBF\xF4\x8F\xBF\xBF\""}, // the highest of each length
      {"latin-1 \xE9t\xE9", R"("latin-1 \udce9t\udce9")"},
      {"\x80\xBF", R"("\udc80\udcbf")"},                                 // stray continuations
      {"\xC0\xAF \xE0\x80\xAF", R"("\udcc0\udcaf \udce0\udc80\udcaf")"}, // overlong "/"
      {"\xED\xA0\x80", R"("\udced\udca0\udc80")"},                       // a surrogate
      {"\xF4\x90\x80\x80", R"("\udcf4\udc90\udc80\udc80")"},             // past U+10FFFF
      {"\xF5\xFE\xFF", R"("\udcf5\udcfe\udcff")"},
      {"cut \xE2\x82", R"("cut \udce2\udc82")"}, // cut short at the end
      {"\xE2\x82x", R"("\udce2\udc82x")"},       // cut short by ASCII
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JsonString(c.text), c.json) << c.text;
  }
}

// A JPEG whose metadata comes before its frame header: the content test needs to read past it.
TEST(ImageKind, PicturesRecognisedByContentFarIntoTheFile) {
  testing::TemporaryFolder folder;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 24, SDL_PIXELFORMAT_RGB24);
  ASSERT_NE(surface, nullptr);
  SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 200, 100, 50));
  std::vector<char> jpeg(1 << 16);
  SDL_RWops* writer = SDL_RWFromMem(jpeg.data(), int(jpeg.size()));
  ASSERT_EQ(IMG_SaveJPG_RW(surface, writer, 0, 90), 0) << IMG_GetError();
  jpeg.resize(size_t(SDL_RWtell(writer)));
  SDL_RWclose(writer);
  SDL_FreeSurface(surface);
  ASSERT_GT(jpeg.size(), 2u);
  // An EXIF block of the largest size a segment can have, right after the start-of-image mark.
  std::string exif = "\xFF\xE1\xFF\xFF"
                     "Exif";
  exif.append(2, '\0');
  exif.resize(2 + 0xFFFF, '\0');
  std::string file(jpeg.begin(), jpeg.begin() + 2);
  file += exif;
  file.append(jpeg.begin() + 2, jpeg.end());
  const std::string path = folder / "photo"; // no extension to fall back on
  std::ofstream(path, std::ios::binary) << file;

  ASSERT_TRUE(IsImage(path));
  std::ostringstream out, err;
  InspectOptions options;
  options.json = true;
  EXPECT_EQ(DescribeImage(path, options, out, err), 0) << err.str();
  EXPECT_NE(out.str().find(R"("decoder":"jpeg","by":"content","width":8,"height":8)"),
            std::string::npos)
      << out.str();
}

} // namespace
} // namespace meridia::inspect
