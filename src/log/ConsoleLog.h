#pragma once
// The console line form for standard error: "<date> <process>[<pid>:<tid>]
// <message>". Used for the few lines that are meant for the console rather
// than the log's own format (the redirect notice, the start-up banner).

#include <string>

namespace klik {

// Writes one console line to standard error with a single write. Any thread;
// does not block beyond the write.
void consoleLog(const std::string& message);

}  // namespace klik
