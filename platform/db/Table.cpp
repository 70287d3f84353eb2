// TTable over one SQLite table: columns and indexes from the table's own definition, rows loaded
// on Open, key searches by binary search over the ordered rows, posted rows written at once.
#include "Table.h"

#include "Exceptions.h"
#include "SqliteConnection.h"
#include "SysUtils.h"

#include <algorithm>

TTable::~TTable() {
    Close();
}

std::string TTable::Label() const {
    return tableName_.empty() ? TDataSet::Label() : tableName_;
}

void TTable::SetTableName(const std::string& name) {
    CheckInactive();
    tableName_ = name;
}

sqlite3* TTable::Db(bool create) {
    if (!connection_) connection_ = Connect();
    return connection_->Handle(Label(), create);
}

std::string TTable::FindSqlTable() {
    std::string name = Trim(tableName_);
    if (name.size() > 3 && SameText(name.substr(name.size() - 3), ".DB")) name.resize(name.size() - 3);
    if (name.empty()) Fail("No table name given");
    SqliteStatement st(Db(), "SELECT name FROM sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE",
                       Label());
    st.Bind(1, TFieldValue{false, 0, name}, ftString);
    return st.Step() ? reinterpret_cast<const char*>(sqlite3_column_text(st.Get(), 0)) : "";
}

bool TTable::Exists() {
    bool wasOpen = connection_ != nullptr;
    std::string found;
    try {
        found = FindSqlTable();
    } catch (const EDatabaseError&) {
        found.clear();
    }
    if (!wasOpen && !Active()) ReleaseConnection();
    return !found.empty();
}

TTable::ChangeMarks TTable::ReadChangeMarks() {
    ChangeMarks marks;
    sqlite3* db = Db();
    marks.Own = sqlite3_total_changes(db);
    SqliteStatement others(db, "PRAGMA data_version", Label());
    if (others.Step()) marks.Others = sqlite3_column_int64(others.Get(), 0);
    SqliteStatement schema(db, "PRAGMA schema_version", Label());
    if (schema.Step()) marks.Schema = sqlite3_column_int64(schema.Get(), 0);
    return marks;
}

bool TTable::RowsMayHaveChanged() {
    return loadedMarks_.Own < 0 || !(ReadChangeMarks() == loadedMarks_);
}

TTable::ChangeMarks TTable::MarksBeforeWrite() {
    ChangeMarks before = ReadChangeMarks();
    if (!(before == loadedMarks_)) before.Own = -1; // the rows in memory were already behind
    return before;
}

void TTable::MarksAfterWrite(const ChangeMarks& before) {
    // The rows in memory follow this cursor's own write: when they matched the database before
    // it and nobody else wrote meanwhile, they still match.
    ChangeMarks after = ReadChangeMarks();
    const bool current = before.Own >= 0 && after.Others == before.Others && after.Schema == before.Schema;
    loadedMarks_ = current ? after : ChangeMarks{};
}

void TTable::LoadRows(std::vector<TFieldDef>& columns, std::vector<std::unique_ptr<TRecordRow>>& rows) {
    loadedMarks_ = ChangeMarks{};
    sqlName_ = FindSqlTable();
    if (sqlName_.empty()) Fail("Table does not exist in " + connection_->FilePath());
    // Read before the rows: a change in between makes the next Refresh read them again.
    const ChangeMarks marks = ReadChangeMarks();
    readOnlyFile_ = sqlite3_db_readonly(Db(), "main") == 1;
    // Columns and the primary key, in key order.
    columns.clear();
    std::vector<std::pair<int, int>> pk; // (position in key, column)
    {
        SqliteStatement st(Db(), "PRAGMA table_info(" + QuoteIdentifier(sqlName_) + ")", Label());
        while (st.Step()) {
            const char* name = reinterpret_cast<const char*>(sqlite3_column_text(st.Get(), 1));
            const char* type = reinterpret_cast<const char*>(sqlite3_column_text(st.Get(), 2));
            TFieldDef def = FieldDefFromDeclType(name ? name : "", type);
            int keyPos = sqlite3_column_int(st.Get(), 5);
            if (keyPos > 0) pk.emplace_back(keyPos, int(columns.size()));
            columns.push_back(def);
        }
    }
    std::sort(pk.begin(), pk.end());
    primaryKey_.clear();
    for (auto& p : pk)
        primaryKey_.push_back(p.second);
    FieldDefs.Clear();
    for (const TFieldDef& d : columns)
        FieldDefs.Items.push_back(d);

    std::string sql = "SELECT rowid";
    for (const TFieldDef& d : columns)
        sql += ", " + QuoteIdentifier(d.Name);
    sql += " FROM " + QuoteIdentifier(sqlName_);
    SqliteStatement st(Db(), sql, Label());
    rows.clear();
    while (st.Step()) {
        auto row = std::make_unique<TRecordRow>();
        row->RowId = sqlite3_column_int64(st.Get(), 0);
        row->Values.reserve(columns.size());
        for (size_t c = 0; c < columns.size(); ++c)
            row->Values.push_back(st.Column(int(c) + 1, columns[c].DataType, columns[c].Size));
        rows.push_back(std::move(row));
    }
    loadedMarks_ = marks;
}

