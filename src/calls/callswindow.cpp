#include "calls/callswindow.h"

#include "calls/callsmodel.h"
#include "options/dialoglook.h"
#include "framework/textformat.h"
#include "framework/updown.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStyle>
#include <QTableView>
#include <QWindow>

namespace tarv::calls {

namespace {

// The statistics grid's colour, for the table.
const QColor kGridText(192, 192, 48);

// Months are stepped as one number: twelve a year from January 2000, as far as the ledger's
// two-digit years reach.
int monthIndex(int year, int month) {
    return year * 12 + month - 1;
}

} // namespace

CallsWindow::CallsWindow(QString dataFolder, std::function<QString()> currency, QWidget *mainWindow, QWidget *parent)
    : QWidget(parent), m_dataFolder(std::move(dataFolder)), m_currency(std::move(currency)), m_main(mainWindow) {
    setObjectName(QStringLiteral("callsWindow"));
    // Above the chart, which stays on top, since the chart's bars open it too.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowTitle(QStringLiteral("Κλήσεις"));
    setFixedSize(640, 400);
    m_background = dialogBackground();
    m_loader = new CallsLoader(m_dataFolder, this);
    connect(m_loader, &CallsLoader::loaded, this, &CallsWindow::loaded);
    m_model = new CallsModel(this);
    m_filter = new CallsFilter(m_model, this);
    createControls();
    roundDialogOutline(this);

    askSaveFileName = [this] {
        const QString suggested = QStringLiteral("calls-%1-%2.csv").arg(m_year).arg(m_month, 2, 10, QLatin1Char('0'));
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return QFileDialog::getSaveFileName(this, QStringLiteral("Αποθήκευση κλήσεων"),
                                            QDir(folder).filePath(suggested), QStringLiteral("Αρχεία CSV (*.csv)"));
    };
}

CallsWindow::~CallsWindow() = default;

void CallsWindow::createControls() {
    setFont(dialogPlainFont());
    auto *heading = new QLabel(QStringLiteral("Κλήσεις"), this);
    heading->setFont(dialogHeadingFont());
    QPalette headingPalette = palette();
    headingPalette.setColor(QPalette::WindowText, kDialogHeading);
    heading->setPalette(headingPalette);
    heading->move(30, 10);
    heading->adjustSize();

    auto *monthLabel = new QLabel(QStringLiteral("Μήνας:"), this);
    monthLabel->move(130, 12);
    monthLabel->adjustSize();
    m_monthBox = new QLineEdit(this);
    m_monthBox->setObjectName(QStringLiteral("monthBox"));
    m_monthBox->setGeometry(172, 8, 120, 21);
    m_monthBox->setReadOnly(true);
    QFont bold = dialogPlainFont();
    bold.setBold(true);
    m_monthBox->setFont(bold);
    m_monthStepper = new UpDown(this);
    m_monthStepper->setObjectName(QStringLiteral("monthStepper"));
    m_monthStepper->setGeometry(292, 8, 13, 21);
    m_monthStepper->setRange(monthIndex(2000, 1), monthIndex(2099, 12));
    connect(m_monthStepper, &UpDown::clicked, this, &CallsWindow::monthStepped);

    m_dayLabel = new QLabel(this);
    m_dayLabel->setObjectName(QStringLiteral("dayLabel"));
    m_dayLabel->setGeometry(320, 12, 150, 16);
    m_dayLabel->setFont(bold);
    m_wholeMonth = new QPushButton(QStringLiteral("Όλος ο μήνας"), this);
    m_wholeMonth->setObjectName(QStringLiteral("wholeMonthButton"));
    m_wholeMonth->setGeometry(470, 7, 100, 23);
    connect(m_wholeMonth, &QPushButton::clicked, this, &CallsWindow::showWholeMonth);

    createTable();

    m_totals = new QLabel(this);
    m_totals->setObjectName(QStringLiteral("totalsLabel"));
    m_totals->setGeometry(14, 326, 612, 18);
    m_totals->setFont(bold);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("noteLabel"));
    m_note->setGeometry(14, 348, 410, 32);
    m_note->setWordWrap(true);
    m_note->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_save = new QPushButton(QStringLiteral("Αποθήκευση..."), this);
    m_save->setObjectName(QStringLiteral("saveButton"));
    m_save->setGeometry(432, 352, 95, 25);
    m_close = new QPushButton(QStringLiteral("Κλείσιμο"), this);
    m_close->setObjectName(QStringLiteral("closeButton"));
    m_close->setGeometry(531, 352, 80, 25);
    connect(m_save, &QPushButton::clicked, this, &CallsWindow::saveClick);
    connect(m_close, &QPushButton::clicked, this, &QWidget::hide);
    showFilter();
}

void CallsWindow::createTable() {
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("callsTable"));
    m_table->setGeometry(14, 36, 612, 286);
    m_table->setModel(m_filter);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(CallsModel::Start, Qt::DescendingOrder);
    m_table->setShowGrid(false);
    m_table->setWordWrap(false);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->verticalHeader()->hide();
    // Rows of one height: a long month scrolls without measuring every row.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(17);
    QFont grid = dialogPlainFont();
    grid.setPixelSize(12);
    m_table->setFont(grid);
    m_table->horizontalHeader()->setFont(dialogPlainFont());
    QPalette pal = m_table->palette();
    pal.setColor(QPalette::Base, Qt::black);
    pal.setColor(QPalette::Text, kGridText);
    m_table->setPalette(pal);
    const int widths[] = {118, 56, 50, 66, 64, 64, 74, 96};
    for (int c = 0; c < CallsModel::ColumnCount; ++c) m_table->setColumnWidth(c, widths[c]);
    m_table->horizontalHeader()->setStretchLastSection(true);
}

