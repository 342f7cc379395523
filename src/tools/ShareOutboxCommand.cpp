// klikctl share status | retry: the upload side's outbox as the operator
// sees it.

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>

#include "share/Outbox.h"
#include "share/SharePlaces.h"
#include "tools/ShareCommand.h"

namespace klik::tools {
namespace {

const char* kUsage =
    "usage: klikctl share status [--outbox FILE]\n"
    "       klikctl share retry [email|cloud] [--outbox FILE]\n"
    "\n"
    "status: the deliveries of klik-share per target (email, cloud): pending, in\n"
    "flight, done, failed for good, the oldest pending one and the last error.\n"
    "retry: puts the deliveries that failed for good back in the queue (of one\n"
    "target, or all); klik-share tries them at once.\n"
    "The outbox is KlikShareOutbox.sqlite in $XDG_STATE_HOME/klik (under --root:\n"
    "DIR/KlikShareOutbox.sqlite).";

double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string when(double t) {
    const auto secs = static_cast<std::time_t>(t);
    std::tm tm{};
    ::localtime_r(&secs, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    const long ago = static_cast<long>(nowSeconds() - t);
    std::string rel = ago < 120    ? std::to_string(ago) + " s ago"
                      : ago < 7200 ? std::to_string(ago / 60) + " min ago"
                                   : std::to_string(ago / 3600) + " h ago";
    return std::string(buf) + " (" + rel + ")";
}

int outboxUsageError(const std::string& message) {
    std::cerr << "klikctl share: " << message << "\n\n" << kUsage << "\n";
    return 2;
}

int run(const Args& a) {
    if (a.empty()) return outboxUsageError("needs status or retry");
    std::string outboxFile = share::outboxPath();
    std::string target;
    for (size_t i = 1; i < a.size(); ++i) {
        if (a[i] == "--outbox" && i + 1 < a.size()) {
            outboxFile = a[++i];
        } else if (a[0] == "retry" && (a[i] == "email" || a[i] == "cloud") && target.empty()) {
            target = a[i];
        } else {
            return outboxUsageError("unexpected " + a[i]);
        }
    }
    if (a[0] != "status" && a[0] != "retry") return outboxUsageError("unknown " + a[0]);
    struct stat st {};
    if (::stat(outboxFile.c_str(), &st) != 0) {
        std::cout << "No outbox at " << outboxFile << ": klik-share has not run yet.\n";
        return a[0] == "status" ? 0 : 1;
    }
    std::string error;
    auto box = share::Outbox::open(outboxFile, &error);
    if (!box) {
        std::cerr << "klikctl share: " << error << "\n";
        return 1;
    }
    if (a[0] == "retry") {
        const int n = box->retryFailed(nowSeconds(), target);
        if (n < 0) {
            std::cerr << "klikctl share: " << box->lastError() << "\n";
            return 1;
        }
        std::cout << n << " deliveries put back in the queue.\n";
        return 0;
    }
    std::cout << "Outbox: " << outboxFile << "\n";
    for (const auto& s : box->summary()) {
        std::printf("%-6s %d pending, %d in flight, %d done, %d failed for good\n",
                    s.target.c_str(), s.pending, s.inFlight, s.done, s.failed);
        if (s.oldestPending > 0)
            std::cout << "       oldest pending: queued " << when(s.oldestPending) << "\n";
        if (!s.lastError.empty())
            std::cout << "       last error: " << s.lastError << " (" << when(s.lastErrorAt)
                      << ")\n";
        if (s.uncertain > 0)
            std::cout << "       " << s.uncertain
                      << " sent again after a stop that may have come after the server took "
                         "them\n";
    }
    return 0;
}

KLIK_SHARE_SUBCOMMAND("status", "the deliveries per target: pending, done, failed, last error",
                      kUsage, [](const Args& a) {
                          Args all{"status"};
                          all.insert(all.end(), a.begin(), a.end());
                          return run(all);
                      });
KLIK_SHARE_SUBCOMMAND("retry", "put the deliveries that failed for good back in the queue",
                      kUsage, [](const Args& a) {
                          Args all{"retry"};
                          all.insert(all.end(), a.begin(), a.end());
                          return run(all);
                      });

}  // namespace
}  // namespace klik::tools
