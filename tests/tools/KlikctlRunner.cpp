#include "KlikctlRunner.h"

#include <sys/wait.h>

#include <cstdlib>

namespace klik::test {

Klikctl::Klikctl() : settings_(dir_.file("settings.plist")) {}

ToolResult Klikctl::run(const std::string& args) const {
    std::string out = dir_.file("out.txt"), err = dir_.file("err.txt");
    std::string cmd = std::string("'") + KLIKCTL_PATH + "' --root '" + dir_.path() +
                      "/root' --settings '" + settings_ + "' " + args + " >'" + out + "' 2>'" +
                      err + "'";
    int raw = std::system(cmd.c_str());
    ToolResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readFile(out);
    r.err = readFile(err);
    return r;
}

testing::AssertionResult runs(const Klikctl& k, const std::string& args, int status,
                              const std::string& out, const std::string& err) {
    const ToolResult r = k.run(args);
    if (r.status == status && r.out.find(out) != std::string::npos &&
        r.err.find(err) != std::string::npos)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "klikctl " << args << ": status " << r.status << " (want "
                                       << status << ")\nout: " << r.out << "\nerr: " << r.err;
}

}  // namespace klik::test
