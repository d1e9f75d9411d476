#pragma once
// The table model of a DataGrid: column n shows field n of a DataSource, formatted.
#include "ui/grid/DataSource.h" // a QPointer needs the whole class

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>
#include <functional>

class DataGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit DataGridModel(QObject* parent = nullptr);

    void setDataSource(DataSource* src);
    DataSource* dataSource() const { return m_source; }
    void setFields(const QStringList& fields); // "" = unbound column
    QStringList fields() const { return m_fields; }
    QString field(int col) const;
    bool isBound(int col) const;

    void setCaption(int col, const QString& caption);
    QString caption(int col) const;
    void setAlignment(int col, Qt::Alignment a);
    Qt::Alignment alignment(int col) const; // horizontal part, AlignLeft by default
    void setFormat(int col, const QString& fmt);
    QString format(int col) const;
    void setLocked(int col, bool locked);
    bool isLocked(int col) const;
    void setCheckBox(int col, bool on);
    bool isCheckBox(int col) const;

    QVariant rawValue(int row, int col) const;
    QString text(int row, int col) const; // formatted
    bool isTicked(int row, int col) const;

    // A row the screen wants the user to look at: shaded, the reason shown on hover. mark gives
    // the reason for a row ("" for none); markChanged() repaints after the screen's set changed.
    void setRowMark(std::function<QString(int row)> mark);
    void markChanged();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  signals:
    // The source was read again into the same rows: every value may have changed, but no
    // reset was needed.
    void rereadInPlace();

  private:
    struct Column {
        QString caption;
        bool hasCaption = false;
        Qt::Alignment alignment;
        QString format;
        bool locked = false;
        bool checkBox = false;
    };
    Column& column(int col);
    const Column* columnAt(int col) const;
    void onValueChanged(int row, const QString& field);
    // The source's index of column col's field, -1 when unbound; kept between paints.
    int sourceField(int col) const;

    QPointer<DataSource> m_source;
    QStringList m_fields;
    QList<Column> m_columns;
    std::function<QString(int row)> m_mark;
    bool m_resetting = false;
    mutable QList<int> m_sourceFields;
    mutable const DataSource* m_sourceFieldsOf = nullptr;
    mutable int m_sourceFieldsVersion = -1;
};
