#include "framework/shapecircle.h"
#include "shellrig.h"
#include "support/parts.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::part;
using tarv::test::ShellRig;

namespace {

// The window as the screen shows it: its outline over a white desktop.
QImage renderShaped(TForm1 &form) {
    QImage image(form.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setClipRegion(form.mask());
    form.render(&p, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    return image;
}

} // namespace

// Writes the main window while connected to the screenshot folder and checks what it shows.
TEST(Screenshots, MainWindowConnected) {
    ShellRig rig;
    rig.form->toggleMainWindow();
    rig.form->FormActivate();
    rig.dialup->setSingle(DialState::Connected);
    rig.form->timerTick();
    rig.clock->advance(125'000);
    rig.form->timerTick();
    ASSERT_TRUE(part<QLabel>(rig.form, "timeLabel")->isVisible());

    const QImage shot = renderShaped(*rig.form);
    ASSERT_TRUE(QDir().mkpath(QStringLiteral(TARV_SCREENSHOT_DIR)));
    EXPECT_TRUE(shot.save(QStringLiteral(TARV_SCREENSHOT_DIR "/main_connected.png")));

    // The lamp is green, the corners and the rows from 303 down are cut away, the display black.
    const QColor lamp = shot.pixelColor(part<ShapeCircle>(rig.form, "lamp")->geometry().center());
    EXPECT_GT(lamp.green(), 100);
    EXPECT_GT(lamp.green(), lamp.red() + 60) << lamp.name().toStdString();
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(140, 305), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(200, 150), QColor(Qt::black));
    EXPECT_TRUE(rig.errors.isEmpty()) << rig.errors.join(QLatin1Char('\n')).toStdString();
}
