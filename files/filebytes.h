// Script and saved files as plain bytes: no decoding on the way in, no translation on the way out.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace larkspur {

// Something is there under `path` (a dangling link is nothing).
bool pathExists(const std::string& path);

// Reads the whole file into `bytes`, stopping at the first NUL byte since nothing after it
// counts (so a device that never ends, such as /dev/zero, still gives a finite text). Returns
// the system's reason when the file cannot be opened or read.
std::optional<std::string> readFileBytes(const std::string& path, std::string& bytes);

// Makes `path` hold exactly `bytes`. The bytes go to a new file beside the target, which is
// flushed to the disk and then renamed over the target: a save that fails or is interrupted at
// any point leaves the earlier file as it was. A link is followed and its target replaced; an
// existing file keeps its permissions. Returns the system's reason on failure.
std::optional<std::string> replaceFile(const std::string& path, std::string_view bytes);

} // namespace larkspur
