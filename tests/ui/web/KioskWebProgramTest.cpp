// The real klik-kiosk in scripted web mode against klik-webserver, whose
// start page submits itself for one guest with the sitting type in
// capitals: the photo is filed under the sitting id with the guest's
// address in its payload, and the server sees the done page.

#include <gtest/gtest.h>

#ifdef KLIK_KIOSK_PATH

#include <filesystem>

#include "WebEngineProbe.h"
#include "WebServerProcess.h"
#include "photo/GLIMRA_XMLinEXIF.h"
#include "support/KioskRun.h"
#include "support/TempDir.h"

namespace klik::test {
namespace {

namespace fs = std::filesystem;

TEST(KioskWebProgram, AGuestFromThePageIsFiledUnderTheSittingIdWithTheAddressInThePayload) {
    if (!engineUnavailableReason().empty()) GTEST_SKIP() << engineUnavailableReason();
    TempDir dir;
    WebServerProcess server;
    std::string error;
    ASSERT_TRUE(server.start(dir.file("server.log"),
                             {"--auto", "1", "--sitting-type", "TEXT/KLIK-XML", "--guest-email",
                              "Web.Guest%d@Example.COM", "--guest-sitting", "SIT-%d"},
                             &error))
        << error;
    const std::string root = dir.file("root");
    std::string output;
    const int rc = runKioskToEnd(
        dir, {"--root", root, "--sim", "--web", server.base(), "--scripted", "1"}, &output);
    ASSERT_EQ(rc, 0) << output;
    EXPECT_NE(output.find("guest 1 started from the web page"), std::string::npos) << output;
    EXPECT_NE(output.find("1 of 1 scripted guests done."), std::string::npos) << output;

    const auto photos = filesUnder(root + "/KlikKioskMainImagesFolder", ".jpg");
    ASSERT_EQ(photos.size(), 1u) << output;
    EXPECT_EQ(fs::path(photos[0]).filename().string().rfind("SIT-1_", 0), 0u) << photos[0];
    const auto payload = GLIMRA_XMLinEXIF::propertyListObjectForJpegAtPath(photos[0]);
    ASSERT_TRUE(payload.has_value());
    EXPECT_EQ((*payload)["VZ_emailsForUpload"], Value(Array{Value("Web.Guest1@Example.COM")}))
        << payload->description();

    EXPECT_EQ(server.logLines("hit POST /klik/sitting").size(), 1u);
    EXPECT_GE(server.logLines("outcome done").size(), 1u);
    EXPECT_TRUE(server.logLines("outcome error").empty());
}

}  // namespace
}  // namespace klik::test

#endif
