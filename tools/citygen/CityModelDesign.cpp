#include "CityModelDesign.h"

#include "engine/Strings.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <set>

// The block, seen from above (x east, y north, decimetres), on a plinth 60 m by 40 m:
//
//   B4 brick, gabled        B5 concrete, 15 m
//   B1 glass tower, 45 m    B2 brick, gabled     B3 concrete, 24 m
//
// Walls are textured one window bay (3 m by 3 m) per texture repeat; every building has a door
// on its south wall, drawn as its own quad just in front of the wall. The gable ends are
// pentagons, so the file holds n-gons as well as quads and triangles. Materials come back in
// later groups (brick, doors, flat roofs), so a loader that merges by material gets fewer shapes
// than groups. The doors use relative indices, as some exporters write them.

namespace meridia::citygen {
namespace {

struct P3 {
  double x, y, z;
};
struct UV {
  double u, v;
};

constexpr double kBay = 30;   // one window bay, 3 m
constexpr double kPlinth = 3; // the plinth's top, 0.3 m

// Appends the words, one blank between them, and a line end.
void Line(std::string& out, std::initializer_list<std::string_view> words) {
  bool first = true;
  for (const std::string_view word : words) {
    if (!first) {
      out.push_back(' ');
    }
    out.append(word);
    first = false;
  }
  out.push_back('\n');
}

class ObjWriter {
public:
  std::string obj;
  int32_t groups = 0, faces = 0, triangles = 0;
  std::set<std::string> materials;

