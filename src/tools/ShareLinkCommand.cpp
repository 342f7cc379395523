// klikctl share link FILE: the guest's link of a filed photo or upload copy.

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <iostream>

#include "app/SettingsKeys.h"
#include "foundation/Settings.h"
#include "photo/FileNames.h"
#include "photo/ShareLink.h"
#include "tools/SettingsOption.h"
#include "tools/ShareCommand.h"

namespace klik::tools {
namespace {

const char* kUsage =
    "usage: klikctl share link FILE...\n"
    "\n"
    "Prints the gallery link (ADDRESS/p/TOKEN) of each FILE, one a line: a photo\n"
    "in the main images folder (DAY/base_MARK_NNN.jpg, linked through its upload\n"
    "copy DAY/base_MARK_comp_NNN.jpg) or an upload copy (a video guest's still\n"
    "too). ADDRESS is the setting \"prefShareGalleryAddress\"; the token is the\n"
    "HMAC-SHA256 of the upload copy's day folder and name with the booth's\n"
    "secret (made beside the settings file when there is none yet), the same\n"
    "link the kiosk shows as a QR code on the review screen.\n"
    "\n"
    "Exit status 1 when no gallery address is set or a FILE is not there.";

std::string absolute(const std::string& path) {
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf)) return buf;
    return path;
}

bool under(const std::string& path, std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return !folder.empty() && path.size() > folder.size() &&
           path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

int run(const Args& a) {
    if (a.empty()) {
        std::cerr << "klikctl share link: needs a FILE\n\n" << kUsage << "\n";
        return 2;
    }
    Settings settings(settingsFileInForce());
    const std::string written = settings.stringForKey(key::prefShareGalleryAddress).value_or("");
    if (written.find_first_not_of(" \t") == std::string::npos) {
        std::cerr << "klikctl share link: no gallery address is set (klikctl defaults write "
                     "prefShareGalleryAddress http://HOST:PORT)\n";
        return 1;
    }
    std::string error;
    auto address = parseGalleryAddress(written, &error);
    if (!address) {
        std::cerr << "klikctl share link: " << error << "\n";
        return 1;
    }
    auto secret =
        ShareSecret::loadOrCreate(ShareSecret::pathBesideSettings(settings.path()), &error);
    if (!secret) {
        std::cerr << "klikctl share link: " << error << "\n";
        return 1;
    }
    const std::string uploadFolder =
        absolute(settings.stringForKey(key::forUploadFolder).value_or(""));
    int status = 0;
    for (const std::string& file : a) {
        struct stat st {};
        if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            std::cerr << "klikctl share link: " << file << " is not there\n";
            status = 1;
            continue;
        }
        const std::string path = absolute(file);
        const std::string name = lastPathComponent(path);
        std::string subject = shareSubjectOfUploadCopy(path);
        // A filed photo is linked through its upload copy's name.
        const std::string uploadName = uploadNameOfFiledName(name);
        if (!uploadName.empty() && !under(path, uploadFolder)) {
            const size_t slash = subject.find('/');
            subject =
                slash == std::string::npos ? uploadName : subject.substr(0, slash + 1) + uploadName;
        }
        std::cout << shareLink(*address, shareToken(*secret, subject)) << "\n";
    }
    return status;
}

KLIK_SHARE_SUBCOMMAND("link", "print the gallery link of a filed photo or upload copy", kUsage,
                      run);

}  // namespace
}  // namespace klik::tools
