#pragma once
// A simulated camera behind the camera class, a manual main loop, short
// lock waits and a record of every camera notification.

#include <atomic>
#include <thread>

#include "CameraNotificationFixture.h"
#include "camera/GLIMRA_Camera.h"
#include "camera/sim/SimCamSDK.h"
#include "support/SimCameraTestSupport.h"

namespace klik::test {

class CameraFixture : public CameraNotificationFixture {
  protected:
    void start(SimConfig c) {
        sim = std::make_shared<SimCamSDK>(std::move(c));
        GLIMRA_Camera::setSDK(sim);
        GLIMRA_Camera::setMainLoop(&loop);
        GLIMRA_Camera::setTimeouts({0.2, 0.2, 0.05});
        recordNotifications();
    }
    static SimConfig smallConfig() { return smallSimConfig(); }
    void TearDown() override {
        // Work still on the camera's event thread (a download a test left
        // running) may wait on this loop: let it finish before the camera goes.
        if (sim) loop.runUntil([&] { return sim->eventsIdle(); }, std::chrono::seconds(10));
        // The camera's threads (a photo on its way to the controller) may
        // wait for this loop while they finish.
        loop.runAlongside([] { GLIMRA_Camera::shutdown(); }, std::chrono::seconds(20));
        loop.runPending();
        stopRecording();
        GLIMRA_Camera::setSDK(nullptr);
        GLIMRA_Camera::setMainLoop(nullptr);
    }
    // Lets the SDK's event thread and the class's threads finish while the
    // main loop keeps turning (their notifications may wait for it).
    void settle() { EXPECT_TRUE(settleSimCamera(loop, *sim)); }
    // Starts the class and waits for the first scan to post its list.
    std::vector<GLIMRA_Camera::Ptr> scanned(size_t expected) {
        GLIMRA_Camera::initializeClass();
        std::vector<GLIMRA_Camera::Ptr> list;
        EXPECT_TRUE(pumpUntil([&] {
            auto c = GLIMRA_Camera::cameras();
            if (c && c->size() == expected) list = *c;
            return c && c->size() == expected;
        }));
        GLIMRA_Camera::waitForBackgroundThreads();
        loop.runPending();
        return list;
    }

    std::shared_ptr<SimCamSDK> sim;
};

}  // namespace klik::test
