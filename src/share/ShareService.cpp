#include "share/ShareService.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>

#include "entry/EmailValidation.h"
#include "foundation/FixedPaths.h"
#include "imaging/ImageCodec.h"
#include "log/Log.h"
#include "photo/FileNames.h"
#include "photo/FileOps.h"
#include "share/MailMessage.h"
#include "share/ShareSettings.h"
#include "share/UploadCopy.h"

namespace klik::share {

namespace {

constexpr const char* kSeen = "seen";  // the pseudo-target every copy gets once

std::uint64_t fnv1a(const std::string& s) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::string hex(std::uint64_t v) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string describe(const Job& job) {
    return job.target == kTargetEmail
               ? "email of " + lastPathComponent(job.path) + " to " + job.address
               : "cloud copy of " + lastPathComponent(job.path);
}

}  // namespace

std::string messageIdFor(const Job& job, const std::string& from) {
    const auto at = from.find('@');
    const std::string domain = at == std::string::npos ? "klik.invalid" : from.substr(at + 1);
    return "klik." + hex(fnv1a(job.path)) + "." + hex(fnv1a(job.address)) + "." +
           std::to_string(job.id) + "@" + domain;
}

ShareService::ShareService(Settings& settings, Outbox& outbox, ShareServiceOptions options)
    : settings_(settings),
      outbox_(outbox),
      options_(std::move(options)),
      cloud_(options_.rclone),
      random_(std::random_device{}()) {
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (options_.stagingFolder.empty())
        options_.stagingFolder = folderOf(outbox_.path()) + "/KlikShareStaging";
}

ShareService::~ShareService() {
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void ShareService::addUploadCopyObserver(UploadCopyObserver observer) {
    observers_.push_back(std::move(observer));
}

void ShareService::requestStop() {
    stop_.store(true);
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
}

double ShareService::now() const {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string ShareService::uploadFolder() const {
    auto s = settings_.stringForKey("forUploadFolder");
    const std::string folder = s && !s->empty() ? *s : fixedPath("/KlikKioskUploadFolder");
    // One spelling per folder: a copy's path names its jobs, so the same
    // file reached through another spelling ("a/../b", a relative root,
    // a symbolic link) must not be queued again.
    std::error_code ec;
    auto canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(folder, ec), ec);
    return ec ? folder : canonical.string();
}

void ShareService::startWatching() {
    const std::string folder = uploadFolder();
    if (watcher_ && (watcher_->folder() != folder || !watcher_->watching())) watcher_.reset();
    if (!watcher_) watcher_ = std::make_unique<UploadWatcher>(folder);
    std::string why;
    if (!watcher_->watching() && !watcher_->start(&why)) {
        if (why != lastWatchError_) GLIMRA_Log::err(why + "; looked for again every 30 s");
        lastWatchError_ = why;
        return;
    }
    lastWatchError_.clear();
}

void ShareService::considerFile(const std::string& path) {
    const bool newThisRun = seenThisRun_.insert(path).second;
    auto known = outbox_.targetsConsidered(path);
    if (!known) {
        queueingFailed_ = true;
        seenThisRun_.erase(path);
        return;
    }
    const bool firstSeen = std::find(known->begin(), known->end(), kSeen) == known->end();
    const ShareConfig config = readShareConfig(settings_);
    std::vector<std::string> targets;
    std::vector<JobSpec> jobs;
    std::vector<std::string> wanted;
    const auto specs = jobsForUploadCopy(path, config, wanted);
    wanted.push_back(kSeen);
    for (const auto& t : wanted)
        if (std::find(known->begin(), known->end(), t) == known->end()) targets.push_back(t);
    for (const auto& j : specs)
        if (std::find(targets.begin(), targets.end(), j.target) != targets.end()) jobs.push_back(j);
    if (!targets.empty()) {
        if (!outbox_.addJobs(path, targets, jobs, now())) {
            // Found again by the next scan, which comes sooner now.
            queueingFailed_ = true;
            seenThisRun_.erase(path);
            return;
        }
        if (!jobs.empty())
            GLIMRA_Log::debug("queued " + std::to_string(jobs.size()) + " deliveries of " + path);
        else if (firstSeen)
            GLIMRA_Log::debug("" + path + " needs no delivery (" +
                              (config.mailConfigured() || config.cloudConfigured()
                                   ? "no address in its payload, no cloud set"
                                   : "no mail server and no cloud set") +
                              ")");
    }
    if (newThisRun)
        for (const auto& o : observers_) o(path, firstSeen);
}

void ShareService::rescan() {
    queueingFailed_ = false;
    settings_.synchronize();
    startWatching();
    if (watcher_ && watcher_->watching()) {
        watcher_->scan([this](const std::string& p) { considerFile(p); });
    } else {
        // Not watchable (yet): scan what can be read all the same.
        UploadWatcher once(uploadFolder());
        once.scan([this](const std::string& p) { considerFile(p); });
    }
    const double t = now();
    rescanAt_ =
        t + (queueingFailed_ || !watcher_ || !watcher_->watching() ? 30 : options_.rescanSeconds);
}

void ShareService::logStartState() {
    const ShareConfig config = readShareConfig(settings_);
    if (!config.mailConfigured() && !config.cloudConfigured())
        GLIMRA_Log::debug(
            "no mail server (prefShareMailServer) and no cloud (prefShareRemote) "
            "set: nothing leaves the booth");
    else
        GLIMRA_Log::debug(
            "email " +
            std::string(config.mailConfigured() ? "through " + config.mailServer : "off") +
            ", cloud " + (config.cloudConfigured() ? config.remote : "off") + ", upload folder " +
            uploadFolder() + ", outbox " + outbox_.path());
    int uncertain = 0;
    const int recovered = outbox_.recoverInFlight(now(), &uncertain);
    if (recovered > 0)
        GLIMRA_Log::debug("" + std::to_string(recovered) +
                          " deliveries were cut off by the last stop and are tried again" +
                          (uncertain > 0 ? " (" + std::to_string(uncertain) +
                                               " emails may have arrived already; they are "
                                               "sent again with the same Message-ID)"
                                         : ""));
}

void ShareService::flushUnrecorded() {
    if (unrecorded_.empty()) return;
    auto pending = std::move(unrecorded_);
    unrecorded_.clear();
    for (const auto& u : pending) record(u.job, u.result);
}

void ShareService::record(const Job& job, const DeliveryResult& r) {
    const double t = now();
    bool ok = true;
    switch (r.outcome) {
        case DeliveryOutcome::Delivered:
            ok = outbox_.markDone(job.id, t);
            if (ok) GLIMRA_Log::debug("delivered the " + describe(job));
            break;
        case DeliveryOutcome::Stopped:
            ok = outbox_.returnToPending(job.id, t);
            break;
        case DeliveryOutcome::Permanent:
            ok = outbox_.markFailed(job.id, r.error, t);
            if (ok) GLIMRA_Log::err("the " + describe(job) + " failed for good: " + r.error);
            break;
        case DeliveryOutcome::Temporary: {
            if (t - job.created > options_.backoff.giveUpAfter) {
                ok = outbox_.markFailed(job.id, "gave up after trying since long: " + r.error, t);
                if (ok) GLIMRA_Log::err("gave up the " + describe(job) + ": " + r.error);
                break;
            }
            const double wait = options_.backoff.delayAfter(job.attempts, random_);
            ok = outbox_.markRetry(job.id, t + wait, r.error, t, r.maybeTaken);
            if (ok)
                GLIMRA_Log::debug("the " + describe(job) + " failed (" + r.error +
                                  "); tried again in " + std::to_string(std::lround(wait)) + " s");
            break;
        }
    }
    // The outbox could not be written (disk full): the outcome is kept
    // here and written as soon as it can. The job stays in flight on disk,
    // so this process never starts it again meanwhile.
    if (!ok) unrecorded_.push_back({job, r});
}

DeliveryResult ShareService::deliverEmail(const Job& job) {
    const ShareConfig config = readShareConfig(settings_);
    if (!validateEmailAddress(job.address))
        return {DeliveryOutcome::Permanent,
                "the address \"" + job.address + "\" fails the kiosk's address check; not sent"};
    if (!config.mailConfigured())
        return {DeliveryOutcome::Temporary, "no mail server is set (prefShareMailServer)"};
    if (config.mailFrom.empty() || !validateEmailAddress(config.mailFrom))
        return {DeliveryOutcome::Temporary, "no valid sender address is set (prefShareMailFrom)"};
    SmtpAccount account{config.mailServer, config.mailUser, ""};
    if (!config.mailUser.empty()) {
        std::string why;
        account.password = readPasswordFile(config.mailPasswordFile, &why);
        if (account.password.empty()) return {DeliveryOutcome::Temporary, why};
    }
    std::string readError;
    auto still = readFileData(job.path, &readError);
    if (!still) {
        if (!pathExists(job.path))
            return {DeliveryOutcome::Permanent, "the upload copy is gone: " + job.path};
        return {DeliveryOutcome::Temporary, "cannot read " + job.path + ": " + readError};
    }
    // The guest's copy carries nobody's address.
    auto clean = withoutAddresses(*still);
    if (!clean)
        return {DeliveryOutcome::Permanent,
                "the addresses cannot be taken out of " + job.path + "; not sent"};

    const UploadPayload payload = readUploadPayload(job.path);
    const std::string station = payload.station.empty() ? config.stationName : payload.station;
    MailContent mail;
    mail.from = config.mailFrom;
    mail.fromName = config.eventName;
    mail.to = job.address;
    mail.subject = fillInNames(config.subject, station, config.eventName);
    mail.text = fillInNames(config.body, station, config.eventName);
    mail.messageId = messageIdFor(job, config.mailFrom);
    const std::string name = lastPathComponent(job.path);
    mail.attachments.push_back({name, contentTypeForFile(name), std::move(*clean)});
    if (const std::string movie = movieBesideStill(job.path); !movie.empty()) {
        struct stat st {};
        const bool fits = ::stat(movie.c_str(), &st) == 0 &&
                          static_cast<std::uint64_t>(st.st_size) <= config.movieAttachLimit;
        auto bytes = fits ? readFileData(movie) : std::nullopt;
        if (bytes) {
            mail.attachments.push_back(
                {lastPathComponent(movie), contentTypeForFile(movie), std::move(*bytes)});
        } else {
            mail.text += "\n\nYour movie " + lastPathComponent(movie) +
                         " is too large to travel by email" +
                         (config.cloudConfigured() ? "; it is in the event's album." : ".");
        }
    }
    const std::string message = buildMailMessage(mail, std::chrono::system_clock::now());

    bool acceptedRecorded = false;
    SmtpHooks hooks;
    hooks.bodySent = [&] { return outbox_.markBodySent(job.id); };
    hooks.accepted = [&] { acceptedRecorded = outbox_.markDone(job.id, now()); };
    hooks.stopRequested = [this] { return stopRequested(); };
    DeliveryResult r = smtp_.send(account, config.mailFrom, job.address, message, hooks);
    // Once the server took the message and that is recorded, the job is
    // done whatever came after (a lost or slow goodbye): putting it back
    // would send the guest a second copy.
    if (acceptedRecorded) {
        if (r.outcome != DeliveryOutcome::Delivered)
            GLIMRA_Log::debug("the " + describe(job) +
                              " was taken by the server; what came after: " + r.error);
        GLIMRA_Log::debug("delivered the " + describe(job));
        return {DeliveryOutcome::Delivered, "", true};
    }
    return r;
}

DeliveryResult ShareService::deliverCloud(const Job& job) {
    const ShareConfig config = readShareConfig(settings_);
    if (!config.cloudConfigured())
        return {DeliveryOutcome::Temporary, "no cloud destination is set (prefShareRemote)"};
    if (!pathExists(job.path))
        return {DeliveryOutcome::Permanent, "the upload copy is gone: " + job.path};
    std::string station = config.stationName;
    std::string source = job.path;
    std::string staged;
    if (uploadKindOf(job.path) == UploadKind::Still) {
        const UploadPayload payload = readUploadPayload(job.path);
        if (!payload.station.empty()) station = payload.station;
        if (!payload.addresses.empty()) {
            // The event's album is shared: its copy carries nobody's address.
            std::string why;
            auto bytes = readFileData(job.path, &why);
            if (!bytes) return {DeliveryOutcome::Temporary, "cannot read " + job.path + ": " + why};
            auto clean = withoutAddresses(*bytes);
            if (!clean)
                return {DeliveryOutcome::Permanent,
                        "the addresses cannot be taken out of " + job.path + "; not uploaded"};
            // Staged under its own name: the cloud copy keeps it.
            const std::string folder = options_.stagingFolder + "/" + std::to_string(job.id);
            if (!createFolderWithIntermediates(folder, 0700, &why))
                return {DeliveryOutcome::Temporary, why};
            staged = folder + "/" + lastPathComponent(job.path);
            ::unlink(staged.c_str());
            if (!writeFileNoReplace(std::string(clean->begin(), clean->end()), staged, &why))
                return {DeliveryOutcome::Temporary, "cannot stage the copy: " + why};
            source = staged;
        }
    }
    const std::string dest = cloudPathFor(config.remote, config.eventName, station,
                                          dayOfUploadCopy(job.path), lastPathComponent(job.path));
    DeliveryResult r = cloud_.upload(source, dest, config.bandwidthLimit, job.attempts > 1,
                                     [this] { return stopRequested(); });
    if (!staged.empty()) {
        ::unlink(staged.c_str());
        ::rmdir(folderOf(staged).c_str());
    }
    return r;
}

void ShareService::deliver(const Job& job) {
    DeliveryResult r =
        job.target == kTargetEmail ? deliverEmail(job)
        : job.target == kTargetCloud
            ? deliverCloud(job)
            : DeliveryResult{DeliveryOutcome::Permanent, "unknown target " + job.target};
    if (r.recorded) return;
    record(job, r);
}

bool ShareService::deliverNextJob(bool ignoreBackoff, std::vector<std::int64_t>* tried) {
    flushUnrecorded();
    // What the operator changed since (preferences, klikctl) counts now.
    settings_.synchronize();
    auto job =
        outbox_.takeDueJob(now(), ignoreBackoff, tried ? *tried : std::vector<std::int64_t>{});
    if (!job) return false;
    if (tried) tried->push_back(job->id);
    deliver(*job);
    return true;
}

int ShareService::runOnce() {
    logStartState();
    rescan();
    std::vector<std::int64_t> tried;
    while (!stopRequested() && deliverNextJob(true, &tried)) {
        if (watcher_ && watcher_->watching())
            watcher_->processEvents([this](const std::string& p) { considerFile(p); });
    }
    flushUnrecorded();
    int left = 0;
    for (const auto& s : outbox_.summary()) left += s.pending + s.inFlight + s.failed;
    return left == 0 && unrecorded_.empty() ? 0 : 1;
}

int ShareService::run() {
    logStartState();
    if (options_.listenOnBus) {
        std::string why;
        if (!listener_.start(&why))
            GLIMRA_Log::debug("" + why + "; the upload folder is watched instead");
    }
    rescan();
    {
        const ShareConfig config = readShareConfig(settings_);
        targetsInForce_ = (config.mailConfigured() ? 1 : 0) | (config.cloudConfigured() ? 2 : 0);
    }
    while (!stopRequested()) {
        if (deliverNextJob(false)) {
            // Between jobs: take in new copies before the next delivery.
        }
        std::vector<pollfd> fds;
        fds.push_back({wakeFd_, POLLIN, 0});
        if (watcher_ && watcher_->watching()) fds.push_back({watcher_->fd(), POLLIN, 0});
        if (listener_.listening()) fds.push_back({listener_.fd(), POLLIN, 0});
        const double t = now();
        double wait = rescanAt_ - t;
        if (auto due = outbox_.nextDueTime()) wait = std::min(wait, *due - t);
        if (!unrecorded_.empty()) wait = std::min(wait, 5.0);
        // Settings changed by the operator are seen within a minute.
        wait = std::clamp(wait, 0.0, 60.0);
        ::poll(fds.data(), fds.size(), static_cast<int>(std::ceil(wait * 1000)));
        std::uint64_t drained = 0;
        [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &drained, sizeof drained);
        if (stopRequested()) break;
        if (watcher_ && watcher_->watching())
            watcher_->processEvents([this](const std::string& p) { considerFile(p); });
        if (listener_.listening() && !listener_.process().empty()) {
            // The kiosk filed a photo; its upload copy follows within moments.
            rescanAt_ = std::min(rescanAt_, now() + 1.0);
        }
        // Mail or the cloud set up (or off) since: the copies seen before
        // get their jobs for it now.
        settings_.synchronize();
        const ShareConfig config = readShareConfig(settings_);
        const int targets = (config.mailConfigured() ? 1 : 0) | (config.cloudConfigured() ? 2 : 0);
        if (targets != targetsInForce_) {
            targetsInForce_ = targets;
            rescanAt_ = now();
        }
        if (now() >= rescanAt_) rescan();
    }
    flushUnrecorded();
    GLIMRA_Log::debug("stopped");
    return 0;
}

}  // namespace klik::share
