#include "camera/LiveViewDecoder.h"

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>

namespace klik {

namespace {

// libjpeg-turbo's SIMD code wants rows aligned and padded; its own memory
// manager aligns to 32 bytes and pads rows to 64 samples. The arena does
// at least as much.
constexpr std::size_t kAlign = 64;

std::size_t roundUp(std::size_t n, std::size_t to) {
    return (n + to - 1) / to * to;
}

}  // namespace

// The decompressor and the arena its per-frame memory (libjpeg's image
// pool) comes from. Everything the decoder asks for while it reads a frame
// lands in the arena; the end of the frame (libjpeg freeing its image pool)
// only moves the arena's mark back. A frame that needs more than the arena
// holds gets extra chunks, and the arena grows to the total afterwards, so
// from then on a frame of that size takes nothing from the heap.
struct LiveViewDecoder::Impl {
    struct ErrorManager {
        jpeg_error_mgr pub;
        std::jmp_buf jump;
        char message[JMSG_LENGTH_MAX];
    };

    struct Chunk {
        std::uint8_t* base = nullptr;  // from malloc, aligned by hand
        std::uint8_t* start = nullptr;
        std::size_t size = 0;
    };

    jpeg_decompress_struct d{};
    ErrorManager err{};
    // libjpeg's own memory methods, for the pools the arena leaves alone.
    jpeg_memory_mgr original{};
    // The arena: chunks[0] is the main one, the others overflow of the
    // current frame. A fixed array, so nothing here ever needs the heap
    // behind libjpeg's back (and no exception can cross its frames).
    static constexpr int kMaxChunks = 32;
    Chunk chunks[kMaxChunks];
    int used = 0;           // chunks in use
    std::size_t mark = 0;   // bytes taken from the last chunk in use
    std::size_t total = 0;  // bytes taken this frame, over all chunks
    bool created = false;

    Impl() {
        d.err = jpeg_std_error(&err.pub);
        err.pub.error_exit = [](j_common_ptr c) {
            auto* e = reinterpret_cast<ErrorManager*>(c->err);
            (*c->err->format_message)(c, e->message);
            std::longjmp(e->jump, 1);
        };
        // Warnings (such as bytes after the image) are not failures.
        err.pub.emit_message = [](j_common_ptr, int) {};
        if (setjmp(err.jump)) return;  // out of memory at creation: never created
        jpeg_create_decompress(&d);
        created = true;
        d.client_data = this;
        original = *d.mem;
        d.mem->alloc_small = &Impl::allocSmall;
        d.mem->alloc_large = &Impl::allocLarge;
        d.mem->alloc_sarray = &Impl::allocSarray;
        d.mem->alloc_barray = &Impl::allocBarray;
        d.mem->free_pool = &Impl::freePool;
    }
    ~Impl() {
        if (created) jpeg_destroy_decompress(&d);
        for (auto& c : chunks) std::free(c.base);
    }

    static Impl* of(j_common_ptr c) { return static_cast<Impl*>(c->client_data); }

    bool addChunk(std::size_t size) {
        if (used >= kMaxChunks) return false;
        Chunk& c = chunks[used];
        if (c.size < size) {
            std::free(c.base);
            c = Chunk{};
            c.base = static_cast<std::uint8_t*>(std::malloc(size + kAlign));
            if (!c.base) return false;
            c.start = reinterpret_cast<std::uint8_t*>(
                roundUp(reinterpret_cast<std::uintptr_t>(c.base), kAlign));
            c.size = size;
        }
        ++used;
        mark = 0;
        return true;
    }

    void* take(j_common_ptr cinfo, std::size_t n) {
        n = roundUp(std::max<std::size_t>(n, 1), kAlign);
        if (used == 0 || chunks[used - 1].size - mark < n) {
            // The first chunk is made large enough for a whole frame of this
            // size the next time; overflow chunks are as large as needed.
            if (!addChunk(std::max<std::size_t>(n, used == 0 ? (256u << 10) : (1u << 20))))
                ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 20);
        }
        void* p = chunks[used - 1].start + mark;
        mark += n;
        total += n;
        return p;
    }

    // The end of a frame: the arena is empty again, and becomes one chunk
    // large enough for everything this frame took.
    void reset() {
        if (used > 1) {
            for (int i = 0; i < used; ++i) {
                std::free(chunks[i].base);
                chunks[i] = Chunk{};
            }
            used = 0;
            // Failure is fine here: the next frame asks again.
            addChunk(roundUp(total, 1u << 16));
        }
        used = 0;
        mark = 0;
        total = 0;
    }

