#include "stats/tfrmgraph.h"

#include "shell/tform1.h"

namespace tarv {

TfrmGraph::TfrmGraph(TForm1 *mainForm, QWidget *parent) : QWidget(parent), m_main(mainForm) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(529, 347);
}

} // namespace tarv
