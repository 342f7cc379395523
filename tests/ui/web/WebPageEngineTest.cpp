// The kiosk web page on the real engine against klik-webserver, with the
// real screen sequence behind it: sittings inline (type in capitals) and as
// an attachment start the session at screen 3 from one form post; the done
// page follows a session; a sitting without a usable email, or a session
// that cannot run, opens the error page with the sitting id and the
// escaped message; links, pictures, windows and redirects to another host
// never leave the server.

#include <QWebEnginePage>
#include <QWidget>

#include "FakeArtwork.h"
#include "FakeCamera.h"
#include "FakeOverlayScreens.h"
#include "FakePhotoPipeline.h"
#include "FakeVideoRecorder.h"
#include "RecordingKioskUi.h"
#include "WebPageFixture.h"
#include "app/AppController.h"
#include "app/ProcessFlags.h"
#include "ui/web/KioskWebPage.h"

namespace klik::test {
namespace {

class WebPageEngineTest : public WebPageFixture {
  protected:
    void SetUp() override {
        WebPageFixture::SetUp();
        settings.setBool(key::prefShowLegalese, true);  // screen 1 waits
        settings.setBool(key::prefDoCountdownInSngleMonitorMode, true);
        settings.setInteger(key::prefCameraInputTypeTag, 1);
    }
    void TearDown() override {
        controller.reset();
        WebPageFixture::TearDown();
    }

    // The server with `args`, the page and the controller; the kiosk on
    // screen 1, which opens the start page.
    void startKiosk(const std::vector<std::string>& args, bool video = false) {
        startServer(args);
        web = std::make_unique<WebViewWindowController>(settings, loop, center, &ui);
        controller =
            std::make_unique<AppController>(AppController::Environment{ui, loop, settings, center});
        controller->setCamera(&camera);
        controller->setOverlayScreens(&overlays);
        controller->setArtwork(&artwork);
        controller->setPhotoPipeline(&photos);
        controller->setWebController(&web->controller());
        if (video) {
            controller->setVideoRecorder(&recorder);
            controller->setInputType(2);
            settings.setInteger(key::prefCameraInputTypeTag, 2);
        }
        controller->startOver();
        ASSERT_TRUE(web->controller().isWindowCreated());
    }
    bool reachedScreen3() const {
        return std::find(ui.screens.begin(), ui.screens.end(), 3u) != ui.screens.end();
    }

    RecordingKioskUi ui;
    FakeCamera camera;
    FakeVideoRecorder recorder;
    FakeOverlayScreens overlays;
    FakeArtwork artwork;
    FakePhotoPipeline photos;
    std::unique_ptr<AppController> controller;
};

TEST_F(WebPageEngineTest, ASittingInCapitalsStartsTheSessionFromOneFormPostAndTheDonePageFollows) {
    startKiosk({"--auto", "1", "--sitting-type", "TEXT/KLIK-XML", "--guest-sitting", "42"});
    ASSERT_TRUE(waitFor([&] { return reachedScreen3(); }));
    EXPECT_EQ(controller->emails(), (std::vector<std::string>{"guest1@example.com"}));
    EXPECT_EQ(controller->barcodeValue(), "42");
    auto info = web->controller().webReturnInfo();
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ((*info)["url"], Value(server.base() + "/sitting"));
    // The hit line is written after the answer the page acted on.
    EXPECT_TRUE(waitFor([&] { return hits("hit POST /klik/sitting") == 1; }));
    EXPECT_TRUE(web->window()->isHidden());  // ordered out for the session

    controller->endPhotoSession();
    ASSERT_TRUE(waitFor([&] { return hits("outcome done") == 1; }));
    // Back in front 2.0 s after the session's end.
    EXPECT_TRUE(waitFor([&] { return !web->window()->isHidden(); }));
    EXPECT_FALSE(web->controller().webReturnInfo().has_value());
}

TEST_F(WebPageEngineTest, AnAttachmentSittingStartsTheSessionToo) {
    startKiosk({"--auto", "1", "--attachment", "--guest-sitting", "S7"});
    ASSERT_TRUE(waitFor([&] { return reachedScreen3(); }));
    EXPECT_EQ(controller->emails(), (std::vector<std::string>{"guest1@example.com"}));
    EXPECT_EQ(controller->barcodeValue(), "S7");
    EXPECT_TRUE(waitFor([&] { return hits("hit POST /klik/sitting") == 1; }));
}

TEST_F(WebPageEngineTest, ASittingWithoutEmailHitsTheErrorPageWithItsId) {
    startKiosk({"--auto", "1", "--guest-email", "", "--guest-sitting", "42"});
    // The hit line is written after the answer, the outcome line before.
    ASSERT_TRUE(waitFor([&] { return hits("hit GET /klik/error") == 1; }));
    EXPECT_EQ(hits("hit GET /klik/error?sittingid=42 "), 1u);
    EXPECT_EQ(hits("outcome error sittingid=[42] msg=[]"), 1u);
    EXPECT_FALSE(reachedScreen3());
    EXPECT_TRUE(controller->emails().empty());
}

TEST_F(WebPageEngineTest, ASessionThatCannotRunSendsItsMessageEscaped) {
    startKiosk({"--auto", "1", "--guest-sitting", "42"}, /*video=*/true);
    VideoProcessingScope composing;
    ASSERT_TRUE(waitFor([&] { return hits("hit GET /klik/error") == 1; }));
    EXPECT_EQ(
        hits("hit GET /klik/error?sittingid=42&msg=Still%20Processing%20Previous%20Video... "), 1u);
    EXPECT_EQ(hits("msg=[Still Processing Previous Video...]"), 1u);
    EXPECT_FALSE(reachedScreen3());
}

TEST_F(WebPageEngineTest, LinksPicturesWindowsAndRedirectsToAnotherHostNeverLeaveTheServer) {
    startKiosk({});
    ASSERT_TRUE(waitFor([&] { return hits("hit GET /klik/start") == 1; }));
    web->controller().openUrlPage(server.base() + "/away");
    // The picture is blocked and the scripted click refused.
    ASSERT_TRUE(waitFor(
        [&] { return web->blockedRequestCount() >= 1 && web->refusedNavigationCount() >= 1; }));
    // A redirect is stopped by the navigation check or, failing that, by
    // the request check.
    const int stoppedBefore = web->refusedNavigationCount() + web->blockedRequestCount();
    web->controller().openUrlPage(server.base() + "/elsewhere");
    ASSERT_TRUE(waitFor([&] {
        return web->refusedNavigationCount() + web->blockedRequestCount() > stoppedBefore;
    }));
    // The server writes its hit line after the answer, which the browser
    // may already have acted on.
    EXPECT_TRUE(waitFor([&] { return hits("hit GET /klik/elsewhere") == 1; }));
    // The other host is this very server under another name: a request
    // that got out would be in its log.
    EXPECT_EQ(hits("/klik/leak"), 0u);
    EXPECT_EQ(web->page()->url().host().toStdString(), "127.0.0.1");
    EXPECT_FALSE(reachedScreen3());
}

}  // namespace
}  // namespace klik::test
