#pragma once
// A browser window that records what the page controller asks of it.

#include <string>
#include <vector>

#include "web/WebBrowserPort.h"

namespace klik::test {

class FakeBrowser : public WebBrowserPort {
  public:
    bool createWindow() override {
        calls.push_back("create");
        return canCreate;
    }
    void fillMainScreen() override { calls.push_back("fill"); }
    void loadInMainFrame(const std::string& address) override {
        calls.push_back("load " + address);
        loads.push_back(address);
    }
    void orderFront(bool makeKey) override {
        calls.push_back(makeKey ? "front key" : "front");
        visible = true;
    }
    void orderOut() override {
        calls.push_back("out");
        visible = false;
    }
    void setImageViewHidden(bool hidden) override { imageHidden = hidden; }

    bool canCreate = true;
    bool visible = false;
    bool imageHidden = true;
    std::vector<std::string> calls;
    std::vector<std::string> loads;
};

}  // namespace klik::test
