// The main window as a window: its outline, dragging, showing and hiding, and its buttons.
#include "framework/clickarea.h"
#include "framework/regions.h"
#include "options/tfrmoptions.h"
#include "shell/tform1.h"
#include "stats/statspanel.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QHideEvent>
#include <QMenu>
#include <QScreen>
#include <QShowEvent>

namespace tarv {

namespace {

const QString kShowCaption = QStringLiteral("Εμφάνιση");
const QString kHideCaption = QStringLiteral("Απόκρυψη");

} // namespace

QRegion TForm1::outlineRegion(int width) {
    // The top part: a rectangle with corners rounded on a 15-pixel radius.
    QRegion a = roundRectRegion(0, 0, width, 240, 30, 30);
    // The notches cut from the bottom edge.
    const QPolygon p({QPoint(270, 302), QPoint(235, 280), QPoint(140, 301), QPoint(45, 280), QPoint(15, 302),
                      QPoint(270, 302)});
    const QRegion notch = polygonRegion(p, Qt::OddEvenFill);
    // The lower part, whose bottom corners curve inward along tall ellipses.
    QRegion b = roundRectRegion(0, 303, width, 103, 25, 150);
    b = notch.xored(b);
    a = a.united(b);
    return a;
}

void TForm1::shapeForm() {
    setMask(outlineRegion(width()));
}

void TForm1::FormActivate() {
    if (!m_firstActivation) return;
    m_firstActivation = false;
    shapeForm();
}

void TForm1::FormHide() {
    if (TfrmOptions *options = m_options.get()) options->hide();
    if (ChartWindow *chart = m_chart.get()) chart->hide();
}

void TForm1::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TForm1::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    // A hide the window system makes on its own (minimising) is not the program hiding it.
    if (!event->spontaneous()) FormHide();
}

void TForm1::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    // Centred on the desktop the first time it shows; after that it stays where the user put it.
    if (m_positioned || event->spontaneous()) return;
    m_positioned = true;
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->geometry();
        move(desk.x() + (desk.width() - width()) / 2, desk.y() + (desk.height() - height()) / 2);
    }
}

void TForm1::frameMouseDown() {
    // On Wayland a client can neither move its window nor read the pointer's place on the
    // screen; the compositor drags the window for it (the grouped chart window stays put).
    if (startSystemMove && startSystemMove()) return;
    const QPoint cursor = cursorPos();
    m_dragCursor = cursor;
    m_dragStart = pos();
    m_dragging = true;
}

void TForm1::frameMouseMove() {
    if (!m_dragging) return;
    // The cursor's screen position, not the event's: the window moves under the pointer.
    const QPoint cursor = cursorPos();
    const int left = cursor.x() - m_dragCursor.x() + m_dragStart.x();
    const int top = cursor.y() - m_dragCursor.y() + m_dragStart.y();
    move(left, top);
    ChartWindow *chart = m_chart.get();
    if (chart && chart->followsMain()) chart->move(left + width() - 10, top);
}

void TForm1::frameMouseUp() {
    m_dragging = false;
}

void TForm1::setShowCaption(bool windowShown) {
    m_showItem->setText(windowShown ? kHideCaption : kShowCaption);
}

void TForm1::toggleMainWindow() {
    // The caption, not the window's visibility, says which way to go.
    if (m_showItem->text() == kShowCaption) {
        setVisible(true);
        raise();
        activateWindow();
        setShowCaption(true);
    } else {
        setVisible(false);
        setShowCaption(false);
    }
}

void TForm1::bringToFront() {
    // The tray menu's show path: the caption is brought in step first, then toggled.
    if (!isVisible()) {
        trayMenuPopup();
        toggleMainWindow();
    }
    raise();
    activateWindow();
}

void TForm1::showItemClick() {
    toggleMainWindow();
}

void TForm1::trayIconDoubleClick() {
    toggleMainWindow();
}

void TForm1::trayMenuPopup() {
    setShowCaption(isVisible());
}

void TForm1::hideButtonClick() {
    setVisible(false);
    setShowCaption(false);
}

void TForm1::setOtherWindows(TfrmOptions *options, ChartWindow *chart) {
    m_options.setGiven(options);
    m_chart.setGiven(chart);
    if (chart) chart->setDayRequest([this](const QDate &day) { emit dayCallsRequested(day); });
    if (options) connect(options, &TfrmOptions::tariffStored, this, &TForm1::tariffStored, Qt::UniqueConnection);
}

void TForm1::statsButtonClick() {
    statsPanel()->toggle();
}

void TForm1::optionsButtonClick() {
    TfrmOptions *options = m_options.make();
    if (!options) return;
    connect(options, &TfrmOptions::tariffStored, this, &TForm1::tariffStored, Qt::UniqueConnection);
    options->show();
    options->raise();
    options->activateWindow();
}

void TForm1::exitButtonClick() {
    emit exitRequested();
}

void TForm1::exitItemClick() {
    emit exitRequested();
}

QString TForm1::makerUrl() const {
    const QString url = m_meter.platform().makerUrl;
    return url.isEmpty() ? QStringLiteral(TARV_MAKER_URL) : url;
}

void TForm1::vendorLabelMouseMove() {
    const auto n = m_vendorMenu->actions().size();
    if (n <= 0) return;
    // The program counts 16 pixels per item, so the menu opens upwards from the label.
    const QPoint at = mapToGlobal(QPoint(m_vendorLabel->x(), m_vendorLabel->y() - 16 * static_cast<int>(n)));
    popupMenuAt(m_vendorMenu, at);
}

void TForm1::vendorLabelClick() {
    if (!m_vendorMenu->actions().isEmpty()) return;
    m_meter.platform().shell->open(makerUrl());
}

} // namespace tarv