    static void* allocSmall(j_common_ptr c, int pool, std::size_t n) {
        if (pool != JPOOL_IMAGE) return of(c)->original.alloc_small(c, pool, n);
        return of(c)->take(c, n);
    }
    static void* allocLarge(j_common_ptr c, int pool, std::size_t n) {
        if (pool != JPOOL_IMAGE) return of(c)->original.alloc_large(c, pool, n);
        return of(c)->take(c, n);
    }
    static JSAMPARRAY allocSarray(j_common_ptr c, int pool, JDIMENSION samplesPerRow,
                                  JDIMENSION rows) {
        if (pool != JPOOL_IMAGE) return of(c)->original.alloc_sarray(c, pool, samplesPerRow, rows);
        Impl* self = of(c);
        auto* array = static_cast<JSAMPARRAY>(self->take(c, rows * sizeof(JSAMPROW)));
        const std::size_t rowBytes = roundUp(samplesPerRow * sizeof(JSAMPLE), kAlign);
        auto* block = static_cast<JSAMPLE*>(self->take(c, rowBytes * rows));
        for (JDIMENSION r = 0; r < rows; ++r) array[r] = block + r * rowBytes / sizeof(JSAMPLE);
        return array;
    }
    static JBLOCKARRAY allocBarray(j_common_ptr c, int pool, JDIMENSION blocksPerRow,
                                   JDIMENSION rows) {
        if (pool != JPOOL_IMAGE) return of(c)->original.alloc_barray(c, pool, blocksPerRow, rows);
        Impl* self = of(c);
        auto* array = static_cast<JBLOCKARRAY>(self->take(c, rows * sizeof(JBLOCKROW)));
        const std::size_t rowBytes = roundUp(blocksPerRow * sizeof(JBLOCK), kAlign);
        auto* block = static_cast<std::uint8_t*>(self->take(c, rowBytes * rows));
        for (JDIMENSION r = 0; r < rows; ++r)
            array[r] = reinterpret_cast<JBLOCKROW>(block + r * rowBytes);
        return array;
    }
    static void freePool(j_common_ptr c, int pool) {
        if (pool == JPOOL_IMAGE) of(c)->reset();
        // libjpeg's own pool holds whatever it made itself (virtual arrays
        // of a progressive frame).
        of(c)->original.free_pool(c, pool);
    }
};

