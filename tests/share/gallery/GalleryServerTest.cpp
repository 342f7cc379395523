// The gallery's HTTP server on 127.0.0.1: hostile requests, floods and slow
// clients get bounded answers and the server keeps answering.

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

#include "GalleryFixture.h"
#include "RawHttp.h"
#include "share/gallery/GalleryPages.h"
#include "share/gallery/GalleryServer.h"

namespace klik {
namespace {

using namespace std::chrono_literals;
using test::GalleryWorld;
using test::get;

class GalleryServerTest : public testing::Test {
  protected:
    void startServer(GalleryLimits limits = {}) {
        server = std::make_unique<GalleryServer>(*world.service, limits);
        std::string error;
        ASSERT_TRUE(server->bind("127.0.0.1", 0, &error)) << error;
        server->start();
        port = server->port();
    }
    void TearDown() override {
        if (server) server->stop();
    }
    GalleryWorld world{true};
    std::unique_ptr<GalleryServer> server;
    int port = 0;
};

TEST_F(GalleryServerTest, PageAndPhotoWithoutAddressesAndByteRangesOfAMovieOverHttp) {
    const std::string token = world.addPhoto("G_001122334455_comp_001.jpg",
                                             test::taggedPhoto(640, 480, {"guest@example.com"}));
    const std::string day = world.upload + "/2024-05-01/";
    std::string movie(300000, '\0');
    for (size_t i = 0; i < movie.size(); ++i) movie[i] = static_cast<char>((i * 131) >> 3);
    test::placeFile(day + "clip_muxed.mov", movie);
    const std::string clip = world.addPhoto("clip.jpg", test::taggedPhoto(64, 64, {}));
    startServer();
    const test::RawAnswer page = get(port, "/p/" + token);
    ASSERT_EQ(page.status, 200) << page.raw;
    EXPECT_NE(page.body.find("/p/" + token + "/photo.jpg"), std::string::npos);
    const test::RawAnswer photo = get(port, "/p/" + token + "/download.jpg");
    ASSERT_EQ(photo.status, 200);
    EXPECT_EQ(photo.header("content-type"), "image/jpeg");
    EXPECT_EQ(photo.header("content-length"), std::to_string(photo.body.size()));
    EXPECT_NE(photo.header("content-disposition").find("attachment"), std::string::npos);
    // What is left of the payload is the service's to check; here: no address.
    EXPECT_EQ(photo.body.find("guest@example.com"), std::string::npos);
    // HEAD: the same headers, no body.
    const test::RawAnswer head = get(port, "/p/" + token + "/download.jpg", "", "HEAD");
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.header("content-length"), photo.header("content-length"));
    EXPECT_EQ(head.body, "");
    // Byte ranges of a video guest's movie.
    test::RawAnswer r = get(port, "/p/" + clip + "/movie", "Range: bytes=1000-1999\r\n");
    ASSERT_EQ(r.status, 206) << r.raw.substr(0, 300);
    EXPECT_EQ(r.body, movie.substr(1000, 1000));
    EXPECT_EQ(r.header("content-range"), "bytes 1000-1999/300000");
    EXPECT_EQ(r.header("content-length"), "1000");
    r = get(port, "/p/" + clip + "/movie", "Range: bytes=299990-400000\r\n");
    EXPECT_EQ(r.status, 206);
    EXPECT_EQ(r.body, movie.substr(299990));
    r = get(port, "/p/" + clip + "/movie", "Range: bytes=-16\r\n");
    EXPECT_EQ(r.body, movie.substr(movie.size() - 16));
    // Past the end: 416 with nothing of memory behind the body.
    r = get(port, "/p/" + clip + "/movie", "Range: bytes=300000-300100\r\n");
    EXPECT_EQ(r.status, 416);
    EXPECT_EQ(r.body, "");
    EXPECT_EQ(r.header("content-range"), "bytes */300000");
    // Several ranges: the whole movie once, never a body many times over.
    r = get(port, "/p/" + clip + "/movie", "Range: bytes=0-,0-,0-,0-\r\n");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, movie);
    r = get(port, "/p/" + clip + "/movie");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, movie);
    EXPECT_EQ(r.header("accept-ranges"), "bytes");
}

