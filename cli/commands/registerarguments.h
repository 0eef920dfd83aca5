// Register addresses, values and counts as typed after a command, checked before anything is
// sent: each throws UsageError with the word it refuses.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

namespace larkspur::cli {

// Register addresses and values travel in one byte each: 0x111 would reach register 0x11.
inline constexpr std::int32_t kLastRegisterAddress = std::numeric_limits<std::uint8_t>::max();
inline constexpr std::int32_t kLargestValue = std::numeric_limits<std::uint8_t>::max();

// A number as people write it ("17", "0x11"); `what` names it in the refusal.
std::int32_t numberArgument(const std::string& text, const char* what);
// A register address, 0 to 0xFF.
std::int32_t registerArgument(const std::string& text);
// A register value, 0 to 255.
std::uint8_t valueArgument(const std::string& text);
// Refuses `count` registers from `first` on that would go beyond the last address.
void requireRegistersUpTo(std::int32_t first, std::int32_t count);

} // namespace larkspur::cli
