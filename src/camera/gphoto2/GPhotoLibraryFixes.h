#pragma once
// Workarounds for faults of libgphoto2 2.5.30 that a long-running program
// meets: gp_camera_exit on a PTP/IP camera closes file descriptor 0, and a
// failed PTP/IP init leaves its sockets open. (The third, the PTP/IP GUID
// written under $HOME/.gphoto, is the caller's: tests point HOME at a
// temporary folder.)

#include <functional>
#include <set>
#include <string>

namespace klik::GPhotoLibraryFixes {

// Runs `fn` and puts file descriptor 0 back when `fn` closed it. Any thread.
void keepStandardInput(const std::function<void()>& fn);
// The file descriptors of the sockets open now.
std::set<int> openSockets();
// Closes the TCP sockets opened since `before` that are connected to
// `host`:`port` or not connected at all; returns how many.
int closeLeakedSockets(const std::set<int>& before, const std::string& host, int port);

}  // namespace klik::GPhotoLibraryFixes
