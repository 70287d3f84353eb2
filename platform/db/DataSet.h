// Datasets and fields of the data-access layer: the cursor, the edit states and the events that
// the system's code drives, over rows held in memory. TTable and TQuery (Table.h, Query.h) load
// the rows from the database and write posted changes back; nothing reaches the database
// except through Post and Delete.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TDataSet;
class TDatabase;
class SqliteConnection;
struct sqlite3;

enum TFieldType { ftUnknown, ftString, ftSmallint, ftInteger, ftBoolean };

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

/// One stored value. Strings hold raw 8-bit bytes; integers and Booleans use `Int`.
struct TFieldValue {
    bool Null = true;
    int64_t Int = 0;
    std::string Str;
    bool Cut = false; ///< the stored text was longer than the field's width and was read cut
    int TrailingBlanks = 0; ///< blanks that ended the stored text (within the width) and were trimmed
};

/// One row as loaded: its stored row id (the stored order) and one value per column.
struct TRecordRow {
    int64_t RowId = 0;
    std::vector<TFieldValue> Values;
};

/// A column description, as read from the table or given to CreateTable.
struct TFieldDef {
    std::string Name;
    TFieldType DataType = ftString;
    int Size = 0; ///< width of a string field in bytes; 0 for other types (and unbounded text)
    bool Required = false;
};

class TFieldDefs {
public:
    void Add(const std::string& name, TFieldType dataType, int size = 0, bool required = false);
    void Clear() { Items.clear(); }
    int Count() const { return int(Items.size()); }
    std::vector<TFieldDef> Items;
};

/// The value of one column in the dataset's current row (the edit buffer while editing).
/// A field lives as long as its dataset has its column; Close and Open keep it, and with it
/// ReadOnly and Required.
/// Every accessor raises EDatabaseError on a closed dataset or a field whose column is missing.
class TField {
public:
    TField(TDataSet* dataSet, std::string name) : dataSet_(dataSet), name_(std::move(name)) {}

    const std::string& FieldName() const { return name_; }
    TFieldType DataType() const { return def_.DataType; }
    int Size() const { return def_.Size; }
    TDataSet* DataSet() const { return dataSet_; }

    /// A read-only field refuses assignments with "Field '<name>' cannot be modified".
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }
    /// A required field must have a value when the row is posted.
    bool Required() const { return required_; }
    void SetRequired(bool value) { required_ = value; }

    bool IsNull() const;
    /// True when the stored text was longer than the field's width, so the value read is only
    /// its first part (an assigned value never is).
    bool IsCut() const;
    /// Text of the value: string fields trimmed of trailing blanks, numbers in decimal,
    /// Booleans "True"/"False"; "" for an empty field.
    std::string AsString() const;
    /// The text of a string field as stored, its trailing blanks kept (within the field's
    /// width); otherwise AsString.
    std::string AsStoredString() const;
    /// String fields convert by StrToInt (EConvertError when not a number, an empty one included);
    /// an empty numeric field gives 0.
    int AsInteger() const;
    /// String fields: True when the text begins with "T", "t", "Y" or "y".
    bool AsBoolean() const;

    /// Assignments need the dataset in edit or insert state. String values are cut to the
    /// field's width and stored without trailing blanks; "" stores an empty field. Numeric fields
    /// convert the text by StrToInt; a small integer outside -32768..32767 is refused.
    void SetAsString(std::string_view value);
    void SetAsInteger(int64_t value);
    void SetAsBoolean(bool value);
    void Clear();

private:
    friend class TDataSet;
    const TFieldValue& Value() const;
    void Assign(TFieldValue value);

    TDataSet* dataSet_;
    std::string name_;
    TFieldDef def_;
    int column_ = -1;       ///< column index in the loaded rows; -1 while not bound
    bool declared_ = false; ///< made by DefineField: its column must exist
    bool readOnly_ = false;
    bool required_ = false;
};

using TDataSetNotifyEvent = std::function<void(TDataSet* DataSet)>;

/// A cursor over rows in memory, in the order of the current key (or stored order), restricted
/// by the filter. Invariants: while active, `cursor_` indexes `visible_` (0 when it is empty);
/// `visible_` holds exactly the loaded rows that pass the filter, sorted by `keyColumns_` then
/// row id; in edit or insert state `buffer_` holds the row being edited.
class TDataSet {
public:
    TDataSet();
    virtual ~TDataSet();
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;

