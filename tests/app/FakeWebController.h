#pragma once
// A web page for tests: hands out the sitting information it is given and
// counts what the controller asks of it.

#include <optional>

#include "app/WebControllerPort.h"

namespace klik::test {

class FakeWebController : public WebControllerPort {
  public:
    std::optional<Dictionary> webReturnInfo() const override { return info; }
    void startWebView() override { ++startWebViews; }
    void orderOutWebWindow() override { ++orderOuts; }
    void hideWebView(bool hide) override { hidden = hide; }

    std::optional<Dictionary> info;
    int startWebViews = 0;
    int orderOuts = 0;
    bool hidden = false;
};

}  // namespace klik::test
