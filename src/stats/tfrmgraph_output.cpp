// The chart window's output: the chart as a bitmap for the clipboard and for files, the save
// loop with its questions, and printing.
#include "stats/chartview.h"
#include "stats/tfrmgraph.h"

#include <QBarCategoryAxis>
#include <QChart>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
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
    bool again = true;
    while (again) {
        const QString fileName = askSaveFileName();
        if (fileName.isEmpty()) return;
        QMessageBox::StandardButton answer = QMessageBox::Yes;
        if (QFileInfo::exists(fileName)) {
            answer = askOverwrite();
            if (answer != QMessageBox::No) again = false;
        }
        if (answer == QMessageBox::Yes) {
            if (!chartBitmap().save(fileName, "BMP"))
                throw EInOutError(QStringLiteral("Cannot write file \"%1\"").arg(fileName));
            reportSaved();
        } else if (answer != QMessageBox::No) {
            again = false; // Cancel, or the box closed without an answer
        }
    }
}

void TfrmGraph::printChart(QPrinter &printer) {
    QPainter painter;
    if (!painter.begin(&printer))
        throw EPrinterError(QStringLiteral("Cannot print on \"%1\"").arg(printer.printerName()));
    ensureChart();
    // One page: the chart across the page's width, its proportions kept, on white paper.
    const QRect page = painter.viewport();
    const QRectF source = Chart1->sceneRect();
    const double scale = page.width() / source.width();
    const QRectF target(0, 0, page.width(), source.height() * scale);
    m_chart->scene()->render(&painter, target, source, Qt::KeepAspectRatio);
    if (!painter.end())
        throw EPrinterError(QStringLiteral("Printing failed on \"%1\"").arg(printer.printerName()));
}

void TfrmGraph::buttonPrintClick() {
    // The chart is printed with black titles and labels, which read on white paper; the window's
    // own colours come back whatever happens.
    ensureChart();
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
    const std::unique_ptr<QPrinter> printer = printerSource();
    printChart(*printer);
}

} // namespace tarv
