// The booth gallery's request handling: whole requests as a client sends
// them, through cpp-httplib's parser and the gallery server's own handling
// (routes, byte ranges, the index, the copies without addresses), over a
// small gallery with a photo and a video guest; and the pure parsers on
// their own. The first input byte picks what is fuzzed.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/PropertyList.h"
#include "imaging/ImageCodec.h"
#include "photo/GLIMRA_XMLinEXIF.h"
#include "photo/ShareLink.h"
#include "share/gallery/AddressStripping.h"
#include "share/gallery/GalleryRoutes.h"
#include "share/gallery/GalleryServer.h"

namespace {

struct World {
    std::unique_ptr<klik::GalleryIndex> index;
    std::unique_ptr<klik::GalleryCache> cache;
    std::unique_ptr<klik::GalleryService> service;
    std::unique_ptr<klik::GalleryServer> server;
    std::string photoToken, videoToken;

    World() {
        using namespace klik;
        const char* root = std::getenv("KLIK_ROOT");
        const std::string base = std::string(root ? root : "/tmp") + "/gallery-fuzz";
        const std::string day = base + "/Up/2024-05-01";
        std::error_code ec;
        std::filesystem::create_directories(day, ec);
        Dictionary payload{{"VZ_emailsForUpload", Value(Array{Value("guest@example.com")})},
                           {"VZ_kioskStation", Value("Booth")}};
        const Data plain = *encodeJpegFromRGBA(Bitmap::rgba(96, 64, 200, 120, 40), 80);
        const Data tagged =
            *GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(Value(payload), plain);
        const std::string jpeg(tagged.begin(), tagged.end());
        writeFileAtomically(jpeg, day + "/a_001122334455_comp_001.jpg");
        writeFileAtomically(jpeg, day + "/clip.jpg");
        writeFileAtomically(std::string(5000, 'm'), day + "/clip_muxed.mov");
        const ShareSecret secret = ShareSecret::fromBytes(std::string(32, 'f'));
        photoToken = shareToken(secret, "2024-05-01/a_001122334455_comp_001.jpg");
        videoToken = shareToken(secret, "2024-05-01/clip.jpg");
        index = std::make_unique<GalleryIndex>(secret, 0);
        index->scan(base + "/Up");
        cache = std::make_unique<GalleryCache>(base + "/cache");
        GalleryService::Options o;
        o.publicGallery = true;
        service = std::make_unique<GalleryService>(*index, *cache, o);
        GalleryLimits limits;
        limits.requestsPerSecond = 0;
        server = std::make_unique<GalleryServer>(*service, limits);
    }
};

World& world() {
    static World w;
    return w;
}

// "@P" and "@V" in the input stand for the two real tokens, so the fuzzer
// reaches the pages behind them.
std::string withTokens(std::string_view in) {
    std::string out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '@' && i + 1 < in.size() && (in[i + 1] == 'P' || in[i + 1] == 'V')) {
            out += in[i + 1] == 'P' ? world().photoToken : world().videoToken;
            ++i;
        } else {
            out.push_back(in[i]);
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
        case 0:
        case 1: {
            // Whole requests on one connection.
            const std::string out = world().server->serveRequestBytes(withTokens(rest));
            // Nothing of the guest's address ever leaves.
            if (out.find("guest@example.com") != std::string::npos) std::abort();
            break;
        }
        case 2: {
            // One request's parts: method, target, range, one a line.
            const std::string in = withTokens(rest);
            const size_t a = in.find('\n');
            const size_t b = a == std::string::npos ? a : in.find('\n', a + 1);
            klik::GalleryRequest r;
            r.method = in.substr(0, a);
            if (a != std::string::npos)
                r.target = in.substr(a + 1, b == std::string::npos ? b : b - a - 1);
            if (b != std::string::npos) r.range = in.substr(b + 1);
            const klik::GalleryResponse answer = world().service->handle(r);
            if (answer.bytes && answer.offset + answer.length > answer.bytes->size()) std::abort();
            if (answer.bytes && answer.bytes->find("guest@example.com") != std::string::npos)
                std::abort();
            break;
        }
        default: {
            const std::string in(rest);
            (void)klik::parseGalleryTarget(in);
            klik::ByteRange br;
            const std::uint64_t length = in.size() * 977u;
            if (klik::parseByteRange(in, length, br) == klik::RangeAnswer::Partial &&
                (br.first > br.last || br.last >= length))
                std::abort();
            (void)klik::parseGalleryAddress(in);
            (void)klik::looksLikeAddress(in);
            (void)klik::shareSubjectOfUploadCopy(in);
            (void)klik::uploadNameOfFiledName(in);
            break;
        }
    }
    return 0;
}
