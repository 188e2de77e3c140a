#pragma once

#include <QWidget>

namespace tarv {

class TForm1;

// The daily chart window.
class TfrmGraph final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmGraph(TForm1 *mainForm, QWidget *parent = nullptr);

    // The chart window follows the main window when the user drags it.
    bool windowsGrouped = false;

private:
    TForm1 *m_main = nullptr;
};

} // namespace tarv
