#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <algorithm>

#include "ZbarDecode.h"
#include "app/ShareCodeView.h"
#include "foundation/Settings.h"
#include "support/TempDir.h"
#include "ui/windows/ShareCodeWidget.h"

namespace klik {
namespace {

class ShareCodeWidgetTest : public testing::Test {
  protected:
    void SetUp() override {
        side.resize(1920, 1080);
        side.setStyleSheet("background: #404040");
        side.setAutoFillBackground(true);
        side.show();
    }
    std::string grabSide() {
        std::string path = dir.file("side.png");
        side.grab().toImage().save(QString::fromStdString(path), "PNG");
        return path;
    }
    test::TempDir dir;
    Settings settings{dir.file("settings.plist")};
    ShareCodeView model;
    QWidget side;
};

TEST_F(ShareCodeWidgetTest, ShownWithALinkLowerRightAndLargeEnoughToScanFromAMetre) {
    const std::string link = "http://192.168.4.1:8080/p/Az09-_AAAAAAAAAAAAAAAA";
    ShareCodeWidget w(model, settings, &side);
    EXPECT_TRUE(w.isHidden());
    model.show("http://192.168.4.1:8080/p/AAAAAAAAAAAAAAAAAAAAAA", "");
    EXPECT_FALSE(w.isHidden());
    model.hide();
    EXPECT_TRUE(w.isHidden());
    model.show(link, "");
    EXPECT_FALSE(w.isHidden());
    // 100 mm at 96 dots an inch: about 378 pixels, a whole number a module.
    EXPECT_GE(w.codeSide(), 330);
    EXPECT_LE(w.codeSide(), 378);
    EXPECT_EQ(w.codeSide() % ShareCodeWidget::qrModules(link), 0);
    EXPECT_GT(w.geometry().left(), 1920 / 2);
    EXPECT_GT(w.geometry().top(), 1080 / 2);
    EXPECT_LE(w.geometry().right(), 1920);
    EXPECT_LE(w.geometry().bottom(), 1080);
    if (!test::haveZbarimg()) GTEST_SKIP() << "zbarimg (zbar-tools) is not installed";
    EXPECT_EQ(test::decodeQrCodes(grabSide()), std::vector<std::string>{link});
}

TEST_F(ShareCodeWidgetTest, TheWifiCodeIsEscapedAndStandsBesideItPlaceAndSizeFromSettings) {
    settings.setInteger("prefShareCodePlace", 4);
    settings.setInteger("prefShareCodeSize", 60);
    const std::string link = "http://booth.local/p/Az09-_AAAAAAAAAAAAAAAA";
    const std::string wifi = wifiJoinCode("Klik; Booth", "se:cr\"et");
    EXPECT_EQ(wifi, "WIFI:T:WPA;S:Klik\\; Booth;P:se\\:cr\\\"et;;");
    ShareCodeWidget w(model, settings, &side);
    model.show(link, wifi);
    EXPECT_LT(w.geometry().left(), 100);
    EXPECT_LT(w.geometry().top(), 100);
    EXPECT_LE(w.codeSide(), 227);  // 60 mm
    EXPECT_GE(w.width(), 2 * w.codeSide());
    if (!test::haveZbarimg()) GTEST_SKIP() << "zbarimg (zbar-tools) is not installed";
    auto codes = test::decodeQrCodes(grabSide());
    std::sort(codes.begin(), codes.end());
    std::vector<std::string> expected{link, wifi};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(codes, expected);

    // An empty password is an open network; names of hex digits are quoted.
    EXPECT_EQ(wifiJoinCode("", "x"), "");
    EXPECT_EQ(wifiJoinCode("Booth", ""), "WIFI:T:nopass;S:Booth;;");
    EXPECT_EQ(wifiJoinCode("a\\b,c", "p"), "WIFI:T:WPA;S:a\\\\b\\,c;P:p;;");
    EXPECT_EQ(wifiJoinCode("CAFE", "12345678"), "WIFI:T:WPA;S:\"CAFE\";P:\"12345678\";;");
}

TEST_F(ShareCodeWidgetTest, NeverLargerThanTheSideAllows) {
    settings.setInteger("prefShareCodeSize", 400);
    side.resize(800, 480);
    ShareCodeWidget w(model, settings, &side);
    model.show("http://192.168.4.1:8080/p/AAAAAAAAAAAAAAAAAAAAAA", "");
    EXPECT_LE(w.codeSide(), 480 * 45 / 100);
    side.resize(1920, 1080);  // follows its side
    EXPECT_GT(w.geometry().left(), 1920 / 2);
}

}  // namespace
}  // namespace klik
