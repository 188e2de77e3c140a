// The options dialog's handlers: filling it from the meter state, the hour mirroring, the price
// stepper and the currency, and storing on OK.
#include "framework/textformat.h"
#include "meter/meter.h"
#include "options/headerslot.h"
#include "options/tfrmoptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>
#include <cmath>

namespace tarv {

namespace {

qint32 scaleFor(const QString &currency) {
    return currency == QLatin1String("Euro") ? 100 : 10;
}

} // namespace

void TfrmOptions::FormActivate() {
    const MeterState &s = m_meter.s;
    // The steppers never change a field's text when the program sets their positions or bounds,
    // so bounds left over from a cancelled edit cannot get in the way here; checkTimes below
    // derives the bounds from the final hours in any case.
    tmAfrom->setText(QString::number(s.zoneAFrom));
    tmAto->setText(QString::number(s.zoneATo));
    tmBfrom->setText(QString::number(s.zoneATo));
    tmBto->setText(QString::number(s.zoneAFrom));
    // A unit of no seconds is never offered, even if one ever reached the meter state.
    tmAsec->setText(QString::number(std::max(1, s.zoneASeconds)));
    tmBsec->setText(QString::number(std::max(1, s.zoneBSeconds)));
    UpDown5->setPosition(tmAsec->text().toInt());
    UpDown6->setPosition(tmBsec->text().toInt());
    boxprice->setText(fmt::general(s.unitPrice));

    boxcur->setEditText(QString());
    priceScale = scaleFor(s.currencyLabel);
    // The stepper starts from the whole part of the price: 7,5 Δρχ puts it at 70. The product is
    // kept within the stepper's range before it becomes an integer, whatever the price.
    const double whole = std::trunc(fmt::toDouble(boxprice->text()));
    UpDown7->setPosition(static_cast<int>(
        std::clamp(whole * priceScale, double(UpDown7->minimum()), double(UpDown7->maximum()))));
    boxcur->setEditText(s.currencyLabel);
    checkTimes();

    checkreg->setChecked(!m_meter.platform().autostart->read(kAutostartName).isEmpty());
}

void TfrmOptions::FormDeactivate() {
    hide();
}

void TfrmOptions::UpDown7Click(UpDown::Button) {
    boxprice->setText(fmt::twoDecimals(double(UpDown7->position()) / priceScale));
}

// Zone B is the complement of zone A: its first hour is A's last and its last hour A's first.
// Setting a field to the text it already has raises no change, so the mirroring stops there.
void TfrmOptions::tmAfromChange() {
    tmBto->setText(tmAfrom->text());
    checkTimes();
}

void TfrmOptions::tmAtoChange() {
    tmBfrom->setText(tmAto->text());
    checkTimes();
}

void TfrmOptions::tmBfromChange() {
    tmAto->setText(tmBfrom->text());
    checkTimes();
}

void TfrmOptions::tmBtoChange() {
    tmAfrom->setText(tmBto->text());
    checkTimes();
}

void TfrmOptions::checkTimes() {
    const int aFrom = fmt::toInt(tmAfrom->text());
    const int aTo = fmt::toInt(tmAto->text());
    const int bFrom = fmt::toInt(tmBfrom->text());
    const int bTo = fmt::toInt(tmBto->text());
    UpDown1->setPosition(aFrom);
    UpDown2->setPosition(aTo);
    UpDown3->setPosition(bFrom);
    UpDown4->setPosition(bTo);
    // Zone A keeps at least one hour: its first hour stays below its last, within one day.
    UpDown1->setMaximum(aTo - 1);
    UpDown4->setMaximum(aTo - 1);
    UpDown2->setMinimum(aFrom + 1);
    UpDown3->setMinimum(aFrom + 1);
}

QString autostartCaption() {
#ifdef Q_OS_WIN
    return QStringLiteral("Αυτόματη εκκίνηση μαζί με τα Windows");
#else
    return QStringLiteral("Αυτόματη εκκίνηση με τη συνεδρία");
#endif
}

void TfrmOptions::boxcurChange(const QString &text) {
    // No exchange: the whole number stays and only its unit changes (7 Δρχ become 7 Euro).
    const int whole = UpDown7->position() / priceScale;
    priceScale = scaleFor(text);
    UpDown7->setPosition(whole * priceScale);
}

void TfrmOptions::BitBtn1Click() {
    MeterState &s = m_meter.s;
    s.zoneAFrom = fmt::toInt(tmAfrom->text());
    s.zoneATo = fmt::toInt(tmAto->text());
    s.zoneASeconds = fmt::toInt(tmAsec->text());
    s.zoneBSeconds = fmt::toInt(tmBsec->text());
    s.unitPrice = fmt::toDouble(boxprice->text());
    s.currencyLabel = boxcur->currentText();
    emit tariffStored();

    const Platform &platform = m_meter.platform();
    if (checkreg->isChecked())
        platform.autostart->write(kAutostartName, platform.executablePath);
    else
        platform.autostart->remove(kAutostartName);

    const QString header = tmAfrom->text() + QLatin1Char('|') + tmAto->text() + QLatin1Char('|') +
                           tmAsec->text() + QLatin1Char('|') + tmBsec->text() + QLatin1Char('|') +
                           boxprice->text() + QLatin1Char('|') + boxcur->currentText();
    m_meter.ledger().writeHeader(headerSlot(header));
    hide();
}

void TfrmOptions::BitBtn2Click() {
    hide();
}

} // namespace tarv
