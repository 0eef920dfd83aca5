// Script and saved files as plain bytes: no decoding on the way in, no translation on the way out.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace larkspur {

// Something is there under `path` (a dangling link is nothing).
bool pathExists(const std::string& path);

// A script longer than this is no script (a million lines are some 12 MB): a source that never
// ends must not take the memory.
inline constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;

// Reads the whole file into `bytes`, up to and including the first NUL byte: a NUL makes its
// line no record, so a run stops there and nothing after it counts (a device such as /dev/zero
// still gives a finite text). Returns the system's reason when the file cannot be opened or
// read, or is longer than kMaxFileBytes.
std::optional<std::string> readFileBytes(const std::string& path, std::string& bytes);
// The same from a stream (a script on standard input).
std::optional<std::string> readStreamBytes(std::istream& in, std::string& bytes);

// Makes `path` hold exactly `bytes`. The bytes go to a new file beside the target, which is
// flushed to the disk and then renamed over the target: a save that fails or is interrupted at
// any point leaves the earlier file as it was. A link is followed and its target replaced; an
// existing file keeps its permissions. Returns the system's reason on failure.
std::optional<std::string> replaceFile(const std::string& path, std::string_view bytes);

} // namespace larkspur
