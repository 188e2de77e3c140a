#include "framework/updown.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace tarv::test {

using Button = UpDown::Button;

struct StepCase {
    const char *shown; // the bound edit's text before the step
    int minimum, maximum;
    Button button;
    const char *after; // the edit's text after it
};

// Steps start from the number the edit shows, move only the arrow's way and never wrap.
TEST(UpDown, BoundStepsStartFromTheEditAndStayWithinTheBounds) {
    const StepCase cases[] = {
        {"5", 0, 23, Button::Up, "6"},   {"5", 0, 23, Button::Down, "4"},    {"23", 0, 23, Button::Up, "23"},
        {"0", 0, 23, Button::Down, "0"}, {"1", 1, 15000, Button::Down, "1"}, // seconds per unit never reach 0
        {"30", 0, 4, Button::Up, "30"},  // beyond the top: up does not move it down
        {"30", 0, 4, Button::Down, "4"}, // ... down brings it into range
        {"-3", 0, 23, Button::Up, "0"},  {"-3", 0, 23, Button::Down, "-3"},  {"7", 8, 7, Button::Up, "7"},
        {"7", 8, 7, Button::Down, "7"}, // crossed bounds: no move
    };
    for (const StepCase &c : cases) {
        SCOPED_TRACE(std::string(c.shown) + (c.button == Button::Up ? " up" : " down"));
        QLineEdit edit;
        UpDown u;
        u.setRange(c.minimum, c.maximum);
        u.setAssociate(&edit);
        edit.setText(QString::fromLatin1(c.shown));
        QSignalSpy clicks(&u, &UpDown::clicked);
        u.step(c.button);
        EXPECT_EQ(edit.text(), QString::fromLatin1(c.after));
        EXPECT_EQ(u.position(), edit.text().toInt());
        ASSERT_EQ(clicks.size(), 1);
        EXPECT_EQ(clicks.first().first().value<UpDown::Button>(), c.button);
    }
}

TEST(UpDown, ProgramSetPositionsAndBoundsLeaveTheEditAlone) {
    QLineEdit edit;
    UpDown u;
    u.setRange(0, 23);
    u.setAssociate(&edit);
    edit.setText(QStringLiteral("12"));
    u.setMaximum(5);
    u.setPosition(12);
    EXPECT_EQ(u.position(), 5); // kept within the bounds
    EXPECT_EQ(edit.text(), "12");
    u.setRange(0, 23);
    edit.setText(QStringLiteral("thousand"));
    u.step(Button::Up); // no number in the edit: the step starts from the position
    EXPECT_EQ(edit.text(), "6");
}

TEST(UpDown, UnboundStepperCountsItsOwnPosition) {
    UpDown u;
    u.setRange(0, 15000);
    u.setPosition(14999);
    u.step(Button::Up);
    u.step(Button::Up);
    EXPECT_EQ(u.position(), 15000);
    u.setPosition(-5);
    EXPECT_EQ(u.position(), 0);
}

TEST(UpDown, MouseAndKeysStep) {
    QWidget window;
    QLineEdit edit(&window);
    UpDown u(&window);
    u.setGeometry(30, 0, 13, 21);
    u.setRange(0, 23);
    u.setAssociate(&edit);
    edit.setText(QStringLiteral("8"));
    window.show();
    QSignalSpy clicks(&u, &UpDown::clicked);

    QTest::mouseClick(&u, Qt::LeftButton, {}, QPoint(6, 4));
    EXPECT_EQ(edit.text(), "9");
    QTest::mouseClick(&u, Qt::LeftButton, {}, QPoint(6, 17));
    QTest::mouseClick(&u, Qt::LeftButton, {}, QPoint(6, 17));
    EXPECT_EQ(edit.text(), "7");
    QTest::mouseClick(&u, Qt::RightButton, {}, QPoint(6, 4));
    EXPECT_EQ(edit.text(), "7");

    QTest::keyClick(&edit, Qt::Key_Up);
    QTest::keyClick(&edit, Qt::Key_Up);
    QTest::keyClick(&edit, Qt::Key_Down);
    EXPECT_EQ(edit.text(), "8");
    EXPECT_EQ(clicks.size(), 6);
}

} // namespace tarv::test
