#pragma once

#include "framework/updown.h"
#include "platform/fakes/fakes.h"
#include "shell/tform1.h"
#include "stats/statspanel.h"
#include "stats/tfrmgraph.h"
#include "support/tempdir.h"

#include <QDateEdit>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <memory>

namespace tarv::test {

// The main window and the chart window over a temporary folder that holds a prepared ledger,
// with a fake clock. The windows are created but not shown.
struct StatsRig {
    explicit StatsRig(const QByteArray &ledgerBytes,
                      const QDateTime &now = QDateTime(QDate(2003, 3, 15), QTime(12, 0))) {
        clock = std::make_shared<FakeClock>(now);
        Platform p = fakePlatform(dir.path(), clock);
        if (!ledgerBytes.isNull()) writeLedger(ledgerBytes);
        form = std::make_unique<TForm1>(p);
        graph = std::make_unique<TfrmGraph>(&form->meter(), form.get());
        form->setOtherWindows(nullptr, graph.get());
        graph->screenSize = [] { return QSize(1024, 768); };
    }
    ~StatsRig() {
        graph.reset();
        form.reset();
    }

    // The main window's statistics panel and its controls, found by their names.
    StatsPanel &panel() const { return *form->statsPanel(); }
    template <typename T>
    T *part(const char *name) const {
        return panel().findChild<T *>(QLatin1String(name));
    }
    QTableWidget *monthGrid() const { return part<QTableWidget>("monthGrid"); }
    QLineEdit *yearBox() const { return part<QLineEdit>("yearBox"); }
    UpDown *yearStepper() const { return part<UpDown>("yearStepper"); }
    QFrame *calcTab() const { return part<QFrame>("calcTab"); }
    QPushButton *calcToggle() const { return part<QPushButton>("calcToggle"); }
    QLineEdit *rangeTotal() const { return part<QLineEdit>("rangeTotal"); }
    QDateEdit *fromPicker() const { return part<QDateEdit>("fromPicker"); }
    QDateEdit *toPicker() const { return part<QDateEdit>("toPicker"); }

    QString ledgerPath() const { return dir.filePath(QStringLiteral("data.dat")); }
    void writeLedger(const QByteArray &bytes) const { writeFile(ledgerPath(), bytes); }

    QTemporaryDir dir;
    std::shared_ptr<FakeClock> clock;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TfrmGraph> graph;
};

// A ledger as the program writes it: the default header, the empty line, then the records.
inline QByteArray ledgerOf(const QList<QByteArray> &records) {
    QByteArray bytes("8|22|270|540|9|\xC4\xF1\xF7");
    bytes.append(100 - bytes.size(), ' ');
    bytes += "\r\n";
    for (const QByteArray &r : records)
        bytes += "\r\n" + r;
    return bytes;
}

} // namespace tarv::test
