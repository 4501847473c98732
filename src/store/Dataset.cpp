#include "Dataset.h"

#include "Error.h"

Dataset::Dataset(const QString& name, QObject* parent) : QObject(parent), m_name(name) {}

Dataset::~Dataset() = default;

void Dataset::requireActive() const {
    if (!active())
        throw AppError(QStringLiteral("Набор данных %1 закрыт").arg(m_name));
}

void Dataset::setState(State state) {
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
}

void Dataset::notifyReset() {
    if (m_disableCount > 0) {
        m_pendingReset = true;
        return;
    }
    emit rowsReset();
    emit currentRowChanged(m_current);
}

void Dataset::notifyRow(int row) {
    if (row < 0)
        return;
    if (m_disableCount > 0)
        m_pendingReset = true;
    else
        emit rowChanged(row);
}

void Dataset::loadCurrent() {
    m_currentValues = m_current >= 0 ? readRow(m_current) : QVariantList();
}

void Dataset::setCurrent(int row, bool scrolled) {
    m_current = m_rowCount == 0 ? -1 : qBound(0, row, m_rowCount - 1);
    loadCurrent();
    if (m_disableCount == 0)
        emit currentRowChanged(m_current);
    else
        m_pendingReset = true;
    if (scrolled)
        run(afterScroll);
}

void Dataset::rowsChanged(int newCount, int newCurrent) {
    m_rowCount = newCount;
    m_current = m_rowCount == 0 ? -1 : qBound(0, newCurrent, m_rowCount - 1);
    m_eof = m_bof = m_rowCount == 0;
    loadCurrent();
    notifyReset();
    run(afterScroll);
}

void Dataset::open() {
    if (active())
        return;
    m_rowCount = openRows();
    setState(State::Browse);
    m_current = m_rowCount > 0 ? 0 : -1;
    m_bof = true;
    m_eof = m_rowCount == 0;
    loadCurrent();
    notifyReset();
    run(afterOpen);
    run(afterScroll);
}

void Dataset::close() {
    if (!active())
        return;
    run(beforeClose);
    if (editing())
        cancel();
    closeRows();
    m_rowCount = 0;
    m_current = -1;
    m_eof = m_bof = true;
    m_currentValues.clear();
    m_buffer.clear();
    setState(State::Inactive);
    notifyReset();
}

void Dataset::checkBrowseMode() {
    requireActive();
    if (editing())
        post();
}

void Dataset::first() {
    checkBrowseMode();
    setCurrent(0, true);
    m_bof = true;
    m_eof = m_rowCount == 0;
}

void Dataset::last() {
    checkBrowseMode();
    setCurrent(m_rowCount - 1, true);
    m_eof = true;
    m_bof = m_rowCount == 0;
}

void Dataset::next() {
    checkBrowseMode();
    if (m_current + 1 >= m_rowCount) {
        m_eof = true;
        return;
    }
    setCurrent(m_current + 1, true);
    m_bof = false;
    m_eof = false;
}

void Dataset::prior() {
    checkBrowseMode();
    if (m_current <= 0) {
        m_bof = true;
        return;
    }
    setCurrent(m_current - 1, true);
    m_bof = false;
    m_eof = false;
}

void Dataset::moveTo(int row) {
    checkBrowseMode();
    if (row == m_current && row >= 0)
        return;
    setCurrent(row, true);
    m_bof = m_eof = m_rowCount == 0;
}

int Dataset::fieldIndex(QStringView field) const {
    const int index = m_def.fieldIndex(field);
    if (index < 0)
        throw AppError(QStringLiteral("Поле «%1» не найдено в наборе данных %2").arg(field.toString(), m_name));
    return index;
}

QVariant Dataset::value(QStringView field) const { return value(fieldIndex(field)); }

QVariant Dataset::value(int field) const {
    const QVariantList& row = editing() ? m_buffer : m_currentValues;
    return field >= 0 && field < row.size() ? row[field] : QVariant();
}

QVariant Dataset::valueAt(int row, int field) const {
    if (row == m_current && editing())
        return value(field);
    if (row < 0 || row >= m_rowCount)
        return {};
    if (row == m_current)
        return value(field);
    const QVariantList values = readRow(row);
    return field >= 0 && field < values.size() ? values[field] : QVariant();
}