    /// The component name, used in error messages.
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    /// The alias (a TDatabase's DatabaseName) or, failing that, a folder path.
    const std::string& DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const std::string& name);

    /// Opens the dataset and moves to the first row (AfterScroll fires). Errors: EDatabaseError
    /// naming the table or field; the dataset then stays closed.
    void Open();
    /// Closes the dataset; an unposted edit is dropped.
    void Close();
    bool Active() const { return state_ != dsInactive; }
    void SetActive(bool value) { value ? Open() : Close(); }
    /// Reads the rows again (a pending edit is posted first); the cursor stays on the same row
    /// when it still exists, else on the row now at its place. A table whose database has not
    /// changed since its rows were read keeps them as they are.
    void Refresh();

    TDataSetState State() const { return state_; }
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    int RecordCount() const;
    bool IsEmpty() const { return RecordCount() == 0; }

    /// 1-based number of the current row in the current order; 0 when there is none.
    int RecNo() const;
    /// Moves to row number `value` (a pending edit is posted first; AfterScroll fires).
    /// EDatabaseError when the dataset is closed or has no such row.
    void SetRecNo(int value);
    /// Changes whenever the rows on show may have changed (open, close, refresh, post, delete,
    /// new order or filter): row numbers remembered under one value stay valid while it holds.
    uint64_t RowsGeneration() const { return rowsGeneration_; }

    void First();
    void Last();
    /// Moves to the next row; past the last row Eof becomes True and the last row stays current.
    /// AfterScroll fires unless Eof was already True.
    void Next();
    /// Moves to the previous row; before the first row Bof becomes True and the first row stays.
    void Prior();

    /// The field of that name, in any letter case; EDatabaseError when the dataset has none.
    TField* FieldByName(std::string_view name);
    /// The field of that name, or nullptr.
    TField* FindField(std::string_view name);
    int FieldCount() const { return int(fields_.size()); }
    /// Field by position (0-based, in column order); EDatabaseError out of range.
    TField* Fields(int index);
    /// Declares a field before the dataset is opened (as a persistent field), so that ReadOnly
    /// and Required can be set in advance; Open then raises when the column is missing.
    TField* DefineField(const std::string& name);

    /// "FIELD = 'literal'" (field name in any case). Takes effect at once when Filtered.
    const std::string& Filter() const { return filter_; }
    void SetFilter(const std::string& filter);
    bool Filtered() const { return filtered_; }
    /// Switching the filter on or off on an open dataset moves to the first row.
    void SetFiltered(bool value);

    /// Starts editing the current row (BeforeEdit first); on an empty dataset it inserts instead.
    void Edit();
    /// Starts a new row (OnNewRecord, then AfterScroll); where it lands is decided by the key
    /// when posted. Values set by OnNewRecord alone do not count as a change: moving away drops
    /// such a row, while Post writes it.
    void Insert();
    void Append();
    /// Writes the edited or new row (BeforePost first, AfterPost after). On any error, the silent
    /// abort included, nothing is written and the dataset stays in its edit state.
    void Post();
    /// Drops the edit; the row stays as it was. Dropping a new row fires AfterScroll.
    void Cancel();
    /// Deletes the current row (BeforeDelete first; AfterDelete and AfterScroll after); the row
    /// after it becomes current. On an error nothing is deleted.
    void Delete();

    /// Counted; while disabled, events still fire (there are no bound controls to refresh).
    void DisableControls() { ++disableCount_; }
    void EnableControls() {
        if (disableCount_ > 0) --disableCount_;
    }
    bool ControlsDisabled() const { return disableCount_ > 0; }

    /// Events. A handler that raises (EAbort included) in a Before event stops the operation
    /// before anything changed; the exception reaches the caller.
    TDataSetNotifyEvent BeforeEdit, BeforePost, AfterPost, BeforeDelete, AfterDelete, AfterScroll,
        OnNewRecord;

