// The upload side: mail server, password file, rclone remote, the outbox.

#include <curl/curl.h>
#include <sys/stat.h>

#include <chrono>

#include "entry/EmailValidation.h"
#include "share/CloudUploader.h"
#include "share/Outbox.h"
#include "share/SharePlaces.h"
#include "share/ShareSettings.h"
#include "tools/doctor/DoctorChecks.h"

namespace klik::doctor {

namespace {

std::string setting(const Dictionary& s, const char* key) {
    return findString(s, key).value_or("");
}

// Connects to the mail server (TCP, and TLS for smtps://) without sending
// anything; "" when it answered, else why not.
std::string reachMailServer(const std::string& url) {
    CURL* c = curl_easy_init();
    if (!c) return "libcurl could not be started";
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(c, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 10L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    const CURLcode rc = curl_easy_perform(c);
    curl_easy_cleanup(c);
    return rc == CURLE_OK ? std::string() : curl_easy_strerror(rc);
}

void checkMail(Report& r, const Dictionary& s) {
    const std::string server = setting(s, share::key::prefShareMailServer);
    if (server.rfind("smtp://", 0) != 0 && server.rfind("smtps://", 0) != 0) {
        r.problem("share mail",
                  "prefShareMailServer is not an smtp:// or smtps:// address: " + server,
                  {"klikctl defaults write prefShareMailServer smtp://mail.example.com:587"});
        return;
    }
    if (const std::string why = reachMailServer(server); !why.empty())
        r.problem("share mail", server + " cannot be reached: " + why,
                  {"check the address and port, the network, and the server"});
    else
        r.ok("share mail", server + " answers");
    const std::string from = setting(s, share::key::prefShareMailFrom);
    if (from.empty() || !validateEmailAddress(from))
        r.problem("share mail", "no valid sender address (prefShareMailFrom): \"" + from + "\"",
                  {"klikctl defaults write prefShareMailFrom photos@example.com"});
    if (!setting(s, share::key::prefShareMailUser).empty()) {
        const std::string file = setting(s, share::key::prefShareMailPasswordFile);
        std::string why;
        if (share::readPasswordFile(file, &why).empty())
            r.problem("share mail", why,
                      {"printf '%s\\n' 'PASSWORD' > FILE && chmod 600 FILE",
                       "klikctl defaults write prefShareMailPasswordFile FILE"});
        else
            r.ok("share mail", "password file " + file + " readable by this user only");
    }
}

void checkCloud(Report& r, const Dictionary& s) {
    const std::string remote = setting(s, share::key::prefShareRemote);
    const std::string name = share::remoteNameOf(remote);
    share::CloudUploader rclone;
    std::vector<std::string> remotes;
    std::string why;
    if (!rclone.listRemotes(remotes, &why)) {
        r.problem("share cloud", "rclone cannot be run: " + why, {"sudo apt install rclone"});
        return;
    }
    if (name.empty()) {
        r.note("share cloud", remote +
                                  " is a connection string or a local path, not a remote of "
                                  "`rclone config`");
        return;
    }
    for (const auto& n : remotes)
        if (n == name) {
            r.ok("share cloud", "rclone knows the remote " + name);
            return;
        }
    r.problem("share cloud", "rclone has no remote " + name + " (prefShareRemote " + remote + ")",
              {"rclone config   (make the remote " + name.substr(0, name.size() - 1) + ")",
               "rclone listremotes"});
}

void checkOutbox(Report& r) {
    const std::string path = share::outboxPath();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        r.note("share outbox", "none yet at " + path + " (klik-share has not run)");
        return;
    }
    std::string error;
    auto box = share::Outbox::open(path, &error);
    if (!box) {
        r.problem("share outbox", error);
        return;
    }
    const double now =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    int failed = 0, pending = 0;
    for (const auto& t : box->summary()) {
        failed += t.failed;
        pending += t.pending + t.inFlight;
    }
    if (failed > 0)
        r.problem("share outbox", std::to_string(failed) + " deliveries failed for good",
                  {"klikctl share status", "klikctl share retry"});
    const double oldest = box->oldestUndelivered();
    if (oldest > 0 && now - oldest > 600)
        r.problem("share outbox",
                  std::to_string(pending) + " deliveries waiting, the oldest for " +
                      std::to_string(static_cast<long>((now - oldest) / 60)) + " minutes",
                  {"klikctl share status", "systemctl --user status klik-share"});
    else if (failed == 0)
        r.ok("share outbox", std::to_string(pending) + " deliveries waiting");
}

}  // namespace

void checkShare(Report& r, const Dictionary& settings) {
    const bool mail = !setting(settings, share::key::prefShareMailServer).empty();
    const bool cloud = !setting(settings, share::key::prefShareRemote).empty();
    if (!mail && !cloud) {
        r.note("share", "no mail server and no cloud set: klik-share sends nothing");
        return;
    }
    if (mail) checkMail(r, settings);
    if (cloud) checkCloud(r, settings);
    checkOutbox(r);
}

}  // namespace klik::doctor
