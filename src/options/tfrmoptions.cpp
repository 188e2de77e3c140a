#include "options/tfrmoptions.h"

#include "framework/application.h"
#include "options/dialoglook.h"
#include "framework/shapecircle.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>

namespace tarv {

namespace {

// Runs a handler from a signal: an error it raises is shown and goes no further.
template <typename F> auto guarded(F f) {
    return [f](auto &&...) { runGuarded(f); };
}

} // namespace

qint32 priceScale = 10;

TfrmOptions::TfrmOptions(Meter &meter, QWidget *mainWindow, QWidget *parent)
    : QDialog(parent), m_meter(meter), m_main(mainWindow) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Επιλογές χρέωσης"));
    setFixedSize(313, 161);
    setModal(false);
    m_background = dialogBackground();
    createControls();
    FormCreate();
}

TfrmOptions::~TfrmOptions() {
    if (qApp) qApp->removeEventFilter(this);
}

void TfrmOptions::createControls() {
    const QFont plain = dialogPlainFont();
    setFont(plain);
    const QFont heading = dialogHeadingFont();
    QPalette headingPalette = palette();
    headingPalette.setColor(QPalette::WindowText, kDialogHeading);

    // Created first so that it lies beneath the controls it frames.
    Bevel1 = new Bevel(this);
    Bevel1->setGeometry(6, 30, 223, 88);
    Bevel1->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto label = [&](const QString &text, int x, int y, bool isHeading = false) {
        auto *l = new QLabel(text, this);
        l->setAttribute(Qt::WA_TranslucentBackground);
        if (isHeading) {
            l->setFont(heading);
            l->setPalette(headingPalette);
        }
        l->move(x, y);
        l->adjustSize();
        return l;
    };
    auto edit = [&](int x, int y, int width) {
        auto *e = new QLineEdit(this);
        e->setReadOnly(true);
        e->setGeometry(x, y, width, 21);
        e->setTextMargins(0, 0, 0, 0);
        return e;
    };
    auto stepper = [&](QLineEdit *buddy, int minimum, int maximum) {
        auto *u = new UpDown(this);
        u->setRange(minimum, maximum);
        u->setGeometry(buddy->x() + buddy->width(), buddy->y(), 13, buddy->height());
        u->setAssociate(buddy);
        return u;
    };

    checkreg = new QCheckBox(this);
    checkreg->move(15, 12);
    checkreg->resize(checkreg->sizeHint());
    checkreg->setChecked(true);
    Label3 = label(autostartCaption(), 30, 12);

    Label1 = label(QStringLiteral("Ζώνη Α"), 11, 30, true);
    tmAfrom = edit(11, 45, 22);
    UpDown1 = stepper(tmAfrom, 0, 23);
    Label8 = label(QStringLiteral("μέχρι"), 46, 48);
    tmAto = edit(76, 45, 22);
    UpDown2 = stepper(tmAto, 0, 23);
    Label4 = label(QStringLiteral("1μ. κάθε"), 116, 48);
    tmAsec = edit(163, 46, 26);
    // A unit of no seconds would leave the meter dividing by zero, so the lowest position is 1.
    UpDown5 = stepper(tmAsec, 1, 15000);
    Label10 = label(QStringLiteral("sec"), 206, 48);

    Label2 = label(QStringLiteral("Ζώνη Β (μειωμένο τιμολόγιο)"), 11, 73, true);
    tmBfrom = edit(11, 88, 22);
    UpDown3 = stepper(tmBfrom, 0, 23);
    Label9 = label(QStringLiteral("μέχρι"), 46, 90);
    tmBto = edit(76, 88, 22);
    UpDown4 = stepper(tmBto, 0, 23);
    Label6 = label(QStringLiteral("1μ. κάθε"), 116, 90);
    tmBsec = edit(163, 88, 26);
    UpDown6 = stepper(tmBsec, 1, 15000);
    Label11 = label(QStringLiteral("sec"), 206, 90);

    Label7 = label(QStringLiteral("Τιμή Μονάδας:"), 41, 126, true);
    boxprice = edit(124, 123, 30);
    UpDown7 = new UpDown(this);
    UpDown7->setRange(0, 15000);
    UpDown7->setGeometry(154, 123, 13, 21);
    boxcur = new QComboBox(this);
    boxcur->setEditable(true);
    boxcur->setInsertPolicy(QComboBox::NoInsert);
    boxcur->addItems({QStringLiteral("Δρχ"), QStringLiteral("Euro")});
    boxcur->setGeometry(168, 123, 60, 21);
    boxcur->setEditText(QStringLiteral("Δρχ"));
    // The currency is kept as typed: "euro" stays "euro" (and its price keeps tenths). A
    // case-insensitive completer would turn it into the listed "Euro" on Enter.
    boxcur->completer()->setCaseSensitivity(Qt::CaseSensitive);

    // The buttons get their pictures when the dialog is first shown (see showEvent).
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setGeometry(233, 29, 75, 25);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setGeometry(233, 56, 75, 25);

    // The fields' change handlers keep zone B the mirror of zone A.
    connect(tmAfrom, &QLineEdit::textChanged, this, guarded([this] { tmAfromChange(); }));
    connect(tmAto, &QLineEdit::textChanged, this, guarded([this] { tmAtoChange(); }));
    connect(tmBfrom, &QLineEdit::textChanged, this, guarded([this] { tmBfromChange(); }));
    connect(tmBto, &QLineEdit::textChanged, this, guarded([this] { tmBtoChange(); }));
    connect(UpDown7, &UpDown::clicked, this,
            [this](UpDown::Button b) { runGuarded([&] { UpDown7Click(b); }); });
    connect(boxcur, &QComboBox::editTextChanged, this,
            [this](const QString &text) { runGuarded([&] { boxcurChange(text); }); });
    connect(BitBtn1, &QPushButton::clicked, this, guarded([this] { BitBtn1Click(); }));
    connect(BitBtn2, &QPushButton::clicked, this, guarded([this] { BitBtn2Click(); }));
}

