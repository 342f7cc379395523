#pragma once
// One file the kiosk filed into the upload folder, as the upload side sees
// it: a still (JPEG with the session's payload: the guests' addresses, the
// station) or a video guest's movie, beside the still of the same name.
//
// Pure functions over the file system; any thread; block on reading files.

#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "share/Outbox.h"
#include "share/ShareSettings.h"

namespace klik::share {

enum class UploadKind { None, Still, Movie };

// What a file is by its name: a still (.jpg, .jpeg), a movie (.mov, .mp4,
// .m4v), or nothing the upload side handles (other names, hidden files such
// as the kiosk's temporary ".klik-*.part"). Pure.
UploadKind uploadKindOf(const std::string& path);

// True when `path` is a regular file with at least one byte: the kiosk
// reserves a final name with an empty file and renames the finished file
// over it, so an empty file is never complete.
bool isCompleteUploadFile(const std::string& path);

struct UploadPayload {
    std::vector<std::string> addresses;  // "VZ_emailsForUpload"
    std::string station;                 // "VZ_kioskStation" ("" when absent)
    bool present = false;                // the file carried a payload at all
};

// The payload of a still; empty (present = false) when it carries none.
UploadPayload readUploadPayload(const std::string& path);

// The jobs an upload copy needs under `config`: one email per address of a
// still's payload when mail is set up, the cloud when it is set up. `targets`
// gets the targets considered (set up now).
std::vector<JobSpec> jobsForUploadCopy(const std::string& path, const ShareConfig& config,
                                       std::vector<std::string>& targets);

// The movie filed beside a still for the same guest ("NAME_muxed.mov",
// "NAME.mov", "NAME.mp4", "NAME.m4v" beside "NAME.jpg"), or "".
std::string movieBesideStill(const std::string& stillPath);

// The day an upload copy belongs to: its folder's name when that is a
// date (yyyy-MM-dd), else the local date of its modification time.
std::string dayOfUploadCopy(const std::string& path);

// Where the copy goes in the event's cloud:
// REMOTE/<event>/<station>/<day>/<file name>, each name made safe as one
// path component ("event" and "station" stand in for empty names).
std::string cloudPathFor(const std::string& remote, const std::string& event,
                         const std::string& station, const std::string& day,
                         const std::string& fileName);

// The JPEG `jpeg` with the guests' addresses taken out of its payload; the
// picture and every other EXIF field stay as they were. The data unchanged
// when it carries no addresses; nullopt when they cannot be taken out.
std::optional<Data> withoutAddresses(const Data& jpeg);

}  // namespace klik::share
