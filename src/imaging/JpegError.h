#pragma once
// libjpeg reports fatal errors through a callback that must not return.
// This error manager jumps back to the caller's setjmp point with the
// library's message kept, so a corrupt JPEG becomes an error value instead
// of an exit() of the whole kiosk.

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <string>

namespace klik {

struct JpegErrorManager {
    jpeg_error_mgr pub{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {0};

    jpeg_error_mgr* install() {
        jpeg_std_error(&pub);
        pub.error_exit = &JpegErrorManager::onError;
        pub.output_message = &JpegErrorManager::onMessage;
        return &pub;
    }

    static void onError(j_common_ptr cinfo) {
        auto* self = reinterpret_cast<JpegErrorManager*>(cinfo->err);
        (*cinfo->err->format_message)(cinfo, self->message);
        std::longjmp(self->jump, 1);
    }
    // Warnings (corrupt data the decoder works around) are kept, not printed.
    static void onMessage(j_common_ptr cinfo) {
        auto* self = reinterpret_cast<JpegErrorManager*>(cinfo->err);
        (*cinfo->err->format_message)(cinfo, self->message);
    }
};

}  // namespace klik
