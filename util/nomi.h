// The program's and its host's fixed names, for every layer's messages.
#pragma once

namespace bv {

inline constexpr const char* kTitoloProgramma = "BVBackup";
inline constexpr const char* kHost = "Brelvano";

}  // namespace bv
