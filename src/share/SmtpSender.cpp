#include "share/SmtpSender.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace klik::share {

namespace {

struct Exchange {
    const std::string* message = nullptr;
    size_t offset = 0;
    bool bodyDone = false;
    bool goAhead = false;      // the server asked for the message (354)
    bool answeredEnd = false;  // the server said something about the whole message
    bool accepted = false;
    bool refusedEnd = false;
    std::string lastReply;  // the server's last answer line, for the error text
    const SmtpHooks* hooks = nullptr;
};

size_t readBody(char* buffer, size_t size, size_t count, void* user) {
    auto* x = static_cast<Exchange*>(user);
    const size_t room = size * count;
    const size_t left = x->message->size() - x->offset;
    const size_t n = std::min(room, left);
    // The last bytes: once they are out the server may take the message,
    // so that is recorded before they are handed over. libcurl knows the
    // message's size and does not ask again after them, so this is the
    // last moment the record can come first. When it cannot be recorded,
    // the message is not finished.
    if (!x->bodyDone && n == left) {
        if (x->hooks->bodySent && !x->hooks->bodySent()) {
            x->refusedEnd = true;
            return CURL_READFUNC_ABORT;
        }
        x->bodyDone = true;
    }
    if (n == 0) return 0;
    std::memcpy(buffer, x->message->data() + x->offset, n);
    x->offset += n;
    return n;
}

// libcurl hands every answer line of the server to the header callback.
size_t serverLine(char* buffer, size_t size, size_t count, void* user) {
    auto* x = static_cast<Exchange*>(user);
    const size_t n = size * count;
    std::string line(buffer, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    x->lastReply = line;
    const bool finalLine = line.size() >= 3 && (line.size() == 3 || line[3] == ' ');
    if (!finalLine) return n;
    // The answer to the message is the first one after its end, which
    // can only follow the server's request for it (354); a 221 to the
    // goodbye after a refusal is no acceptance.
    if (!x->goAhead) {
        x->goAhead = line.compare(0, 3, "354") == 0;
        return n;
    }
    if (!x->bodyDone || x->answeredEnd) return n;
    x->answeredEnd = true;
    if (line[0] == '2') {
        x->accepted = true;
        if (x->hooks->accepted) x->hooks->accepted();
    }
    return n;
}

int progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* x = static_cast<Exchange*>(user);
    // Once the message is complete the answer is awaited: giving up then
    // would leave it unknown whether the guest got it.
    if (!x->bodyDone && x->hooks->stopRequested && x->hooks->stopRequested()) return 1;
    return 0;
}

}  // namespace

SmtpSender::SmtpSender() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    curl_ = curl_easy_init();
}

SmtpSender::~SmtpSender() {
    curl_easy_cleanup(static_cast<CURL*>(curl_));
}

void SmtpSender::setTimeouts(long connectSeconds, long answerSeconds) {
    connectTimeout_ = connectSeconds;
    answerTimeout_ = answerSeconds;
}

DeliveryResult SmtpSender::send(const SmtpAccount& account, const std::string& from,
                                const std::string& to, const std::string& message,
                                const SmtpHooks& hooks) {
    auto* c = static_cast<CURL*>(curl_);
    if (!c) return {DeliveryOutcome::Temporary, "libcurl could not be started"};
    const bool smtps = account.url.rfind("smtps://", 0) == 0;
    if (!smtps && account.url.rfind("smtp://", 0) != 0)
        return {DeliveryOutcome::Temporary,
                "the mail server must be an smtp:// or smtps:// address: " + account.url};

    curl_easy_reset(c);
    Exchange x;
    x.message = &message;
    x.hooks = &hooks;
    curl_slist* rcpt = curl_slist_append(nullptr, ("<" + to + ">").c_str());
    curl_easy_setopt(c, CURLOPT_URL, account.url.c_str());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    if (!smtps)
        curl_easy_setopt(c, CURLOPT_USE_SSL,
                         account.user.empty() ? static_cast<long>(CURLUSESSL_TRY)
                                              : static_cast<long>(CURLUSESSL_ALL));
    if (!account.user.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, account.user.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, account.password.c_str());
    }
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, ("<" + from + ">").c_str());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
    curl_easy_setopt(c, CURLOPT_READFUNCTION, readBody);
    curl_easy_setopt(c, CURLOPT_READDATA, &x);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, serverLine);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &x);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &x);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, connectTimeout_);
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, answerTimeout_);
    // A transfer that stalls (a dead link) ends instead of hanging.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 64L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, answerTimeout_);
    // One message per connection: nothing of one guest's exchange is left
    // open for the next.
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);

    const CURLcode rc = curl_easy_perform(c);
    long code = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
    curl_slist_free_all(rcpt);

    if (rc == CURLE_OK || x.accepted) {
        if (!x.accepted && hooks.accepted) hooks.accepted();
        return {DeliveryOutcome::Delivered, ""};
    }
    if (x.refusedEnd)
        return {DeliveryOutcome::Temporary,
                "the outbox could not note the message before its end; not sent"};
    if (rc == CURLE_ABORTED_BY_CALLBACK && !x.bodyDone)
        return {DeliveryOutcome::Stopped, "stopped"};
    std::string why = curl_easy_strerror(rc);
    if (!x.lastReply.empty() && code >= 400) why += " (server: " + x.lastReply + ")";
    // The whole message went out and no answer came back (a dead link, a
    // timeout): the server may have taken it, so a resend may be a copy.
    if (x.goAhead && x.bodyDone && !x.answeredEnd) {
        DeliveryResult r{DeliveryOutcome::Temporary, why};
        r.maybeTaken = true;
        return r;
    }
    // A 5xx answer is the server's final word on this message (the mailbox
    // does not exist, the address is refused). Login and TLS trouble (535,
    // 530) is the operator's to mend: those are retried.
    if (code >= 500 && code < 600 && rc != CURLE_LOGIN_DENIED && code != 530 && code != 535 &&
        code != 534 && code != 538)
        return {DeliveryOutcome::Permanent, why};
    return {DeliveryOutcome::Temporary, why};
}

}  // namespace klik::share