  void Group(std::string_view name) {
    Line(obj, {"g", name});
    ++groups;
  }
  void Use(std::string_view material) {
    Line(obj, {"usemtl", material});
    materials.insert(std::string(material));
  }
  // A convex face, counter-clockwise seen from outside; its normal by Newell's method.
  void Face(const std::vector<P3>& p, const std::vector<UV>& uv, bool relative = false) {
    double nx = 0, ny = 0, nz = 0;
    for (size_t i = 0; i < p.size(); ++i) {
      const P3& a = p[i];
      const P3& b = p[(i + 1) % p.size()];
      nx += (a.y - b.y) * (a.z + b.z);
      ny += (a.z - b.z) * (a.x + b.x);
      nz += (a.x - b.x) * (a.y + b.y);
    }
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    for (size_t i = 0; i < p.size(); ++i) {
      Line(obj, {"v", Num(p[i].x), Num(p[i].y), Num(p[i].z)});
      Line(obj, {"vt", Num(uv[i].u), Num(uv[i].v)});
    }
    Line(obj, {"vn", Num(nx / length), Num(ny / length), Num(nz / length)});
    ++normals_;
    obj += "f";
    const int32_t n = static_cast<int32_t>(p.size());
    for (int32_t i = 0; i < n; ++i) {
      const std::string index = std::to_string(relative ? i - n : vertices_ + i + 1);
      const std::string normal = std::to_string(relative ? -1 : normals_);
      obj.append(" ").append(index).append("/").append(index).append("/").append(normal);
    }
    obj += "\n";
    vertices_ += n;
    ++faces;
    triangles += n - 2;
  }

private:
  static std::string Num(double v) {
    std::string s = FloatToStrFixed(v, 4);
    while (s.find('.') != std::string::npos && (s.back() == '0' || s.back() == '.')) {
      s.pop_back();
    }
    return s == "-0" ? "0" : s;
  }
  int32_t vertices_ = 0;
  int32_t normals_ = 0;
};

// Walls along a footprint given counter-clockwise from above, from z0 to z1.
void Walls(ObjWriter& w, const std::vector<UV>& footprint, double z0, double z1) {
  double along = 0;
  for (size_t i = 0; i < footprint.size(); ++i) {
    const UV& a = footprint[i];
    const UV& b = footprint[(i + 1) % footprint.size()];
    const double length = std::hypot(b.u - a.u, b.v - a.v);
    const double u0 = along / kBay, u1 = (along + length) / kBay;
    const double v0 = (z0 - kPlinth) / kBay, v1 = (z1 - kPlinth) / kBay;
    w.Face({{a.u, a.v, z0}, {b.u, b.v, z0}, {b.u, b.v, z1}, {a.u, a.v, z1}},
           {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}});
    along += length;
  }
}

std::vector<UV> Rect(double x0, double y0, double x1, double y1) {
  return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

void FlatRoof(ObjWriter& w, double x0, double y0, double x1, double y1, double z) {
  const double s = 1.0 / 40; // one gravel tile every 4 m
  w.Face({{x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x0, y1, z}},
         {{x0 * s, y0 * s}, {x1 * s, y0 * s}, {x1 * s, y1 * s}, {x0 * s, y1 * s}});
}

void Door(ObjWriter& w, double x_centre, double y_wall) {
  const double y = y_wall - 1, x0 = x_centre - 7, x1 = x_centre + 7;
  const double z0 = kPlinth, z1 = kPlinth + 24;
  w.Face({{x0, y, z0}, {x1, y, z0}, {x1, y, z1}, {x0, y, z1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}},
         true);
}

// A box whose roof rises from the eaves at height eave to a ridge along x: quads on the long
// sides, pentagons at the gable ends, two sloped roof quads overhanging by 0.5 m.
void GabledHouse(ObjWriter& w, const std::string& name, std::string_view wall, double x0, double y0,
                 double x1, double y1, double eave, double ridge) {
  const double ym = (y0 + y1) / 2;
  const double z0 = kPlinth, ze = kPlinth + eave, zr = kPlinth + ridge;
  const double v0 = 0, ve = eave / kBay, vr = ridge / kBay;
  w.Group(std::string(name).append("_walls"));
  w.Use(wall);
  const double lx = (x1 - x0) / kBay, ly = (y1 - y0) / kBay, lm = (ym - y0) / kBay;
  w.Face({{x0, y0, z0}, {x1, y0, z0}, {x1, y0, ze}, {x0, y0, ze}},
         {{0, v0}, {lx, v0}, {lx, ve}, {0, ve}});
  w.Face({{x1, y0, z0}, {x1, y1, z0}, {x1, y1, ze}, {x1, ym, zr}, {x1, y0, ze}},
         {{0, v0}, {ly, v0}, {ly, ve}, {lm, vr}, {0, ve}});
  w.Face({{x1, y1, z0}, {x0, y1, z0}, {x0, y1, ze}, {x1, y1, ze}},
         {{0, v0}, {lx, v0}, {lx, ve}, {0, ve}});
  w.Face({{x0, y1, z0}, {x0, y0, z0}, {x0, y0, ze}, {x0, ym, zr}, {x0, y1, ze}},
         {{0, v0}, {ly, v0}, {ly, ve}, {lm, vr}, {0, ve}});
  w.Group(std::string(name).append("_roof"));
  w.Use("Roof_Tiles");
  // The overhang drops the eave by the roof's own slope, so the planes stay flat.
  const double o = 5, drop = o * (ridge - eave) / (ym - y0);
  const double ax0 = x0 - o, ax1 = x1 + o, s = 1.0 / 20;
  const double slope = std::hypot(ym - y0 + o, ridge - eave + drop) * s;
  w.Face({{ax0, y0 - o, ze - drop}, {ax1, y0 - o, ze - drop}, {ax1, ym, zr}, {ax0, ym, zr}},
         {{ax0 * s, 0}, {ax1 * s, 0}, {ax1 * s, slope}, {ax0 * s, slope}});
  w.Face({{ax1, y1 + o, ze - drop}, {ax0, y1 + o, ze - drop}, {ax0, ym, zr}, {ax1, ym, zr}},
         {{ax1 * s, 0}, {ax0 * s, 0}, {ax0 * s, slope}, {ax1 * s, slope}});
}

void FlatBuilding(ObjWriter& w, const std::string& name, std::string_view wall, double x0,
                  double y0, double x1, double y1, double height) {
  w.Group(std::string(name).append("_walls"));
  w.Use(wall);
  Walls(w, Rect(x0, y0, x1, y1), kPlinth, kPlinth + height);
  w.Group(std::string(name).append("_roof"));
  w.Use("Roof_Flat");
  FlatRoof(w, x0, y0, x1, y1, kPlinth + height);
}

// ---- Textures: 64 by 64, bottom row first, blue-green-red ---------------------------------

constexpr int kSize = 64;

struct Rgb {
  double r, g, b;
};

// A value in [0, 1) from a position, without the shared generator.
double Hash(int x, int y, int salt) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
               static_cast<uint32_t>(salt) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return static_cast<double>(h ^ (h >> 16)) / 4294967296.0;
}

TTGAImage Paint(const std::function<Rgb(int, int)>& pixel) {
  TTGAImage image;
  image.Header.ImageType = 2;
  image.Header.Width = kSize;
  image.Header.Height = kSize;
  image.Header.PixelDepth = 24;
  image.SetPixelBuffer(kSize, kSize, 3);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const Rgb c = pixel(x, y);
      uint8_t* p = &image.Pixels[static_cast<size_t>((y * kSize + x) * 3)];
      p[0] = static_cast<uint8_t>(std::clamp(c.b, 0.0, 255.0));
      p[1] = static_cast<uint8_t>(std::clamp(c.g, 0.0, 255.0));
      p[2] = static_cast<uint8_t>(std::clamp(c.r, 0.0, 255.0));
    }
  }
  return image;
}