namespace {

// Room for `n` bytes without an exception crossing libjpeg's frames.
bool grow(std::vector<std::uint8_t>& v, std::size_t n) {
    try {
        v.reserve(n);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Decodes into `image`'s buffers; false with the message. No C++ object
// with a destructor lives in this frame, as the error jump lands here.
bool decodeInto(LiveViewDecoder::Impl& impl, const std::uint8_t* bytes, std::size_t length,
                std::vector<std::uint8_t>& rgb, int& width, int& height, char* message) {
    jpeg_decompress_struct& d = impl.d;
    if (setjmp(impl.err.jump)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", impl.err.message);
        jpeg_abort_decompress(&d);
        return false;
    }
    jpeg_mem_src(&d, bytes, static_cast<unsigned long>(length));
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    width = static_cast<int>(d.output_width);
    height = static_cast<int>(d.output_height);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    const std::size_t size = stride * static_cast<std::size_t>(height);
    // Only a larger frame than any before needs new room.
    if (rgb.capacity() < size && !grow(rgb, size)) ERREXIT1(&d, JERR_OUT_OF_MEMORY, 21);
    rgb.resize(size);
    while (d.output_scanline < d.output_height) {
        JSAMPROW rows[4];
        const JDIMENSION n = std::min<JDIMENSION>(4, d.output_height - d.output_scanline);
        for (JDIMENSION i = 0; i < n; ++i) rows[i] = rgb.data() + stride * (d.output_scanline + i);
        jpeg_read_scanlines(&d, rows, n);
    }
    jpeg_finish_decompress(&d);
    return true;
}

}  // namespace

// Where images go back when their last holder lets go, on whatever thread
// that is: the images themselves (their buffers keep their room) and the
// slots their shared pointers' control blocks live in. The hand-over is under
// a mutex, so the thread that reuses an image sees everything the last
// holder did with it. Kept alive by every image out and by the decoder.
struct LiveViewDecoder::ImagePool {
    static constexpr std::size_t kSlotBytes = 128;
    static constexpr std::size_t kSlots = kPoolSize + 2;

    std::mutex mutex;
    std::vector<QZNSImageFlipped*> spare;  // room for kPoolSize, reserved
    bool open = true;                      // false once the decoder is gone
    alignas(std::max_align_t) unsigned char slots[kSlots][kSlotBytes];
    bool slotUsed[kSlots] = {};

    ImagePool() { spare.reserve(kPoolSize); }
    ~ImagePool() {
        for (QZNSImageFlipped* image : spare) delete image;
    }

    void giveBack(QZNSImageFlipped* image) {
        {
            std::lock_guard lock(mutex);
            if (open && spare.size() < kPoolSize) {
                spare.push_back(image);
                return;
            }
        }
        delete image;
    }
    QZNSImageFlipped* take() {
        {
            std::lock_guard lock(mutex);
            if (!spare.empty()) {
                QZNSImageFlipped* image = spare.back();
                spare.pop_back();
                return image;
            }
        }
        return new QZNSImageFlipped();
    }
    void* allocateSlot(std::size_t bytes) {
        if (bytes <= kSlotBytes) {
            std::lock_guard lock(mutex);
            for (std::size_t i = 0; i < kSlots; ++i)
                if (!slotUsed[i]) {
                    slotUsed[i] = true;
                    return slots[i];
                }
        }
        return ::operator new(bytes);
    }
    void freeSlot(void* p) {
        auto* bytes = static_cast<unsigned char*>(p);
        if (bytes >= &slots[0][0] && bytes < &slots[0][0] + sizeof slots) {
            std::lock_guard lock(mutex);
            slotUsed[static_cast<std::size_t>(bytes - &slots[0][0]) / kSlotBytes] = false;
            return;
        }
        ::operator delete(p);
    }
};

namespace {

using ImagePool = LiveViewDecoder::ImagePool;

// The control block's allocator: a slot of the pool.
template <class T>
struct SlotAllocator {
    using value_type = T;
    std::shared_ptr<ImagePool> pool;

    explicit SlotAllocator(std::shared_ptr<ImagePool> p) : pool(std::move(p)) {}
    template <class U>
    SlotAllocator(const SlotAllocator<U>& other) : pool(other.pool) {}
    T* allocate(std::size_t n) { return static_cast<T*>(pool->allocateSlot(n * sizeof(T))); }
    void deallocate(T* p, std::size_t) { pool->freeSlot(p); }
    template <class U>
    bool operator==(const SlotAllocator<U>& other) const {
        return pool == other.pool;
    }
};

// The image's deleter: back to the pool.
struct GiveBack {
    std::shared_ptr<ImagePool> pool;
    void operator()(QZNSImageFlipped* image) const { pool->giveBack(image); }
};

}  // namespace

LiveViewDecoder::LiveViewDecoder()
    : impl_(std::make_unique<Impl>()), pool_(std::make_shared<ImagePool>()) {}

LiveViewDecoder::~LiveViewDecoder() {
    std::vector<QZNSImageFlipped*> spare;
    {
        std::lock_guard lock(pool_->mutex);
        pool_->open = false;
        spare.swap(pool_->spare);
    }
    for (QZNSImageFlipped* image : spare) delete image;
}

std::size_t LiveViewDecoder::spareImages() const {
    std::lock_guard lock(pool_->mutex);
    return pool_->spare.size();
}

std::shared_ptr<QZNSImageFlipped> LiveViewDecoder::decode(const std::uint8_t* bytes,
                                                          std::size_t length, std::string* error) {
    const auto arrival = std::chrono::steady_clock::now();
    if (!bytes || length < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) {
        if (error) *error = "not a JPEG";
        return nullptr;
    }
    if (!impl_->created) {
        if (error) *error = "the decoder could not be created";
        return nullptr;
    }
    // Held from here on by a shared pointer that gives it back to the pool.
    std::shared_ptr<QZNSImageFlipped> image(pool_->take(), GiveBack{pool_},
                                            SlotAllocator<QZNSImageFlipped>(pool_));
    char message[JMSG_LENGTH_MAX] = {0};
    if (!decodeInto(*impl_, bytes, length, image->pixels_, image->width_, image->height_,
                    message)) {
        if (error) *error = message;
        return nullptr;
    }
    // The image keeps the frame's bytes (the camera's buffer is written
    // again with the next frame), in room kept from earlier frames.
    image->jpeg_.assign(bytes, bytes + length);
    image->arrival_ = arrival;
    return image;
}

}  // namespace klik