void Dataset::setValue(QStringView field, const QVariant& value) { setValue(fieldIndex(field), value); }

void Dataset::setValue(int field, const QVariant& value) {
    if (!editing())
        throw AppError(QStringLiteral("Набор данных %1 не в режиме правки или вставки").arg(m_name));
    m_buffer[field] = m_def.coerce(field, value);
    m_changed[field] = true;
    notifyRow(m_current);
}

void Dataset::insert() {
    checkBrowseMode();
    if (readOnly())
        throw AppError(QStringLiteral("Набор данных %1 только для чтения").arg(m_name));
    run(beforeInsert);
    m_buffer = QVariantList(m_def.fields.size());
    m_changed = QList<bool>(m_def.fields.size(), false);
    setState(State::Insert);
    run(afterInsert);
}

void Dataset::edit() {
    requireActive();
    if (editing())
        return;
    if (readOnly())
        throw AppError(QStringLiteral("Набор данных %1 только для чтения").arg(m_name));
    if (m_rowCount == 0) {
        insert();
        return;
    }
    run(beforeEdit);
    m_buffer = m_currentValues;
    m_changed = QList<bool>(m_def.fields.size(), false);
    setState(State::Edit);
    run(afterEdit);
}

void Dataset::applyRowsAfter(const RowsAfter& after, int oldRow) {
    const bool countChanged = after.count != m_rowCount;
    m_rowCount = after.count;
    const int target = after.current >= 0 ? after.current : oldRow;
    m_current = m_rowCount == 0 ? -1 : qBound(0, target, m_rowCount - 1);
    m_eof = m_bof = m_rowCount == 0;
    loadCurrent();
    if (after.rebuilt || countChanged)
        notifyReset();
    else
        notifyRow(m_current);
}

void Dataset::post() {
    requireActive();
    if (!editing())
        return;
    run(beforePost);
    const bool inserting = m_state == State::Insert;
    const RowsAfter after = writeRow(inserting, m_current, m_buffer, m_changed);
    m_buffer.clear();
    m_changed.clear();
    setState(State::Browse);
    applyRowsAfter(after, m_current);
    run(afterPost);
}

void Dataset::cancel() {
    if (!editing())
        return;
    run(beforeCancel);
    const bool wasInsert = m_state == State::Insert;
    m_buffer.clear();
    m_changed.clear();
    setState(State::Browse);
    if (!wasInsert)
        notifyRow(m_current);
    run(afterCancel);
}

void Dataset::remove() {
    requireActive();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (editing())
        cancel();
    if (readOnly())
        throw AppError(QStringLiteral("Набор данных %1 только для чтения").arg(m_name));
    if (m_rowCount == 0)
        throw AppError(QStringLiteral("Набор данных %1 пуст: удалять нечего").arg(m_name));
    run(beforeDelete);
    const int row = m_current;
    RowsAfter after = deleteRow(row);
    after.rebuilt = true;
    applyRowsAfter(after, row);
    run(afterDelete);
    run(afterScroll);
}

Dataset::RowsAfter Dataset::writeRow(bool, int, const QVariantList&, const QList<bool>&) {
    throw AppError(QStringLiteral("Набор данных %1 только для чтения").arg(m_name));
}

Dataset::RowsAfter Dataset::deleteRow(int) {
    throw AppError(QStringLiteral("Набор данных %1 только для чтения").arg(m_name));
}

void Dataset::refresh() {
    checkBrowseMode();
    const qint64 key = m_current >= 0 ? rowKey(m_current) : -1;
    const int oldRow = m_current;
    const int count = reloadRows();
    m_rowCount = count;
    int row = key >= 0 ? findRowKey(key) : -1;
    if (row < 0)
        row = oldRow;
    m_current = m_rowCount == 0 ? -1 : qBound(0, row, m_rowCount - 1);
    m_eof = m_bof = m_rowCount == 0;
    loadCurrent();
    notifyReset();
    run(afterScroll);
    run(afterRefresh);
}

void Dataset::disableControls() { ++m_disableCount; }

void Dataset::enableControls() {
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0 && m_pendingReset) {
        m_pendingReset = false;
        emit rowsReset();
        emit currentRowChanged(m_current);
    }
}
