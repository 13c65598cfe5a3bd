// The program's version, as the build names it.
#pragma once

namespace qv::platform {

#ifdef QV_VERSION_TEXT
inline constexpr const char* kVersionText = QV_VERSION_TEXT;
#else
inline constexpr const char* kVersionText = "unknown";
#endif

}  // namespace qv::platform
