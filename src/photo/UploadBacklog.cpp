#include "photo/UploadBacklog.h"

#include <unistd.h>

#include <cerrno>

#include "foundation/PropertyList.h"
#include "foundation/Value.h"
#include "imaging/ImageCodec.h"
#include "log/Log.h"
#include "photo/FileNames.h"
#include "photo/FileOps.h"

namespace klik {

namespace {

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool sameBytes(const std::string& a, const std::string& b) {
    auto da = readFileData(a), db = readFileData(b);
    return da && db && *da == *db;
}

}  // namespace

std::string UploadBacklog::queuePathFor(const std::string& settingsPath) {
    return joinPath(folderOf(settingsPath), "UploadBacklog.plist");
}

UploadBacklog::UploadBacklog(const std::string& settingsPath) : path_(queuePathFor(settingsPath)) {}

std::vector<UploadDebt> UploadBacklog::load() const {
    std::vector<UploadDebt> out;
    if (::access(path_.c_str(), F_OK) != 0) return out;
    PlistResult r = plistFromFile(path_);
    if (!r.value || !r.value->array()) {
        GLIMRA_Log::err("the upload backlog " + path_ + " cannot be read: " + r.error);
        return out;
    }
    for (const Value& v : *r.value->array()) {
        const Dictionary* d = v.dictionary();
        if (!d) continue;
        UploadDebt debt{findString(*d, "source").value_or(""),
                        findString(*d, "relative").value_or(""),
                        findString(*d, "since").value_or("")};
        // A relative path must stay below the upload folder.
        if (debt.source.empty() || debt.relative.empty() || debt.relative[0] == '/' ||
            debt.relative.find("..") != std::string::npos)
            continue;
        out.push_back(std::move(debt));
    }
    return out;
}

bool UploadBacklog::save(const std::vector<UploadDebt>& entries) const {
    if (entries.empty()) {
        if (::unlink(path_.c_str()) != 0 && errno != ENOENT) {
            GLIMRA_Log::err("the empty upload backlog " + path_ + " cannot be removed");
            return false;
        }
        return true;
    }
    Array a;
    for (const auto& e : entries)
        a.emplace_back(Dictionary{{"source", Value(e.source)},
                                  {"relative", Value(e.relative)},
                                  {"since", Value(e.since)}});
    const std::string why = writePlistAtomically(Value(std::move(a)), path_);
    if (!why.empty()) {
        GLIMRA_Log::err("the upload backlog " + path_ + " cannot be written: " + why);
        return false;
    }
    return true;
}

bool UploadBacklog::add(const UploadDebt& debt) {
    std::lock_guard lock(mutex_);
    auto entries = load();
    for (const auto& e : entries)
        if (e.relative == debt.relative) return true;
    entries.push_back(debt);
    return save(entries);
}

std::vector<UploadDebt> UploadBacklog::entries() const {
    std::lock_guard lock(mutex_);
    return load();
}

size_t UploadBacklog::count() const {
    return entries().size();
}

size_t UploadBacklog::workOff(const std::string& uploadFolder) {
    std::lock_guard lock(mutex_);
    auto entries = load();
    if (entries.empty()) return 0;
    std::vector<UploadDebt> left;
    for (const auto& e : entries) {
        const std::string target = joinPath(uploadFolder, e.relative);
        if (!pathExists(e.source)) {
            GLIMRA_Log::err("upload copy owed since " + e.since + " dropped: the filed photo " +
                            e.source + " is gone");
            continue;
        }
        std::string error;
        bool exists = false;
        if (createFolderWithIntermediates(folderOf(target), 0777, &error) &&
            copyFileNoReplace(e.source, target, &error, &exists)) {
            GLIMRA_Log::debug("Success in writing to resized file1... to path [" + target + "]");
            continue;
        }
        if (exists && sameBytes(e.source, target)) continue;
        GLIMRA_Log::debug("upload copy of " + e.source + " still owed: " + error);
        left.push_back(e);
    }
    if (left.size() != entries.size()) save(left);
    return left.size();
}

}  // namespace klik