std::vector<int> TTable::IndexColumns(const std::string& indexName) {
    // Secondary indexes are those created by CREATE INDEX (origin "c").
    std::string sqlIndex;
    {
        SqliteStatement st(Db(), "PRAGMA index_list(" + QuoteIdentifier(sqlName_) + ")", Label());
        while (st.Step()) {
            const char* name = reinterpret_cast<const char*>(sqlite3_column_text(st.Get(), 1));
            const char* origin = reinterpret_cast<const char*>(sqlite3_column_text(st.Get(), 3));
            if (name && origin && std::string_view(origin) == "c" && SameText(name, indexName))
                sqlIndex = name;
        }
    }
    if (sqlIndex.empty()) Fail("Index '" + indexName + "' not found");
    std::vector<std::pair<int, int>> cols;
    SqliteStatement st(Db(), "PRAGMA index_info(" + QuoteIdentifier(sqlIndex) + ")", Label());
    while (st.Step()) {
        const char* name = reinterpret_cast<const char*>(sqlite3_column_text(st.Get(), 2));
        int column = name ? ColumnOf(name) : -1;
        if (column < 0) Fail("Index '" + indexName + "' is not on plain fields");
        cols.emplace_back(sqlite3_column_int(st.Get(), 0), column);
    }
    std::sort(cols.begin(), cols.end());
    std::vector<int> result;
    for (auto& c : cols)
        result.push_back(c.second);
    return result;
}

std::vector<int> TTable::ResolveKey() {
    if (!indexName_.empty()) return IndexColumns(indexName_);
    if (!indexFieldNames_.empty()) {
        std::vector<int> result;
        std::string names = indexFieldNames_;
        size_t start = 0;
        while (start <= names.size()) {
            size_t end = names.find(';', start);
            if (end == std::string::npos) end = names.size();
            std::string name = Trim(names.substr(start, end - start));
            if (!name.empty()) {
                int column = ColumnOf(name);
                if (column < 0) Fail("Field '" + name + "' not found");
                result.push_back(column);
            }
            start = end + 1;
        }
        return result;
    }
    return defaultIndex_ ? primaryKey_ : std::vector<int>{};
}

void TTable::SetIndexName(const std::string& name) {
    std::string oldName = indexName_, oldFields = indexFieldNames_;
    indexName_ = name;
    indexFieldNames_.clear();
    if (!Active()) return;
    try {
        ApplyKey(ResolveKey());
    } catch (...) {
        indexName_ = oldName;
        indexFieldNames_ = oldFields;
        throw;
    }
}

void TTable::SetIndexFieldNames(const std::string& names) {
    std::string oldName = indexName_, oldFields = indexFieldNames_;
    indexFieldNames_ = names;
    indexName_.clear();
    if (!Active()) return;
    try {
        ApplyKey(ResolveKey());
    } catch (...) {
        indexName_ = oldName;
        indexFieldNames_ = oldFields;
        throw;
    }
}

void TTable::SetDefaultIndex(bool value) {
    defaultIndex_ = value;
    if (Active()) ApplyKey(ResolveKey());
}

