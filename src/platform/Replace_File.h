// Replacing a file whole: saves and the registry store are written beside their target
// under a fresh name and renamed over it, so the target is always either the old file or
// the whole new one, and a link planted beside it is never written through.
#pragma once

#include <cstddef>
#include <string>

namespace kelvane {

// Writes `size` bytes as the new contents of `target`. The bytes go to a temporary file
// in the target's folder, "TARGET.tmp" + the writer's process id + "-" + a random tag,
// created only when no file or link of that name exists; it is flushed to disk and renamed
// over the target. Temporary files of that naming left by writers that no longer run
// (killed while writing) are removed first. False when anything fails; the target is then
// untouched.
bool replace_file(const std::string& target, const void* data, size_t size);

} // namespace kelvane
