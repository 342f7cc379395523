#pragma once
// The foundation reports its own problems (an unreadable settings file, a
// failed save) through one sink. The log installs itself here at start-up;
// until then lines go to standard error.

#include <functional>
#include <string>

namespace klik {

using DiagnosticSink = std::function<void(const std::string& line)>;

// Replaces the sink; an empty function restores standard error. Thread-safe.
void setDiagnosticSink(DiagnosticSink sink);
// Reports one line through the current sink. Thread-safe.
void diagnostic(const std::string& line);

}  // namespace klik
