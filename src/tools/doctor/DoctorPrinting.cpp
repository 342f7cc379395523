// The print queue, through CUPS.

#include <cups/cups.h>

#include "tools/doctor/DoctorChecks.h"

namespace klik::doctor {

void describeQueue(Report& r, const std::string& queue,
                   const std::map<std::string, std::string>& attributes, int activeJobs) {
    auto get = [&](const char* key) {
        auto it = attributes.find(key);
        return it == attributes.end() ? std::string() : it->second;
    };
    const std::string state = get("printer-state");
    const std::string reasons = get("printer-state-reasons");
    const bool accepting = get("printer-is-accepting-jobs") != "false";
    std::string detail = queue + ": " +
                         (state == "5"   ? "stopped"
                          : state == "4" ? "printing"
                          : state == "3" ? "idle"
                                         : "state " + (state.empty() ? "unknown" : state)) +
                         (accepting ? ", accepting jobs" : ", refusing jobs") + ", " +
                         std::to_string(activeJobs) + " job(s) waiting";
    if (!reasons.empty() && reasons != "none") detail += ", reasons: " + reasons;
    std::vector<std::string> fixes;
    if (state == "5") fixes.push_back("cupsenable " + queue);
    if (!accepting) fixes.push_back("cupsaccept " + queue);
    // A reason ending in "-error" stops printing (no paper, cover open, ...).
    bool error = false;
    for (size_t start = 0; start < reasons.size();) {
        size_t end = reasons.find(',', start);
        if (end == std::string::npos) end = reasons.size();
        const std::string reason = reasons.substr(start, end - start);
        if (reason.size() > 6 && reason.compare(reason.size() - 6, 6, "-error") == 0) error = true;
        start = end + 1;
    }
    if (error) fixes.push_back("see to the printer (paper, ink, cover), then: cupsenable " + queue);
    if (fixes.empty())
        r.ok("printing", detail);
    else
        r.problem("printing", detail, fixes);
}

void checkPrinting(Report& r, const std::string& wanted, bool autoPrint) {
    cups_dest_t* dests = nullptr;
    const int n = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    auto missing = [&](const std::string& what, std::vector<std::string> fixes) {
        if (autoPrint)
            r.problem("printing", what + " (automatic printing is on)", std::move(fixes));
        else
            r.note("printing", what + " (automatic printing is off)");
    };
    if (n == 0 && cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
        missing(std::string("the print service does not answer: ") + cupsLastErrorString(),
                {"sudo systemctl enable --now cups"});
        cupsFreeDests(n, dests);
        return;
    }
    cups_dest_t* dest = cupsGetDest(wanted.empty() ? nullptr : wanted.c_str(), nullptr, n, dests);
    if (!dest) {
        if (wanted.empty())
            missing("no default print queue", {"lpoptions -d QUEUE   (lpstat -e lists them)"});
        else
            missing("no print queue named " + wanted, {"lpstat -e   (lists the queues)"});
        cupsFreeDests(n, dests);
        return;
    }
    std::map<std::string, std::string> attributes;
    for (int i = 0; i < dest->num_options; ++i)
        attributes[dest->options[i].name] = dest->options[i].value;
    cups_job_t* jobs = nullptr;
    const int active = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, dest->name, 0, CUPS_WHICHJOBS_ACTIVE);
    describeQueue(r, dest->name, attributes, active < 0 ? 0 : active);
    cupsFreeJobs(active < 0 ? 0 : active, jobs);
    cupsFreeDests(n, dests);
}

}  // namespace klik::doctor
