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

}  // namespace klik::test
