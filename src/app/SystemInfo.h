// The machine description of the statistics overlay: processor, memory, operating system and
// video adapter, read afresh on every call from the kernel's own files and the OpenGL driver.
// Nothing is cached and nothing fails: a missing source gives the documented fall-back text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace meridia {

// "model name" of the first processor; else vendor and identifier joined by " - "; else
// "Unknown processor".
std::string GetProcessorName();
// Total physical memory in MiB, rounded half to even, followed by " Mb".
std::string GetMemoryText();
// The distribution's name from os-release ("Linux" when it names none).
std::string GetOSName();
// The kernel release.
std::string GetOSBuild();
// The operating-system record the two above report, taken once by the first module at process
// start, as the runtime records the system's version; without it they read the system live.
void RecordOSVersion();
void ForgetOSVersion();
bool OSVersionRecorded();
// Renderer + " (driver " + version [+ " - RAM " + MiB + " MB"] + ")"; reads the current OpenGL
// context, and gives " (driver )" without one.
std::string GetVideoText();

// The pieces above, on texts and numbers instead of the live system.

// The first processor's block of /proc/cpuinfo text.
std::string ProcessorNameFromCpuInfo(std::string_view cpuinfo);
// MemTotal of /proc/meminfo text, in bytes.
std::optional<uint64_t> MemTotalFromMemInfo(std::string_view meminfo);
std::string MemoryTextFromBytes(uint64_t bytes);
// PRETTY_NAME, else NAME, of os-release text; empty when it has neither.
std::string OSNameFromOsRelease(std::string_view os_release);
std::string VideoTextFrom(std::string_view adapter, std::string_view driver_version,
                          uint64_t memory_bytes);
// The system's UTF-8 texts as the program's 8-bit (Windows-1252) ones; a character without an
// 8-bit form becomes "?".
std::string Utf8ToAnsi(std::string_view text);

} // namespace meridia
