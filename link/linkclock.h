// The link's clock: milliseconds on a monotonic clock, replaceable so that tests pass no real
// time.
#pragma once

namespace sundial {

using MillisecondClock = long long (*)();
long long steadyMilliseconds();

} // namespace sundial
