// Files written whole: the data goes to a temporary file beside the target, which is then
// renamed over it, so that a reader or a crash never sees half a file.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace qv::platform {

// Writes `data` as the whole content of `path` with the given permission bits (before the
// umask). Returns 0, or the errno of the step that failed; the old file is then untouched.
int writeFileAtomically(const std::string& path, std::string_view data, mode_t mode);

// Reads at most `limit` bytes of the file. Returns 0, ENOENT when there is none, EFBIG when the
// file is longer than `limit`, or another errno.
int readSmallFile(const std::string& path, size_t limit, std::string& data);

// Renames `path` to "<path>.<tag>-YYYYMMDD-HHMMSS" (local time; "-2", "-3", … added when that
// name is taken), never replacing another file. Returns 0 with the new name in `movedTo`, or an
// errno (ENOENT when there was nothing to move).
int moveAside(const std::string& path, const std::string& tag, std::string& movedTo);

// Creates the folder and its missing parents with the given permission bits. 0 or an errno.
int makeFolders(const std::string& folder, mode_t mode);

}  // namespace qv::platform
