#include "imaging/JpegSquare.h"

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <type_traits>
#include <vector>

#include "imaging/ImageLimits.h"
#include "imaging/JpegError.h"

namespace klik {

SquareGeometry centredSquareGeometry(int width, int height) {
    SquareGeometry g;
    g.sourceWidth = width;
    g.sourceHeight = height;
    g.side = std::min(width, height);
    g.x = (width - g.side) / 2;
    g.y = (height - g.side) / 2;
    return g;
}

bool jpegEndsWithEndMarker(const Data& jpeg) {
    size_t n = jpeg.size();
    // Some writers pad the file after the end marker.
    while (n > 0 && jpeg[n - 1] == 0x00) --n;
    return n >= 4 && jpeg[n - 2] == 0xFF && jpeg[n - 1] == 0xD9;
}

Data exifApp1Payload(const Data& jpeg) {
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return {};
    size_t i = 2;
    while (i + 4 <= jpeg.size()) {
        if (jpeg[i] != 0xFF) return {};
        const std::uint8_t marker = jpeg[i + 1];
        if (marker == 0xFF) {  // fill byte
            ++i;
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            i += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return {};  // image data begins: no EXIF before it
        const size_t len = (static_cast<size_t>(jpeg[i + 2]) << 8) | jpeg[i + 3];
        if (len < 2 || i + 2 + len > jpeg.size()) return {};
        if (marker == 0xE1 && len >= 8 && std::memcmp(&jpeg[i + 4], "Exif\0\0", 6) == 0)
            return Data(jpeg.begin() + static_cast<long>(i + 4),
                        jpeg.begin() + static_cast<long>(i + 2 + len));
        i += 2 + len;
    }
    return {};
}

namespace {

// Rows travel from the decoding thread to the encoding one in batches,
// through a few slots, so both cores work on one photo at once: the
// decoder fills slot k + 1 while the encoder compresses slot k.
constexpr int kRowsPerBatch = 16;
constexpr int kSlots = 4;

// The encoder's output in a vector the coder owns. libjpeg's own memory
// destination frees the caller's buffer when it grows and only hands the new
// one back at the end, so an encode abandoned half-way (damaged source data)
// left a freed pointer behind, freed again, and leaked the live buffer.
struct VectorDestination {
    // What libjpeg holds: its manager first, then the way back to us.
    struct Manager {
        jpeg_destination_mgr pub;
        VectorDestination* self;
    };
    Manager manager{};
    jpeg_destination_mgr& pub = manager.pub;
    Data bytes;
    bool outOfMemory = false;

    static constexpr size_t kFirstSize = 64 << 10;
    // Growth inside the reserved room goes in steps this large, so the
    // buffer is never copied and little of it is touched beyond the output.
    static constexpr size_t kStep = 1 << 20;
    size_t expected = 0;  // what the output is likely to need, reserved up front

    void attach(j_compress_ptr c) {
        pub.init_destination = &VectorDestination::init;
        pub.empty_output_buffer = &VectorDestination::grow;
        pub.term_destination = &VectorDestination::term;
        manager.self = this;
        c->dest = &manager.pub;
    }
    static VectorDestination* of(j_compress_ptr c) {
        return reinterpret_cast<Manager*>(c->dest)->self;
    }
    static void init(j_compress_ptr c) {
        VectorDestination* d = of(c);
        if (!d->reserve(d->expected) || !d->resize(kFirstSize)) ERREXIT1(c, JERR_OUT_OF_MEMORY, 10);
        d->pub.next_output_byte = d->bytes.data();
        d->pub.free_in_buffer = d->bytes.size();
    }
    static boolean grow(j_compress_ptr c) {
        VectorDestination* d = of(c);
        const size_t used = d->bytes.size();
        const size_t room = d->bytes.capacity();
        if (!d->resize(room > used ? std::min(room, used + kStep) : used * 2))
            ERREXIT1(c, JERR_OUT_OF_MEMORY, 10);
        d->pub.next_output_byte = d->bytes.data() + used;
        d->pub.free_in_buffer = d->bytes.size() - used;
        return TRUE;
    }
    static void term(j_compress_ptr c) {
        VectorDestination* d = of(c);
        d->bytes.resize(d->bytes.size() - d->pub.free_in_buffer);
    }
    // No exception may cross libjpeg's C frames: a failed allocation is
    // reported, and the caller raises libjpeg's own error.
    bool resize(size_t n) {
        try {
            bytes.resize(n);
            return true;
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            return false;
        }
    }
    bool reserve(size_t n) {
        try {
            bytes.reserve(n);
            return true;
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            return false;
        }
    }
};
static_assert(std::is_standard_layout_v<VectorDestination::Manager>);

struct SquareCoder {
    jpeg_decompress_struct d{};
    jpeg_compress_struct c{};
    JpegErrorManager derr;  // the decoder's, used on the decoding thread
    JpegErrorManager cerr;  // the encoder's, used on the calling thread
    bool dCreated = false;
    bool cCreated = false;
    VectorDestination out;

    // The hand-over between the two threads.
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::uint8_t> slots[kSlots];
    size_t stride = 0;     // bytes of one decoded row
    size_t skipBytes = 0;  // from the decoded row's start to the square's
    int side = 0;
    int produced = 0;  // batches decoded
    int consumed = 0;  // batches encoded
    bool decodeFailed = false;
    bool cancelled = false;
    char decodeMessage[JMSG_LENGTH_MAX] = {0};
    std::thread decoder;

    ~SquareCoder() {
        stopDecoder();
        if (dCreated) jpeg_destroy_decompress(&d);
        if (cCreated) jpeg_destroy_compress(&c);
    }
    void stopDecoder() {
        if (!decoder.joinable()) return;
        {
            std::lock_guard lock(mutex);
            cancelled = true;
        }
        changed.notify_all();
        decoder.join();
    }
};

int batchesFor(int side) {
    return (side + kRowsPerBatch - 1) / kRowsPerBatch;
}

// The decoding thread: the square's rows, batch by batch. No C++ object
// with a destructor lives in this frame, as the error jump lands here.
void decodeRows(SquareCoder* s) {
    if (setjmp(s->derr.jump)) {
        {
            std::lock_guard lock(s->mutex);
            s->decodeFailed = true;
            std::memcpy(s->decodeMessage, s->derr.message, sizeof s->decodeMessage);
        }
        s->changed.notify_all();
        return;
    }
    const int batches = batchesFor(s->side);
    for (int b = 0; b < batches; ++b) {
        {
            std::unique_lock lock(s->mutex);
            s->changed.wait(lock, [&] { return s->cancelled || b - s->consumed < kSlots; });
            if (s->cancelled) return;
        }
        std::uint8_t* slot = s->slots[b % kSlots].data();
        const int rows = std::min(kRowsPerBatch, s->side - b * kRowsPerBatch);
        for (int r = 0; r < rows; ++r) {
            JSAMPROW row = slot + static_cast<size_t>(r) * s->stride;
            if (jpeg_read_scanlines(&s->d, &row, 1) != 1) {
                std::lock_guard lock(s->mutex);
                s->decodeFailed = true;
                std::strcpy(s->decodeMessage, "JPEG data ended early");
                s->changed.notify_all();
                return;
            }
        }
        {
            std::lock_guard lock(s->mutex);
            ++s->produced;
        }
        s->changed.notify_all();
    }
}

// Sets up both sides, then encodes while the decoding thread feeds rows;
// returns false with the message set. Kept apart from the public function
// so no C++ object with a destructor lives in the frame that setjmp
// returns into twice.
bool runSquare(SquareCoder& s, const Data& jpeg, int quality, const Data& exif, SquareGeometry& g,
               char* message) {
    s.d.err = s.derr.install();
    s.c.err = s.cerr.install();
    // The decoder's errors land here until its thread takes them over.
    if (setjmp(s.derr.jump)) {
        std::strcpy(message, s.derr.message);
        return false;
    }
    if (setjmp(s.cerr.jump)) {
        s.stopDecoder();
        std::strcpy(message, s.cerr.message);
        return false;
    }
    jpeg_create_decompress(&s.d);
    s.dCreated = true;
    jpeg_mem_src(&s.d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&s.d, TRUE);

    J_COLOR_SPACE space;
    switch (s.d.jpeg_color_space) {
        case JCS_YCbCr:
            space = JCS_YCbCr;
            break;  // no colour conversion either way
        case JCS_GRAYSCALE:
            space = JCS_GRAYSCALE;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            space = JCS_CMYK;
            break;
        default:
            space = JCS_RGB;
            break;
    }
    s.d.out_color_space = space;
    g = centredSquareGeometry(static_cast<int>(s.d.image_width),
                              static_cast<int>(s.d.image_height));
    jpeg_start_decompress(&s.d);

    // Crop the columns; libjpeg widens the window to whole iMCUs.
    JDIMENSION cropX = static_cast<JDIMENSION>(g.x);
    JDIMENSION cropW = static_cast<JDIMENSION>(g.side);
    if (g.side < static_cast<int>(s.d.output_width))
        jpeg_crop_scanline(&s.d, &cropX, &cropW);
    else
        cropX = 0, cropW = s.d.output_width;
    const int comps = s.d.output_components;
    s.skipBytes = static_cast<size_t>(g.x - static_cast<int>(cropX)) * comps;
    s.stride = static_cast<size_t>(s.d.output_width) * comps;
    s.side = g.side;
    for (auto& slot : s.slots) slot.resize(s.stride * kRowsPerBatch);

    if (g.y > 0) jpeg_skip_scanlines(&s.d, static_cast<JDIMENSION>(g.y));

    jpeg_create_compress(&s.c);
    s.cCreated = true;
    s.out.attach(&s.c);
    // The square's share of the source's bytes: a little more than a square
    // at a lower quality needs, so the output is rarely moved as it grows.
    s.out.expected = static_cast<size_t>(static_cast<double>(jpeg.size()) * g.side / g.sourceWidth *
                                         g.side / g.sourceHeight);
    s.c.image_width = static_cast<JDIMENSION>(g.side);
    s.c.image_height = static_cast<JDIMENSION>(g.side);
    s.c.input_components = comps;
    s.c.in_color_space = space;
    jpeg_set_defaults(&s.c);
    jpeg_set_quality(&s.c, quality, TRUE);
    if (!exif.empty()) s.c.write_JFIF_header = FALSE;
    jpeg_start_compress(&s.c, TRUE);
    if (!exif.empty())
        jpeg_write_marker(&s.c, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));

    s.decoder = std::thread(decodeRows, &s);
    const int batches = batchesFor(g.side);
    JSAMPROW rows[kRowsPerBatch];
    for (int b = 0; b < batches; ++b) {
        {
            std::unique_lock lock(s.mutex);
            s.changed.wait(lock, [&] { return s.produced > b || s.decodeFailed; });
            if (s.produced <= b) {
                std::snprintf(message, JMSG_LENGTH_MAX, "%s", s.decodeMessage);
                lock.unlock();
                s.stopDecoder();
                return false;
            }
        }
        std::uint8_t* slot = s.slots[b % kSlots].data();
        const int n = std::min(kRowsPerBatch, g.side - b * kRowsPerBatch);
        for (int r = 0; r < n; ++r)
            rows[r] = slot + static_cast<size_t>(r) * s.stride + s.skipBytes;
        jpeg_write_scanlines(&s.c, rows, static_cast<JDIMENSION>(n));
        {
            std::lock_guard lock(s.mutex);
            ++s.consumed;
        }
        s.changed.notify_all();
    }
    s.decoder.join();
    // libjpeg works around damaged data with a warning and grey rows; such
    // a square is not the photo.
    if (s.derr.pub.num_warnings > 0) {
        std::snprintf(message, JMSG_LENGTH_MAX, "the JPEG data is damaged (%.160s)",
                      s.derr.message);
        return false;
    }
    jpeg_finish_compress(&s.c);
    // The rows below the square are never decoded.
    jpeg_abort_decompress(&s.d);
    return true;
}

}  // namespace

std::optional<Data> centredSquareJpeg(const Data& jpeg, int quality, SquareGeometry* geometry,
                                      std::string* error) {
    if (jpeg.size() < 3 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) {
        if (error) *error = "not a JPEG";
        return std::nullopt;
    }
    if (!jpegEndsWithEndMarker(jpeg)) {
        if (error) *error = "the JPEG data is damaged (it stops before its end: a cut-off file)";
        return std::nullopt;
    }
    const Data exif = exifApp1Payload(jpeg);
    SquareGeometry g;
    SquareCoder coder;
    char message[JMSG_LENGTH_MAX] = {0};
    bool square = false;
    {
        // Read the header first: a square source needs no work at all.
        SquareCoder probe;
        probe.d.err = probe.derr.install();
        if (setjmp(probe.derr.jump)) {
            if (error) *error = probe.derr.message;
            return std::nullopt;
        }
        jpeg_create_decompress(&probe.d);
        probe.dCreated = true;
        jpeg_mem_src(&probe.d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
        jpeg_read_header(&probe.d, TRUE);
        g = centredSquareGeometry(static_cast<int>(probe.d.image_width),
                                  static_cast<int>(probe.d.image_height));
        square = g.sourceWidth == g.sourceHeight;
        if (const std::string tooLarge =
                pixelLimitProblem(probe.d.image_width, probe.d.image_height);
            !tooLarge.empty()) {
            if (error) *error = tooLarge;
            return std::nullopt;
        }
        if (square) {
            // Returned as it is, but only when whole: the entropy-coded data
            // is read through once (no pixels are made).
            jpeg_read_coefficients(&probe.d);
            if (probe.derr.pub.num_warnings > 0) {
                if (error)
                    *error = std::string("the JPEG data is damaged (") + probe.derr.message + ")";
                return std::nullopt;
            }
        }
    }
    if (geometry) *geometry = g;
    if (g.side <= 0) {
        if (error) *error = "empty picture";
        return std::nullopt;
    }
    if (square) return jpeg;
    if (!runSquare(coder, jpeg, quality, exif, g, message)) {
        if (error) *error = message;
        return std::nullopt;
    }
    if (geometry) *geometry = g;
    return std::move(coder.out.bytes);
}

}  // namespace klik