TEST_F(GalleryServerTest, HostilePathsTokensAndOverlongHeadersAreRefusedAndTheServerGoesOn) {
    const std::string token =
        world.addPhoto("a_001122334455_comp_001.jpg", test::taggedPhoto(64, 64, {}));
    const std::string otherToken = shareToken(ShareSecret::fromBytes(std::string(32, 'x')),
                                              "2024-05-01/a_001122334455_comp_001.jpg");
    startServer();
    for (const std::string& t : std::vector<std::string>{
             "/p/AAAAAAAAAAAAAAAAAAAAAA", "/p/" + otherToken, "/p/" + otherToken + "/photo.jpg",
             std::string("/p/../../../../../etc/passwd"), std::string("/../../etc/passwd"),
             "/p/" + token + "/..%2f..%2f..%2fetc%2fpasswd", "/p/" + token + "%2Fphoto.jpg",
             std::string("/p/%2e%2e/%2e%2e/%2e%2e/etc/passwd"), std::string("/etc/passwd"),
             std::string("/p/" + token + "/photo.jpg%00.html"), std::string("/p/%00")}) {
        const test::RawAnswer r = get(port, t);
        EXPECT_EQ(r.status, 404) << t;
        EXPECT_EQ(r.body, notFoundHtml()) << t;
        EXPECT_EQ(r.body.find("root:"), std::string::npos);
    }
    EXPECT_EQ(get(port, "/p/" + token).status, 200);
    test::RawAnswer post = test::rawRequest(
        port, "POST /p/" + token +
                  " HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello");
    EXPECT_EQ(post.status, 405);
    EXPECT_EQ(post.header("allow"), "GET, HEAD");
    // One huge header line, many small headers, a huge request line: refused,
    // and the server goes on.
    const std::string big = "GET /p/" + token +
                            " HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(100000, 'a') +
                            "\r\nConnection: close\r\n\r\n";
    std::string many = "GET /p/" + token + " HTTP/1.1\r\nHost: x\r\n";
    for (int i = 0; i < 5000; ++i) many += "X-" + std::to_string(i) + ": 1\r\n";
    many += "Connection: close\r\n\r\n";
    const std::string longLine =
        "GET /p/" + std::string(200000, 'A') + " HTTP/1.1\r\nHost: x\r\n\r\n";
    for (const std::string* req : std::vector<const std::string*>{&big, &many, &longLine}) {
        const test::RawAnswer r = test::rawRequest(port, *req, 5s);
        EXPECT_EQ(r.status, 431) << r.raw.substr(0, 200);
        EXPECT_EQ(get(port, "/p/" + token).status, 200);
    }
    EXPECT_EQ(server->stats().overlongHeads, 3u);
}

TEST_F(GalleryServerTest, TwoThousandRequestsFromOneClientInASecond) {
    const std::string token =
        world.addPhoto("a_001122334455_comp_001.jpg", test::taggedPhoto(64, 64, {}));
    startServer();
    std::atomic<int> next{0};
    std::mutex m;
    std::map<int, int> statuses;
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> clients;
    for (int c = 0; c < 8; ++c)
        clients.emplace_back([&, c] {
            // Half the clients reuse one connection, half open one a request.
            const bool keepAlive = c % 2 == 0;
            int fd = -1;
            for (int i; (i = next++) < 2000;) {
                const std::string target = i % 3 == 0
                                               ? "/p/" + token + "/photo.jpg"
                                               : "/p/MadeUp" + std::to_string(100000000000000 + i);
                int status = 0;
                if (keepAlive) {
                    if (fd < 0) fd = test::connectTo(port);
                    test::sendAll(fd, "GET " + target + " HTTP/1.1\r\nHost: x\r\n\r\n");
                    // Read one answer: headers, then Content-Length bytes.
                    std::string got;
                    char buf[65536];
                    size_t need = std::string::npos;
                    while (true) {
                        const size_t headEnd = got.find("\r\n\r\n");
                        if (headEnd != std::string::npos && need == std::string::npos) {
                            const test::RawAnswer a = test::parseAnswer(got);
                            need = headEnd + 4 +
                                   std::stoul(a.header("content-length").empty()
                                                  ? "0"
                                                  : a.header("content-length"));
                            status = a.status;
                            if (a.header("connection") == "close") need = 0;
                        }
                        if (need != std::string::npos && got.size() >= need) break;
                        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                        if (n <= 0) {
                            if (status == 0) status = test::parseAnswer(got).status;
                            need = 0;
                            break;
                        }
                        got.append(buf, static_cast<size_t>(n));
                    }
                    if (need == 0) {
                        ::close(fd);
                        fd = -1;
                    }
                } else {
                    status = get(port, target).status;
                }
                std::lock_guard lock(m);
                ++statuses[status];
            }
            if (fd >= 0) ::close(fd);
        });
    for (auto& t : clients) t.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int total = 0;
    for (auto [status, n] : statuses) {
        total += n;
        EXPECT_TRUE(status == 200 || status == 404 || status == 429) << status << " x" << n;
    }
    EXPECT_EQ(total, 2000);
    EXPECT_GT(statuses[429], 1000) << "the per-client limit held back most of them";
    RecordProperty("seconds", std::to_string(seconds));
    std::printf("2000 requests in %.2f s: 200 x%d, 404 x%d, 429 x%d\n", seconds, statuses[200],
                statuses[404], statuses[429]);
    // Still answering: as soon as the bucket refills the photo is there.
    EXPECT_TRUE(
        test::waitUntil([&] { return get(port, "/p/" + token + "/photo.jpg").status == 200; }));
}

