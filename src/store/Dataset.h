#pragma once

#include "TableDef.h"

#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>

// A cursor over rows with a current row, the editing states and the events that the windows hang
// their rules on. Views (grid models, the product card) follow it through the signals; while the
// dataset's controls are disabled the signals are held back and one reset follows at the end.
class Dataset : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    using Event = std::function<void(Dataset&)>;

    explicit Dataset(const QString& name, QObject* parent = nullptr);
    ~Dataset() override;

    const QString& name() const { return m_name; }
    State state() const { return m_state; }
    bool active() const { return m_state != State::Inactive; }
    bool editing() const { return m_state == State::Edit || m_state == State::Insert; }

    void open();
    void close();

    int recordCount() const { return m_rowCount; }
    bool isEmpty() const { return m_rowCount == 0; }
    // Position of the current row, 0-based; -1 when there is none.
    int recNo() const { return m_current; }
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    void first();
    void next();
    void prior();
    void last();
    void moveTo(int row);

    const TableDef& definition() const { return m_def; }
    int fieldCount() const { return static_cast<int>(m_def.fields.size()); }
    bool hasField(QStringView field) const { return m_def.hasField(field); }
    // Field position by name without regard to letter case; throws AppError for an unknown name.
    int fieldIndex(QStringView field) const;
    // Values of the current row (of the edit buffer while editing); null when there is no row.
    QVariant value(QStringView field) const;
    QVariant value(int field) const;
    // Values of any row, for views.
    QVariant valueAt(int row, int field) const;
    // Only while editing or inserting; texts are cut to the field size.
    void setValue(QStringView field, const QVariant& value);
    void setValue(int field, const QVariant& value);

    void insert();
    void append() { insert(); }
    void edit();
    void post();
    void cancel();
    // Deletes the current row (Delete of the dataset).
    void remove();
    // Reads the rows again, keeping the current row where it still exists.
    void refresh();

    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }

    Event beforeInsert, afterInsert, beforeEdit, afterEdit, beforePost, afterPost, beforeDelete, afterDelete,
        beforeCancel, afterCancel, afterScroll, afterRefresh, afterOpen, beforeClose;

signals:
    // The list of rows changed as a whole (open, close, filter, order, refresh, insert, delete).
    void rowsReset();
    void rowChanged(int row);
    void currentRowChanged(int row);
    void stateChanged();

protected:
    // Reads the definition and makes the row list; returns the number of rows.
    virtual int openRows() = 0;
    virtual void closeRows() = 0;
    // Rebuilds the row list after the data or the selection changed; returns the number of rows.
    virtual int reloadRows() = 0;
    virtual QVariantList readRow(int row) const = 0;
    // What a change left behind: the row count, the new current row (-1 when the changed row left the
    // selection) and whether the row list was rebuilt.
    struct RowsAfter {
        int count = 0;
        int current = -1;
        bool rebuilt = false;
    };
    // Stores the edit buffer; changedFields marks what an edit changed.
    virtual RowsAfter writeRow(bool inserting, int row, const QVariantList& values, const QList<bool>& changedFields);
    virtual RowsAfter deleteRow(int row);
    // A stable identity of a row, so refresh can find it again.
    virtual qint64 rowKey(int row) const { return row; }
    virtual int findRowKey(qint64 key) const { return key < m_rowCount ? static_cast<int>(key) : -1; }
    virtual bool readOnly() const { return true; }

    void setDefinition(const TableDef& def) { m_def = def; }
    // After the subclass changed the row list by itself (filter, order): reposition and tell the views.
    void rowsChanged(int newCount, int newCurrent);
    void requireActive() const;
    void run(const Event& event) {
        if (event)
            event(*this);
    }

private:
    void setState(State state);
    void setCurrent(int row, bool scrolled);
    void notifyReset();
    void notifyRow(int row);
    void loadCurrent();
    void checkBrowseMode();
    void applyRowsAfter(const RowsAfter& after, int oldRow);

    QString m_name;
    TableDef m_def;
    State m_state = State::Inactive;
    int m_rowCount = 0;
    int m_current = -1;
    bool m_eof = true;
    bool m_bof = true;
    QVariantList m_currentValues;
    QVariantList m_buffer;
    QList<bool> m_changed;
    int m_disableCount = 0;
    bool m_pendingReset = false;
};