Rgb Shade(const Rgb& c, double f) {
  return {c.r * f, c.g * f, c.b * f};
}

bool Inside(int x, int y, int x0, int y0, int x1, int y1) {
  return x >= x0 && x < x1 && y >= y0 && y < y1;
}

// A window with a white frame and a sky-tinted pane, lighter towards the top.
Rgb Window(int x, int y, int x0, int y0, int x1, int y1, const Rgb& wall) {
  if (!Inside(x, y, x0, y0, x1, y1)) {
    return wall;
  }
  if (!Inside(x, y, x0 + 2, y0 + 2, x1 - 2, y1 - 2) || x == (x0 + x1) / 2) {
    return {225, 222, 212};
  }
  const double t = static_cast<double>(y - y0) / (y1 - y0);
  return {60 + 70 * t, 80 + 70 * t, 105 + 75 * t};
}

TTGAImage BrickWindows() {
  return Paint([](int x, int y) {
    const int course = y / 4, offset = (course % 2) * 4;
    const bool mortar = y % 4 == 3 || (x + offset) % 8 == 7;
    const double n = Hash((x + offset) / 8, course, 1);
    const Rgb brick = mortar ? Rgb{170, 160, 150} : Rgb{150 + 40 * n, 62 + 18 * n, 45 + 10 * n};
    return Window(x, y, 18, 14, 46, 52, brick);
  });
}

TTGAImage ConcreteWindows() {
  return Paint([](int x, int y) {
    const double n = Hash(x, y, 2) * 14;
    const Rgb wall{186 + n, 182 + n, 172 + n};
    return Window(x, y, 6, 18, 58, 50, y < 6 ? Shade(wall, 0.85) : wall);
  });
}

TTGAImage Glass() {
  return Paint([](int x, int y) {
    if (x < 3 || y < 3) {
      return Rgb{92, 98, 104}; // mullions and the floor band
    }
    const double t = static_cast<double>(x + y) / (2 * kSize);
    return Rgb{70 + 60 * t, 110 + 60 * t, 140 + 60 * t};
  });
}

TTGAImage Gravel() {
  return Paint([](int x, int y) {
    const double n = Hash(x, y, 3) * 50;
    return Rgb{105 + n, 103 + n, 98 + n};
  });
}

TTGAImage Tiles() {
  return Paint([](int x, int y) {
    const int row = y / 8, offset = (row % 2) * 4;
    const double shade = 0.75 + 0.25 * (y % 8) / 7.0 - (((x + offset) % 8 == 0) ? 0.2 : 0.0);
    const double n = Hash((x + offset) / 8, row, 4) * 25;
    return Shade(Rgb{165 + n, 70 + n / 2, 50}, shade);
  });
}

TTGAImage DoorPicture() {
  return Paint([](int x, int y) {
    if (x < 4 || x >= 60 || y >= 60) {
      return Rgb{230, 228, 220}; // the frame
    }
    if (Inside(x, y, 46, 26, 51, 31)) {
      return Rgb{210, 180, 60}; // the handle
    }
    const bool panel = Inside(x, y, 10, 8, 54, 26) || Inside(x, y, 10, 32, 54, 54);
    const double grain = Hash(x / 3, y, 5) * 12;
    return panel ? Rgb{98 + grain, 56 + grain, 30} : Rgb{118 + grain, 70 + grain, 38};
  });
}

TTGAImage Pavement() {
  return Paint([](int x, int y) {
    if (x % 32 == 0 || y % 32 == 0) {
      return Rgb{120, 118, 112};
    }
    const double n = Hash(x, y, 6) * 18;
    return Rgb{168 + n, 165 + n, 158 + n};
  });
}

} // namespace

