// The folder of the user's own data files: the saved hardware settings, the profiles, the fan
// speed reference, the monitor logs and the remote state files. The program makes it its current
// folder, so these files never land beside the program (which an installed program cannot write,
// and which every user of a build tree would share).
#pragma once

#include <string>

namespace qv::platform {

// Names the data folder outright: for tests, and for a portable copy kept on a stick.
inline constexpr const char* kDataFolderEnvironment = "QUORVEL_DATA_DIR";
inline constexpr const char* kDataFolderName = "quorvel";

// The data folder from the environment's values (each may be null): `override` when it is not
// empty; else `<xdgDataHome>/quorvel` when that is an absolute path; else
// `<home>/.local/share/quorvel` when home is an absolute path; else empty.
std::string dataFolderFrom(const char* override, const char* xdgDataHome, const char* home);

// The home folder of the user running the program: HOME when it is an absolute path, else the
// password database's entry; empty when neither names one.
std::string homeFolder();

// The data folder of the user running the program, from QUORVEL_DATA_DIR, XDG_DATA_HOME and
// HOME (the password database when HOME is unset); empty when none can be named.
std::string userDataFolder();

// Makes `folder` (and its missing parents) with owner-only permissions when it is missing.
// 0 or an errno.
int makeDataFolder(const std::string& folder);

}  // namespace qv::platform
