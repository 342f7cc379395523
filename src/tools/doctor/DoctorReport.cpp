#include "tools/doctor/DoctorReport.h"

#include <algorithm>
#include <cstdio>

namespace klik::doctor {

void Report::ok(const std::string& topic, const std::string& detail) {
    findings_.push_back({Status::Ok, topic, detail, {}});
}
void Report::problem(const std::string& topic, const std::string& detail,
                     std::vector<std::string> fixes) {
    findings_.push_back({Status::Problem, topic, detail, std::move(fixes)});
}
void Report::note(const std::string& topic, const std::string& detail) {
    findings_.push_back({Status::Note, topic, detail, {}});
}

int Report::problemCount() const {
    return int(std::count_if(findings_.begin(), findings_.end(),
                             [](const Finding& f) { return f.status == Status::Problem; }));
}

bool Report::allWell() const {
    return problemCount() == 0;
}

std::string Report::text() const {
    std::string out;
    char line[64];
    for (const Finding& f : findings_) {
        const char* tag = f.status == Status::Ok        ? "ok"
                          : f.status == Status::Problem ? "PROBLEM"
                                                        : "note";
        std::snprintf(line, sizeof line, "%-8s %-13s ", tag, f.topic.c_str());
        out += line;
        out += f.detail;
        out += '\n';
        for (const std::string& fix : f.fixes)
            out += "         " + std::string(14, ' ') + "fix: " + fix + "\n";
    }
    const int n = problemCount();
    out += n == 0 ? "All is well.\n"
                  : std::to_string(n) + (n == 1 ? " problem" : " problems") +
                        " found: the kiosk may fail until mended.\n";
    return out;
}

}  // namespace klik::doctor
