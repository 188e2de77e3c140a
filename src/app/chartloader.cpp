#include "app/chartloader.h"

#include "framework/errors.h"

#ifdef TARV_CHART_MODULE_INSTALL_DIR
#include "platform/linux/datafolder.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#else
#include "stats/tfrmgraph.h"
#endif

namespace tarv {

#ifdef TARV_CHART_MODULE_INSTALL_DIR
namespace {

using MakeChartWindow = ChartWindow *(*)(const Meter *, QWidget *);

MakeChartWindow loadChartModule(const QStringList &candidates) {
    const QString cannot = QStringLiteral("Δεν είναι δυνατό να ανοίξει το γράφημα: ");
    for (const QString &candidate : candidates) {
        if (!QFileInfo::exists(candidate)) continue;
        QLibrary module(candidate);
        // Every symbol is bound at load: one the program lacks is this error, not a crash later.
        module.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        // The module stays loaded to the end: the window made from it lives that long.
        if (!module.load()) throw Exception(cannot + module.errorString());
        if (auto make = reinterpret_cast<MakeChartWindow>(module.resolve("tarvMakeChartWindow"))) return make;
        throw Exception(cannot + module.errorString());
    }
    throw Exception(cannot + QStringLiteral("δεν βρέθηκε το ") + candidates.join(QStringLiteral(", ")));
}

} // namespace

QStringList chartModuleCandidates(const QString &programFolder) {
    if (isInstalledProgram(programFolder, installedProgramFolder()))
        return {QStringLiteral(TARV_CHART_MODULE_INSTALL_DIR "/tarvchart.so")};
    return {programFolder + QStringLiteral("/tarvchart.so")};
}

ChartWindowFactory chartWindowFactory(const QStringList &candidates) {
    return [candidates](const Meter *meter, QWidget *mainWindow) {
        MakeChartWindow make = loadChartModule(candidates);
        return std::unique_ptr<ChartWindow>(make(meter, mainWindow));
    };
}

ChartWindowFactory chartWindowFactory() {
    return chartWindowFactory(chartModuleCandidates(QCoreApplication::applicationDirPath()));
}
#else
ChartWindowFactory chartWindowFactory() {
    return [](const Meter *meter, QWidget *mainWindow) -> std::unique_ptr<ChartWindow> {
        return std::make_unique<TfrmGraph>(meter, mainWindow);
    };
}
#endif

} // namespace tarv
