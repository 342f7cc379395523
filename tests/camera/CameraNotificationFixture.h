#pragma once
// What the camera-class fixtures share: a manual main loop and a record of
// every camera notification, with whether it was posted on the main thread.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "camera/CameraNotifications.h"
#include "camera/GLIMRA_Camera.h"
#include "foundation/ManualRunLoop.h"
#include "foundation/NotificationCenter.h"

namespace klik::test {

struct Posted {
    std::string name;
    Notification n;
    bool onMain;
};

class CameraNotificationFixture : public ::testing::Test {
  protected:
    void recordNotifications() {
        observer =
            NotificationCenter::defaultCenter().addObserver("", [this](const Notification& n) {
                if (n.name.rfind("GLIMRA_Camera", 0) != 0) return;
                std::lock_guard l(mutex);
                posted.push_back(Posted{n.name, n, loop.isMainThread()});
            });
    }
    void stopRecording() {
        if (observer) NotificationCenter::defaultCenter().removeObserver(observer);
        observer = 0;
    }
    size_t count(const std::string& name) {
        std::lock_guard l(mutex);
        size_t n = 0;
        for (const auto& p : posted) n += p.name == name;
        return n;
    }
    std::vector<Posted> all(const std::string& name) {
        std::lock_guard l(mutex);
        std::vector<Posted> out;
        for (const auto& p : posted)
            if (p.name == name) out.push_back(p);
        return out;
    }
    static void shoot(const GLIMRA_Camera::Ptr& cam) {
        cam->takePicture();
        cam->performNextQueuedCameraCommand();
    }
    bool pumpUntil(const std::function<bool()>& done, int seconds = 30) {
        return loop.runUntil(done, std::chrono::seconds(seconds));
    }

    ManualRunLoop loop;
    std::mutex mutex;
    std::vector<Posted> posted;
    NotificationCenter::ObserverId observer = 0;
};

}  // namespace klik::test
