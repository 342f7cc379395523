#pragma once
// The remaining-time text shown while a clip records.
//
// Pure; any thread.

#include <string>

namespace klik {

// "%02i:%04.1f": whole minutes and seconds (modulo 60) of `limit - elapsed`,
// never below zero. `limit` is the recording length in force (see
// readMaxRecordingLength).
std::string recordingClockText(double elapsedSeconds, double limitSeconds);

}  // namespace klik
