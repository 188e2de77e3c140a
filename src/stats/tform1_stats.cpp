// The main window's statistics panel: the twelve monthly totals of a year, the date-range
// calculator beside them, and the way into the daily chart window.
#include "framework/application.h"
#include "framework/textformat.h"
#include "framework/updown.h"
#include "shell/tform1.h"
#include "stats/clicklabel.h"
#include "stats/ledgerstats.h"
#include "stats/tfrmgraph.h"

#include <QDateEdit>
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

QDateEdit *datePicker(QWidget *parent, const QRect &geometry) {
    auto *picker = new QDateEdit(parent);
    picker->setGeometry(geometry);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    setColours(picker, QColor(128, 128, 0), QColor(255, 0, 0));
    return picker;
}

} // namespace

void TForm1::createStatsPanel() {
    Panel1 = new QFrame(this);
    Panel1->setGeometry(12, 350, 259, 226);
    Panel1->setFrameShape(QFrame::NoFrame);
    setColours(Panel1, Qt::black, QColor());
    Panel1->hide();

    StringGrid1 = new QTableWidget(12, 2, Panel1);
    StringGrid1->setGeometry(3, 17, 238, 240);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setMinimumSectionSize(1);
    StringGrid1->verticalHeader()->setDefaultSectionSize(17);
    StringGrid1->horizontalHeader()->setDefaultSectionSize(115);
    StringGrid1->setShowGrid(false);
    StringGrid1->setFrameShape(QFrame::NoFrame);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    StringGrid1->setWordWrap(false);
    StringGrid1->setFont(pixelFont(StringGrid1->font(), 12));
    setColours(StringGrid1, Qt::black, QColor(192, 192, 48));
    StringGrid1->viewport()->setCursor(Qt::PointingHandCursor);
    StringGrid1->setToolTip(QStringLiteral("Ανάλυση μήνα"));
    for (int row = 0; row < 12; ++row) {
        for (int column = 0; column < 2; ++column) {
            auto *item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            StringGrid1->setItem(row, column, item);
        }
    }
    connect(StringGrid1, &QTableWidget::cellClicked, this,
            [this] { runGuarded([this] { StringGrid1Click(); }); });

    buttonStatsClose = new ClickLabel(QStringLiteral("x"), Panel1);
    buttonStatsClose->setFont(pixelFont(font(), 19, true));
    setColours(buttonStatsClose, QColor(), Qt::red);
    buttonStatsClose->adjustSize();
    buttonStatsClose->move(3, -5);
    buttonStatsClose->setToolTip(QStringLiteral("Έξοδος"));
    buttonStatsClose->setCursor(Qt::PointingHandCursor);
    buttonStatsClose->onClick = [this] { buttonStatsCloseClick(); };

    // The years that a two-digit day key can name. The stepper is made before its edit so that
    // it goes first when the panel is destroyed and never watches an edit that is half gone.
    UpDown1 = new UpDown(Panel1);
    UpDown1->setGeometry(244, 0, 13, 16);
    setColours(UpDown1, kButtonFace, Qt::black);
    UpDown1->setAutoFillBackground(false);
    UpDown1->setRange(2000, 2099);
    UpDown1->setPosition(2000);

    boxYear = new QLineEdit(QStringLiteral("2000"), Panel1);
    boxYear->setGeometry(210, 0, 34, 16);
    boxYear->setReadOnly(true);
    boxYear->setFrame(false);
    boxYear->setTextMargins(0, 0, 0, 0);
    boxYear->setFont(pixelFont(boxYear->font(), 12, true));
    setColours(boxYear, Qt::black, Qt::yellow);
    connect(boxYear, &QLineEdit::textChanged, this, [this] { runGuarded([this] { boxYearChange(); }); });
    UpDown1->setAssociate(boxYear);

    panelCalc = new QFrame(Panel1);
    panelCalc->setGeometry(244, 17, 17, 240);
    panelCalc->setFrameShape(QFrame::NoFrame);
    panelCalc->setFocusPolicy(Qt::ClickFocus);
    setColours(panelCalc, QColor(0, 40, 40), QColor());

    buttonShowCalc = new QPushButton(QStringLiteral("<"), panelCalc);
    buttonShowCalc->setGeometry(0, 0, 16, 210);
    buttonShowCalc->setFont(pixelFont(buttonShowCalc->font(), 13, true));
    setColours(buttonShowCalc, kButtonFace, QColor(128, 0, 0));
    buttonShowCalc->setAutoFillBackground(false);
    buttonShowCalc->setToolTip(QStringLiteral("Calculator"));
    buttonShowCalc->setCursor(Qt::PointingHandCursor);
    connect(buttonShowCalc, &QPushButton::clicked, this,
            [this] { runGuarded([this] { buttonShowCalcClick(); }); });

    Label4 = new QLabel(QStringLiteral("Calculator"), panelCalc);
    Label4->setGeometry(18, 3, 139, 25);
    Label4->setAlignment(Qt::AlignCenter);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(19);
    Label4->setFont(arial);
    setColours(Label4, QColor(), QColor(0, 79, 79));

    Label1 = calcLabel(panelCalc, QStringLiteral("Από"), 27, 30);
    datePick1 = datePicker(panelCalc, {27, 42, 121, 21});
    Label2 = calcLabel(panelCalc, QStringLiteral("Μέχρι"), 27, 69);
    DatePick2 = datePicker(panelCalc, {27, 84, 121, 21});
    Label3 = calcLabel(panelCalc, QStringLiteral("Κόστος"), 27, 114);
    // The handlers read the ledger; its errors are shown rather than thrown through the signal.
    connect(datePick1, &QDateEdit::dateChanged, this,
            [this] { runGuarded([this] { datePick1Change(); }); });
    connect(DatePick2, &QDateEdit::dateChanged, this,
            [this] { runGuarded([this] { DatePick2Change(); }); });

    CalcBox = new QLineEdit(panelCalc);
    CalcBox->setGeometry(27, 129, 121, 21);
    QFont bold = CalcBox->font();
    bold.setBold(true);
    CalcBox->setFont(bold);
    setColours(CalcBox, QColor(128, 128, 0), QColor(238, 238, 238));

    onButtonStats = [this] { buttonStatsClick(); };
}

