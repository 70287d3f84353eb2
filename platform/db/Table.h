// TTable: one table of the alias folder's database, with its primary and secondary indexes,
// key searches and write-through of posted rows.
#pragma once

#include "DataSet.h"

#include <initializer_list>

/// One value of a key search: a number or a text, converted to the key field's type.
struct TKeyValue {
    TKeyValue(int v) : IsText(false), Int(v) {}
    TKeyValue(long v) : IsText(false), Int(v) {}
    TKeyValue(long long v) : IsText(false), Int(v) {}
    TKeyValue(unsigned v) : IsText(false), Int(v) {}
    TKeyValue(unsigned long v) : IsText(false), Int(int64_t(v)) {}
    TKeyValue(const char* v) : IsText(true), Text(v ? v : "") {}
    TKeyValue(std::string v) : IsText(true), Text(std::move(v)) {}
    TKeyValue(std::string_view v) : IsText(true), Text(v) {}
    bool IsText;
    int64_t Int = 0;
    std::string Text;
};

/// A table named by TableName ("Mranges.DB", "LANGUAGE", ... : matched in any letter case, with
/// or without the ".DB" extension). Row order: IndexName (a secondary index; "" the primary
/// index), else IndexFieldNames, else the primary key when DefaultIndex, else stored order.
/// String keys compare byte by byte, case-sensitively, as the primary indexes of the original
/// tables order their keys.
class TTable : public TDataSet {
public:
    TTable() = default;
    ~TTable() override;

    const std::string& TableName() const { return tableName_; }
    void SetTableName(const std::string& name);

    /// Name of a secondary index in any letter case; "" selects the primary index. Setting it
    /// clears IndexFieldNames. On an open table the rows are re-ordered and the current row kept;
    /// an unknown index raises EDatabaseError and changes nothing.
    const std::string& IndexName() const { return indexName_; }
    void SetIndexName(const std::string& name);
    /// Key fields separated by ";" (names in any case). Setting it clears IndexName.
    const std::string& IndexFieldNames() const { return indexFieldNames_; }
    void SetIndexFieldNames(const std::string& names);
    /// False: with neither IndexName nor IndexFieldNames the rows are in stored order.
    bool DefaultIndex() const { return defaultIndex_; }
    void SetDefaultIndex(bool value);

    /// Searches the current key for the given values (all key fields or the leading ones). Found:
    /// the first matching row becomes current (AfterScroll fires) and the result is true. Not
    /// found: false, and the cursor stays where it was. A pending edit is posted first.
    /// EDatabaseError when the table is closed, has no key in use, or more values than key fields.
    bool FindKey(std::initializer_list<TKeyValue> keys) { return FindKey(keys.begin(), keys.size()); }
    bool FindKey(const std::vector<TKeyValue>& keys) { return FindKey(keys.data(), keys.size()); }
    bool FindKey(const TKeyValue* keys, size_t count);

    /// Finds the first row, in the current order and within the filter, whose fields (names in
    /// any letter case, separated by ";") hold the given values, converted as for FindKey. Needs
    /// no index: when the key in use begins with the fields it searches by the key, otherwise it
    /// walks the rows. Found: the row becomes current (AfterScroll fires) and the result is true.
    /// Not found: false, and the cursor stays where it was. A pending edit is posted first.
    /// EDatabaseError when the table is closed, a field is unknown, or the numbers of fields and
    /// values differ.
    bool Locate(std::string_view fieldNames, std::initializer_list<TKeyValue> values);

    /// Column definitions: filled from the table when it opens; CreateTable uses them.
    TFieldDefs FieldDefs;
    /// Creates the table from FieldDefs (no index), replacing one of the same name, in a new
    /// database file if the folder has none. The table must be closed.
    void CreateTable();
    /// True when the alias's database has the table.
    bool Exists();

protected:
    void LoadRows(std::vector<TFieldDef>& columns, std::vector<std::unique_ptr<TRecordRow>>& rows) override;
    std::vector<int> ResolveKey() override;
    bool CanModify() const override { return !readOnlyFile_; }
    int64_t InsertRow(const std::vector<TFieldValue>& values) override;
    void UpdateRow(int64_t rowId, const std::vector<TFieldValue>& values, const std::vector<bool>& changed) override;
    void DeleteRow(int64_t rowId) override;
    void Disconnect() override { connection_.reset(); }
    std::string Label() const override;
    bool RowsMayHaveChanged() override;

private:
    sqlite3* Db(bool create = false);
    /// The SQL name of the table in the database, "" when there is none.
    std::string FindSqlTable();
    std::vector<int> IndexColumns(const std::string& indexName);
    /// Converts search values to the types of `columns` into searchKey_; false when a value can
    /// match no row (a text that is no number for a numeric field).
    /// Marks that move whenever the database may have changed: changes made through this
    /// connection, commits of other connections, and the schema.
    struct ChangeMarks {
        int64_t Own = -1, Others = -1, Schema = -1;
        bool operator==(const ChangeMarks&) const = default;
    };
    ChangeMarks ReadChangeMarks();
    /// Around a write of this cursor: keeps the rows in memory counted as current when they were.
    ChangeMarks MarksBeforeWrite();
    void MarksAfterWrite(const ChangeMarks& before);
    bool ConvertSearchValues(const std::vector<int>& columns, const TKeyValue* keys, size_t count);

    std::string tableName_;
    std::string indexName_;
    std::string indexFieldNames_;
    bool defaultIndex_ = true;
    std::string sqlName_; ///< resolved SQL table name while open
    std::vector<int> primaryKey_;
    bool readOnlyFile_ = false;
    std::shared_ptr<SqliteConnection> connection_;
    std::vector<TFieldValue> searchKey_; ///< FindKey's converted values, kept to spare allocations
    std::vector<int> locateColumns_;     ///< Locate's columns, kept to spare allocations
    ChangeMarks loadedMarks_;            ///< the database's marks when the rows in memory matched it
};