QDate CallsWindow::day() const {
    return m_filter->day();
}

void CallsWindow::showMonth(int year, int month) {
    m_filter->setDay({});
    load(year, month);
    bringForward();
}

void CallsWindow::showDay(const QDate &day) {
    m_filter->setDay(day);
    load(day.year(), day.month());
    bringForward();
}

void CallsWindow::showWholeMonth() {
    m_filter->setDay({});
    showFilter();
    updateTotals();
}

void CallsWindow::bringForward() {
    if (!isVisible() && m_main) move(m_main->frameGeometry().center() - QPoint(width() / 2, height() / 2));
    show();
    raise();
    activateWindow();
}

void CallsWindow::load(int year, int month) {
    m_year = year;
    m_month = month;
    m_monthStepper->setPosition(monthIndex(year, month));
    m_monthBox->setText(QLocale().standaloneMonthName(month, QLocale::LongFormat) + QLatin1Char(' ') +
                        QString::number(year));
    // The rows of another month are not shown meanwhile, nor saved.
    m_model->setRows({});
    m_save->setEnabled(false);
    showFilter();
    m_totals->clear();
    setNote(QStringLiteral("Ανάγνωση του αρχείου κλήσεων..."), false);
    m_loader->load(year, month);
}

void CallsWindow::loaded(const MonthCalls &calls) {
    m_readFailed = !calls.error.isEmpty();
    if (m_readFailed)
        m_readNote = calls.error;
    else if (calls.skipped > 0)
        m_readNote = calls.skipped == 1
                         ? QStringLiteral("Παραλείφθηκε 1 γραμμή του αρχείου που δεν διαβάζεται.")
                         : QStringLiteral("Παραλείφθηκαν %1 γραμμές του αρχείου που δεν διαβάζονται.").arg(calls.skipped);
    else
        m_readNote.clear();
    m_model->setRows(calls.rows);
    m_save->setEnabled(!m_readFailed);
    setNote(m_readNote, m_readFailed);
    updateTotals();
    emit rowsShown();
}

void CallsWindow::monthStepped() {
    const int index = m_monthStepper->position();
    if (index == monthIndex(m_year, m_month)) return;
    m_filter->setDay({});
    load(index / 12, index % 12 + 1);
}

void CallsWindow::showFilter() {
    const QDate d = m_filter->day();
    m_dayLabel->setText(d.isValid() ? QStringLiteral("Ημέρα: ") + fmt::shortDate(d) : QString());
    m_wholeMonth->setVisible(d.isValid());
}

void CallsWindow::updateTotals() {
    const CallTotals t = m_filter->totals();
    const QString currency = !t.currency.isEmpty() ? t.currency : m_currency ? m_currency() : QString();
    m_totals->setText(QStringLiteral("%1 · Χρόνος %2 · %3 μονάδες · %4 %5 · Λήψη %6 · Αποστολή %7")
                          .arg(t.calls == 1 ? QStringLiteral("1 σύνδεση") : QStringLiteral("%1 συνδέσεις").arg(t.calls),
                               durationText(t.seconds), QString::number(t.units), fmt::general(t.cost), currency,
                               dataSizeText(t.received), dataSizeText(t.sent)));
}

QString CallsWindow::totalsText() const {
    return m_totals->text();
}

QString CallsWindow::noteText() const {
    return m_note->text();
}

void CallsWindow::setNote(const QString &text, bool error) {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, error ? QColor(Qt::red) : kDialogHeading);
    m_note->setPalette(pal);
    m_note->setText(text);
}

bool CallsWindow::saveShown(const QString &fileName) {
    const QList<CallRow> rows = m_filter->shownRows();
    // The file appears whole when it is committed, or not at all; one already there is kept
    // until then.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(csvOfRows(rows)) < 0 || !file.commit()) {
        setNote(QStringLiteral("Δεν αποθηκεύτηκε το %1: %2").arg(fileName, file.errorString()), true);
        return false;
    }
    setNote(QStringLiteral("Αποθηκεύτηκαν %1 γραμμές στο %2").arg(rows.size()).arg(fileName), false);
    return true;
}

void CallsWindow::saveClick() {
    const QString fileName = askSaveFileName ? askSaveFileName() : QString();
    if (!fileName.isEmpty()) saveShown(fileName);
}

void CallsWindow::paintEvent(QPaintEvent *) {
    paintDialogBackground(this, m_background);
}

void CallsWindow::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CallsWindow::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) return;
    // Where the window system places windows itself (Wayland) it is asked to drag.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) && windowHandle() &&
        windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void CallsWindow::mouseMoveEvent(QMouseEvent *event) {
    if (m_dragging) move(event->globalPosition().toPoint() - m_dragOffset);
}

void CallsWindow::mouseReleaseEvent(QMouseEvent *) {
    m_dragging = false;
}

} // namespace tarv::calls
