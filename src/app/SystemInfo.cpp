#include "app/SystemInfo.h"

#include "engine/Strings.h"

#include <GL/gl.h>
#include <fcntl.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <array>
#include <cmath>

namespace meridia {
namespace {

#ifndef GL_GPU_MEMORY_INFO_DEDICATED_VIDMEM_NVX
#define GL_GPU_MEMORY_INFO_DEDICATED_VIDMEM_NVX 0x9047
#endif

// One read of at most kLimit bytes: /proc files are generated on demand, and the fields wanted
// sit at their beginning, so a small buffer keeps the per-frame cost to one short syscall.
template <size_t kLimit> std::string ReadFileHead(const char* path) {
  std::array<char, kLimit> buffer;
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return {};
  }
  size_t filled = 0;
  while (filled < buffer.size()) {
    const ssize_t got = ::read(fd, buffer.data() + filled, buffer.size() - filled);
    if (got <= 0) {
      break;
    }
    filled += static_cast<size_t>(got);
  }
  ::close(fd);
  return std::string(buffer.data(), filled);
}

// The next line of text, without its end; advances past it.
std::string_view NextLine(std::string_view& text) {
  const size_t end = text.find('\n');
  std::string_view line = text.substr(0, end);
  text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  return line;
}

// "key<blanks>: value" lines of the first blank-line-separated block, as /proc/cpuinfo writes
// one block per processor.
std::string CpuField(std::string_view cpuinfo, std::string_view key) {
  while (!cpuinfo.empty()) {
    const std::string_view line = NextLine(cpuinfo);
    if (Trim(line).empty()) {
      break;
    }
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos && Trim(line.substr(0, colon)) == key) {
      return Trim(line.substr(colon + 1));
    }
  }
  return {};
}

// An os-release value: shell-style quoting with backslash escapes inside double quotes.
std::string UnquoteValue(std::string_view raw) {
  const std::string trimmed = Trim(raw);
  const std::string_view value = trimmed;
  if (value.empty() || (value.front() != '"' && value.front() != '\'')) {
    return std::string(value);
  }
  const char quote = value.front();
  std::string result;
  for (size_t i = 1; i < value.size(); ++i) {
    const char c = value[i];
    if (c == quote) {
      break;
    }
    if (c == '\\' && quote == '"' && i + 1 < value.size()) {
      result.push_back(value[++i]);
    } else {
      result.push_back(c);
    }
  }
  return result;
}

std::string OsReleaseField(std::string_view text, std::string_view key) {
  while (!text.empty()) {
    const std::string_view line = NextLine(text);
    const size_t equals = line.find('=');
    if (equals != std::string_view::npos && Trim(line.substr(0, equals)) == key) {
      return UnquoteValue(line.substr(equals + 1));
    }
  }
  return {};
}

bool HasExtension(const char* extensions, std::string_view name) {
  if (extensions == nullptr) {
    return false;
  }
  const std::string_view all(extensions);
  for (size_t at = all.find(name); at != std::string_view::npos; at = all.find(name, at + 1)) {
    const bool starts = at == 0 || all[at - 1] == ' ';
    const size_t end = at + name.size();
    if (starts && (end == all.size() || all[end] == ' ')) {
      return true;
    }
  }
  return false;
}

std::string GLText(GLenum name) {
  const auto* text = reinterpret_cast<const char*>(glGetString(name));
  return text != nullptr ? std::string(text) : std::string();
}

} // namespace

std::string Utf8ToAnsi(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<uint8_t>(text[i]);
    if (lead < 0x80) {
      result.push_back(static_cast<char>(lead));
      ++i;
      continue;
    }
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    uint32_t code = length == 4 ? lead & 0x07u : length == 3 ? lead & 0x0Fu : lead & 0x1Fu;
    bool valid = length > 1 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<uint8_t>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3Fu);
    }
    i += valid ? length : 1;
    char byte = '?';
    if (valid && code >= 0xA0 && code <= 0xFF) {
      byte = static_cast<char>(code);
    } else if (valid) {
      // The few characters Windows-1252 keeps at 0x80..0x9F.
      for (int candidate = 0x80; candidate <= 0x9F; ++candidate) {
        const char c = static_cast<char>(candidate);
        if (AnsiToWide(std::string_view(&c, 1)) == std::wstring(1, static_cast<wchar_t>(code))) {
          byte = c;
          break;
        }
      }
    }
    result.push_back(byte);
  }
  return result;
}

