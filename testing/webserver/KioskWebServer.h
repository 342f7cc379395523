#pragma once
// klik-webserver: a small kiosk web server, an example for installers and
// the driver of the web demo and tests. It serves a start page whose form
// starts a sitting, answers the form with the sitting document
// ("text/klik-xml"), and serves the done and error pages the kiosk opens
// after a session. Every request is written to its log and to standard
// output as one "hit" line, so tests and operators see the outcome.
//
// Pages live under /klik: start, sitting (the form's target), done,
// error?sittingid=..&msg=.., away (links to another host), elsewhere
// (redirects to another host), via?how=link|script|redirect (reaches the
// sitting by GET that way), assets (takes scripts, styles, a picture and a
// font from another host) and asset/NAME (what it takes). A file
// start.html, done.html or error.html in the --root folder replaces the
// built-in page.

#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace httplib {
class Server;
struct Response;
}  // namespace httplib

namespace klik::webserver {

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8080;  // 0: any free port
    std::string root;
    std::string logPath;
    int autoGuests = 0;  // the first N start pages submit themselves
    std::string guestEmail = "guest%d@example.com";
    std::string guestSitting = "S%d";
    std::string guestVideo;
    std::string sittingType = "text/klik-xml";
    bool attachment = false;
    bool cutSitting = false;  // the sitting answer stops half-way
    std::string otherOrigin;  // for the away page; default http://localhost:PORT
    bool help = false;
};

extern const char* const kUsage;

// Nullopt, with the reason in `error`, on a bad command line.
std::optional<ServerOptions> parseServerOptions(const std::vector<std::string>& args,
                                                std::string* error);

class KioskWebServer {
  public:
    explicit KioskWebServer(ServerOptions options);
    ~KioskWebServer();

    // Binds the port; false with the reason on standard error. The chosen
    // port is port() afterwards.
    bool bind();
    int port() const { return port_; }
    // The address of the pages ("http://host:port/klik").
    std::string baseAddress() const;
    // Serves until the process is stopped; false when serving failed.
    bool serve();

  private:
    void route();
    void answerSitting(const std::map<std::string, std::string>& fields, httplib::Response& res);
    void hit(const std::string& line);
    std::string pageFromRoot(const std::string& name) const;
    static std::string filled(const std::string& pattern, int n);

    ServerOptions o_;
    std::unique_ptr<httplib::Server> server_;
    int port_ = 0;
    std::mutex mutex_;
    std::ofstream log_;
    int startVisits_ = 0;
};

}  // namespace klik::webserver
