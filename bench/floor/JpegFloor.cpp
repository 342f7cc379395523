// The floor the filing chain is measured against: read a JPEG file, decode
// the whole picture with libjpeg-turbo, cut the centred square and encode
// it once at quality 90 into memory. Nothing else: no metadata, no files
// written. Exit status 0 when the square was encoded.
//
// usage: klik_jpeg_floor IN.jpg
//        klik_jpeg_floor --entropy IN.jpg
//        klik_jpeg_floor --measure PROGRAM [ARG...]
//
// --entropy reads the file and decodes it at an eighth of its size: every
// coefficient of the entropy-coded data is still read (a baseline JPEG
// cannot be entered anywhere but at its start or a restart marker), but
// almost no pixels are made. No program that uses the picture's centre can
// go faster: it is the part of the floor a square cannot skip.
//
// The second form runs PROGRAM and prints "PEAK_KIB STATUS CPU_US": its peak
// resident size, exit status and processor time (user plus system, every
// thread). A program started straight from a large
// process (the benchmark) would be charged that process's size, since the
// kernel carries the peak over an exec; started from this small one, its
// peak is its own.

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace {

int measure(char** argv) {
    const pid_t pid = ::fork();
    if (pid < 0) return 1;
    if (pid == 0) {
        // Only this program's report goes to standard output.
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) ::dup2(null, 1);
        ::execvp(argv[0], argv);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) < 0) return 1;
    const long cpuUs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000L +
                       usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
    std::printf("%ld %d %ld\n", usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : 128,
                cpuUs);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--measure") return measure(argv + 2);
    const bool entropyOnly = argc == 3 && std::string(argv[1]) == "--entropy";
    if (argc != 2 && !entropyOnly) {
        std::fprintf(stderr, "usage: klik_jpeg_floor [--entropy] IN.jpg\n");
        return 2;
    }
    std::FILE* f = std::fopen(argv[argc - 1], "rb");
    if (!f) return 1;
    std::vector<unsigned char> in;
    unsigned char buf[1 << 16];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) in.insert(in.end(), buf, buf + n);
    std::fclose(f);

    jpeg_decompress_struct d{};
    jpeg_error_mgr derr{};
    d.err = jpeg_std_error(&derr);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, in.data(), in.size());
    jpeg_read_header(&d, TRUE);
    if (entropyOnly) {
        d.scale_denom = 8;
        jpeg_start_decompress(&d);
        std::vector<unsigned char> row(static_cast<size_t>(d.output_width) * d.output_components);
        while (d.output_scanline < d.output_height) {
            JSAMPROW r = row.data();
            jpeg_read_scanlines(&d, &r, 1);
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
        return 0;
    }
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    const size_t w = d.output_width, h = d.output_height;
    std::vector<unsigned char> pixels(w * h * 3);
    while (d.output_scanline < h) {
        JSAMPROW row = pixels.data() + d.output_scanline * w * 3;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);

    const size_t side = std::min(w, h), x0 = (w - side) / 2, y0 = (h - side) / 2;
    jpeg_compress_struct c{};
    jpeg_error_mgr cerr{};
    c.err = jpeg_std_error(&cerr);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = static_cast<JDIMENSION>(side);
    c.image_height = static_cast<JDIMENSION>(side);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < side) {
        JSAMPROW row = pixels.data() + ((y0 + c.next_scanline) * w + x0) * 3;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    const bool ok = outSize > 0;
    std::free(out);
    return ok ? 0 : 1;
}
