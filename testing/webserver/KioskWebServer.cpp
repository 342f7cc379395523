#include "KioskWebServer.h"

#include <httplib.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <sstream>

#include "KioskWebPages.h"

namespace klik::webserver {

const char* const kUsage =
    "usage: klik-webserver [--port N] [--host ADDR] [--root DIR] [--log FILE] [--auto N]\n"
    "                      [--guest-email PATTERN] [--guest-sitting PATTERN] [--guest-video NAME]\n"
    "                      [--sitting-type TYPE] [--attachment] [--cut-sitting]\n"
    "                      [--other-origin URL]\n"
    "  --port N               listen on port N (default 8080; 0: any free port)\n"
    "  --host ADDR            listen on ADDR (default 127.0.0.1)\n"
    "  --root DIR             pages start.html, done.html, error.html from DIR replace the "
    "built-in ones\n"
    "  --log FILE             append every hit to FILE as well as to standard output\n"
    "  --auto N               the first N start pages fill in a guest and submit themselves\n"
    "  --guest-email PATTERN  the guest's address, %d the guest's number (default "
    "guest%d@example.com; empty: none)\n"
    "  --guest-sitting PATTERN  the sitting id, %d the guest's number (default S%d; empty: "
    "none)\n"
    "  --guest-video NAME     the prompt movie's name (default none)\n"
    "  --sitting-type TYPE    the sitting's MIME type (default text/klik-xml)\n"
    "  --attachment           send the sitting as an attachment\n"
    "  --cut-sitting          break off the sitting answer half-way\n"
    "  --other-origin URL     where the away page links to (default http://localhost:PORT)\n"
    "Pages: /klik/start, /klik/sitting (POST, or GET with the fields in the query),\n"
    "/klik/done, /klik/error, /klik/away, /klik/elsewhere (a redirect to the other origin),\n"
    "/klik/via?how=link|script|redirect&email=.. (reaches the sitting that way),\n"
    "/klik/assets (scripts, styles, a picture and a font from the other origin),\n"
    "/klik/asset/NAME.\n";

std::optional<ServerOptions> parseServerOptions(const std::vector<std::string>& args,
                                                std::string* error) {
    ServerOptions o;
    auto fail = [&](const std::string& why) -> std::optional<ServerOptions> {
        if (error) *error = why;
        return std::nullopt;
    };
    auto number = [](const std::string& s, long lo, long hi, long* out) {
        char* end = nullptr;
        errno = 0;
        const long n = std::strtol(s.c_str(), &end, 10);
        if (errno || !end || *end || s.empty() || n < lo || n > hi) return false;
        *out = n;
        return true;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasNext = i + 1 < args.size();
        long n = 0;
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--attachment") {
            o.attachment = true;
        } else if (a == "--cut-sitting") {
            o.cutSitting = true;
        } else if (!hasNext) {
            return fail(a == "--port" || a == "--host" || a == "--root" || a == "--log" ||
                                a == "--auto" || a == "--guest-email" || a == "--guest-sitting" ||
                                a == "--guest-video" || a == "--sitting-type" ||
                                a == "--other-origin"
                            ? a + " needs a value"
                            : "unknown argument [" + a + "]");
        } else if (a == "--port") {
            if (!number(args[++i], 0, 65535, &n)) return fail("--port needs 0 to 65535");
            o.port = static_cast<int>(n);
        } else if (a == "--auto") {
            if (!number(args[++i], 0, 100000, &n)) return fail("--auto needs a number of guests");
            o.autoGuests = static_cast<int>(n);
        } else if (a == "--host") {
            o.host = args[++i];
        } else if (a == "--root") {
            o.root = args[++i];
        } else if (a == "--log") {
            o.logPath = args[++i];
        } else if (a == "--guest-email") {
            o.guestEmail = args[++i];
        } else if (a == "--guest-sitting") {
            o.guestSitting = args[++i];
        } else if (a == "--guest-video") {
            o.guestVideo = args[++i];
        } else if (a == "--sitting-type") {
            o.sittingType = args[++i];
            if (o.sittingType.empty() || o.sittingType.find_first_of("\r\n") != std::string::npos)
                return fail("--sitting-type needs a MIME type");
        } else if (a == "--other-origin") {
            o.otherOrigin = args[++i];
        } else {
            return fail("unknown argument [" + a + "]");
        }
    }
    return o;
}

