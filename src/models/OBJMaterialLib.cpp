#include "models/OBJMaterialLib.h"

#include "engine/StringList.h"
#include "engine/Strings.h"
#include "storage/DataManager.h"

namespace meridia {

std::string_view NextToken(std::string_view& line) {
  const size_t end = line.find_first_of(kOBJSeparators);
  if (end == std::string_view::npos) {
    const std::string_view token = line;
    line = {};
    return token;
  }
  const std::string_view token = line.substr(0, end);
  const size_t next = line.find_first_not_of(kOBJSeparators, end);
  line = next == std::string_view::npos ? std::string_view() : line.substr(next);
  return token;
}

void ReadFloats(std::string_view line, float* values, int count) {
  for (int i = 0; i < count && !line.empty(); ++i) {
    values[i] = static_cast<float>(StrToFloat0(NextToken(line)));
  }
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (fold(a[i]) != fold(b[i])) {
      return false;
    }
  }
  return true;
}

namespace {

void ReadColour(std::string_view rest, Vector4f& colour) {
  float values[4] = {0, 0, 0, 1};
  ReadFloats(rest, values, 4);
  colour = {values[0], values[1], values[2], values[3]};
}

float ReadFloat(std::string_view rest) {
  float value = 0;
  ReadFloats(rest, &value, 1);
  return value;
}

} // namespace

void TOBJMaterialLib::Load(std::string_view file_name) {
  FileName = std::string(file_name);
  Materials.clear();
  index_.clear();
  Found = FileExists(file_name);
  if (!Found) {
    return;
  }
  std::string text = LoadFileToString(file_name);
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.erase(0, 3); // a UTF-8 byte-order mark would hide the first "newmtl"
  }
  TzoStringList lines;
  lines.AddText(text, true);
  text = std::string();
  for (const TzoString& item : lines.Items) {
    const std::string trimmed = Trim(item.Text);
    std::string_view rest = trimmed;
    if (rest.empty()) {
      continue;
    }
    const std::string_view keyword = NextToken(rest);
    if (keyword == "newmtl") {
      // A name met again keeps pointing at its first material, which Find returns.
      index_.try_emplace(LowerCase(rest), Materials.size());
      Materials.emplace_back();
      Materials.back().Name = std::string(rest);
      continue;
    }
    if (Materials.empty()) {
      continue;
    }
    TOBJMaterial& m = Materials.back();
    if (keyword == "Ka") {
      ReadColour(rest, m.Ka);
    } else if (keyword == "Kd") {
      ReadColour(rest, m.Kd);
    } else if (keyword == "Ks") {
      ReadColour(rest, m.Ks);
    } else if (keyword == "illum") {
      m.Illum = StrToIntDef0(NextToken(rest));
    } else if (keyword == "Ns") {
      m.Ns = ReadFloat(rest);
    } else if (keyword == "map_Ka") {
      m.MapKa = std::string(rest);
    } else if (keyword == "map_Kd") {
      m.MapKd = std::string(rest);
    } else if (keyword == "map_Ks") {
      m.MapKs = std::string(rest);
    } else if (keyword == "map_Bump") {
      m.MapBump = std::string(rest);
    } else if (keyword == "map_d") {
      m.MapD = std::string(rest);
    } else if (keyword == "d") {
      m.D = ReadFloat(rest);
    } else if (keyword == "Ni") {
      m.Ni = ReadFloat(rest);
    }
  }
}

bool TOBJMaterialLib::Find(std::string_view name, TOBJMaterial& material) const {
  const auto found = index_.find(LowerCase(name));
  if (found == index_.end()) {
    return false;
  }
  if (found->second < Materials.size() &&
      SameTextIgnoringCase(Materials[found->second].Name, name)) {
    material = Materials[found->second];
    return true;
  }
  // Materials changed behind the index's back: the plain search still gives the right answer.
  for (const TOBJMaterial& m : Materials) {
    if (SameTextIgnoringCase(m.Name, name)) {
      material = m;
      return true;
    }
  }
  return false;
}

} // namespace meridia
