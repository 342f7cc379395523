#include <gtest/gtest.h>
#include <sys/stat.h>

#include "KlikctlRunner.h"
#include "TestImages.h"
#include "foundation/PropertyList.h"
#include "imaging/AlphaFrame.h"
#include "imaging/ImageCodec.h"

namespace klik {
namespace {

void put(const std::string& path, const Data& d) {
    test::writeFile(path, std::string(d.begin(), d.end()));
}

TEST(KlikctlPhoto, SquareEmbedPayloadAndNoFolderOrPipeWhereAJpegBelongs) {
    test::Klikctl k;
    const std::string in = k.dir().file("in.jpg"), sq = k.dir().file("sq.jpg");
    put(in, test::makeBarJpeg(300, 200, {50}, "ToolCam"));
    auto r = k.run("square '" + in + "' '" + sq + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "50 0 200\n");
    EXPECT_EQ(readJpegInfo(*readFileData(sq))->width, 200);

    writePlistAtomically(Value(Dictionary{{"VZ_kioskStation", Value("S1")}}),
                         k.dir().file("p.plist"));
    const std::string tagged = k.dir().file("t.jpg");
    r = k.run("embed '" + k.dir().file("p.plist") + "' '" + sq + "' '" + tagged + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    r = k.run("payload '" + tagged + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("<key>VZ_kioskStation</key>"), std::string::npos) << r.out;
    EXPECT_EQ(k.run("payload '" + sq + "'").status, 1);
    EXPECT_EQ(k.run("square onlyone").status, 2);

    // A header claiming 65000 x 43000 pixels is refused before decoding.
    put(k.dir().file("huge.jpg"),
        test::withClaimedSize(test::makeBarJpeg(64, 48, {}), 65000, 43000));
    r = k.run("square '" + k.dir().file("huge.jpg") + "' '" + k.dir().file("hsq.jpg") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("65000 x 43000 pixels"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("limit of 120 megapixels"), std::string::npos) << r.err;
    struct stat st {};
    EXPECT_NE(::stat(k.dir().file("hsq.jpg").c_str(), &st), 0);
    EXPECT_EQ(k.run("embed a b").status, 2);
    // A folder or a FIFO where a JPEG is expected is refused at once: no
    // absurd allocation, no wait for a writer that never comes.
    const std::string folder = k.dir().file("folder.jpg"), pipe = k.dir().file("pipe.jpg");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& bad : {folder, pipe}) {
        const std::string q = "'" + bad + "'";
        for (const std::string& cmd :
             {"square " + q + " '" + k.dir().file("o.jpg") + "'", "payload " + q,
              "embed '" + k.dir().file("p.plist") + "' " + q + " '" + k.dir().file("o.jpg") + "'",
              "file-photo " + q}) {
            auto r = k.run(cmd);
            EXPECT_EQ(r.status, 1) << cmd << "\n" << r.err;
            EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << cmd << "\n" << r.err;
        }
    }
}

TEST(KlikctlPhoto, AlphaFrameDayFolderFoldersCheckAndFilePhoto) {
    test::Klikctl k;
    Bitmap bm = Bitmap::rgba(400, 300);
    for (int y = 50; y <= 149; ++y)
        for (int x = 100; x <= 299; ++x) bm.pixel(x, y)[3] = 0;
    put(k.dir().file("art.png"), *encodePngFromRGBA(bm));
    auto r = k.run("alpha-frame '" + k.dir().file("art.png") + "'");
    EXPECT_EQ(r.out, "100 151 199 99\n") << r.err;
    r = k.run("alpha-frame '" + k.dir().file("art.png") + "' --threshold50 --normalized");
    EXPECT_EQ(r.out.rfind("0.25 0.50", 0), 0u) << r.out;
    EXPECT_EQ(k.run("alpha-frame x --margin 3 --threshold50").status, 2);
    EXPECT_EQ(k.run("alpha-frame x --margin -1").status, 2);

    r = k.run("day-folder --at 2011-03-06T02:59:00");
    EXPECT_EQ(r.out, "2011-03-05\n2011-03-06\n");
    r = k.run("day-folder --at 2011-03-06T03:00:00");
    EXPECT_EQ(r.out, "2011-03-06\n2011-03-06\n");
    EXPECT_EQ(k.run("day-folder --at yesterday").status, 2);
    const std::string root = k.dir().file("root");
    r = k.run("folders check");
    EXPECT_EQ(r.status, 1) << r.out;  // defaults under the sandbox do not exist yet
    ::mkdir((root + "/KlikKioskMainImagesFolder").c_str(), 0755);
    ::mkdir((root + "/KlikKioskUploadFolder").c_str(), 0755);
    r = k.run("folders check");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("upload backlog 0 upload copies owed"), std::string::npos) << r.out;

    put(k.dir().file("shot.jpg"), test::makeBarJpeg(600, 400, {300}, "FileCam"));
    r = k.run("file-photo '" + k.dir().file("shot.jpg") + "' --barcode '../../x' --email a@b.org");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(root + "/KlikKioskMainImagesFolder/"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("______x_"), std::string::npos) << r.out;
    EXPECT_EQ(k.run("file-photo").status, 2);
    EXPECT_EQ(k.run("file-photo '" + k.dir().file("nope.jpg") + "'").status, 1);
}

}  // namespace
}  // namespace klik
