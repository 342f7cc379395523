// Widgets in step with the controller's views: hidden views are not
// drawn, text in its colour and pictures are drawn, frames (origin bottom
// left) follow the model, and views that move between superviews move
// their widgets.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/View.h"
#include "ui/windows/ViewRenderer.h"
#include "ui/windows/ViewWidget.h"

namespace klik::test {
namespace {

class ViewRendererTest : public ::testing::Test {
  protected:
    ViewRendererTest() {
        host.resize(400, 300);
        root.addSubview(picture);
        root.addSubview(text);
        renderer.bind(root, ViewWidget::Kind::Container);
        renderer.bind(picture, ViewWidget::Kind::Image);
        renderer.bind(text, ViewWidget::Kind::Text);
        renderer.setRoot(root, &host);
        host.show();
    }
    ViewWidget* widget(const View& v) const { return renderer.widgetFor(v); }
    QImage shot() { return host.grab().toImage(); }

    // Views outlive the renderer, which clears their handlers as it goes.
    View root{"root"}, picture{"picture"}, text{"text"}, box{"box"}, button{"button"},
        field{"field"};
    QWidget host;
    ViewRenderer renderer;
};

TEST_F(ViewRendererTest, FramesFollowTheModelWithTheOriginBottomLeft) {
    EXPECT_EQ(widget(root)->geometry(), host.rect());
    picture.setFrame(Rect{10, 20, 100, 50});
    EXPECT_EQ(widget(picture)->geometry(), QRect(10, 300 - 20 - 50, 100, 50));
    picture.setFrame(Rect{0, 0, 400, 300});
    EXPECT_EQ(widget(picture)->geometry(), QRect(0, 0, 400, 300));
    // A view without a frame and without a default place fills its parent.
    EXPECT_EQ(widget(text)->geometry(), host.rect());
    // The root follows its host's size; children are placed anew.
    picture.setFrame(Rect{0, 0, 100, 100});
    host.resize(200, 150);
    EXPECT_EQ(widget(root)->geometry(), QRect(0, 0, 200, 150));
    EXPECT_EQ(widget(picture)->geometry(), QRect(0, 50, 100, 100));
}

TEST_F(ViewRendererTest, PicturesAndTextAreDrawnInTheirColoursAndShapeAndHiddenViewsNotAtAll) {
    picture.setFrame(Rect{0, 0, 200, 300});
    picture.setImage(Picture::solid(Colour{1, 0, 0, 1}, 20, 30));
    text.setFrame(Rect{200, 0, 200, 300});
    text.setTextColor(Colour{0, 1, 0, 1});
    text.setStringValue("8");
    QImage img = shot();
    EXPECT_EQ(img.pixelColor(100, 150), QColor(255, 0, 0));
    int green = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 200; x < 400; ++x)
            if (img.pixelColor(x, y) == QColor(0, 255, 0)) ++green;
    EXPECT_GT(green, 100);

    // A new text colour is drawn.
    text.setTextColor(Colour{0, 0, 1, 1});
    img = shot();
    int blue = 0;
    green = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 200; x < 400; ++x) {
            if (img.pixelColor(x, y) == QColor(0, 0, 255)) ++blue;
            if (img.pixelColor(x, y) == QColor(0, 255, 0)) ++green;
        }
    EXPECT_GT(blue, 100);
    EXPECT_EQ(green, 0);

    // Hidden: the widget is not shown and nothing of the picture is drawn.
    picture.setHidden(true);
    EXPECT_FALSE(widget(picture)->isVisible());
    const int paints = widget(picture)->paintCount();
    img = shot();
    EXPECT_NE(img.pixelColor(100, 150), QColor(255, 0, 0));
    EXPECT_EQ(widget(picture)->paintCount(), paints);
    picture.setHidden(false);
    EXPECT_TRUE(widget(picture)->isVisible());
    EXPECT_EQ(shot().pixelColor(100, 150), QColor(255, 0, 0));

    // Pictures keep their aspect, fitted in the middle, unless stretched.
    picture.setFrame(Rect{0, 0, 400, 300});
    picture.setImage(Picture::solid(Colour{1, 0, 0, 1}, 10, 10));
    text.setHidden(true);
    img = shot();
    EXPECT_EQ(img.pixelColor(200, 150), QColor(255, 0, 0));
    EXPECT_NE(img.pixelColor(10, 150), QColor(255, 0, 0));
    widget(picture)->setScaling(ViewWidget::Scaling::Stretch);
    img = shot();
    EXPECT_EQ(img.pixelColor(10, 150), QColor(255, 0, 0));
    EXPECT_EQ(img.pixelColor(395, 5), QColor(255, 0, 0));
}

TEST_F(ViewRendererTest, AMovedViewTakesItsWidgetAlongButtonsAndFieldsForwardToActions) {
    root.addSubview(box);
    renderer.bind(box, ViewWidget::Kind::Container);
    box.setFrame(Rect{0, 0, 100, 100});
    box.addSubview(text);
    EXPECT_EQ(widget(text)->parentWidget(), widget(box));
    EXPECT_EQ(widget(text)->geometry(), QRect(0, 0, 100, 100));
    // Out of every bound tree: hidden away, never a window of its own.
    text.removeFromSuperview();
    EXPECT_FALSE(widget(text)->isWindow());
    EXPECT_FALSE(widget(text)->isVisible());
    root.addSubview(text);
    EXPECT_EQ(widget(text)->parentWidget(), widget(root));

    // Buttons and entry fields forward to their actions.
    root.addSubview(button);
    root.addSubview(field);
    int pressed = 0, entered = 0;
    renderer.bind(button, ViewWidget::Kind::Button).setAction([&] { ++pressed; });
    renderer.bind(field, ViewWidget::Kind::EntryField).setAction([&] { ++entered; });
    button.setFrame(Rect{0, 0, 100, 40});
    field.setFrame(Rect{0, 100, 200, 40});
    button.setStringValue("Go");
    EXPECT_EQ(widget(button)->displayedText(), "Go");
    QTest::mouseClick(widget(button)->button(), Qt::LeftButton);
    EXPECT_EQ(pressed, 1);
    widget(field)->entryField()->setFocus();
    QTest::keyClicks(widget(field)->entryField(), "ab@c.de");
    EXPECT_EQ(field.stringValue(), "ab@c.de");
    QTest::keyClick(widget(field)->entryField(), Qt::Key_Return);
    EXPECT_EQ(entered, 1);
    // The model's text wins over what is typed.
    field.setStringValue("");
    EXPECT_EQ(widget(field)->entryField()->text(), "");
}

}  // namespace
}  // namespace klik::test
