#include "camera/QZNSImageFlipped.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <string>

namespace klik {

namespace {

struct DecodeError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onDecodeError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<DecodeError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (such as trailing bytes after the image) are not failures.
void onDecodeMessage(j_common_ptr, int) {}

}  // namespace

bool decodeJpegRGB(const std::uint8_t* bytes, size_t length, std::vector<std::uint8_t>& rgb,
                   int& width, int& height, std::string* error) {
    if (!bytes || length < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) {
        if (error) *error = "not a JPEG";
        return false;
    }
    jpeg_decompress_struct cinfo;
    DecodeError err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onDecodeError;
    err.pub.emit_message = onDecodeMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        if (error) *error = err.message;
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes, static_cast<unsigned long>(length));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    width = static_cast<int>(cinfo.output_width);
    height = static_cast<int>(cinfo.output_height);
    const size_t stride = static_cast<size_t>(width) * 3;
    rgb.resize(stride * static_cast<size_t>(height));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = rgb.data() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

std::shared_ptr<QZNSImageFlipped> QZNSImageFlipped::imageWithData(Data jpeg) {
    auto image = std::make_shared<QZNSImageFlipped>();
    image->arrival_ = std::chrono::steady_clock::now();
    if (!decodeJpegRGB(jpeg.data(), jpeg.size(), image->pixels_, image->width_, image->height_))
        return nullptr;
    image->jpeg_ = std::move(jpeg);
    return image;
}

std::shared_ptr<QZNSImageFlipped> QZNSImageFlipped::imageWithBytes(const std::uint8_t* bytes,
                                                                   size_t length) {
    if (!bytes) return nullptr;
    const auto taken = std::chrono::steady_clock::now();
    auto image = imageWithData(Data(bytes, bytes + length));
    if (image) image->arrival_ = taken;
    return image;
}

}  // namespace klik