std::string ProcessorNameFromCpuInfo(std::string_view cpuinfo) {
  std::string name = Utf8ToAnsi(CpuField(cpuinfo, "model name"));
  if (!name.empty()) {
    return name;
  }
  std::string vendor = CpuField(cpuinfo, "vendor_id");
  std::string identifier;
  if (!CpuField(cpuinfo, "cpu family").empty()) {
    identifier = "Family " + CpuField(cpuinfo, "cpu family") + " Model " +
                 CpuField(cpuinfo, "model") + " Stepping " + CpuField(cpuinfo, "stepping");
  }
  if (vendor.empty() && identifier.empty()) {
    // ARM kernels describe the core by implementer and part numbers instead.
    vendor = CpuField(cpuinfo, "CPU implementer");
    if (!CpuField(cpuinfo, "CPU part").empty()) {
      identifier = "CPU part " + CpuField(cpuinfo, "CPU part") + " revision " +
                   CpuField(cpuinfo, "CPU revision");
    }
  }
  std::string result = vendor;
  if (!vendor.empty() && !identifier.empty()) {
    result = vendor + " - " + identifier;
  }
  result = Utf8ToAnsi(result);
  return result.empty() ? "Unknown processor" : result;
}

std::optional<uint64_t> MemTotalFromMemInfo(std::string_view meminfo) {
  while (!meminfo.empty()) {
    const std::string_view line = NextLine(meminfo);
    if (line.substr(0, 9) != "MemTotal:") {
      continue;
    }
    std::string_view rest = line.substr(9);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) {
      rest.remove_prefix(1);
    }
    uint64_t kib = 0;
    size_t digits = 0;
    for (; digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9'; ++digits) {
      if (kib > (UINT64_MAX >> 10) / 10) {
        return std::nullopt; // more memory than 64 bits of bytes can count
      }
      kib = kib * 10 + static_cast<uint64_t>(rest[digits] - '0');
    }
    if (digits == 0 || Trim(rest.substr(digits)) != "kB") {
      return std::nullopt;
    }
    return kib * 1024;
  }
  return std::nullopt;
}

std::string MemoryTextFromBytes(uint64_t bytes) {
  // nearbyint rounds halves to even in the default rounding mode.
  const double mib = std::nearbyint(static_cast<double>(bytes) / 1048576.0);
  return IntToStr(static_cast<int64_t>(mib)) + " Mb";
}

std::string OSNameFromOsRelease(std::string_view os_release) {
  std::string name = OsReleaseField(os_release, "PRETTY_NAME");
  if (name.empty()) {
    name = OsReleaseField(os_release, "NAME");
  }
  return Utf8ToAnsi(name);
}

std::string VideoTextFrom(std::string_view adapter, std::string_view driver_version,
                          uint64_t memory_bytes) {
  std::string text = Trim(Utf8ToAnsi(adapter)) + " (driver " + Utf8ToAnsi(driver_version);
  if (memory_bytes != 0) {
    text += " - RAM " + IntToStr(static_cast<int64_t>(memory_bytes >> 20)) + " MB";
  }
  return text + ")";
}

std::string GetProcessorName() {
  return ProcessorNameFromCpuInfo(ReadFileHead<4096>("/proc/cpuinfo"));
}

std::string GetMemoryText() {
  std::optional<uint64_t> bytes = MemTotalFromMemInfo(ReadFileHead<256>("/proc/meminfo"));
  if (!bytes) {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long page_size = ::sysconf(_SC_PAGE_SIZE);
    bytes = pages > 0 && page_size > 0
                ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size)
                : 0;
  }
  return MemoryTextFromBytes(*bytes);
}

namespace {

std::string ReadOSName() {
  // os-release(5): /etc first, the vendor's copy in /usr/lib when /etc has none.
  std::string text = ReadFileHead<4096>("/etc/os-release");
  if (text.empty()) {
    text = ReadFileHead<4096>("/usr/lib/os-release");
  }
  std::string name = OSNameFromOsRelease(text);
  return name.empty() ? "Linux" : name;
}

std::string ReadOSBuild() {
  struct utsname names {};
  if (::uname(&names) != 0) {
    return {};
  }
  return names.release;
}

struct OSVersion {
  std::string name;
  std::string build;
};
std::optional<OSVersion> g_os_version;

} // namespace

void RecordOSVersion() {
  g_os_version = OSVersion{ReadOSName(), ReadOSBuild()};
}

void ForgetOSVersion() {
  g_os_version.reset();
}

bool OSVersionRecorded() {
  return g_os_version.has_value();
}

std::string GetOSName() {
  return g_os_version ? g_os_version->name : ReadOSName();
}

std::string GetOSBuild() {
  return g_os_version ? g_os_version->build : ReadOSBuild();
}

std::string GetVideoText() {
  uint64_t memory_bytes = 0;
  const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  if (HasExtension(extensions, "GL_NVX_gpu_memory_info")) {
    GLint kib = 0;
    glGetIntegerv(GL_GPU_MEMORY_INFO_DEDICATED_VIDMEM_NVX, &kib);
    memory_bytes = kib > 0 ? static_cast<uint64_t>(kib) * 1024 : 0;
  }
  return VideoTextFrom(GLText(GL_RENDERER), GLText(GL_VERSION), memory_bytes);
}

} // namespace meridia
