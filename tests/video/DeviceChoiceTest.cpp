// The device choice on fake device lists.

#include <gtest/gtest.h>

#include <set>

#include "video/DeviceChoice.h"

namespace klik {
namespace {

CaptureDevice dev(const std::string& name, bool video, bool audio, bool isDefault = false) {
    CaptureDevice d;
    d.displayName = name;
    d.hasVideo = video;
    d.hasAudio = audio;
    d.isDefault = isDefault;
    d.deviceClass = std::string(video ? "Video/Source" : "") + (video && audio ? "+" : "") +
                    (audio ? "Audio/Source" : "");
    return d;
}

struct Opener {
    std::set<std::string> broken;
    std::vector<std::string> tried;
    CaptureDeviceOpener fn() {
        return [this](const CaptureDevice& d, std::string* e) {
            tried.push_back(d.displayName);
            if (broken.count(d.displayName)) {
                *e = "busy";
                return false;
            }
            return true;
        };
    }
};

TEST(DeviceChoice, PictureAndSoundDeviceComesFirstThenAnExternalCameraWithTheDefaultMic) {
    Opener o;
    auto c = chooseCaptureDevices(
        {dev("Cam A", true, false), dev("Camcorder", true, true), dev("Mic", false, true, true)},
        o.fn());
    ASSERT_TRUE(c.video);
    EXPECT_EQ(c.video->displayName, "Camcorder");
    EXPECT_FALSE(c.audio);  // it has its own sound
    // An external camera beats the built-in one and gets the default mic.
    c = chooseCaptureDevices(
        {dev("BUILT-IN camera", true, false, true), dev("USB Cam", true, false),
         dev("Mic 1", false, true), dev("Mic 2", false, true, true)},
        o.fn());
    ASSERT_TRUE(c.video);
    EXPECT_EQ(c.video->displayName, "USB Cam");
    ASSERT_TRUE(c.audio);
    EXPECT_EQ(c.audio->displayName, "Mic 2");
}

TEST(DeviceChoice, OneVideoDeviceIsTakenAsTheDefaultAndABrokenOneIsNotTriedTwice) {
    Opener o;
    o.broken = {"Camcorder"};
    auto c = chooseCaptureDevices(
        {dev("Camcorder", true, true), dev("Built-in Camera", true, false)}, o.fn());
    // The camcorder failed the first try: the second looks at the others.
    ASSERT_TRUE(c.video);
    EXPECT_EQ(c.video->displayName, "Built-in Camera");
    EXPECT_EQ(o.tried, (std::vector<std::string>{"Camcorder", "Built-in Camera"}));
    o = Opener{};
    c = chooseCaptureDevices({dev("Built-in Camera", true, false, true)}, o.fn());
    ASSERT_TRUE(c.video);
    EXPECT_EQ(c.video->displayName, "Built-in Camera");
    EXPECT_FALSE(c.audio);
    // The one left fails too: no picture.
    o = Opener{};
    o.broken = {"Camcorder", "USB Cam"};
    c = chooseCaptureDevices({dev("Camcorder", true, true), dev("Built-in Camera", true, false),
                              dev("USB Cam", true, false)},
                             o.fn());
    EXPECT_FALSE(c.video);
    // No video device: no input, nothing tried.
    o = Opener{};
    c = chooseCaptureDevices({dev("Mic", false, true)}, o.fn());
    EXPECT_FALSE(c.video);
    EXPECT_FALSE(c.audio);
    EXPECT_TRUE(o.tried.empty());
}

}  // namespace
}  // namespace klik
