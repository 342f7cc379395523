#pragma once
// What the print spooler says about a queue and its jobs, read through
// libcups from the server the environment names (CUPS_SERVER, else the
// system's): the queue's state, its state reasons, whether it accepts jobs,
// the jobs on it and the state each ended in; and the operator's one action
// that puts a stopped queue back to work (enable and accept, as the
// spooler's cupsenable and cupsaccept do).
//
// Any thread; every call blocks for one or two requests to the spooler.

#include <optional>
#include <string>
#include <vector>

namespace klik {

// One supply the printer reports ("marker-names", "marker-levels"...):
// ink, toner, a dye-sublimation ribbon.
struct CupsSupply {
    std::string name;   // as the printer names it, e.g. "Ribbon" or "Black ink"
    std::string type;   // "ink-cartridge", "ribbon-wax", ... ("" when not said)
    int level = -1;     // percent; negative when the printer cannot say
    int lowLevel = -1;  // the printer's own "low" mark in percent; negative when none
    bool low() const { return level >= 0 && lowLevel >= 0 && level <= lowLevel; }
};

struct CupsQueueState {
    enum class State { Unknown, Idle, Processing, Stopped };

    std::string name;
    bool reachable = false;  // the spooler answered
    bool found = false;      // the queue exists there
    State state = State::Unknown;
    bool accepting = false;
    std::vector<std::string> reasons;  // "printer-state-reasons" without "none"
    std::string message;               // the queue's own state message, may be empty
    std::string error;                 // why it could not be read (unreachable, not found)
    std::vector<CupsSupply> supplies;  // what the printer says of its ink, toner or ribbon

    // Jobs sent now would print: found, accepting and not stopped.
    bool canPrint() const { return found && accepting && state != State::Stopped; }
    // A sentence for the operator saying what is wrong; empty when the
    // queue can print.
    std::string problem() const;
    // What the operator should know of the paper and the ink, toner or
    // ribbon, from the state reasons (media-empty, media-needed,
    // marker-supply-low, toner-empty, ...) and the supplies' levels; empty
    // when nothing is wanting.
    std::string suppliesProblem() const;
    // The supplies' levels in one line ("Ribbon 12 %, Black ink 80 %");
    // empty when the printer reports none.
    std::string suppliesSummary() const;
};

struct CupsJobState {
    enum class State { Unknown, Pending, Held, Processing, Stopped, Canceled, Aborted, Completed };

    int id = 0;
    State state = State::Unknown;
    std::vector<std::string> reasons;  // "job-state-reasons" without "none"
    std::string message;               // "job-printer-state-message", may be empty

    // The job will never print (stopped, canceled or aborted).
    bool failed() const {
        return state == State::Stopped || state == State::Canceled || state == State::Aborted;
    }
    bool finished() const { return failed() || state == State::Completed; }
};

const char* describe(CupsQueueState::State s);
const char* describe(CupsJobState::State s);

// The queue `name` as the spooler sees it now.
CupsQueueState readCupsQueue(const std::string& name);
// The spooler's default queue; empty when none is set or the spooler does
// not answer.
std::string defaultCupsQueue();
// The highest job id on `queue` (every user, finished ones included); 0
// when there is none or the spooler does not answer.
int lastCupsJobId(const std::string& queue);
// The job `id` on `queue`; nullopt when the spooler does not know it.
std::optional<CupsJobState> readCupsJob(const std::string& queue, int id);
// Enables the queue and makes it accept jobs again. False, with the
// spooler's reason in `error`, when either request was refused.
bool resumeCupsQueue(const std::string& queue, std::string* error);

}  // namespace klik