TEST_F(GalleryServerTest, SlowClientsAndTooManyConnectionsAreBounded) {
    const std::string token =
        world.addPhoto("a_001122334455_comp_001.jpg", test::taggedPhoto(64, 64, {}));
    GalleryLimits limits;
    limits.requestHeadTimeout = 1500ms;
    limits.idleTimeout = 300ms;
    limits.maxConnectionsPerClient = 4;
    startServer(limits);
    // A client that sends half a request and stops is cut off.
    const int slow = test::connectTo(port);
    test::sendAll(slow, "GET /p/" + token + " HTTP/1.1\r\nHost: x\r\nX-Slow: ");
    // Four idle connections take this client's share; the fifth is refused.
    std::vector<int> idle;
    for (int i = 0; i < 3; ++i) idle.push_back(test::connectTo(port));
    ASSERT_TRUE(test::waitUntil([&] { return server->stats().connections >= 4; }));
    test::RawAnswer fifth = get(port, "/p/" + token);
    EXPECT_EQ(fifth.status, 429) << fifth.raw.substr(0, 200);
    const auto start = std::chrono::steady_clock::now();
    const std::string rest = test::readAll(slow, 5s);
    const double waited =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(waited, 8.0)
        << "the half request was cut off after its head time, not the usual 10 s";
    ::close(slow);
    for (int fd : idle) {
        test::readAll(fd, 3s);  // closed by the server
        ::close(fd);
    }
    EXPECT_EQ(get(port, "/p/" + token).status, 200);
}

TEST_F(GalleryServerTest, TheWallGetsANewPhotoWithinASecondAndStopEndsOpenConnectionsAtOnce) {
    world.addPhoto("old_001122334455_comp_001.jpg", test::taggedPhoto(64, 64, {}));
    startServer();
    const int fd = test::connectTo(port);
    test::sendAll(fd, "GET /wall/events HTTP/1.1\r\nHost: x\r\n\r\n");
    std::string got = test::readAll(fd, 500ms);
    EXPECT_NE(got.find("text/event-stream"), std::string::npos) << got;
    EXPECT_NE(got.find("\"replay\":true"), std::string::npos) << got;
    const auto filed = std::chrono::steady_clock::now();
    const std::string token =
        world.addPhoto("new_001122334455_comp_001.jpg", test::taggedPhoto(64, 64, {}));
    std::string live;
    while (live.find(token) == std::string::npos && std::chrono::steady_clock::now() - filed < 3s)
        live += test::readAll(fd, 50ms);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - filed).count();
    EXPECT_NE(live.find("\"token\":\"" + token + "\""), std::string::npos) << live;
    EXPECT_NE(live.find("\"replay\":false"), std::string::npos);
    EXPECT_LT(seconds, 1.0);
    // Stop ends the open connections (this stream and an idle one) at once.
    const int idle = test::connectTo(port);
    ASSERT_TRUE(test::waitUntil([&] { return server->stats().connections >= 2; }));
    const auto start = std::chrono::steady_clock::now();
    server->stop();
    // Well before the wall's 15 s heartbeat or the 10 s head time.
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 4.0);
    ::close(fd);
    ::close(idle);
    server.reset();
}

}  // namespace
}  // namespace klik
