#pragma once
// A photo module for tests: counts keeps and prints.

#include "app/PhotoPipelinePort.h"

namespace klik::test {

class FakePhotoPipeline : public PhotoPipelinePort {
  public:
    bool postProcessNewPhoto() override {
        ++kept;
        return true;
    }
    void printCurrentPictureWithPrompt() override { ++printed; }
    int kept = 0;
    int printed = 0;
};

}  // namespace klik::test