KioskWebServer::KioskWebServer(ServerOptions options)
    : o_(std::move(options)), server_(std::make_unique<httplib::Server>()) {
    if (!o_.logPath.empty()) log_.open(o_.logPath, std::ios::app);
    route();
}

KioskWebServer::~KioskWebServer() = default;

std::string KioskWebServer::baseAddress() const {
    return "http://" + o_.host + ":" + std::to_string(port_) + "/klik";
}

bool KioskWebServer::bind() {
    if (o_.port == 0) {
        port_ = server_->bind_to_any_port(o_.host);
    } else {
        port_ = server_->bind_to_port(o_.host, o_.port) ? o_.port : -1;
    }
    if (port_ <= 0) {
        std::cerr << "klik-webserver: cannot listen on " << o_.host << ":" << o_.port << "\n";
        return false;
    }
    if (o_.otherOrigin.empty()) o_.otherOrigin = "http://localhost:" + std::to_string(port_);
    return true;
}

bool KioskWebServer::serve() {
    return server_->listen_after_bind();
}

std::string KioskWebServer::filled(const std::string& pattern, int n) {
    std::string out = pattern;
    const size_t at = out.find("%d");
    if (at != std::string::npos) out.replace(at, 2, std::to_string(n));
    return out;
}

std::string KioskWebServer::pageFromRoot(const std::string& name) const {
    if (o_.root.empty()) return {};
    std::ifstream in(o_.root + "/" + name, std::ios::binary);
    if (!in) return {};
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void KioskWebServer::hit(const std::string& line) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::lock_guard<std::mutex> lock(mutex_);
    std::cout << stamp << " " << line << std::endl;
    if (log_) log_ << stamp << " " << line << std::endl;
}

void KioskWebServer::answerSitting(const std::map<std::string, std::string>& fields,
                                   httplib::Response& res) {
    // The document is 7-bit ASCII: anything else in a field would be
    // refused by the kiosk anyway, so say so here.
    for (const auto& [name, value] : fields)
        for (char c : value)
            if (static_cast<unsigned char>(c) >= 0x80) {
                hit("sitting field [" + name + "] is not 7-bit ASCII; the kiosk will refuse it");
                break;
            }
    const std::string xml = sittingXml(fields);
    if (o_.attachment)
        res.set_header("Content-Disposition", "attachment; filename=\"sitting.xml\"");
    if (!o_.cutSitting) {
        res.set_content(xml, o_.sittingType);
        return;
    }
    // Promises the whole document, sends half of it and breaks off.
    auto body = std::make_shared<std::string>(xml);
    res.set_content_provider(
        body->size(), o_.sittingType, [this, body](size_t offset, size_t, httplib::DataSink& sink) {
            if (offset > 0) {
                hit("sitting cut off after " + std::to_string(offset) + " bytes");
                return false;
            }
            sink.write(body->data(), body->size() / 2);
            return true;
        });
}

