#pragma once
// What the upload side is told by the kiosk's settings store: the mail
// server, the cloud destination, the event's and station's names, the texts
// of the guest's email. Read at the moment of use (the operator may change
// them while klik-share runs).

#include <cstdint>
#include <string>

#include "foundation/Settings.h"

namespace klik::share {

namespace key {
inline constexpr const char* prefShareMailServer = "prefShareMailServer";
inline constexpr const char* prefShareMailFrom = "prefShareMailFrom";
inline constexpr const char* prefShareMailUser = "prefShareMailUser";
inline constexpr const char* prefShareMailPasswordFile = "prefShareMailPasswordFile";
inline constexpr const char* prefShareMailSubject = "prefShareMailSubject";
inline constexpr const char* prefShareMailBody = "prefShareMailBody";
inline constexpr const char* prefShareMovieAttachLimitMB = "prefShareMovieAttachLimitMB";
inline constexpr const char* prefShareRemote = "prefShareRemote";
inline constexpr const char* prefShareEventName = "prefShareEventName";
inline constexpr const char* prefShareBandwidthLimit = "prefShareBandwidthLimit";
inline constexpr const char* prefKioskStationName = "prefKioskStationName";
}  // namespace key

struct ShareConfig {
    std::string mailServer;              // smtp://host[:port] or smtps://...; "" = no email
    std::string mailFrom;                // the sender's address
    std::string mailUser;                // login name; "" = no login
    std::string mailPasswordFile;        // the file holding the password
    std::string subject, body;           // with {station} and {event} filled in when sent
    std::uint64_t movieAttachLimit = 0;  // bytes; a larger movie is named, not attached
    std::string remote;                  // rclone destination; "" = no cloud
    std::string eventName;
    std::string stationName;
    std::string bandwidthLimit;  // rclone's --bwlimit value; "" = none

    bool mailConfigured() const { return !mailServer.empty(); }
    bool cloudConfigured() const { return !remote.empty(); }
};

// Reads the settings now. Pure apart from the store's reads; any thread.
ShareConfig readShareConfig(const Settings& settings);

// `text` with every "{station}" and "{event}" replaced. Pure.
std::string fillInNames(const std::string& text, const std::string& station,
                        const std::string& event);

// The password in `path`: its first line. The file must be a regular file
// owned by this user and readable by nobody else (mode 0600 or 0400);
// otherwise "" with the reason in `error`. The password is never logged.
std::string readPasswordFile(const std::string& path, std::string* error);

}  // namespace klik::share
