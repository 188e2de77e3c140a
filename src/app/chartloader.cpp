#include "app/chartloader.h"

#include "framework/errors.h"

#ifdef TARV_CHART_MODULE_BUILD_DIR
#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>
#else
#include "stats/tfrmgraph.h"
#endif

namespace tarv {

#ifdef TARV_CHART_MODULE_BUILD_DIR
namespace {

using MakeChartWindow = ChartWindow *(*)(const Meter *, QWidget *);

// Beside the program, where it is installed (beside the program moved with its prefix, or where
// this build was to install it), and where this build put it.
MakeChartWindow loadChartModule() {
    const QString dir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {dir + QStringLiteral("/tarvchart.so"),
                                    dir + QStringLiteral("/../" TARV_CHART_MODULE_LIBDIR "/tarvchart.so"),
                                    QStringLiteral(TARV_CHART_MODULE_INSTALL_DIR "/tarvchart.so"),
                                    QStringLiteral(TARV_CHART_MODULE_BUILD_DIR "/tarvchart.so")};
    QString reason;
    for (const QString &candidate : candidates) {
        QLibrary module(candidate);
        // Every symbol is bound at load: one the program lacks is this error, not a crash later.
        module.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        // The module stays loaded to the end: the window made from it lives that long.
        if (!module.load()) {
            if (reason.isEmpty() || QFileInfo::exists(candidate)) reason = module.errorString();
            continue;
        }
        if (auto make = reinterpret_cast<MakeChartWindow>(module.resolve("tarvMakeChartWindow"))) return make;
        reason = module.errorString();
    }
    throw Exception(QStringLiteral("Δεν είναι δυνατό να ανοίξει το γράφημα: ") + reason);
}

} // namespace

ChartWindowFactory chartWindowFactory() {
    return [](const Meter *meter, QWidget *mainWindow) {
        MakeChartWindow make = loadChartModule();
        return std::unique_ptr<ChartWindow>(make(meter, mainWindow));
    };
}
#else
ChartWindowFactory chartWindowFactory() {
    return [](const Meter *meter, QWidget *mainWindow) -> std::unique_ptr<ChartWindow> {
        return std::make_unique<TfrmGraph>(meter, mainWindow);
    };
}
#endif

} // namespace tarv
