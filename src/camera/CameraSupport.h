#pragma once
// Small helpers shared by the camera's source files: thread and call-stack
// texts for lock-wait log lines, the background-thread counter, and the
// class-level state of the registry.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "camera/CameraWorkQueue.h"
#include "camera/GLIMRA_Camera.h"

namespace klik::camera_detail {

std::string threadText();
std::string callStackText();
// Runs `fn` on a new detached thread, counted for waitForBackgroundThreads.
void spawnDetached(std::function<void()> fn);

struct Registry {
    std::mutex stateMutex;                     // guards the fields below except the two locks
    std::timed_mutex threadLock;               // _gThreadLock: the detected list
    std::mutex updateLock;                     // _gUpdateLock: one scan at a time
    std::vector<GLIMRA_Camera::Ptr> detected;  // _gDetectedCameras (under threadLock)
    std::atomic<bool> shouldUpdate{false};     // _gShouldUpdate
    std::atomic<int> scansRunning{0};          // started and not yet finished
    GLIMRA_Camera::Ptr loaded;                 // _gLoadedCamera (under stateMutex)
    std::shared_ptr<CamSDK> sdk;
    RunLoop* mainLoop = nullptr;
    GLIMRA_Camera::Timeouts timeouts;
    bool initialized = false;
    NotificationCenter::ObserverId terminateObserver = 0;
    // Live objects by handler context, so an event for a camera that is
    // going away finds nothing instead of a dangling pointer.
    std::mutex liveMutex;
    std::unordered_map<const void*, std::weak_ptr<GLIMRA_Camera>> live;
    // Work the main thread hands to the cameras, one job at a time.
    CameraWorkQueue sessionWork;
    std::function<void(GLIMRA_Camera&)> liveViewLoopExitHook;  // under stateMutex
    std::function<void(GLIMRA_Camera&)> sessionOpenedHook;     // under stateMutex
    // Background threads.
    std::mutex threadsMutex;
    std::condition_variable threadsDone;
    int runningThreads = 0;
};

Registry& registry();

// One of the registry's lock waits, in seconds (setTimeouts may change them
// while other threads wait). Any thread.
double lockWaitSeconds(double GLIMRA_Camera::Timeouts::*which);

}  // namespace klik::camera_detail
