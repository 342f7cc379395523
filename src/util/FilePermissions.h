#pragma once
// Opening the permission bits of items the kiosk creates (every new folder
// is made readable and writable by all users, so the upload side and other
// accounts can reach it).

#include <string>

namespace klik {

// Replaces the nine rwx bits of `path` with those of `mode`, keeping the file
// type and the set-id and sticky bits. Any thread; blocks on the file
// system. False (with a line on standard output and in the log) when the
// item cannot be read or changed. Paths are passed through as bytes.
bool setPermission(const std::string& path, unsigned mode);
// The same for a C string; a null path is refused.
bool setPermissionInC(const char* path, unsigned mode);

// The same change without any output: 0 on success, else the errno of the
// failing call. Lets a caller tell a file system that keeps no Unix
// permissions (FAT, exFAT, many network shares answer ENOSYS, EPERM or
// ENOTSUP) from a real failure.
int trySetPermission(const std::string& path, unsigned mode);
// True for the errno values with which a file system refuses permission
// changes it cannot store; an item there is usable all the same.
bool isPermissionChangeUnsupported(int errorCode);

}  // namespace klik
