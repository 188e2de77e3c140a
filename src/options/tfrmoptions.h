#pragma once

#include "framework/updown.h"

#include <QDialog>
#include <QPixmap>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarv {

class Meter;
class Bevel;

// The number of price stepper positions per currency unit: 100 while the currency text is
// exactly "Euro" (hundredths of a euro), 10 for any other text (tenths of a drachma). One value
// for the whole program, kept by the options dialog's module.
extern qint32 priceScale;

// The autostart check box's caption: it names what starts the program on this system, Windows
// or, elsewhere, the user's desktop session.
QString autostartCaption();

// The name under which the program is entered in the autostart store.
inline const QString kAutostartName = QStringLiteral("Tarv");

// The tariff options dialog: the hours of zone A (zone B is the rest of the day), the seconds per
// unit of each zone, the unit price, the currency and the autostart entry. It is filled from the
// main window's meter state whenever it becomes the program's active window, and OK stores the
// values in the meter state, the autostart store and the ledger's header line. It is never modal
// and returns no result: a click on another window of the program cancels it.
class TfrmOptions final : public QDialog {
    Q_OBJECT
public:
    // The dialog edits the meter's state, its ledger's header and the autostart entry of its
    // platform; it centres itself over mainWindow the first time it shows.
    TfrmOptions(Meter &meter, QWidget *mainWindow, QWidget *parent = nullptr);
    ~TfrmOptions() override;

    // Shows the dialog without a modal loop and brings it to the front. Every showing (this one or
    // a plain show()) fills it from the meter state; the first one centres it over the main
    // window, where it stays afterwards.
    void showOptions();
    void setVisible(bool visible) override;

    // Handlers and methods of the dialog.
    void FormCreate();
    void FormActivate();
    void FormDeactivate();
    void UpDown7Click(UpDown::Button button);
    void tmAfromChange();
    void tmAtoChange();
    void tmBfromChange();
    void tmBtoChange();
    void checkTimes();
    void boxcurChange(const QString &text);
    void BitBtn1Click();
    void BitBtn2Click();

    // Controls, named as the rest of the program knows them.
    QCheckBox *checkreg = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *Label9 = nullptr;
    QLabel *Label10 = nullptr;
    QLabel *Label11 = nullptr;
    QLineEdit *tmAfrom = nullptr;
    QLineEdit *tmAto = nullptr;
    QLineEdit *tmAsec = nullptr;
    QLineEdit *tmBfrom = nullptr;
    QLineEdit *tmBto = nullptr;
    QLineEdit *tmBsec = nullptr;
    QLineEdit *boxprice = nullptr;
    UpDown *UpDown1 = nullptr;
    UpDown *UpDown2 = nullptr;
    UpDown *UpDown3 = nullptr;
    UpDown *UpDown4 = nullptr;
    UpDown *UpDown5 = nullptr;
    UpDown *UpDown6 = nullptr;
    UpDown *UpDown7 = nullptr;
    QComboBox *boxcur = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
    Bevel *Bevel1 = nullptr;

signals:
    // OK has put a new tariff into the meter state: what the screen shows in its currency is due
    // again. Sent even when writing the ledger's header then fails, since the state has changed.
    void tariffStored();

public slots:
    // Esc and the window's close both mean Cancel.
    void reject() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    // A window of the program other than this dialog has become the active one.
    void otherWindowActivated(QWidget *window);

    Meter &m_meter;
    QWidget *m_main = nullptr;
    QPixmap m_background;
    bool m_placed = false;
    // The dialog is the program's active window: set when it becomes active, kept while another
    // program is in front, cleared when another window of the program takes over or it hides.
    bool m_programActive = false;
};

} // namespace tarv