bool TTable::FindKey(const TKeyValue* keys, size_t count) {
    CheckActive();
    CheckBrowseMode();
    const std::vector<int>& keyColumns = KeyColumns();
    if (keyColumns.empty()) Fail("No index currently active");
    if (count == 0 || count > keyColumns.size()) Fail("Wrong number of key values");
    if (!ConvertSearchValues(keyColumns, keys, count)) return false;
    const std::vector<TFieldValue>& wanted = searchKey_;
    const auto& rows = VisibleRows();
    auto it = std::lower_bound(
        rows.begin(), rows.end(), wanted,
        [this](const TRecordRow* row, const std::vector<TFieldValue>& w) { return CompareKey(*row, w) < 0; });
    if (it == rows.end() || CompareKey(**it, wanted) != 0) return false;
    MoveTo(int(it - rows.begin()));
    return true;
}

bool TTable::ConvertSearchValues(const std::vector<int>& columns, const TKeyValue* keys, size_t count) {
    // Convert the values to the fields' types, as a posted value would be stored.
    std::vector<TFieldValue>& wanted = searchKey_;
    wanted.resize(count);
    for (size_t k = 0; k < count; ++k) {
        const TFieldDef& def = Columns()[columns[k]];
        const TKeyValue& key = keys[k];
        TFieldValue& v = wanted[k];
        v = TFieldValue{};
        if (def.DataType == ftString || def.DataType == ftUnknown) {
            std::string& s = v.Str;
            s = key.IsText ? key.Text : IntToStr(key.Int);
            if (def.Size > 0 && s.size() > size_t(def.Size)) s.resize(def.Size);
            while (!s.empty() && s.back() == ' ')
                s.pop_back();
            v.Null = s.empty();
        } else if (key.IsText) {
            int n = 0;
            if (key.Text.empty()) continue; // an empty text searches for an empty field
            if (!TryStrToInt(key.Text, n)) return false;
            v.Null = false;
            v.Int = def.DataType == ftBoolean ? n != 0 : n;
        } else {
            v.Null = false;
            v.Int = def.DataType == ftBoolean ? key.Int != 0 : key.Int;
        }
    }
    return true;
}

bool TTable::Locate(std::string_view fieldNames, std::initializer_list<TKeyValue> values) {
    CheckActive();
    CheckBrowseMode();
    std::vector<int>& columns = locateColumns_;
    columns.clear();
    size_t start = 0;
    while (start <= fieldNames.size()) {
        size_t end = std::min(fieldNames.find(';', start), fieldNames.size());
        std::string_view name = fieldNames.substr(start, end - start);
        while (!name.empty() && name.front() == ' ')
            name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ')
            name.remove_suffix(1);
        if (!name.empty()) {
            int column = ColumnOf(name);
            if (column < 0) Fail("Field '" + std::string(name) + "' not found");
            columns.push_back(column);
        }
        start = end + 1;
    }
    if (columns.empty() || columns.size() != values.size()) Fail("Wrong number of search values");
    if (!ConvertSearchValues(columns, values.begin(), values.size())) return false;
    const std::vector<TFieldValue>& wanted = searchKey_;
    const auto& rows = VisibleRows();
    const std::vector<int>& key = KeyColumns();
    if (key.size() >= columns.size() && std::equal(columns.begin(), columns.end(), key.begin())) {
        // The key in use begins with the fields: a binary search finds the first match.
        auto it = std::lower_bound(
            rows.begin(), rows.end(), wanted,
            [this](const TRecordRow* row, const std::vector<TFieldValue>& w) { return CompareKey(*row, w) < 0; });
        if (it == rows.end() || CompareKey(**it, wanted) != 0) return false;
        MoveTo(int(it - rows.begin()));
        return true;
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        size_t k = 0;
        while (k < columns.size() && CompareValues(rows[i]->Values[columns[k]], wanted[k]) == 0)
            ++k;
        if (k == columns.size()) {
            MoveTo(int(i));
            return true;
        }
    }
    return false;
}

