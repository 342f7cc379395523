// The kiosk web page on the real engine against klik-webserver, the page
// alone: a sitting is recognised on any main-frame load of its type (a
// link, a script's navigation, a redirect, a reload); a sitting that cannot
// be read (the answer broken off, no folder for the attachment, the page
// left before its text came) still starts the session, without fields;
// pages stay on the server while scripts, styles, pictures and fonts may
// also come from the origins the operator lists.

#include <QWebEnginePage>

#include "WebPageFixture.h"
#include "app/AppController.h"
#include "ui/web/KioskWebPage.h"

namespace klik::test {
namespace {

class WebPageSittingTest : public WebPageFixture {
  protected:
    void SetUp() override {
        WebPageFixture::SetUp();
        observer = center.addObserver(kNotifictionStartPhotoSession, [this](const Notification&) {
            starts.push_back(web->controller().webReturnInfo().value_or(Dictionary{}));
        });
    }
    void TearDown() override {
        if (observer) center.removeObserver(observer);
        WebPageFixture::TearDown();
    }

    // The server with `args`; `beforeWindow` may change the settings once
    // its address is known. The page shows the start page.
    void startPage(const std::vector<std::string>& args,
                   const std::function<void()>& beforeWindow = {}) {
        startServer(args);
        if (beforeWindow) beforeWindow();
        web = std::make_unique<WebViewWindowController>(settings, loop, center, nullptr);
        web->controller().startWebView();
        ASSERT_TRUE(
            waitFor([&] { return web->lastFinishedAddress() == server.base() + "/start"; }));
    }
    std::string other() const { return "http://localhost:" + std::to_string(server.port()); }

    NotificationCenter::ObserverId observer = 0;
    std::vector<Dictionary> starts;  // the sitting information at each start
};

std::string field(const Dictionary& d, const char* key) {
    const auto it = d.find(key);
    return it != d.end() && it->second.string() ? *it->second.string() : "<none>";
}

TEST_F(WebPageSittingTest, ALinkAScriptARedirectAndAReloadEachBringTheSitting) {
    startPage({});
    size_t expected = 0;
    for (const std::string how : {"link", "script", "redirect"}) {
        SCOPED_TRACE(how);
        web->controller().openUrlPage(server.base() + "/via?how=" + how + "&email=" + how +
                                      "@example.com&sittingid=" + how);
        ASSERT_TRUE(waitFor([&] { return starts.size() == expected + 1; }));
        ++expected;
        EXPECT_EQ(field(starts.back(), "email"), how + "@example.com");
        EXPECT_EQ(field(starts.back(), "sittingid"), how);
        EXPECT_EQ(field(starts.back(), "url"),
                  server.base() + "/sitting?email=" + how + "%40example.com&sittingid=" + how);
        EXPECT_FALSE(web->isImageViewHidden());
    }
    web->page()->triggerAction(QWebEnginePage::Reload);
    ASSERT_TRUE(waitFor([&] { return starts.size() == expected + 1; }));
    EXPECT_EQ(field(starts.back(), "email"), "redirect@example.com");
    EXPECT_EQ(hits("hit GET /klik/sitting?"), 4u);
    // Ordinary pages start nothing.
    web->controller().openUrlPage(server.base() + "/done");
    ASSERT_TRUE(waitFor([&] { return web->lastFinishedAddress() == server.base() + "/done"; }));
    web->controller().openUrlPage(server.base() + "/start");
    ASSERT_TRUE(waitFor([&] { return web->lastFinishedAddress() == server.base() + "/start"; }));
    EXPECT_EQ(starts.size(), expected + 1);
}

TEST_F(WebPageSittingTest, AnAttachmentBrokenOffStillStartsTheSessionWithoutFields) {
    startPage({"--attachment", "--cut-sitting"});
    const std::string address = server.base() + "/sitting?email=cut%40example.com&sittingid=C1";
    web->controller().openUrlPage(address);
    ASSERT_TRUE(waitFor([&] { return !starts.empty(); }, 60000));
    EXPECT_EQ(starts.front(), (Dictionary{{"url", Value(address)}}));
    EXPECT_GE(hits("sitting cut off"), 1u);
}

TEST_F(WebPageSittingTest, AnAttachmentWithoutAFolderStillStartsTheSessionWithoutFields) {
    startPage({"--attachment"});
    // No private folder can be made for it: where it would go is a file.
    writeFile(dir.file("not-a-folder"), "x");
    web->setDownloadParentFolder(QString::fromStdString(dir.file("not-a-folder")));
    const std::string address = server.base() + "/sitting?email=x%40example.com&sittingid=F1";
    web->controller().openUrlPage(address);
    ASSERT_TRUE(waitFor([&] { return !starts.empty(); }));
    EXPECT_EQ(starts.front(), (Dictionary{{"url", Value(address)}}));
}

TEST_F(WebPageSittingTest, ASittingLeftBeforeItsTextCameStillStartsTheSessionWithoutFields) {
    startPage({});
    // The page moves on the moment the sitting is recognised, before its
    // text is asked for.
    QObject::connect(web.get(), &WebViewWindowController::sittingTypeRecognised, web.get(),
                     [this] { web->controller().openUrlPage(server.base() + "/done"); });
    const std::string address = server.base() + "/sitting?email=gone%40example.com&sittingid=G1";
    web->controller().openUrlPage(address);
    ASSERT_TRUE(waitFor([&] { return !starts.empty(); }));
    EXPECT_EQ(starts.front(), (Dictionary{{"url", Value(address)}}));
    ASSERT_TRUE(waitFor([&] { return web->lastFinishedAddress() == server.base() + "/done"; }));
    EXPECT_EQ(starts.size(), 1u);
}

TEST_F(WebPageSittingTest, PageResourcesMayComeFromListedOriginsButPagesStayOnTheServer) {
    startPage({}, [this] {
        settings.setObject(key::prefWebAllowedOrigins,
                           Value(Array{Value(other()), Value("not an address")}));
    });
    web->controller().openUrlPage(server.base() + "/assets");
    const std::string host = " host=localhost:" + std::to_string(server.port());
    for (const char* asset : {"style.css", "script.js", "image.png", "font.woff"}) {
        SCOPED_TRACE(asset);
        EXPECT_TRUE(waitFor([&] {
            return hits(std::string("hit GET /klik/asset/") + asset + host) == 1;
        })) <<
            [&] {
                std::string all;
                for (const std::string& l : server.logLines("hit ")) all += l + "\n";
                return all;
            }();
    }
    // The data request and the navigation to the listed origin are stopped.
    ASSERT_TRUE(waitFor(
        [&] { return web->refusedNavigationCount() >= 1 && web->blockedRequestCount() >= 1; }));
    EXPECT_EQ(hits("/klik/leak"), 0u);
    EXPECT_EQ(web->page()->url().host().toStdString(), "127.0.0.1");
}

TEST_F(WebPageSittingTest, WithoutListedOriginsNothingComesFromElsewhere) {
    startPage({});
    web->controller().openUrlPage(server.base() + "/assets");
    ASSERT_TRUE(waitFor([&] { return web->blockedRequestCount() >= 4; }));
    ASSERT_TRUE(waitFor([&] { return web->refusedNavigationCount() >= 1; }));
    EXPECT_EQ(hits("/klik/asset/"), 0u);
    EXPECT_EQ(hits("/klik/leak"), 0u);
}

}  // namespace
}  // namespace klik::test
