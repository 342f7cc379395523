#pragma once
// Sends one message to one recipient through an SMTP server with libcurl.
//
// smtp:// URLs upgrade to TLS with STARTTLS whenever the server offers it,
// and require it when a login is used (a password never travels in the
// clear); smtps:// is TLS from the start. Server certificates are verified.
//
// The caller learns two moments through hooks, so the outbox can record
// them at once: just before the message's end is sent (from then on the
// server may take it), and the server's acceptance of the message, read
// before the connection is closed.
//
// Any thread; blocks for the whole exchange. One object per thread.

#include <functional>
#include <string>

#include "share/Delivery.h"

namespace klik::share {

struct SmtpAccount {
    std::string url;       // smtp://host[:port] or smtps://host[:port]
    std::string user;      // "" = no login
    std::string password;  // never logged
};

struct SmtpHooks {
    // The last byte of the message is about to be handed over; false stops
    // the exchange before the message's end is sent (nothing delivered).
    std::function<bool()> bodySent;
    std::function<void()> accepted;       // the server answered 250 to the message
    std::function<bool()> stopRequested;  // true: give up before the message is complete
};

class SmtpSender {
  public:
    SmtpSender();
    ~SmtpSender();
    SmtpSender(const SmtpSender&) = delete;
    SmtpSender& operator=(const SmtpSender&) = delete;

    DeliveryResult send(const SmtpAccount& account, const std::string& from, const std::string& to,
                        const std::string& message, const SmtpHooks& hooks = {});

    // Seconds allowed for connecting and for each answer of the server.
    void setTimeouts(long connectSeconds, long answerSeconds);

  private:
    void* curl_;
    long connectTimeout_ = 30, answerTimeout_ = 120;
};

}  // namespace klik::share
