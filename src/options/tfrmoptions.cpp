#include "options/tfrmoptions.h"

#include "shell/tform1.h"

namespace tarv {

TfrmOptions::TfrmOptions(TForm1 *mainForm, QWidget *parent) : QWidget(parent), m_main(mainForm) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(313, 161);
}

} // namespace tarv
