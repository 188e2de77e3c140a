// The chart window's output: the chart as a bitmap for the clipboard and for files, the save
// loop with its questions, and printing.
#include "stats/chartview.h"
#include "stats/tfrmgraph.h"

#include <QBarCategoryAxis>
#include <QChart>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QTimer>
#include <QValueAxis>

namespace tarv {

QImage TfrmGraph::chartBitmap() const {
    ensureChart();
    QImage image(Chart1->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    Chart1->render(&painter, QRectF(image.rect()), Chart1->viewport()->rect());
    painter.end();
    return image;
}

void TfrmGraph::buttonClipClick() {
    QGuiApplication::clipboard()->setImage(chartBitmap());
    // Copying shows nothing by itself: the note says that it happened, then goes.
    copyNote->setText(QStringLiteral("Αντιγράφηκε"));
    copyNote->show();
    QTimer::singleShot(4000, copyNote, &QWidget::hide);
}

QString TfrmGraph::picturesFolder() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return !pictures.isEmpty() && QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
}

void TfrmGraph::saveChartFile(const QString &fileName) const {
    const QString kind = QFileInfo(fileName).suffix().toLower();
    bool written = false;
    if (kind == QLatin1String("pdf")) {
        // One page the size of the chart, which holds the same picture as the other kinds.
        const QImage image = chartBitmap();
        QPdfWriter pdf(fileName);
        pdf.setResolution(72);
        pdf.setPageSize(QPageSize(QSizeF(image.size()), QPageSize::Point));
        pdf.setPageMargins(QMarginsF());
        QPainter painter;
        if (painter.begin(&pdf)) {
            painter.drawImage(QPointF(0, 0), image);
            written = painter.end();
        }
    } else {
        written = chartBitmap().save(fileName, kind == QLatin1String("png") ? "PNG" : "BMP");
    }
    if (!written)
        throw EInOutError(QStringLiteral("Δεν ήταν δυνατή η εγγραφή του αρχείου «%1»").arg(fileName));
}

std::unique_ptr<QMessageBox> TfrmGraph::makeConfirmBox(QWidget *parent) {
    auto box =
        std::make_unique<QMessageBox>(QMessageBox::Question, QStringLiteral("Confirm"),
                                      QStringLiteral("Το αρχείο υπάρχει ήδη. Να αντικατασταθεί;"),
                                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    // Closing the box without a button counts as Cancel.
    box->setEscapeButton(QMessageBox::Cancel);
    return box;
}

std::unique_ptr<QMessageBox> TfrmGraph::makeSavedBox(QWidget *parent) {
    return std::make_unique<QMessageBox>(QMessageBox::NoIcon, QStringLiteral("Save"),
                                         QStringLiteral("Η αποθήκευση ολοκληρώθηκε"), QMessageBox::Ok,
                                         parent);
}

void TfrmGraph::buttonSaveBitmapClick() {
    // The dialog comes back only after "No" to replacing a file, so that the user can choose
    // another name; a save that succeeded, Cancel and a closed box all end it.
    for (;;) {
        const QString fileName = askSaveFileName();
        if (fileName.isEmpty()) return;
        QMessageBox::StandardButton answer = QMessageBox::Yes;
        if (QFileInfo::exists(fileName)) answer = askOverwrite();
        if (answer == QMessageBox::No) continue;
        if (answer != QMessageBox::Yes) return;
        saveChartFile(fileName);
        reportSaved();
        return;
    }
}

namespace {

// The printer as the user knows it: its name, or the file it writes.
QString printerLabel(const QPrinter &printer) {
    return printer.outputFormat() == QPrinter::PdfFormat ? QDir::toNativeSeparators(printer.outputFileName())
                                                         : printer.printerName();
}

} // namespace

std::unique_ptr<QPrinter> TfrmGraph::askPrinter() {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
#ifndef Q_OS_WIN
    // Without a printer the dialog still prints, to a PDF file in the pictures folder. (The
    // Windows dialog is the system's, which offers its own PDF printer.)
    if (QPrinterInfo::defaultPrinter().isNull()) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QDir(picturesFolder()).filePath(chartTitle(chartYear, chartMonth) +
                                                                   QStringLiteral(".pdf")));
    }
#endif
    QPrintDialog dialog(printer.get(), this);
    dialog.setObjectName(QStringLiteral("printDialog"));
    dialog.setWindowTitle(QStringLiteral("Εκτύπωση γραφήματος"));
    dialog.setOption(QAbstractPrintDialog::PrintToFile);
    if (dialog.exec() != QDialog::Accepted) return nullptr;
    return printer;
}

void TfrmGraph::printChart(QPrinter &printer) {
    QPainter painter;
    if (!painter.begin(&printer))
        throw EPrinterError(QStringLiteral("Η εκτύπωση δεν ξεκίνησε στο «%1».").arg(printerLabel(printer)));
    ensureChart();
    // One page: the chart across the page's width, its proportions kept, on white paper.
    const QRect page = painter.viewport();
    const QRectF source = Chart1->sceneRect();
    const double scale = page.width() / source.width();
    const QRectF target(0, 0, page.width(), source.height() * scale);
    m_chart->scene()->render(&painter, target, source, Qt::KeepAspectRatio);
    if (!painter.end())
        throw EPrinterError(QStringLiteral("Η εκτύπωση απέτυχε στο «%1».").arg(printerLabel(printer)));
}

void TfrmGraph::buttonPrintClick() {
    ensureChart();
    // The user chooses the printer first; the window keeps its colours while the dialog is open.
    const std::unique_ptr<QPrinter> printer = printerSource();
    if (!printer) return;
    // The chart is printed with black titles and labels, which read on white paper; the window's
    // own colours come back whatever happens.
    struct Colours {
        QBrush title, axisYTitle, axisXTitle;
        QColor axisYLabels, dayLabels;
    };
    const Colours saved{m_chart->titleBrush(), m_axisY->titleBrush(), m_axisX->titleBrush(),
                        m_axisY->labelsColor(), m_dayLabelsColor};
    struct Restore {
        TfrmGraph *w;
        Colours c;
        ~Restore() {
            w->m_chart->setTitleBrush(c.title);
            w->m_axisY->setTitleBrush(c.axisYTitle);
            w->m_axisX->setTitleBrush(c.axisXTitle);
            w->m_axisY->setLabelsColor(c.axisYLabels);
            w->setDayLabelsColor(c.dayLabels);
        }
    } restore{this, saved};
    m_chart->setTitleBrush(QBrush(Qt::black));
    m_axisY->setTitleBrush(QBrush(Qt::black));
    m_axisX->setTitleBrush(QBrush(Qt::black));
    m_axisY->setLabelsColor(Qt::black);
    setDayLabelsColor(Qt::black);
    printChart(*printer);
}

} // namespace tarv
