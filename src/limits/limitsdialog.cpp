#include "limits/limitsdialog.h"

#include "framework/errors.h"
#include "options/dialoglook.h"
#include "framework/shapecircle.h"
#include "framework/textformat.h"
#include "framework/updown.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <cmath>

namespace tarv::limits {

namespace {

bool readAmountField(const QString &text, double &value) {
    QString t = text.trimmed();
    if (t.isEmpty()) {
        value = 0;
        return true;
    }
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    value = t.toDouble(&ok);
    return ok && std::isfinite(value) && value >= 0 && value <= 1e9;
}

} // namespace

LimitsDialog::LimitsDialog(QWidget *mainWindow, QWidget *parent) : QDialog(parent), m_main(mainWindow) {
    setObjectName(QStringLiteral("limitsDialog"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Όριο δαπάνης"));
    setFixedSize(360, 276);
    setModal(false);
    m_background = dialogBackground();
    createControls();
    roundDialogOutline(this);
}

void LimitsDialog::createControls() {
    setFont(dialogPlainFont());
    QPalette headingPalette = palette();
    headingPalette.setColor(QPalette::WindowText, kDialogHeading);

    auto *bevel = new Bevel(this);
    bevel->setGeometry(6, 28, 264, 160);
    bevel->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto label = [&](const QString &text, int x, int y, bool heading = false) {
        auto *l = new QLabel(text, this);
        l->setAttribute(Qt::WA_TranslucentBackground);
        if (heading) {
            l->setFont(dialogHeadingFont());
            l->setPalette(headingPalette);
        }
        l->move(x, y);
        l->adjustSize();
        return l;
    };
    auto edit = [&](const char *name, int x, int y, int width) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setGeometry(x, y, width, 21);
        e->setTextMargins(0, 0, 0, 0);
        return e;
    };

    label(QStringLiteral("Όριο δαπάνης"), 24, 8, true);
    label(QStringLiteral("Μηνιαίο όριο:"), 14, 39);
    m_monthly = edit("monthlyEdit", 150, 36, 70);
    m_monthlyCurrency = label(QString(), 224, 39);
    label(QStringLiteral("Ημερήσιο όριο:"), 14, 63);
    m_daily = edit("dailyEdit", 150, 60, 70);
    m_dailyCurrency = label(QString(), 224, 63);
    label(QStringLiteral("Ο κύκλος αρχίζει την ημέρα:"), 14, 87);
    m_cycleDay = edit("cycleDayEdit", 150, 84, 22);
    m_cycleDay->setReadOnly(true);
    m_cycleStepper = new UpDown(this);
    m_cycleStepper->setRange(1, 31);
    m_cycleStepper->setGeometry(172, 84, 13, 21);
    m_cycleStepper->setAssociate(m_cycleDay);
    label(QStringLiteral("Ειδοποίηση στο (%):"), 14, 111);
    m_warnings = edit("warningsEdit", 150, 108, 110);
    m_hangUp = new QCheckBox(QStringLiteral("Κλείσιμο της σύνδεσης στο όριο"), this);
    m_hangUp->setObjectName(QStringLiteral("hangUpCheck"));
    m_hangUp->move(12, 134);
    m_hangUp->resize(m_hangUp->sizeHint());
    label(QStringLiteral("Εντολή σε κάθε ειδοποίηση:"), 14, 161);
    m_command = edit("commandEdit", 150, 158, 110);

    label(QStringLiteral("Τρέχων κύκλος"), 24, 192, true);
    m_figures = new QLabel(this);
    m_figures->setObjectName(QStringLiteral("figuresLabel"));
    m_figures->setAttribute(Qt::WA_TranslucentBackground);
    m_figures->setGeometry(14, 208, 330, 44);
    m_figures->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("errorLabel"));
    m_error->setAttribute(Qt::WA_TranslucentBackground);
    m_error->setGeometry(14, 252, 330, 16);
    QPalette errorPalette = palette();
    errorPalette.setColor(QPalette::WindowText, Qt::red);
    m_error->setPalette(errorPalette);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setGeometry(276, 31, 75, 25);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_cancel->setGeometry(276, 58, 75, 25);
    connect(m_ok, &QPushButton::clicked, this, &LimitsDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void LimitsDialog::setContents(const LimitSettings &s, const std::optional<CycleFigures> &figures,
                               const QString &figuresError) {
    m_loaded = s;
    m_monthly->setText(amountText(s.monthly));
    m_daily->setText(amountText(s.daily));
    m_cycleStepper->setPosition(s.cycleDay);
    m_cycleDay->setText(QString::number(s.cycleDay));
    m_warnings->setText(levelsText(s.warnings));
    m_hangUp->setChecked(s.hangUp);
    m_command->setText(s.command);
    m_error->clear();
    if (!figures) {
        m_figures->setText(figuresError);
        return;
    }
    const CycleFigures &f = *figures;
    for (QLabel *l : {m_monthlyCurrency, m_dailyCurrency}) {
        l->setText(f.currency);
        l->adjustSize();
    }
    const auto money = [&](double v) { return fmt::twoDecimals(v) + QLatin1Char(' ') + f.currency; };
    QStringList lines;
    QString spent = QStringLiteral("%1 – %2: %3")
                        .arg(f.cycle.start.toString(QStringLiteral("d/M/yyyy")), f.cycle.end.toString(QStringLiteral("d/M/yyyy")),
                             money(f.month.spent));
    if (f.month.hasLimit()) spent += QStringLiteral(" (%1%)").arg(qRound(f.month.share()));
    lines << spent;
    lines << (f.month.forecast ? QStringLiteral("Πρόβλεψη: %1").arg(money(*f.month.forecast))
                               : QStringLiteral("Πρόβλεψη: μετά τη δεύτερη ημέρα του κύκλου"));
    if (f.month.leftPerDay)
        lines << QStringLiteral("Απομένουν την ημέρα: %1 για %2 ημέρες").arg(money(*f.month.leftPerDay)).arg(f.month.daysLeft);
    m_figures->setText(lines.join(QLatin1Char('\n')));
}

void LimitsDialog::open() {
    if (!isVisible() && m_main) move(m_main->frameGeometry().center() - QPoint(width() / 2, height() / 2));
    if (m_ok->icon().isNull()) {
        m_ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
        m_cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    }
    show();
    raise();
    activateWindow();
}

bool LimitsDialog::readFields(LimitSettings &s, QString &error) const {
    s = m_loaded;
    if (!readAmountField(m_monthly->text(), s.monthly)) {
        error = QStringLiteral("Το μηνιαίο όριο δεν είναι ποσό.");
        return false;
    }
    if (!readAmountField(m_daily->text(), s.daily)) {
        error = QStringLiteral("Το ημερήσιο όριο δεν είναι ποσό.");
        return false;
    }
    // The stepper writes its position into the field, which is what the user sees.
    s.cycleDay = std::clamp(m_cycleDay->text().toInt(), 1, 31);
    if (!parseLevels(m_warnings->text(), s.warnings)) {
        error = QStringLiteral("Οι ειδοποιήσεις είναι ποσοστά από 1 έως 1000, χωρισμένα με κόμμα.");
        return false;
    }
    s.hangUp = m_hangUp->isChecked();
    s.command = m_command->text().trimmed();
    return true;
}

void LimitsDialog::accept() {
    LimitSettings s;
    QString error;
    if (!readFields(s, error)) {
        m_error->setText(error);
        return;
    }
    try {
        if (onAccept) onAccept(s);
    } catch (const Exception &e) {
        m_error->setText(e.message());
        return;
    }
    m_error->clear();
    QDialog::accept();
}

QString LimitsDialog::figuresText() const {
    return m_figures->text();
}

QString LimitsDialog::errorText() const {
    return m_error->text();
}

void LimitsDialog::paintEvent(QPaintEvent *) {
    paintDialogBackground(this, m_background);
}

} // namespace tarv::limits
