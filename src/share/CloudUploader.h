#pragma once
// Puts one file into the event's cloud with rclone (its remote-control
// daemon, started once; the command line when that cannot run), which speaks S3,
// WebDAV and Nextcloud, SFTP, FTP, Google Drive, Dropbox and many more;
// remotes are set up with `rclone config`.
//
// `rclone copyto --ignore-existing`: the file goes to exactly the path
// named, rclone checks size and checksum (where the remote keeps one) after
// the transfer, and an existing file is never replaced or deleted.
// Afterwards the remote is asked for the file and its size compared with
// the local file's: a different file already under that name is a
// permanent failure (nothing is replaced), with one exception: a shorter
// file left by an earlier attempt of the same job that was cut off (a
// server that went down mid-upload keeps what it had) is replaced.
//
// Any thread; blocks for the transfer.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "share/Delivery.h"
#include "share/RcloneDaemon.h"

namespace klik::share {

class CloudUploader {
  public:
    // `rclone` is the program to run (searched in PATH).
    explicit CloudUploader(std::string rclone = "rclone")
        : rclone_(std::move(rclone)), daemon_(rclone_) {}

    // Copies `localFile` to `destination` (remote:path/file). `bandwidth`
    // is rclone's --bwlimit value ("" for none).
    // `earlierAttempts`: this job was tried before (a shorter file at the
    // destination is then taken for its own cut-off upload).
    DeliveryResult upload(const std::string& localFile, const std::string& destination,
                          const std::string& bandwidth, bool earlierAttempts,
                          const std::function<bool()>& stopRequested = {});

    // The remotes `rclone listremotes` knows ("name:" each); false with the
    // reason when rclone cannot be run.
    bool listRemotes(std::vector<std::string>& remotes, std::string* error);

  private:
    // Through the remote-control daemon; nullopt when it cannot be used
    // (the command line is used then).
    std::optional<DeliveryResult> uploadThroughDaemon(const std::string& localFile,
                                                      const std::string& destination,
                                                      const std::string& bandwidth,
                                                      bool earlierAttempts, long long localSize,
                                                      const std::function<bool()>& stop);
    std::string rclone_;
    RcloneDaemon daemon_;
    std::string bandwidthInForce_ = "off";
};

// The remote's name in an rclone destination ("event:photos/x" gives
// "event:"); "" for a local path or an on-the-fly connection string
// (":webdav,url=...:path"). Pure.
std::string remoteNameOf(const std::string& destination);

}  // namespace klik::share
