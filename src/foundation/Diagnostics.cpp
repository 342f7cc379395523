#include "foundation/Diagnostics.h"

#include <cstdio>
#include <mutex>

namespace klik {

namespace {
std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}
DiagnosticSink& sinkRef() {
    static DiagnosticSink s;
    return s;
}
}  // namespace

void setDiagnosticSink(DiagnosticSink sink) {
    std::lock_guard lock(sinkMutex());
    sinkRef() = std::move(sink);
}

void diagnostic(const std::string& line) {
    DiagnosticSink sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = sinkRef();
    }
    if (sink)
        sink(line);
    else
        std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace klik
