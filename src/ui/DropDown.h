#pragma once
// An editable list whose items are one field of a DataSource's rows; a grid cell editor.
#include "ui/grid/CellEditor.h"
#include "ui/grid/DataSource.h" // a QPointer needs the whole class

#include <QComboBox>
#include <QPointer>

class DropDown : public QComboBox, public CellEditor {
    Q_OBJECT
  public:
    explicit DropDown(QWidget* parent = nullptr);

    void setDataSource(DataSource* src);
    DataSource* dataSource() const;
    void setListField(const QString& field);
    void reload(); // items from the source's rows, in source order; the typed text stays

    // The text shown, also one the list does not offer; Null when empty.
    QVariant cellValue() const override;
    // Re-reads the list from its table, then shows v.
    void setCellValue(const QVariant& v) override;
    void closePopup() override { hidePopup(); }
    bool offersList() const override { return true; }
    void openList() override { showPopup(); }

  signals:
    void picked(); // an item was chosen from the list

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

  private:
    QPointer<DataSource> m_source;
    QString m_field;
    bool m_stepping = false; // stepping through items with keys or the wheel is no pick
};
