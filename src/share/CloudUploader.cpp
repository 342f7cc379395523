#include "share/CloudUploader.h"

#include <sys/stat.h>

#include <regex>

#include "share/ChildProcess.h"

namespace klik::share {

namespace {
std::string lastLine(const std::string& text) {
    std::string t = text;
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
    const auto nl = t.find_last_of('\n');
    return nl == std::string::npos ? t : t.substr(nl + 1);
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

    auto copy = [&](bool keepExisting) {
        std::vector<std::string> args = {rclone_,
                                         "copyto",
                                         "--retries",
                                         "1",
                                         "--low-level-retries",
                                         "3",
                                         "--contimeout",
                                         "30s",
                                         "--timeout",
                                         "120s",
                                         "--stats",
                                         "0"};
        if (keepExisting) args.push_back("--ignore-existing");
        if (!bandwidth.empty()) {
            args.push_back("--bwlimit");
            args.push_back(bandwidth);
        }
        args.push_back(localFile);
        args.push_back(destination);
        return runChild(args, stopRequested);
    };
    // The size of the file at the destination; -1 when it cannot be asked.
    auto remoteSize = [&](std::string& why, bool& stopped) -> long long {
        ChildResult check =
            runChild({rclone_, "lsjson", "--stat", "--retries", "1", destination}, stopRequested);
        stopped = check.stopped;
        std::smatch m;
        static const std::regex sizeField("\"Size\":(-?[0-9]+)");
        if (check.exitStatus != 0 || !std::regex_search(check.output, m, sizeField)) {
            why = check.started ? lastLine(check.errors) : check.startError;
            return -1;
        }
        return std::stoll(m[1].str());
    };

    for (int round = 0; round < 2; ++round) {
        ChildResult r = copy(round == 0);
        if (!r.started)
            return {DeliveryOutcome::Temporary, r.startError + " (is rclone installed?)"};
        if (r.stopped) return {DeliveryOutcome::Stopped, "stopped"};
        if (r.exitStatus != 0)
            return {DeliveryOutcome::Temporary, "rclone copyto ended with status " +
                                                    std::to_string(r.exitStatus) + ": " +
                                                    lastLine(r.errors)};
        std::string why;
        bool stopped = false;
        const long long there = remoteSize(why, stopped);
        if (stopped) return {DeliveryOutcome::Stopped, "stopped"};
        if (there < 0)
            return {DeliveryOutcome::Temporary,
                    "the uploaded file could not be checked at " + destination + ": " + why};
        if (there == localSize) return {DeliveryOutcome::Delivered, ""};
        if (!(round == 0 && earlierAttempts && there < localSize))
            return {DeliveryOutcome::Permanent, "a different file of that name (" +
                                                    std::to_string(there) + " bytes, not " +
                                                    std::to_string(localSize) + ") is already at " +
                                                    destination + "; nothing was replaced"};
        // A shorter file from this job's own upload that was cut off.
    }
    return {DeliveryOutcome::Temporary, "the upload to " + destination + " did not complete"};
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
