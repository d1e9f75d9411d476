#pragma once
// A date input that can be empty: a line edit with a drop-down calendar.
#include "ui/grid/CellEditor.h"

#include <QDate>
#include <QLineEdit>
#include <functional>
#include <optional>

class QCalendarWidget;
class QFrame;
class QLabel;

class DateInput : public QLineEdit, public CellEditor {
    Q_OBJECT
  public:
    explicit DateInput(QWidget* parent = nullptr);

    // Formats use yyyy, yy, mm, dd: "yyyy年mm月dd日", "yy/mm/dd".
    void setFormat(const QString& fmt); // input and display format
    QString format() const;
    void setCalendarTitleFormat(const QString& fmt); // e.g. "yyyy年mm月"

    bool isNull() const;
    QDate date() const;
    QVariant value() const;       // Null QVariant or QDate
    void setDate(const QDate& d); // an invalid date makes it Null
    void setNull();
    QString formatted(const QString& fmt) const; // e.g. "yyyy/mm/dd"; "" when Null
    bool setText8(const QString& yyyymmdd);      // "20260401" → that date; false (unchanged) if invalid
    void setLeftTwips(double twips);
    void setWidthTwips(double twips);

    // The date a year-less entry is placed near, and where an empty calendar opens; today
    // when none is given or it gives no date.
    void setReferenceDate(std::function<QDate()> reference);
    QDate referenceDate() const;
    // Up and Down step the date by one day (a header field; a grid's editor leaves them to the grid).
    void setArrowsStepDays(bool on);

    // Takes the typed text: empty → Null, a date → that date. Anything else stays visible and
    // marked as invalid, and the control holds no date until it is corrected. False then.
    bool commitText();
    // The text on screen is not a date (and not empty).
    bool isInvalid() const { return m_invalid; }

    void showCalendar(); // also the trailing button, F4 and Alt+Down
    void hideCalendar();
    bool isCalendarVisible() const;

    QVariant cellValue() const override;
    void setCellValue(const QVariant& v) override;
    QString cellValueProblem() const override;
    void showProblem() override { setInvalid(true); }
    void closePopup() override { hideCalendar(); }
    bool offersList() const override { return true; }
    void openList() override { showCalendar(); }
    int minimumCellWidth() const override { return minimumSizeHint().width(); }
    QSize minimumSizeHint() const override;

  signals:
    void dateChanged();
    void picked(); // a date was chosen in the calendar

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

  private:
    void showValue();
    void setInvalid(bool on);
    void ensurePopup();
    void updateTitle();
    void pick(const QDate& d);

    QDate m_value;
    bool m_invalid = false;
    bool m_arrowsStep = false;
    std::function<QDate()> m_reference;
    QString m_format = QStringLiteral("yyyy/mm/dd");
    QString m_titleFormat = QStringLiteral("yyyy年mm月");
    QFrame* m_popup = nullptr;
    QCalendarWidget* m_calendar = nullptr;
    QLabel* m_title = nullptr;
};
