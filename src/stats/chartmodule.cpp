// The chart window's module: the program loads it the first time a chart is asked for and
// makes the window through this one function.
#include "stats/tfrmgraph.h"

extern "C" Q_DECL_EXPORT tarv::ChartWindow *tarvMakeChartWindow(const tarv::Meter *meter, QWidget *mainWindow) {
    return new tarv::TfrmGraph(meter, mainWindow);
}
