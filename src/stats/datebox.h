#pragma once

#include <QDateEdit>

namespace tarv {

// A date edit for dates the user types. It shows and reads the year with four digits whatever
// the locale's short format says, so that "15/2/2024" is the 15th of February 2024 and not a
// year cut to two digits. Typed text is taken as a whole: Qt's own edit works section by
// section, jumps to the next section at every separator and drops keys that do not fit the
// section under the cursor, so a date typed over the old one could silently become another.
// Here the keys go into the text as typed, and at Enter or when the box loses the focus the
// text is read as one date; a text that is not one is turned down through refused() and the
// box goes back to the date it had.
class DateBox final : public QDateEdit {
    Q_OBJECT
public:
    explicit DateBox(QWidget *parent = nullptr);

    // A date format with its year in four digits: "d/M/yy" gives "d/M/yyyy".
    static QString withFourDigitYear(const QString &format);

    QValidator::State validate(QString &input, int &pos) const override;
    // Qt's edit would move a day that the month lacks ("31/2") to the month's last day; here a
    // text that does not read as it stands is left alone, so the edit keeps its earlier date.
    void fixup(QString &input) const override;

signals:
    // The text the user typed, which was not a date and has been replaced by the earlier one.
    void refused(const QString &typed);

protected:
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    // Reads the typed text as a date, or turns it down; either way the box shows a whole date.
    void finishTyping();

    // Keys have gone into the text since the box last showed a whole date.
    bool m_typing = false;
};

} // namespace tarv
