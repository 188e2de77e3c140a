#include "stats/datebox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace tarv {

namespace {

// A key that edits the text: a printable character typed as such, or a deletion.
bool isTypingKey(const QKeyEvent *event) {
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete) return true;
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint() &&
           !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
}

} // namespace

DateBox::DateBox(QWidget *parent) : QDateEdit(parent) {
    setCalendarPopup(true);
    setDisplayFormat(withFourDigitYear(QLocale().dateFormat(QLocale::ShortFormat)));
}

QString DateBox::withFourDigitYear(const QString &format) {
    QString result = format;
    static const QRegularExpression years(QStringLiteral("y+"));
    result.replace(years, QStringLiteral("yyyy"));
    return result;
}

QValidator::State DateBox::validate(QString &input, int &pos) const {
    // While the user types, any text may stand in the box until it is read as a whole.
    if (m_typing) return QValidator::Intermediate;
    return QDateEdit::validate(input, pos);
}

void DateBox::fixup(QString &) const {}

void DateBox::finishTyping() {
    if (!m_typing) return;
    m_typing = false;
    const QString typed = lineEdit()->text();
    const QDate day = QLocale().toDate(typed, displayFormat());
    if (day.isValid() && day >= minimumDate() && day <= maximumDate()) {
        setDate(day);
    } else {
        emit refused(typed);
    }
    // Setting the date, even the same one, writes the whole date back into the box.
    setDate(date());
}

void DateBox::mousePressEvent(QMouseEvent *event) {
    // A press on the text goes to the text field; what comes here fell on the arrow or on the
    // frame. Qt's edit takes the frame for its hidden step buttons and would move the date a day
    // without a word, so only the arrow is passed on: it opens the calendar. The arrow is found
    // the way the edit itself finds it, as the arrow of a combo box drawn over the whole box.
    QStyleOptionComboBox option;
    option.initFrom(this);
    option.editable = true;
    option.subControls = QStyle::SC_All;
    if (style()->hitTestComplexControl(QStyle::CC_ComboBox, &option, event->position().toPoint(), this) ==
        QStyle::SC_ComboBoxArrow) {
        QDateEdit::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    event->accept();
}

void DateBox::focusOutEvent(QFocusEvent *event) {
    finishTyping();
    QDateEdit::focusOutEvent(event);
}

void DateBox::keyPressEvent(QKeyEvent *event) {
    if (isTypingKey(event)) {
        // The edit's own signals would have Qt's date edit read every half-typed text.
        m_typing = true;
        const QSignalBlocker quiet(lineEdit());
        QCoreApplication::sendEvent(lineEdit(), event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_typing) {
            // Qt's handling would announce the date again, as changed, over a refusal.
            finishTyping();
            selectAll();
            event->ignore();
            emit editingFinished();
            return;
        }
        break;
    case Qt::Key_Escape:
        if (m_typing) {
            m_typing = false;
            setDate(date());
            event->accept();
            return;
        }
        break;
    default:
        // Stepping and moving act on a whole date.
        if (m_typing && !(event->modifiers() & Qt::ControlModifier)) finishTyping();
        break;
    }
    QDateEdit::keyPressEvent(event);
}

} // namespace tarv