CityModel BuildCityModel(std::string_view name) {
  CityModel model;
  const std::string base = std::string("Bld_").append(name);
  model.ObjName = std::string(base).append(".obj");
  model.MtlName = std::string(base).append(".mtl");

  ObjWriter w;
  Line(w.obj, {"# City block", name, "- five buildings on a paved plinth."});
  Line(w.obj, {"# Z up, decimetres; written by meridia-citygen."});
  Line(w.obj, {"mtllib", model.MtlName});
  // The plinth: its top and its four sides, down to z = 0.
  w.Group("plinth");
  w.Use("Pavement");
  const double s = 1.0 / 64;
  w.Face({{-300, -200, kPlinth}, {300, -200, kPlinth}, {300, 200, kPlinth}, {-300, 200, kPlinth}},
         {{-300 * s, -200 * s}, {300 * s, -200 * s}, {300 * s, 200 * s}, {-300 * s, 200 * s}});
  Walls(w, Rect(-300, -200, 300, 200), 0, kPlinth);

  FlatBuilding(w, "b1", "Facade_Glass", -270, -170, -130, -30, 450);
  w.Group("b1_door");
  w.Use("Door");
  Door(w, -200, -170);

  GabledHouse(w, "b2", "Facade_Brick", -100, -180, 140, -60, 90, 150);
  w.Group("b2_door");
  w.Use("Door");
  Door(w, 20, -180);

  FlatBuilding(w, "b3", "Facade_Concrete", 170, -170, 280, -10, 240);

  // One group holding three materials, switched inside it.
  w.Group("b4");
  w.Use("Facade_Brick");
  Walls(w, Rect(-270, 20, -110, 180), kPlinth, kPlinth + 120);
  w.Use("Roof_Flat");
  FlatRoof(w, -270, 20, -110, 180, kPlinth + 120);
  w.Use("Door");
  Door(w, -190, 20);

  GabledHouse(w, "b5", "Facade_Concrete", -70, 40, 260, 170, 150, 200);
  w.Group("b5_door");
  w.Use("Door");
  Door(w, 100, 40);
  Door(w, 200, 40);
  // The door of b3, late: "Door" comes back after other materials once more.
  w.Group("b3_door");
  Door(w, 225, -170);

  model.Obj = std::move(w.obj);
  model.Groups = w.groups;
  model.Faces = w.faces;
  model.Triangles = w.triangles;
  model.Materials = static_cast<int32_t>(w.materials.size());

  // One texture named with its extension and one without, as exporters write both.
  const struct {
    const char* material;
    const char* map;
    const char* file;
    TTGAImage (*paint)();
  } kMaterials[] = {
      {"Pavement", "pavement.tga", "pavement.tga", Pavement},
      {"Facade_Glass", "glass.tga", "glass.tga", Glass},
      {"Facade_Brick", "brick_windows.tga", "brick_windows.tga", BrickWindows},
      {"Facade_Concrete", "concrete_windows", "concrete_windows.tga", ConcreteWindows},
      {"Roof_Flat", "gravel.tga", "gravel.tga", Gravel},
      {"Roof_Tiles", "roof_tiles.tga", "roof_tiles.tga", Tiles},
      {"Door", "door.tga", "door.tga", DoorPicture},
  };
  Line(model.Mtl, {"# Materials of", model.ObjName});
  for (const auto& m : kMaterials) {
    model.Mtl.push_back('\n');
    Line(model.Mtl, {"newmtl", m.material});
    model.Mtl.append("Ns 10\nKa 1 1 1\nKd 0.8 0.8 0.8\nKs 0.1 0.1 0.1\nd 1\nillum 2\n");
    Line(model.Mtl, {"map_Kd", m.map});
    model.Textures.push_back({m.file, m.paint()});
  }
  return model;
}

bool WriteCityModel(const CityModel& model, const std::string& folder) {
  std::string prefix = folder;
  if (!prefix.empty() && prefix.back() != '/') {
    prefix.push_back('/');
  }
  for (const auto& [name, text] :
       {std::pair{&model.ObjName, &model.Obj}, std::pair{&model.MtlName, &model.Mtl}}) {
    std::ofstream out(prefix + *name, std::ios::binary | std::ios::trunc);
    out << *text;
    if (!out.good()) {
      return false;
    }
  }
  for (const TextureFile& texture : model.Textures) {
    if (!texture.Image.SaveToFile(prefix + texture.Name)) {
      return false;
    }
  }
  return true;
}

} // namespace meridia::citygen
