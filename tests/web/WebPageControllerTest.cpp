// The page controller on a virtual clock with a recording browser: the
// start page in web mode only, the sitting arriving and the start posted
// through the main loop, the done page and the return 2.0 s later, the
// error page with the sitting id and message, the buttons; and the whole
// exchange with the real screen sequence.

#include "web/WebPageController.h"

#include <gtest/gtest.h>

#include "ControllerFixture.h"
#include "FakeBrowser.h"
#include "app/SettingsKeys.h"
#include "foundation/ManualRunLoop.h"
#include "support/TempDir.h"
#include "web/KioskWebProtocol.h"

namespace klik::test {
namespace {

const std::string kSitting =
    "<sitting>\n <email>\n  guest@example.com \n</email>\n <sittingid>42</sittingid>\n</sitting>\n";

// Web mode on, with the start, done and error pages of one server.
void useWebPage(Settings& settings) {
    settings.setBool(key::prefDoUseWebView, true);
    settings.setString(key::prefBaseURL, "http://127.0.0.1:8080/klik");
    settings.setObject(key::prefWebViewFuseActions,
                       Value(Dictionary{{"cameraMain", "start"},
                                        {"cameraDone", "done"},
                                        {"cameraError", "error?sittingid=%@"}}));
}

class WebPageControllerTest : public ::testing::Test {
  protected:
    WebPageControllerTest() : settings(dir.file("settings.plist")) {
        RunLoop::setMain(&loop);
        useWebPage(settings);
        center.addObserver(kNotifictionStartPhotoSession,
                           [this](const Notification& n) { starts.push_back(n); });
    }
    ~WebPageControllerTest() override { RunLoop::setMain(nullptr); }

    TempDir dir;
    Settings settings;
    ManualRunLoop loop;
    NotificationCenter center;
    RecordingKioskUi ui;
    FakeBrowser browser;
    WebPageController page{settings, loop, center, browser, &ui};
    std::vector<Notification> starts;
};

TEST_F(WebPageControllerTest, TheFirstStartBuildsTheWindowAndOpensTheStartPage) {
    page.startWebView();
    EXPECT_TRUE(page.isWindowCreated());
    EXPECT_EQ(page.homePageUrl(), "http://127.0.0.1:8080/klik/start");
    EXPECT_EQ(browser.loads, (std::vector<std::string>{"http://127.0.0.1:8080/klik/start"}));
    EXPECT_TRUE(browser.visible);
    EXPECT_EQ(ui.count("menubar hidden"), 1u);
    // Later starts only bring the window forward.
    browser.calls.clear();
    page.startWebView();
    EXPECT_EQ(browser.calls, (std::vector<std::string>{"front"}));
    page.hideWebView(true);
    EXPECT_FALSE(browser.visible);
    page.hideWebView(false);
    EXPECT_TRUE(browser.visible);
}

TEST_F(WebPageControllerTest, OutsideWebModeOrWithoutAWindowNothingHappens) {
    settings.setBool(key::prefDoUseWebView, false);
    page.startWebView();
    EXPECT_TRUE(browser.calls.empty());
    settings.setBool(key::prefDoUseWebView, true);
    browser.canCreate = false;
    page.startWebView();
    EXPECT_FALSE(page.isWindowCreated());
    EXPECT_EQ(browser.calls, (std::vector<std::string>{"create"}));
    // Without a window the session notifications are not observed.
    center.post(kNotifictionPhotoSessionEnded);
    page.hideWebView(false);
    page.orderOutWebWindow();
    EXPECT_EQ(browser.calls.size(), 1u);
}

TEST_F(WebPageControllerTest, ASittingBecomesTheInformationAndPostsTheStartLater) {
    page.startWebView();
    EXPECT_FALSE(
        page.didFinishLoadForFrame("http://127.0.0.1:8080/klik/start", "text/html", true, ""));
    EXPECT_TRUE(page.didFinishLoadForFrame("http://127.0.0.1:8080/klik/sitting", "TEXT/KLIK-XML",
                                           true, ""));
    EXPECT_FALSE(page.didFinishLoadForFrame("http://x/", "text/klik-xml", false, "refused"));
    EXPECT_FALSE(page.webReturnInfo().has_value());

    page.sittingDocumentDidArrive(kSitting, "http://127.0.0.1:8080/klik/sitting");
    EXPECT_EQ(page.webReturnInfo(), (Dictionary{{"email", "guest@example.com"},
                                                {"sittingid", "42"},
                                                {"url", "http://127.0.0.1:8080/klik/sitting"}}));
    EXPECT_FALSE(browser.imageHidden);
    EXPECT_TRUE(starts.empty());  // asynchronous
    loop.runPending();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].sender(), &page);

