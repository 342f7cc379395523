#include "ui/print/CupsQueue.h"

#include <cups/cups.h>

#include <algorithm>
#include <memory>

#include "log/Log.h"

namespace klik {

namespace {

struct IppDeleter {
    void operator()(ipp_t* p) const { ippDelete(p); }
};
using IppPtr = std::unique_ptr<ipp_t, IppDeleter>;

std::string queueUri(const std::string& queue) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", queue.c_str());
    return uri;
}

ipp_t* queueRequest(ipp_op_t op, const std::string& queue) {
    ipp_t* req = ippNewRequest(op);
    ippAddString(req, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 queueUri(queue).c_str());
    ippAddString(req, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return req;
}

bool succeeded() {
    return cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

// The spooler could not be reached at all (as opposed to refusing).
bool unreachable() {
    const ipp_status_t s = cupsLastError();
    return s == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE || s == IPP_STATUS_ERROR_INTERNAL;
}

std::vector<std::string> keywords(ipp_t* resp, const char* name) {
    std::vector<std::string> out;
    if (ipp_attribute_t* a = ippFindAttribute(resp, name, IPP_TAG_KEYWORD)) {
        for (int i = 0; i < ippGetCount(a); ++i) {
            const char* k = ippGetString(a, i, nullptr);
            if (k && std::string_view(k) != "none") out.emplace_back(k);
        }
    }
    return out;
}

std::string text(ipp_t* resp, const char* name) {
    ipp_attribute_t* a = ippFindAttribute(resp, name, IPP_TAG_ZERO);
    if (!a) return {};
    const char* s = ippGetString(a, 0, nullptr);
    return s ? s : "";
}

std::vector<std::string> strings(ipp_t* resp, const char* name) {
    std::vector<std::string> out;
    if (ipp_attribute_t* a = ippFindAttribute(resp, name, IPP_TAG_ZERO)) {
        for (int i = 0; i < ippGetCount(a); ++i) {
            const char* k = ippGetString(a, i, nullptr);
            out.emplace_back(k ? k : "");
        }
    }
    return out;
}

std::vector<int> integers(ipp_t* resp, const char* name) {
    std::vector<int> out;
    if (ipp_attribute_t* a = ippFindAttribute(resp, name, IPP_TAG_INTEGER))
        for (int i = 0; i < ippGetCount(a); ++i) out.push_back(ippGetInteger(a, i));
    return out;
}

// A state reason without its severity ("media-empty-error" -> "media-empty").
std::string reasonStem(const std::string& r) {
    for (const char* suffix : {"-error", "-warning", "-report"}) {
        const std::string s(suffix);
        if (r.size() > s.size() && r.compare(r.size() - s.size(), s.size(), s) == 0)
            return r.substr(0, r.size() - s.size());
    }
    return r;
}

std::string joined(const std::vector<std::string>& v) {
    std::string out;
    for (const auto& s : v) out += (out.empty() ? "" : ", ") + s;
    return out;
}

}  // namespace

const char* describe(CupsQueueState::State s) {
    switch (s) {
        case CupsQueueState::State::Idle:
            return "idle";
        case CupsQueueState::State::Processing:
            return "printing";
        case CupsQueueState::State::Stopped:
            return "paused";
        default:
            return "unknown";
    }
}

const char* describe(CupsJobState::State s) {
    switch (s) {
        case CupsJobState::State::Pending:
            return "waiting";
        case CupsJobState::State::Held:
            return "held";
        case CupsJobState::State::Processing:
            return "printing";
        case CupsJobState::State::Stopped:
            return "stopped";
        case CupsJobState::State::Canceled:
            return "canceled";
        case CupsJobState::State::Aborted:
            return "aborted";
        case CupsJobState::State::Completed:
            return "completed";
        default:
            return "unknown";
    }
}

std::string CupsQueueState::suppliesProblem() const {
    std::vector<std::string> said;
    auto say = [&](const std::string& text) {
        for (const auto& s : said)
            if (s == text) return;
        said.push_back(text);
    };
    for (const auto& r : reasons) {
        const std::string stem = reasonStem(r);
        if (stem == "media-empty" || stem == "media-needed")
            say("the printer is out of paper");
        else if (stem == "media-low")
            say("the printer's paper is low");
        else if (stem == "media-jam")
            say("the paper is jammed");
        else if (stem == "toner-empty" || stem == "marker-supply-empty")
            say("the ink, toner or ribbon is used up");
        else if (stem == "toner-low" || stem == "marker-supply-low")
            say("the ink, toner or ribbon is running low");
    }
    for (const auto& s : supplies)
        if (s.level == 0)
            say(s.name + " is used up");
        else if (s.low())
            say(s.name + " is low (" + std::to_string(s.level) + " %)");
    if (said.empty()) return {};
    std::string text = "Printer \"" + name + "\": " + said.front();
    for (size_t i = 1; i < said.size(); ++i) text += "; " + said[i];
    return text + ".";
}

std::string CupsQueueState::suppliesSummary() const {
    std::string out;
    for (const auto& s : supplies) {
        if (!out.empty()) out += ", ";
        out += (s.name.empty() ? std::string("supply") : s.name) + " " +
               (s.level >= 0 ? std::to_string(s.level) + " %" : std::string("level unknown"));
    }
    return out;
}

std::string CupsQueueState::problem() const {
    if (!reachable) return "The print service does not answer (" + error + ").";
    if (!found) return "Printer \"" + name + "\" does not exist.";
    std::string detail = message;
    if (!reasons.empty()) detail += (detail.empty() ? "" : "; ") + joined(reasons);
    detail = detail.empty() ? "" : " (" + detail + ")";
    if (state == State::Stopped && !accepting)
        return "Printer \"" + name + "\" is paused and refuses jobs" + detail + ".";
    if (state == State::Stopped) return "Printer \"" + name + "\" is paused" + detail + ".";
    if (!accepting) return "Printer \"" + name + "\" refuses jobs" + detail + ".";
    return {};
}

CupsQueueState readCupsQueue(const std::string& name) {
    CupsQueueState q;
    q.name = name;
    ipp_t* req = queueRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, name);
    static const char* const attrs[] = {
        "printer-state",         "printer-state-reasons", "printer-is-accepting-jobs",
        "printer-state-message", "marker-names",          "marker-types",
        "marker-levels",         "marker-low-levels"};
    ippAddStrings(req, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(attrs)), nullptr, attrs);
    IppPtr resp(cupsDoRequest(CUPS_HTTP_DEFAULT, req, "/"));
    if (!resp || !succeeded()) {
        q.reachable = !unreachable();
        q.error = cupsLastErrorString() ? cupsLastErrorString() : "no answer";
        return q;
    }
    q.reachable = q.found = true;
    if (ipp_attribute_t* a = ippFindAttribute(resp.get(), "printer-state", IPP_TAG_ENUM)) {
        switch (ippGetInteger(a, 0)) {
            case IPP_PSTATE_IDLE:
                q.state = CupsQueueState::State::Idle;
                break;
            case IPP_PSTATE_PROCESSING:
                q.state = CupsQueueState::State::Processing;
                break;
            case IPP_PSTATE_STOPPED:
                q.state = CupsQueueState::State::Stopped;
                break;
            default:
                break;
        }
    }
    if (ipp_attribute_t* a =
            ippFindAttribute(resp.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN))
        q.accepting = ippGetBoolean(a, 0) != 0;
    q.reasons = keywords(resp.get(), "printer-state-reasons");
    q.message = text(resp.get(), "printer-state-message");
    const std::vector<std::string> names = strings(resp.get(), "marker-names");
    const std::vector<std::string> types = strings(resp.get(), "marker-types");
    const std::vector<int> levels = integers(resp.get(), "marker-levels");
    const std::vector<int> lows = integers(resp.get(), "marker-low-levels");
    // The lists run side by side; a printer may leave one out or short.
    for (size_t i = 0; i < std::max(names.size(), levels.size()); ++i) {
        CupsSupply s;
        s.name = i < names.size() ? names[i] : "";
        s.type = i < types.size() ? types[i] : "";
        // IPP's negative levels mean "unknown" or "some left"; 0..100 is a percent.
        s.level = i < levels.size() && levels[i] <= 100 ? levels[i] : -1;
        s.lowLevel = i < lows.size() && lows[i] <= 100 ? lows[i] : -1;
        q.supplies.push_back(std::move(s));
    }
    return q;
}

