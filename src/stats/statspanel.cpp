#include "stats/statspanel.h"

#include "framework/application.h"
#include "framework/textformat.h"
#include "framework/updown.h"
#include "stats/clicklabel.h"
#include "stats/datebox.h"
#include "stats/ledgerstats.h"

#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>

namespace tarv {

namespace {

const QDate kFirstDay(2000, 1, 1);
// The face of buttons, which the panels' dark colours must not reach.
const QColor kButtonFace(212, 208, 200);

QFont pixelFont(const QFont &base, int pixelSize, bool bold = false) {
    QFont f = base;
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

void setColours(QWidget *w, const QColor &background, const QColor &text) {
    QPalette pal = w->palette();
    if (background.isValid()) {
        pal.setColor(QPalette::Window, background);
        pal.setColor(QPalette::Base, background);
        pal.setColor(QPalette::Button, background);
        w->setAutoFillBackground(true);
    }
    if (text.isValid()) {
        pal.setColor(QPalette::WindowText, text);
        pal.setColor(QPalette::Text, text);
        pal.setColor(QPalette::ButtonText, text);
    }
    w->setPalette(pal);
}

QLabel *calcLabel(QWidget *parent, const QString &text, int left, int top) {
    auto *label = new QLabel(text, parent);
    label->move(left, top);
    setColours(label, QColor(), Qt::white);
    label->adjustSize();
    return label;
}

DateBox *datePicker(QWidget *parent, const QRect &geometry) {
    auto *picker = new DateBox(parent);
    picker->setGeometry(geometry);
    setColours(picker, QColor(128, 128, 0), QColor(255, 0, 0));
    return picker;
}

} // namespace

StatsPanel::StatsPanel(QString dataFolder, std::function<QString()> currency, int year, QWidget *parent)
    : QFrame(parent), m_dataFolder(std::move(dataFolder)), m_currency(std::move(currency)) {
    setFrameShape(QFrame::NoFrame);
    setColours(this, Qt::black, QColor());
    hide();
    createGrid();
    createYearStepper(year);
    createCalculator();
}

StatsPanel::~StatsPanel() = default;

void StatsPanel::createGrid() {
    m_monthGrid = new QTableWidget(12, 2, this);
    m_monthGrid->setObjectName(QStringLiteral("monthGrid"));
    m_monthGrid->setGeometry(3, 17, 238, 240);
    m_monthGrid->horizontalHeader()->hide();
    m_monthGrid->verticalHeader()->hide();
    m_monthGrid->verticalHeader()->setMinimumSectionSize(1);
    m_monthGrid->verticalHeader()->setDefaultSectionSize(17);
    m_monthGrid->horizontalHeader()->setDefaultSectionSize(115);
    m_monthGrid->setShowGrid(false);
    m_monthGrid->setFrameShape(QFrame::NoFrame);
    m_monthGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_monthGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_monthGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_monthGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_monthGrid->setWordWrap(false);
    m_monthGrid->setFont(pixelFont(m_monthGrid->font(), 12));
    setColours(m_monthGrid, Qt::black, QColor(192, 192, 48));
    m_monthGrid->viewport()->setCursor(Qt::PointingHandCursor);
    m_monthGrid->setToolTip(QStringLiteral("Ανάλυση μήνα"));
    for (int row = 0; row < 12; ++row) {
        for (int column = 0; column < 2; ++column) {
            auto *item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            m_monthGrid->setItem(row, column, item);
        }
    }
    connect(m_monthGrid, &QTableWidget::cellClicked, this, [this] { runGuarded([this] { chooseMonth(); }); });

    m_closeLabel = new ClickLabel(QStringLiteral("x"), this);
    m_closeLabel->setObjectName(QStringLiteral("closeLabel"));
    m_closeLabel->setFont(pixelFont(font(), 19, true));
    setColours(m_closeLabel, QColor(), Qt::red);
    m_closeLabel->adjustSize();
    m_closeLabel->move(3, -5);
    m_closeLabel->setToolTip(QStringLiteral("Έξοδος"));
    m_closeLabel->setCursor(Qt::PointingHandCursor);
    m_closeLabel->onClick = [this] { closePanel(); };

    // The spending limits, beside the close mark, in the colours of the year.
    auto *limits = new ClickLabel(QStringLiteral("Όριο δαπάνης"), this);
    limits->setObjectName(QStringLiteral("limitsLabel"));
    limits->setFont(pixelFont(font(), 12, true));
    setColours(limits, QColor(), Qt::yellow);
    limits->adjustSize();
    limits->move(24, 1);
    limits->setCursor(Qt::PointingHandCursor);
    limits->onClick = [this] { emit limitsRequested(); };
}

void StatsPanel::createYearStepper(int year) {
    // The years that a two-digit day key can name. The stepper is made before its edit so that
    // it goes first when the panel is destroyed and never watches an edit that is half gone.
    m_yearStepper = new UpDown(this);
    m_yearStepper->setObjectName(QStringLiteral("yearStepper"));
    m_yearStepper->setGeometry(244, 0, 13, 16);
    setColours(m_yearStepper, kButtonFace, Qt::black);
    m_yearStepper->setAutoFillBackground(false);
    m_yearStepper->setRange(2000, 2099);
    // The box cannot be typed into: it opens on the year the user most likely wants, this one,
    // rather than at the first year of the range, many clicks away.
    m_yearStepper->setPosition(year);

    m_yearBox = new QLineEdit(QString::number(m_yearStepper->position()), this);
    m_yearBox->setObjectName(QStringLiteral("yearBox"));
    m_yearBox->setGeometry(210, 0, 34, 16);
    m_yearBox->setReadOnly(true);
    m_yearBox->setFrame(false);
    m_yearBox->setTextMargins(0, 0, 0, 0);
    m_yearBox->setFont(pixelFont(m_yearBox->font(), 12, true));
    setColours(m_yearBox, Qt::black, Qt::yellow);
    connect(m_yearBox, &QLineEdit::textChanged, this, [this] { runGuarded([this] { showYearTotals(); }); });
    m_yearStepper->setAssociate(m_yearBox);
}

void StatsPanel::createCalculator() {
    m_calcTab = new QFrame(this);
    m_calcTab->setObjectName(QStringLiteral("calcTab"));
    m_calcTab->setGeometry(244, 17, 17, 240);
    m_calcTab->setFrameShape(QFrame::NoFrame);
    m_calcTab->setFocusPolicy(Qt::ClickFocus);
    setColours(m_calcTab, QColor(0, 40, 40), QColor());

    m_calcToggle = new QPushButton(QStringLiteral("<"), m_calcTab);
    m_calcToggle->setObjectName(QStringLiteral("calcToggle"));
    m_calcToggle->setGeometry(0, 0, 16, 210);
    m_calcToggle->setFont(pixelFont(m_calcToggle->font(), 13, true));
    setColours(m_calcToggle, kButtonFace, QColor(128, 0, 0));
    m_calcToggle->setAutoFillBackground(false);
    m_calcToggle->setToolTip(QStringLiteral("Calculator"));
    m_calcToggle->setCursor(Qt::PointingHandCursor);
    connect(m_calcToggle, &QPushButton::clicked, this, [this] { runGuarded([this] { toggleCalculator(); }); });

    m_calcTitle = new QLabel(QStringLiteral("Calculator"), m_calcTab);
    m_calcTitle->setGeometry(18, 3, 139, 25);
    m_calcTitle->setAlignment(Qt::AlignCenter);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(19);
    m_calcTitle->setFont(arial);
    setColours(m_calcTitle, QColor(), QColor(0, 79, 79));

    m_fromLabel = calcLabel(m_calcTab, QStringLiteral("Από"), 27, 30);
    m_fromPicker = datePicker(m_calcTab, {27, 42, 121, 21});
    m_fromPicker->setObjectName(QStringLiteral("fromPicker"));
    m_toLabel = calcLabel(m_calcTab, QStringLiteral("Μέχρι"), 27, 69);
    m_toPicker = datePicker(m_calcTab, {27, 84, 121, 21});
    m_toPicker->setObjectName(QStringLiteral("toPicker"));
    m_costLabel = calcLabel(m_calcTab, QStringLiteral("Κόστος"), 27, 114);
    // The handlers read the ledger; its errors are shown rather than thrown through the signal.
    connect(m_fromPicker, &QDateEdit::dateChanged, this, [this] { runGuarded([this] { fromDateChanged(); }); });
    connect(m_toPicker, &QDateEdit::dateChanged, this, [this] { runGuarded([this] { toDateChanged(); }); });
    connect(m_fromPicker, &DateBox::refused, this, &StatsPanel::dateRefused);
    connect(m_toPicker, &DateBox::refused, this, &StatsPanel::dateRefused);

    m_rangeTotalBox = new QLineEdit(m_calcTab);
    m_rangeTotalBox->setObjectName(QStringLiteral("rangeTotal"));
    m_rangeTotalBox->setGeometry(27, 129, 121, 21);
    QFont bold = m_rangeTotalBox->font();
    bold.setBold(true);
    m_rangeTotalBox->setFont(bold);
    setColours(m_rangeTotalBox, QColor(128, 128, 0), QColor(238, 238, 238));
}

void StatsPanel::setCalcDates(const QDate &day) {
    const QSignalBlocker block1(m_fromPicker);
    const QSignalBlocker block2(m_toPicker);
    m_fromPicker->setDate(day);
    m_toPicker->setDate(day);
}

void StatsPanel::toggle() {
    if (!isHidden()) {
        closePanel();
        return;
    }
    emit opening();
    setGeometry(x(), 12, width(), 0);
    m_monthGrid->clearSelection();
    m_monthGrid->setCurrentCell(-1, -1);
    raise();
    show();
    resize(width(), 226);
    const QLocale locale;
    for (int month = 1; month <= 12; ++month)
        m_monthGrid->item(month - 1, 0)->setText(locale.standaloneMonthName(month, QLocale::LongFormat));
}

void StatsPanel::closePanel() {
    hide();
    emit closed();
}

void StatsPanel::showYearTotals() {
    // Everything is read before the grid changes: a ledger that cannot be read leaves the old totals.
    const std::array<double, 12> sums =
        stats::monthlyTotals(stats::readLedgerFile(m_dataFolder), m_yearBox->text());
    const QString currency = m_currency ? m_currency() : QString();
    for (int month = 1; month <= 12; ++month)
        m_monthGrid->item(month - 1, 1)->setText(fmt::general(sums[month - 1]) + QLatin1Char(' ') + currency);
}

void StatsPanel::chooseMonth() {
    const int row = m_monthGrid->currentRow();
    if (row < 0) return;
    emit monthChosen(fmt::toInt(m_yearBox->text()), row + 1);
}

void StatsPanel::toggleCalculator() {
    m_calcTab->setFocus();
    if (m_calcTab->width() >= 50) {
        m_calcTab->setGeometry(244, m_calcTab->y(), 16, m_calcTab->height());
        m_calcToggle->setText(QStringLiteral("<"));
        return;
    }
    showRangeTotal();
    m_calcTab->setGeometry(100, m_calcTab->y(), 160, m_calcTab->height());
    m_calcToggle->setText(QStringLiteral(">"));
}

void StatsPanel::fromDateChanged() {
    {
        const QSignalBlocker block1(m_fromPicker);
        const QSignalBlocker block2(m_toPicker);
        if (m_fromPicker->date() < kFirstDay) m_fromPicker->setDate(kFirstDay);
        if (m_fromPicker->date() > m_toPicker->date()) m_toPicker->setDate(m_fromPicker->date());
    }
    showRangeTotal();
}

void StatsPanel::toDateChanged() {
    {
        const QSignalBlocker block1(m_fromPicker);
        const QSignalBlocker block2(m_toPicker);
        if (m_fromPicker->date() > m_toPicker->date()) m_fromPicker->setDate(m_toPicker->date());
        if (m_toPicker->date() < kFirstDay) {
            m_toPicker->setDate(kFirstDay);
            m_fromPicker->setDate(kFirstDay);
        }
    }
    showRangeTotal();
}

void StatsPanel::dateRefused(const QString &typed) {
    // The edit is back at its earlier date; the total's box says why the range did not change.
    m_rangeTotalBox->setText(QStringLiteral("Μη έγκυρη ημερομηνία: %1").arg(typed));
    m_rangeTotalBox->setCursorPosition(0);
}

void StatsPanel::currencyChanged() {
    // Only totals already on view are written again: a grid or a box still empty stays so.
    if (!m_monthGrid->item(0, 1)->text().isEmpty()) showYearTotals();
    if (!m_rangeTotalBox->text().isEmpty()) showRangeTotal();
}

void StatsPanel::showRangeTotal() {
    const double sum =
        stats::rangeTotal(stats::readLedgerFile(m_dataFolder), m_fromPicker->date(), m_toPicker->date());
    m_rangeTotalBox->setText(fmt::twoDecimals(sum) + QLatin1Char(' ') + (m_currency ? m_currency() : QString()));
}

} // namespace tarv
