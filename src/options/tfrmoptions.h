#pragma once

#include <QWidget>

namespace tarv {

class TForm1;

// The tariff options dialog.
class TfrmOptions final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmOptions(TForm1 *mainForm, QWidget *parent = nullptr);

private:
    TForm1 *m_main = nullptr;
};

} // namespace tarv
