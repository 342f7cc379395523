#include "share/CloudUploader.h"

#include <sys/stat.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "log/Log.h"
#include "share/ChildProcess.h"

namespace klik::share {

namespace {
// rclone's last line that says what went wrong (its notices are left out).
std::string lastLine(const std::string& text) {
    std::string found;
    size_t at = 0;
    while (at < text.size()) {
        auto nl = text.find('\n', at);
        if (nl == std::string::npos) nl = text.size();
        const std::string line = text.substr(at, nl - at);
        if (!line.empty() && line.find("NOTICE:") == std::string::npos) found = line;
        at = nl + 1;
    }
    return found.empty() ? "no reason given" : found;
}
}  // namespace

std::string remoteNameOf(const std::string& destination) {
    if (destination.empty() || destination[0] == ':' || destination[0] == '/') return {};
    const auto colon = destination.find(':');
    const auto slash = destination.find('/');
    if (colon == std::string::npos || (slash != std::string::npos && slash < colon)) return {};
    return destination.substr(0, colon + 1);
}

DeliveryResult CloudUploader::upload(const std::string& localFile, const std::string& destination,
                                     const std::string& bandwidth, bool earlierAttempts,
                                     const std::function<bool()>& stopRequested) {
    struct stat st {};
    if (::stat(localFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return {DeliveryOutcome::Permanent, "the file to upload is gone: " + localFile};
    const long long localSize = static_cast<long long>(st.st_size);

    std::vector<std::string> common = {"--retries",    "1",   "--low-level-retries", "3",
                                       "--contimeout", "30s", "--timeout",           "120s",
                                       "--stats",      "0"};
    if (!bandwidth.empty()) {
        common.push_back("--bwlimit");
        common.push_back(bandwidth);
    }
    auto rclone = [&](std::vector<std::string> args) {
        args.insert(args.begin(), rclone_);
        args.insert(args.begin() + 2, common.begin(), common.end());
        return runChild(args, stopRequested);
    };

    if (earlierAttempts) {
        // An earlier attempt may have left a cut-off file there (a server
        // that went down mid-upload keeps what it had, often at full size):
        // only the same bytes count as delivered.
        const auto slash = localFile.find_last_of('/');
        const auto destSlash = destination.find_last_of('/');
        if (slash != std::string::npos && destSlash != std::string::npos) {
            // The file's name for rclone's --files-from-raw, in a private
            // temporary file (never in the kiosk's folders).
            std::string list =
                (std::filesystem::temp_directory_path() / "klik-share-XXXXXX").string();
            const int fd = ::mkstemp(list.data());
            if (fd < 0) return {DeliveryOutcome::Temporary, "cannot make a temporary file"};
            const std::string name = localFile.substr(slash + 1) + "\n";
            const bool written =
                ::write(fd, name.data(), name.size()) == static_cast<ssize_t>(name.size());
            ::close(fd);
            if (!written) {
                ::unlink(list.c_str());
                return {DeliveryOutcome::Temporary, "cannot write a temporary file"};
            }
            ChildResult same =
                rclone({"check", "--download", "--one-way", "--files-from-raw", list,
                        localFile.substr(0, slash), destination.substr(0, destSlash)});
            ::unlink(list.c_str());
            if (same.stopped) return {DeliveryOutcome::Stopped, "stopped"};
            if (same.started && same.exitStatus == 0) return {DeliveryOutcome::Delivered, ""};
        }
    }
    if (auto through = uploadThroughDaemon(localFile, destination, bandwidth, earlierAttempts,
                                           localSize, stopRequested))
        return *through;
    // The first attempt never replaces anything; a later one replaces what
    // its own earlier attempt left.
    ChildResult r = earlierAttempts
                        ? rclone({"copyto", "--ignore-times", localFile, destination})
                        : rclone({"copyto", "--ignore-existing", localFile, destination});
    if (!r.started) return {DeliveryOutcome::Temporary, r.startError + " (is rclone installed?)"};
    if (r.stopped) return {DeliveryOutcome::Stopped, "stopped"};
    if (r.exitStatus != 0)
        return {DeliveryOutcome::Temporary, "rclone copyto ended with status " +
                                                std::to_string(r.exitStatus) + ": " +
                                                lastLine(r.errors)};
    ChildResult check =
        runChild({rclone_, "lsjson", "--stat", "--retries", "1", destination}, stopRequested);
    if (check.stopped) return {DeliveryOutcome::Stopped, "stopped"};
    std::smatch m;
    static const std::regex sizeField("\"Size\":\\s*(-?[0-9]+)");
    if (check.exitStatus != 0 || !std::regex_search(check.output, m, sizeField))
        return {DeliveryOutcome::Temporary,
                "the uploaded file could not be checked at " + destination + ": " +
                    (check.started ? lastLine(check.errors) : check.startError)};
    const long long there = std::stoll(m[1].str());
    if (there == localSize) return {DeliveryOutcome::Delivered, ""};
    if (!earlierAttempts)
        return {DeliveryOutcome::Permanent, "a different file of that name (" +
                                                std::to_string(there) + " bytes, not " +
                                                std::to_string(localSize) + ") is already at " +
                                                destination + "; nothing was replaced"};
    return {DeliveryOutcome::Temporary, "the file at " + destination + " has " +
                                            std::to_string(there) + " bytes instead of " +
                                            std::to_string(localSize)};
}

std::optional<DeliveryResult> CloudUploader::uploadThroughDaemon(
    const std::string& localFile, const std::string& destination, const std::string& bandwidth,
    bool earlierAttempts, long long localSize, const std::function<bool()>& stop) {
    std::string why;
    if (!daemon_.ensureRunning(&why)) {
        GLIMRA_Log::debug("rclone's remote control cannot be used (" + why +
                          "); uploading with rclone copyto");
        return std::nullopt;
    }
    const auto slash = localFile.find_last_of('/');
    const auto destSlash = destination.find_last_of('/');
    if (slash == std::string::npos || destSlash == std::string::npos) return std::nullopt;
    const std::string wanted = bandwidth.empty() ? "off" : bandwidth;
    if (wanted != bandwidthInForce_) {
        const RcAnswer b =
            daemon_.call("core/bwlimit", "{\"rate\":" + jsonString(wanted) + "}", stop);
        if (b.status != 200)
            return DeliveryResult{DeliveryOutcome::Temporary,
                                  "rclone refuses the bandwidth limit " + wanted + ": " + b.body};
        bandwidthInForce_ = wanted;
    }
    const std::string dstFs = destination.substr(0, destSlash);
    const std::string name = destination.substr(destSlash + 1);
    // The first attempt never replaces anything; a later one replaces what
    // its own earlier attempt left.
    const std::string config =
        earlierAttempts ? "{\"IgnoreTimes\":true}" : "{\"IgnoreExisting\":true}";
    const RcAnswer copy =
        daemon_.call("operations/copyfile",
                     "{\"srcFs\":" + jsonString(localFile.substr(0, slash)) +
                         ",\"srcRemote\":" + jsonString(localFile.substr(slash + 1)) +
                         ",\"dstFs\":" + jsonString(dstFs) + ",\"dstRemote\":" + jsonString(name) +
                         ",\"_config\":" + config + "}",
                     stop);
    if (copy.stopped) return DeliveryResult{DeliveryOutcome::Stopped, "stopped"};
    if (copy.status == 0) {
        daemon_.stop();
        return DeliveryResult{DeliveryOutcome::Temporary,
                              "rclone's remote control stopped answering"};
    }
    static const std::regex errorField("\"error\":\\s*\"((?:[^\"\\\\]|\\\\.)*)\"");
    std::smatch m;
    if (copy.status != 200)
        return DeliveryResult{
            DeliveryOutcome::Temporary,
            "rclone could not copy to " + destination + ": " +
                (std::regex_search(copy.body, m, errorField) ? m[1].str() : copy.body)};
    const RcAnswer st = daemon_.call(
        "operations/stat", "{\"fs\":" + jsonString(dstFs) + ",\"remote\":" + jsonString(name) + "}",
        stop);
    if (st.stopped) return DeliveryResult{DeliveryOutcome::Stopped, "stopped"};
    static const std::regex sizeField("\"Size\":\\s*(-?[0-9]+)");
    if (st.status != 200 || !std::regex_search(st.body, m, sizeField))
        return DeliveryResult{DeliveryOutcome::Temporary,
                              "the uploaded file could not be checked at " + destination};
    const long long there = std::stoll(m[1].str());
    if (there == localSize) return DeliveryResult{DeliveryOutcome::Delivered, ""};
    if (!earlierAttempts)
        return DeliveryResult{DeliveryOutcome::Permanent,
                              "a different file of that name (" + std::to_string(there) +
                                  " bytes, not " + std::to_string(localSize) + ") is already at " +
                                  destination + "; nothing was replaced"};
    return DeliveryResult{DeliveryOutcome::Temporary,
                          "the file at " + destination + " has " + std::to_string(there) +
                              " bytes instead of " + std::to_string(localSize)};
}

bool CloudUploader::listRemotes(std::vector<std::string>& remotes, std::string* error) {
    ChildResult r = runChild({rclone_, "listremotes"});
    if (!r.started || r.exitStatus != 0) {
        if (error) *error = r.started ? lastLine(r.errors) : r.startError;
        return false;
    }
    remotes.clear();
    size_t at = 0;
    while (at < r.output.size()) {
        auto nl = r.output.find('\n', at);
        if (nl == std::string::npos) nl = r.output.size();
        std::string line = r.output.substr(at, nl - at);
        if (!line.empty()) remotes.push_back(line);
        at = nl + 1;
    }
    return true;
}

}  // namespace klik::share
