// The program is built once and runs as one of two variants, which differ only in the height
// function. Each program's main sets the variant before anything else runs.
#pragma once

namespace meridia {

enum class ProgramVariant { kStandard, kDetail };

inline ProgramVariant g_program_variant = ProgramVariant::kStandard;

inline void SetProgramVariant(ProgramVariant variant) {
  g_program_variant = variant;
}
inline ProgramVariant CurrentProgramVariant() {
  return g_program_variant;
}

} // namespace meridia
