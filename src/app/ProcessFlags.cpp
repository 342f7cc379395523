#include "app/ProcessFlags.h"

namespace klik {

std::atomic<bool> forceSingleMonitor{true};
VideoProcessingCount gIsProcessingVideo;
std::atomic<bool> doNewWebViewMethod{false};

}  // namespace klik
