// Digital attenuation: register values, track positions and decibel texts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace larkspur {

inline constexpr int kReferencePosition = 255; // 0 dB
inline constexpr int kTrackMaximum = 255;
inline constexpr int kFineMinimum = 129; // 0 to -63.0 dB in 0.5 dB steps
inline constexpr int kWideMinimum = 155; // 0 to -100 dB in 1 dB steps

// Track steps per decibel: 2 in fine mode (0.5 dB steps), 1 in wide mode.
inline constexpr int stepsPerDecibel(bool wide) {
    return wide ? 1 : 2;
}

// The lowest track position in fine (item 0) or wide (item 1) mode.
inline constexpr int trackMinimum(bool wide) {
    return wide ? kWideMinimum : kFineMinimum;
}

// (reference - value) steps of -0.5 dB (fine) or -1.0 dB (wide) in the "0.0" pattern: one
// decimal, a minus sign for negative values, never "-0.0", `separator` as decimal separator.
std::string decibelText(int reference, int value, bool wide, char separator);

// The track position for a typed attenuation `x` dB: clamped to what the track bar can show,
// then the position truncated toward zero, which is the step with more attenuation (-0.4 dB
// gives the position of -0.5 dB). `divisor` is 2 in fine mode and 1 in wide mode.
int typedPosition(float x, int minimum, int maximum, int reference, int divisor);

} // namespace larkspur