void TfrmOptions::FormCreate() {
    roundDialogOutline(this);
    update();
    // Placeholders: every activation overwrites them before the user sees them.
    // They go in without running the change handlers, which would find the other fields empty.
    const std::pair<QLineEdit *, const char *> placeholders[] = {
        {tmAfrom, "8"},  {tmAto, "22"},   {tmBfrom, "22"}, {tmBto, "8"},
        {tmAsec, "270"}, {tmBsec, "540"}, {boxprice, "9"}};
    for (const auto &[field, text] : placeholders) {
        const QSignalBlocker blocker(field);
        field->setText(QString::fromLatin1(text));
    }
    checkTimes();
    UpDown7->setPosition(90);
    priceScale = 10;
}

void TfrmOptions::showOptions() {
    show();
    raise();
    activateWindow();
}

void TfrmOptions::setVisible(bool visible) {
    if (visible && !isVisible()) {
        if (!m_placed && m_main) {
            m_placed = true;
            move(m_main->frameGeometry().center() - QPoint(width() / 2, height() / 2));
        }
        // Filled at every showing rather than left to the window system's activation, which a
        // window manager may withhold; the activation that follows finds the dialog filled.
        m_programActive = true;
        runGuarded([this] { FormActivate(); });
    }
    QDialog::setVisible(visible);
}

void TfrmOptions::reject() {
    BitBtn2Click();
}

void TfrmOptions::paintEvent(QPaintEvent *) {
    paintDialogBackground(this, m_background);
}

void TfrmOptions::showEvent(QShowEvent *event) {
    // The dialog is made at start-up but seldom opened, and the style's pictures for OK and
    // Cancel are icon-theme lookups that can probe thousands of files: they wait until now.
    if (BitBtn1->icon().isNull()) {
        BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
        BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    }
    // Activations of the program's windows are watched only while the dialog is up.
    qApp->installEventFilter(this);
    QDialog::showEvent(event);
}

void TfrmOptions::hideEvent(QHideEvent *event) {
    qApp->removeEventFilter(this);
    m_programActive = false;
    QDialog::hideEvent(event);
}

bool TfrmOptions::eventFilter(QObject *watched, QEvent *event) {
    // The check box's caption toggles it, as a user expects of a check box's text.
    if (watched == Label3 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        checkreg->toggle();
        return true;
    }
    if (event->type() != QEvent::WindowActivate || !watched->isWidgetType()) return false;
    auto *window = static_cast<QWidget *>(watched);
    if (!window->isWindow()) return false;
    if (window == this) {
        // Coming back from another program is no activation: only a change of the program's
        // active window fills the dialog again.
        if (!m_programActive) {
            m_programActive = true;
            runGuarded([this] { FormActivate(); });
        }
    } else {
        otherWindowActivated(window);
    }
    return false;
}

void TfrmOptions::otherWindowActivated(QWidget *window) {
    // Message boxes (an error shown by OK, the exit question) and popups do not take over from
    // the dialog: after them it carries on with what the user had entered.
    if (window->isModal() || qobject_cast<QMessageBox *>(window) || window->windowType() == Qt::Popup ||
        window->windowType() == Qt::ToolTip)
        return;
    if (!m_programActive) return;
    m_programActive = false;
    runGuarded([this] { FormDeactivate(); });
}

} // namespace tarv