void KioskWebServer::route() {
    using httplib::Request;
    using httplib::Response;
    httplib::Server& s = *server_;
    // No page may be kept by a browser: every load reaches the server.
    s.set_post_routing_handler(
        [](const Request&, Response& res) { res.set_header("Cache-Control", "no-store"); });
    s.set_logger([this](const Request& req, const Response& res) {
        hit("hit " + req.method + " " + req.target + " host=" + req.get_header_value("Host") +
            " status=" + std::to_string(res.status));
    });

    s.Get("/", [](const Request&, Response& res) { res.set_redirect("/klik/start"); });
    s.Get("/klik", [](const Request&, Response& res) { res.set_redirect("/klik/start"); });
    s.Get("/klik/start", [this](const Request&, Response& res) {
        std::string html = pageFromRoot("start.html");
        if (html.empty()) {
            StartPage page;
            page.formAction = "/klik/sitting";
            int visit = 0;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                visit = ++startVisits_;
            }
            if (visit <= o_.autoGuests) {
                page.autoSubmit = true;
                page.email = filled(o_.guestEmail, visit);
                page.sittingId = filled(o_.guestSitting, visit);
                page.video = o_.guestVideo;
                hit("guest " + std::to_string(visit) + " submits the form");
            }
            html = startPageHtml(page);
        }
        res.set_content(html, "text/html; charset=utf-8");
    });
    auto sittingFields = [this](const Request& req) {
        std::map<std::string, std::string> fields;
        for (const char* name : {"email", "sittingid", "video"})
            if (req.has_param(name)) fields[name] = req.get_param_value(name);
        hit("sitting email=[" + fields["email"] + "] sittingid=[" + fields["sittingid"] +
            "] video=[" + fields["video"] + "]");
        return fields;
    };
    s.Post("/klik/sitting", [this, sittingFields](const Request& req, Response& res) {
        answerSitting(sittingFields(req), res);
    });
    s.Get("/klik/sitting", [this, sittingFields](const Request& req, Response& res) {
        answerSitting(sittingFields(req), res);
    });
    s.Get("/klik/via", [](const Request& req, Response& res) {
        std::string query;
        for (const char* name : {"email", "sittingid", "video"})
            if (req.has_param(name))
                query += std::string(query.empty() ? "?" : "&") + name + "=" +
                         httplib::detail::encode_query_param(req.get_param_value(name));
        const std::string target = "/klik/sitting" + query;
        const std::string how = req.get_param_value("how");
        if (how == "redirect") {
            res.set_redirect(target);
        } else if (how == "script" || how == "link") {
            res.set_content(viaPageHtml(target, how == "script"), "text/html; charset=utf-8");
        } else {
            res.status = 400;
            res.set_content("how=link, script or redirect\n", "text/plain");
        }
    });
    s.Get("/klik/assets", [this](const Request&, Response& res) {
        res.set_content(assetsPageHtml(o_.otherOrigin), "text/html; charset=utf-8");
    });
    s.Get(R"(/klik/asset/([a-z]+)\.([a-z0-9]+))", [](const Request& req, Response& res) {
        const std::string kind = req.matches[2];
        if (kind == "css")
            res.set_content("body { color: #f0f0f0; }\n", "text/css");
        else if (kind == "js")
            res.set_content("window.klikAsset = true;\n", "text/javascript");
        else if (kind == "png")
            res.set_content(onePixelPng(), "image/png");
        else if (kind == "woff")
            res.set_content(std::string("wOFF"), "font/woff");
        else
            res.status = 404;
    });
    s.Get("/klik/done", [this](const Request&, Response& res) {
        hit("outcome done");
        std::string html = pageFromRoot("done.html");
        if (html.empty()) html = donePageHtml("/klik/start");
        res.set_content(html, "text/html; charset=utf-8");
    });
    s.Get("/klik/error", [this](const Request& req, Response& res) {
        const std::string id = req.get_param_value("sittingid");
        const std::string msg = req.get_param_value("msg");
        hit("outcome error sittingid=[" + id + "] msg=[" + msg + "]");
        std::string html = pageFromRoot("error.html");
        if (html.empty()) html = errorPageHtml(id, msg, "/klik/start");
        res.set_content(html, "text/html; charset=utf-8");
    });
    s.Get("/klik/elsewhere", [this](const Request&, Response& res) {
        res.set_redirect(o_.otherOrigin + "/klik/leak?redirect=1");
    });
    s.Get("/klik/away", [this](const Request&, Response& res) {
        res.set_content(awayPageHtml(o_.otherOrigin), "text/html; charset=utf-8");
    });
}

}  // namespace klik::webserver