    // An unreadable one still starts, without fields.
    page.sittingDocumentDidArrive("<sitting>", "http://127.0.0.1:8080/klik/sitting");
    EXPECT_EQ(page.webReturnInfo(), (Dictionary{{"url", "http://127.0.0.1:8080/klik/sitting"}}));
    loop.runPending();
    EXPECT_EQ(starts.size(), 2u);
}

TEST_F(WebPageControllerTest, AfterASessionTheDonePageAndTheWindowReturnErrorsOpenTheErrorPage) {
    page.startWebView();
    page.sittingDocumentDidArrive(kSitting, "u");
    page.orderOutWebWindow();
    browser.calls.clear();
    center.post(kNotifictionPhotoSessionEnded);
    EXPECT_FALSE(page.webReturnInfo().has_value());
    EXPECT_EQ(browser.calls, (std::vector<std::string>{"load http://127.0.0.1:8080/klik/done"}));
    EXPECT_FALSE(browser.visible);
    loop.advance(1.9);
    EXPECT_FALSE(browser.visible);
    loop.advance(0.2);
    EXPECT_TRUE(browser.visible);

    // A refused session opens the error page with the id and the message.
    page.sittingDocumentDidArrive(kSitting, "u");
    page.orderOutWebWindow();
    browser.calls.clear();
    center.post(kNotifictionPhotoSessionError, {},
                Dictionary{{"msg", "Still Processing Previous Video..."}});
    EXPECT_EQ(browser.calls,
              (std::vector<std::string>{"load http://127.0.0.1:8080/klik/error?sittingid=42&msg="
                                        "Still%20Processing%20Previous%20Video...",
                                        "front key"}));
    // The sitting information stays.
    EXPECT_TRUE(page.webReturnInfo().has_value());
    center.post(kNotifictionPhotoSessionError, {}, Dictionary{{"msg", ""}});
    EXPECT_EQ(browser.loads.back(), "http://127.0.0.1:8080/klik/error?sittingid=42");
}

TEST_F(WebPageControllerTest, WithoutADoneEntryTheBuiltInServerIsLoaded) {
    settings.setObject(key::prefWebViewFuseActions, Value(Dictionary{{"cameraMain", "start"}}));
    page.startWebView();
    center.post(kNotifictionPhotoSessionEnded);
    EXPECT_EQ(browser.loads.back(), std::string(kBuiltInServerAddress));
    center.post(kNotifictionPhotoSessionError);
    EXPECT_EQ(browser.loads.back(), std::string(kBuiltInServerAddress));
}

// The page and the real screen sequence together.
class WebSessionFlowTest : public ControllerFixture {
  protected:
    WebSessionFlowTest() {
        useWebPage(settings);
        controller->setWebController(&page);
        controller->startOver();
    }
    FakeBrowser browser;
    WebPageController page{settings, loop, center, browser, &ui};
};

TEST_F(WebSessionFlowTest, ASittingStartsAtScreen3TheDonePageFollowsOneWithoutEmailIsRefused) {
    ASSERT_TRUE(page.isWindowCreated());  // screen 1 started the page
    page.sittingDocumentDidArrive(kSitting, "http://127.0.0.1:8080/klik/sitting");
    loop.runPending();
    EXPECT_EQ(screen(), 3u);
    EXPECT_EQ(controller->emails(), (std::vector<std::string>{"guest@example.com"}));
    EXPECT_EQ(controller->barcodeValue(), "42");
    EXPECT_FALSE(browser.visible);
    while (screen() != 1 && loop.advanceToNextTimer()) {
    }
    loop.runPending();
    EXPECT_EQ(browser.loads.back(), "http://127.0.0.1:8080/klik/done");

    // A sitting without a valid email opens the error page with its id.
    for (const std::string& body :
         {std::string("<sitting><sittingid>42</sittingid></sitting>"),
          std::string(
              "<sitting><email>not-an-address</email><sittingid>42</sittingid></sitting>")}) {
        page.sittingDocumentDidArrive(body, "u");
        loop.runPending();
        EXPECT_EQ(screen(), 1u);
        EXPECT_EQ(browser.loads.back(), "http://127.0.0.1:8080/klik/error?sittingid=42");
        EXPECT_TRUE(browser.visible);
    }
}

}  // namespace
}  // namespace klik::test
