#include "GeneratedClips.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "video/CapturePipeline.h"
#include "video/GstSupport.h"
#include "video/SolidMovie.h"

namespace klik::test {

void waitForFrames(CapturePipeline& p, std::uint64_t frames) {
    std::mutex m;
    std::condition_variable cv;
    const std::uint64_t target = p.framesDelivered() + frames;
    p.setFrameCallback([&] {
        std::lock_guard<std::mutex> lock(m);
        cv.notify_all();
    });
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return p.framesDelivered() >= target; });
    lock.unlock();
    p.setFrameCallback({});
}

bool makeClip(const std::string& path, const ClipSpec& s, std::string* error) {
    return writeSolidMovie(path, {s.argb, s.seconds, s.width, s.height, s.fps, s.toneHz}, error);
}

bool makeBusyClip(const std::string& path, double seconds, int width, int height, int fps,
                  std::string* error) {
    if (!ensureGStreamer(error)) return false;
    const int frames = static_cast<int>(std::lround(seconds * fps));
    const std::string desc =
        "videotestsrc pattern=smpte horizontal-speed=3 num-buffers=" + std::to_string(frames) +
        " ! video/x-raw,format=I420,width=" + std::to_string(width) +
        ",height=" + std::to_string(height) + ",framerate=" + std::to_string(fps) +
        "/1 ! x264enc speed-preset=ultrafast quantizer=12 pass=quant key-int-max=" +
        std::to_string(fps) + " ! qtmux ! filesink location=\"" + path + "\"";
    return runLaunchLineToEnd(desc, 60, error);
}

double psnr(const Bitmap& a, const Bitmap& b) {
    if (a.width != b.width || a.height != b.height) return -1;
    double sum = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const double d = double(a.pixel(x, y)[c]) - double(b.pixel(x, y)[c]);
                sum += d * d;
            }
    const double mse = sum / (3.0 * a.width * a.height);
    return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

Rgb centreColour(const Bitmap& bm) {
    long r = 0, g = 0, b = 0, n = 0;
    for (int y = bm.height / 2 - 5; y < bm.height / 2 + 5; ++y)
        for (int x = bm.width / 2 - 5; x < bm.width / 2 + 5; ++x) {
            const std::uint8_t* p = bm.pixel(x, y);
            r += p[0];
            g += p[1];
            b += p[2];
            ++n;
        }
    return {static_cast<int>(r / n), static_cast<int>(g / n), static_cast<int>(b / n)};
}

bool near(Rgb c, int r, int g, int b, int tolerance) {
    return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance &&
           std::abs(c.b - b) <= tolerance;
}

double soundLevel(const std::string& path, double from, double to) {
    if (!ensureGStreamer()) return -1;
    const std::string desc = "uridecodebin uri=" + fileUri(path) +
                             " ! audioconvert ! audioresample ! "
                             "audio/x-raw,format=F32LE,channels=1,rate=16000 ! "
                             "appsink name=s sync=false";
    GstElement* p = gst_parse_launch(desc.c_str(), nullptr);
    if (!p) return -1;
    GstElement* sink = gst_bin_get_by_name(GST_BIN(p), "s");
    gst_element_set_state(p, GST_STATE_PLAYING);
    double sum = 0;
    long count = 0;
    for (;;) {
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 20 * GST_SECOND);
        if (!sample) break;
        GstBuffer* buf = gst_sample_get_buffer(sample);
        const double start = static_cast<double>(GST_BUFFER_PTS(buf)) / GST_SECOND;
        GstMapInfo map;
        if (gst_buffer_map(buf, &map, GST_MAP_READ)) {
            const auto* f = reinterpret_cast<const float*>(map.data);
            const size_t n = map.size / sizeof(float);
            for (size_t i = 0; i < n; ++i) {
                const double t = start + static_cast<double>(i) / 16000.0;
                if (t >= from && t < to) {
                    sum += f[i] * f[i];
                    ++count;
                }
            }
            gst_buffer_unmap(buf, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(p, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(p);
    return count ? std::sqrt(sum / static_cast<double>(count)) : -1;
}

}  // namespace klik::test
