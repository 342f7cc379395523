#include "LogFixture.h"

#include <fcntl.h>
#include <unistd.h>

#include "support/TempDir.h"

namespace klik::test {

const char* const kStampedLinePrefix =
    R"(^(I|D|D2|E|W) \[\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3} [+-]\d{4}\] )";

StderrCapture::StderrCapture() {
    std::fflush(stderr);
    saved_ = ::dup(STDERR_FILENO);
    int fd = ::open(dir_.file("stderr.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
}

StderrCapture::~StderrCapture() {
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
}

std::string StderrCapture::text() const {
    return readFile(dir_.file("stderr.txt"));
}

::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
    auto around = [i](const std::string& s) { return s.substr(i < 20 ? 0 : i - 20, 60); };
    return ::testing::AssertionFailure()
           << "sizes " << actual.size() << " and " << expected.size() << ", first difference at "
           << i << ": \"" << around(actual) << "\" vs \"" << around(expected) << "\"";
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return lines;
}

std::string messageOf(const std::string& line) {
    size_t close = line.find("] ");
    return close == std::string::npos ? std::string() : line.substr(close + 2);
}

}  // namespace klik::test