protected:
    /// Reads the columns and the rows. Raises EDatabaseError on failure.
    virtual void LoadRows(std::vector<TFieldDef>& columns,
                          std::vector<std::unique_ptr<TRecordRow>>& rows) = 0;
    /// Called after the columns are known and before the rows are ordered: returns the key columns.
    virtual std::vector<int> ResolveKey() { return {}; }
    virtual bool CanModify() const { return false; }
    /// Write-through of a posted or deleted row; returns the new row's id for an insert.
    virtual int64_t InsertRow(const std::vector<TFieldValue>& values);
    /// `changed` marks the columns set since Edit: only those are written, so that values the
    /// dataset could not read exactly are never written back cut or emptied.
    virtual void UpdateRow(int64_t rowId, const std::vector<TFieldValue>& values, const std::vector<bool>& changed);
    virtual void DeleteRow(int64_t rowId);
    /// Called when the dataset closes, to release the connection.
    virtual void Disconnect() {}
    /// False when the rows read last are known to be those stored (Refresh then keeps them).
    virtual bool RowsMayHaveChanged() { return true; }
    /// Table or component name for messages.
    virtual std::string Label() const;

    /// Raises EDatabaseError with the label prefixed.
    [[noreturn]] void Fail(const std::string& message) const;
    void CheckActive() const;
    void CheckInactive() const;
    /// Posts a modified edit, drops an unmodified one.
    void CheckBrowseMode();
    /// Orders the rows by new key columns, keeping the current row.
    void ApplyKey(std::vector<int> keyColumns);
    const std::vector<int>& KeyColumns() const { return keyColumns_; }
    const std::vector<TRecordRow*>& VisibleRows() const { return visible_; }
    int ColumnOf(std::string_view fieldName) const;
    const std::vector<TFieldDef>& Columns() const { return columns_; }
    /// Makes row `index` of the visible rows current and fires AfterScroll.
    void MoveTo(int index);
    /// Compares a row's key columns with key values already converted to the column types;
    /// only the first keys.size() key columns take part.
    int CompareKey(const TRecordRow& row, const std::vector<TFieldValue>& keys) const {
        for (size_t k = 0; k < keys.size(); ++k)
            if (int c = CompareValues(row.Values[keyColumns_[k]], keys[k])) return c;
        return 0;
    }
    /// Row order: key columns, then row id. Strings compare byte by byte (case-sensitive).
    static int CompareValues(const TFieldValue& a, const TFieldValue& b) {
        if (a.Null || b.Null) return int(!a.Null) - int(!b.Null);
        if (a.Int != b.Int) return a.Int < b.Int ? -1 : 1;
        if (a.Str.empty() || b.Str.empty()) return int(!a.Str.empty()) - int(!b.Str.empty());
        int c = a.Str.compare(b.Str);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    /// Resolves a database name to an open connection (TDatabase alias or folder).
    std::shared_ptr<SqliteConnection> Connect();
    /// Lets go of the connection (Disconnect) and of the alias.
    void ReleaseConnection();

    std::string databaseName_;

private:
    friend class TField;
    friend class TDatabase;
    const TFieldValue& CurrentValue(int column) const;
    void BindFields();
    void RebuildVisible(const TRecordRow* keep, int fallbackIndex);
    bool PassesFilter(const TRecordRow& row) const;
    void ParseFilter();
    void FireEvent(const TDataSetNotifyEvent& event) {
        if (event) event(this);
    }

    std::string name_;
    TDataSetState state_ = dsInactive;
    bool bof_ = true, eof_ = true;
    int cursor_ = 0;
    int disableCount_ = 0;
    bool modified_ = false;
    std::vector<TFieldDef> columns_;
    std::vector<std::unique_ptr<TField>> fields_; ///< in column order while active
    std::vector<std::unique_ptr<TRecordRow>> rows_;
    std::vector<TRecordRow*> visible_;
    std::vector<int> keyColumns_;
    std::vector<TFieldValue> buffer_;
    std::vector<bool> changed_; ///< columns of buffer_ set since Edit or Insert
    std::string filter_;
    bool filtered_ = false;
    int filterColumn_ = -1; ///< resolved while active and filtered with a filter
    std::string filterValue_;
    TDatabase* database_ = nullptr; ///< the alias the dataset is open on, if any
    uint64_t rowsGeneration_ = 0;
};