std::string defaultCupsQueue() {
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    if (!dest) return {};
    std::string name = dest->name ? dest->name : "";
    cupsFreeDests(1, dest);
    return name;
}

int lastCupsJobId(const std::string& queue) {
    cups_job_t* jobs = nullptr;
    const int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ALL);
    int last = 0;
    for (int i = 0; i < n; ++i) last = std::max(last, jobs[i].id);
    if (n > 0) cupsFreeJobs(n, jobs);
    return last;
}

std::optional<CupsJobState> readCupsJob(const std::string& queue, int id) {
    ipp_t* req = queueRequest(IPP_OP_GET_JOB_ATTRIBUTES, queue);
    ippAddInteger(req, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", id);
    static const char* const attrs[] = {"job-state", "job-state-reasons",
                                        "job-printer-state-message"};
    ippAddStrings(req, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(attrs)), nullptr, attrs);
    IppPtr resp(cupsDoRequest(CUPS_HTTP_DEFAULT, req, "/"));
    if (!resp || !succeeded()) return std::nullopt;
    CupsJobState j;
    j.id = id;
    if (ipp_attribute_t* a = ippFindAttribute(resp.get(), "job-state", IPP_TAG_ENUM)) {
        const int s = ippGetInteger(a, 0);
        if (s >= IPP_JSTATE_PENDING && s <= IPP_JSTATE_COMPLETED)
            j.state = static_cast<CupsJobState::State>(s - IPP_JSTATE_PENDING + 1);
    }
    j.reasons = keywords(resp.get(), "job-state-reasons");
    j.message = text(resp.get(), "job-printer-state-message");
    return j;
}

bool resumeCupsQueue(const std::string& queue, std::string* error) {
    for (ipp_op_t op : {IPP_OP_RESUME_PRINTER, IPP_OP_CUPS_ACCEPT_JOBS}) {
        IppPtr resp(cupsDoRequest(CUPS_HTTP_DEFAULT, queueRequest(op, queue), "/admin/"));
        if (!succeeded()) {
            const std::string why = cupsLastErrorString() ? cupsLastErrorString() : "refused";
            GLIMRA_Log::errf("printer [%s]: %s refused: %s", queue.c_str(), ippOpString(op),
                             why.c_str());
            if (error) *error = why;
            return false;
        }
    }
    GLIMRA_Log::debugf("printer [%s]: resumed and accepting jobs", queue.c_str());
    return true;
}

}  // namespace klik
