#include "video/RecordingClock.h"

#include <cmath>
#include <cstdio>

namespace klik {

std::string recordingClockText(double elapsedSeconds, double limitSeconds) {
    double remaining = limitSeconds - elapsedSeconds;
    if (!(remaining > 0)) remaining = 0;
    const int minutes = static_cast<int>(remaining / 60.0);
    const double seconds = std::fmod(remaining, 60.0);
    char text[32];
    std::snprintf(text, sizeof text, "%02i:%04.1f", minutes, seconds);
    return text;
}

}  // namespace klik
