#include "app/ProcessFlags.h"

namespace klik {

std::atomic<bool> forceSingleMonitor{true};
std::atomic<bool> gIsProcessingVideo{false};
std::atomic<bool> doNewWebViewMethod{false};

}  // namespace klik