void TForm1::setCalcDates(const QDate &day) {
    const QSignalBlocker block1(datePick1);
    const QSignalBlocker block2(DatePick2);
    datePick1->setDate(day);
    DatePick2->setDate(day);
}

QWidget *TForm1::statsBanner() const {
    return findChild<QWidget *>(QStringLiteral("WebBrowser1"));
}

void TForm1::buttonStatsClick() {
    if (!Panel1->isHidden()) {
        buttonStatsCloseClick();
        return;
    }
    // The banner is parked below the window's visible area while the panel is open.
    if (QWidget *banner = statsBanner()) banner->move(banner->x(), 450);
    Panel1->setGeometry(Panel1->x(), 12, Panel1->width(), 0);
    StringGrid1->clearSelection();
    StringGrid1->setCurrentCell(-1, -1);
    Panel1->raise();
    Panel1->show();
    Panel1->resize(Panel1->width(), 226);
    const QLocale locale;
    for (int month = 1; month <= 12; ++month)
        StringGrid1->item(month - 1, 0)->setText(locale.standaloneMonthName(month, QLocale::LongFormat));
}

void TForm1::buttonStatsCloseClick() {
    Panel1->hide();
    QWidget *banner = statsBanner();
    if (banner && !banner->isHidden()) banner->move(banner->x(), 69);
}

void TForm1::boxYearChange() {
    // Everything is read before the grid changes: a ledger that cannot be read leaves the old totals.
    const std::array<double, 12> sums =
        stats::monthlyTotals(stats::readLedgerFile(m_meter.platform().dataFolder), boxYear->text());
    const QString currency = m_meter.s.currencyLabel;
    for (int month = 1; month <= 12; ++month)
        StringGrid1->item(month - 1, 1)->setText(fmt::general(sums[month - 1]) + QLatin1Char(' ') + currency);
}

void TForm1::StringGrid1Click() {
    const int row = StringGrid1->currentRow();
    if (row < 0 || !frmGraph) return;
    frmGraph->chartMonth = row + 1;
    frmGraph->chartYear = fmt::toInt(boxYear->text());
    frmGraph->showChart();
}

void TForm1::buttonShowCalcClick() {
    panelCalc->setFocus();
    if (panelCalc->width() >= 50) {
        panelCalc->setGeometry(244, panelCalc->y(), 16, panelCalc->height());
        buttonShowCalc->setText(QStringLiteral("<"));
        return;
    }
    calcRange();
    panelCalc->setGeometry(100, panelCalc->y(), 160, panelCalc->height());
    buttonShowCalc->setText(QStringLiteral(">"));
}

void TForm1::datePick1Change() {
    {
        const QSignalBlocker block1(datePick1);
        const QSignalBlocker block2(DatePick2);
        if (datePick1->date() < kFirstDay) datePick1->setDate(kFirstDay);
        if (datePick1->date() > DatePick2->date()) DatePick2->setDate(datePick1->date());
    }
    calcRange();
}

void TForm1::DatePick2Change() {
    {
        const QSignalBlocker block1(datePick1);
        const QSignalBlocker block2(DatePick2);
        if (datePick1->date() > DatePick2->date()) datePick1->setDate(DatePick2->date());
        if (DatePick2->date() < kFirstDay) {
            DatePick2->setDate(kFirstDay);
            datePick1->setDate(kFirstDay);
        }
    }
    calcRange();
}

void TForm1::calcRange() {
    const double sum = stats::rangeTotal(stats::readLedgerFile(m_meter.platform().dataFolder),
                                         datePick1->date(), DatePick2->date());
    CalcBox->setText(fmt::twoDecimals(sum) + QLatin1Char(' ') + m_meter.s.currencyLabel);
}

} // namespace tarv