int64_t TTable::InsertRow(const std::vector<TFieldValue>& values) {
    const ChangeMarks before = MarksBeforeWrite();
    const auto& cols = Columns();
    std::string sql = "INSERT INTO " + QuoteIdentifier(sqlName_) + " (";
    std::string marks;
    for (size_t c = 0; c < cols.size(); ++c) {
        sql += (c ? ", " : "") + QuoteIdentifier(cols[c].Name);
        marks += c ? ", ?" : "?";
    }
    sql += ") VALUES (" + marks + ")";
    SqliteStatement st(Db(), sql, Label());
    for (size_t c = 0; c < cols.size(); ++c)
        st.Bind(int(c) + 1, values[c], cols[c].DataType);
    st.Step();
    const int64_t rowId = sqlite3_last_insert_rowid(Db());
    MarksAfterWrite(before);
    return rowId;
}

void TTable::UpdateRow(int64_t rowId, const std::vector<TFieldValue>& values, const std::vector<bool>& changed) {
    const ChangeMarks before = MarksBeforeWrite();
    const auto& cols = Columns();
    std::string sql = "UPDATE " + QuoteIdentifier(sqlName_) + " SET ";
    std::vector<size_t> written;
    for (size_t c = 0; c < cols.size(); ++c) {
        if (c >= changed.size() || !changed[c]) continue;
        sql += (written.empty() ? "" : ", ") + QuoteIdentifier(cols[c].Name) + " = ?";
        written.push_back(c);
    }
    if (written.empty()) return;  // nothing set: the stored row stays exactly as it is
    sql += " WHERE rowid = ?";
    SqliteStatement st(Db(), sql, Label());
    for (size_t i = 0; i < written.size(); ++i)
        st.Bind(int(i) + 1, values[written[i]], cols[written[i]].DataType);
    st.Bind(int(written.size()) + 1, TFieldValue{false, rowId, {}}, ftInteger);
    st.Step();
    if (sqlite3_changes(Db()) != 1) Fail("Record not found; it was changed or deleted by another cursor");
    MarksAfterWrite(before);
}

void TTable::DeleteRow(int64_t rowId) {
    const ChangeMarks before = MarksBeforeWrite();
    SqliteStatement st(Db(), "DELETE FROM " + QuoteIdentifier(sqlName_) + " WHERE rowid = ?", Label());
    st.Bind(1, TFieldValue{false, rowId, {}}, ftInteger);
    st.Step();
    if (sqlite3_changes(Db()) != 1) Fail("Record not found; it was changed or deleted by another cursor");
    MarksAfterWrite(before);
}

void TTable::CreateTable() {
    CheckInactive();
    if (FieldDefs.Items.empty()) Fail("No fields defined");
    std::string name = Trim(tableName_);
    if (name.size() > 3 && SameText(name.substr(name.size() - 3), ".DB")) name.resize(name.size() - 3);
    if (name.empty()) Fail("No table name given");
    std::string sql = "CREATE TABLE " + QuoteIdentifier(name) + " (";
    for (size_t i = 0; i < FieldDefs.Items.size(); ++i) {
        const TFieldDef& d = FieldDefs.Items[i];
        std::string type = d.DataType == ftSmallint  ? "SMALLINT"
                           : d.DataType == ftInteger ? "INTEGER"
                           : d.DataType == ftBoolean ? "BOOLEAN"
                                                     : "CHAR(" + IntToStr(d.Size > 0 ? d.Size : 255) + ")";
        sql += (i ? ", " : "") + QuoteIdentifier(d.Name) + " " + type;
    }
    sql += ")";
    try {
        sqlite3* db = Db(true);
        std::string existing = FindSqlTable();
        char* err = nullptr;
        std::string script = "BEGIN; ";
        if (!existing.empty()) script += "DROP TABLE " + QuoteIdentifier(existing) + "; ";
        script += sql + "; COMMIT;";
        if (const int rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &err); rc != SQLITE_OK) {
            const std::string why = NamingTheFile(db, rc, err ? err : "failed");
            sqlite3_free(err);
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            Fail("Cannot create table: " + why);
        }
    } catch (...) {
        ReleaseConnection();
        throw;
    }
    ReleaseConnection();
}
