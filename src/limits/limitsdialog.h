#pragma once

#include "limits/limitscheck.h"
#include "limits/limitsettings.h"

#include <QDialog>
#include <QPixmap>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarv {
class UpDown;
}

namespace tarv::limits {

// The dialog "Όριο δαπάνης": the monthly and daily limits, the cycle day, the warning levels,
// the two actions at a warning, and the current cycle at a glance. It looks like the options
// dialog: frameless and rounded on the same background. It is never modal; OK hands the values
// to whoever opened it, and stays open with the error when they cannot be taken or saved.
class LimitsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit LimitsDialog(QWidget *mainWindow, QWidget *parent = nullptr);

    // Fills the fields from settings and shows the cycle's figures (or why there are none).
    void setContents(const LimitSettings &settings, const std::optional<CycleFigures> &figures,
                     const QString &figuresError = {});
    // Shows the dialog over the main window and brings it forward.
    void open();

    // The values in the fields; false, with the reason in Greek, when one cannot be taken.
    bool readFields(LimitSettings &settings, QString &error) const;

    // Saves accepted values; an error it raises is shown in the dialog, which stays open.
    std::function<void(const LimitSettings &)> onAccept;

    // The text of the figures' box (for tests and the screenshot).
    QString figuresText() const;
    QString errorText() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void createControls();
    void accept() override;

    QWidget *m_main = nullptr;
    QPixmap m_background;
    LimitSettings m_loaded;
    QLineEdit *m_monthly = nullptr;
    QLineEdit *m_daily = nullptr;
    QLineEdit *m_cycleDay = nullptr;
    UpDown *m_cycleStepper = nullptr;
    QLineEdit *m_warnings = nullptr;
    QCheckBox *m_hangUp = nullptr;
    QLineEdit *m_command = nullptr;
    QLabel *m_monthlyCurrency = nullptr;
    QLabel *m_dailyCurrency = nullptr;
    QLabel *m_figures = nullptr;
    QLabel *m_error = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace tarv::limits
