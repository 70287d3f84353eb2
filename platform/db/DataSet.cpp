// Cursor, edit states, events, filter and field conversions of every dataset. Rows live in
// memory in key order, so moving and key searches never touch the database.
#include "DataSet.h"

#include "Database.h"
#include "Exceptions.h"
#include "SqliteConnection.h"
#include "SysUtils.h"

#include <algorithm>
#include <filesystem>

namespace {
uint64_t gRowsGeneration = 0; // process-wide, so that no two states of any dataset share a value
}

// ---- field definitions ----

void TFieldDefs::Add(const std::string& name, TFieldType dataType, int size, bool required) {
    Items.push_back(TFieldDef{name, dataType, dataType == ftString ? size : 0, required});
}

// ---- fields ----

const TFieldValue& TField::Value() const {
    dataSet_->CheckActive();
    if (column_ < 0) dataSet_->Fail("Field '" + name_ + "' not found");
    return dataSet_->CurrentValue(column_);
}

bool TField::IsNull() const {
    return Value().Null;
}

bool TField::IsCut() const {
    return Value().Cut;
}

std::string TField::AsString() const {
    const TFieldValue& v = Value();
    if (v.Null) return "";
    switch (def_.DataType) {
    case ftSmallint:
    case ftInteger:
        return IntToStr(v.Int);
    case ftBoolean:
        return v.Int ? "True" : "False";
    default:
        return v.Str;
    }
}

std::string TField::AsStoredString() const {
    const TFieldValue& v = Value();
    if (def_.DataType != ftString && def_.DataType != ftUnknown) return AsString();
    return (v.Null ? std::string() : v.Str) + std::string(static_cast<std::size_t>(v.TrailingBlanks), ' ');
}

int TField::AsInteger() const {
    const TFieldValue& v = Value();
    if (def_.DataType == ftString || def_.DataType == ftUnknown) return StrToInt(v.Null ? "" : v.Str);
    return v.Null ? 0 : int(v.Int);
}

bool TField::AsBoolean() const {
    const TFieldValue& v = Value();
    if (v.Null) return false;
    if (def_.DataType == ftString || def_.DataType == ftUnknown) {
        char c = v.Str.empty() ? '\0' : v.Str[0];
        return c == 'T' || c == 't' || c == 'Y' || c == 'y';
    }
    return v.Int != 0;
}

void TField::Assign(TFieldValue value) {
    dataSet_->CheckActive();
    if (column_ < 0) dataSet_->Fail("Field '" + name_ + "' not found");
    if (dataSet_->state_ != dsEdit && dataSet_->state_ != dsInsert)
        dataSet_->Fail("Dataset not in edit or insert mode");
    if (readOnly_) dataSet_->Fail("Field '" + name_ + "' cannot be modified");
    if (!value.Null && def_.DataType == ftSmallint && (value.Int < -32768 || value.Int > 32767))
        dataSet_->Fail(IntToStr(value.Int) + " is not a valid value for field '" + name_ +
                       "'. The allowed range is -32768 to 32767");
    if (!value.Null && def_.DataType == ftInteger && (value.Int < INT32_MIN || value.Int > INT32_MAX))
        dataSet_->Fail(IntToStr(value.Int) + " is not a valid value for field '" + name_ + "'");
    dataSet_->buffer_[column_] = std::move(value);
    dataSet_->changed_[size_t(column_)] = true;
    dataSet_->modified_ = true;
}

void TField::SetAsString(std::string_view text) {
    TFieldValue v;
    switch (def_.DataType) {
    case ftSmallint:
    case ftInteger:
        if (!text.empty()) {
            v.Null = false;
            v.Int = StrToInt(text);
        }
        break;
    case ftBoolean:
        if (!text.empty()) {
            if (std::string_view("TRUE").substr(0, text.size()) == UpperCase(text))
                v.Int = 1;
            else if (std::string_view("FALSE").substr(0, text.size()) == UpperCase(text))
                v.Int = 0;
            else
                dataSet_->Fail("'" + std::string(text) + "' is not a valid boolean value for field '" +
                               name_ + "'");
            v.Null = false;
        }
        break;
    default: {
        std::string_view s = text;
        if (def_.Size > 0 && s.size() > size_t(def_.Size)) s = s.substr(0, def_.Size);
        while (!s.empty() && s.back() == ' ')
            s.remove_suffix(1);
        if (!s.empty()) {
            v.Null = false;
            v.Str = std::string(s);
        }
    }
    }
    Assign(std::move(v));
}

void TField::SetAsInteger(int64_t value) {
    if (def_.DataType == ftString || def_.DataType == ftUnknown) return SetAsString(IntToStr(value));
    TFieldValue v;
    v.Null = false;
    v.Int = def_.DataType == ftBoolean ? (value != 0) : value;
    Assign(std::move(v));
}

void TField::SetAsBoolean(bool value) {
    if (def_.DataType == ftString || def_.DataType == ftUnknown) return SetAsString(value ? "T" : "F");
    TFieldValue v;
    v.Null = false;
    v.Int = value ? 1 : 0;
    Assign(std::move(v));
}

void TField::Clear() {
    Assign(TFieldValue{});
}

// ---- dataset ----

TDataSet::TDataSet() = default;

TDataSet::~TDataSet() {
    // Derived parts are gone by now; only release what this class holds.
    if (database_) database_->Detach(this);
}

std::string TDataSet::Label() const {
    return name_.empty() ? "Dataset" : name_;
}

void TDataSet::Fail(const std::string& message) const {
    throw EDatabaseError(Label() + ": " + message);
}

void TDataSet::CheckActive() const {
    if (state_ == dsInactive) Fail("Cannot perform this operation on a closed dataset");
}

void TDataSet::CheckInactive() const {
    if (state_ != dsInactive) Fail("Cannot perform this operation on an open dataset");
}

void TDataSet::SetDatabaseName(const std::string& name) {
    CheckInactive();
    databaseName_ = name;
}

std::shared_ptr<SqliteConnection> TDataSet::Connect() {
    if (TDatabase* db = TDatabase::FindDatabase(databaseName_)) {
        database_ = db;
        return db->Attach(this);
    }
    // Not an alias: a folder named directly.
    std::error_code ec;
    if (!databaseName_.empty() && std::filesystem::is_directory(databaseName_, ec)) {
        std::string folder = databaseName_;
        if (folder.back() != '/') folder += '/';
        return std::make_shared<SqliteConnection>(folder);
    }
    Fail("Unknown database: " + databaseName_);
}

int TDataSet::ColumnOf(std::string_view fieldName) const {
    for (size_t i = 0; i < columns_.size(); ++i)
        if (SameText(columns_[i].Name, fieldName)) return int(i);
    return -1;
}

void TDataSet::BindFields() {
    for (const auto& f : fields_)
        if (f->declared_ && ColumnOf(f->name_) < 0) Fail("Field '" + f->name_ + "' not found");
    // Fields already made keep their objects (and settings); new columns get new fields, and
    // fields of columns that are gone (a query's new statement) go.
    std::vector<std::unique_ptr<TField>> bound;
    for (const TFieldDef& def : columns_) {
        auto it = std::find_if(fields_.begin(), fields_.end(), [&](const std::unique_ptr<TField>& f) {
            return f && SameText(f->name_, def.Name);
        });
        std::unique_ptr<TField> field =
            it != fields_.end() ? std::move(*it) : std::make_unique<TField>(this, def.Name);
        field->def_ = def;
        field->column_ = int(bound.size());
        if (def.Required) field->required_ = true;
        bound.push_back(std::move(field));
    }
    fields_ = std::move(bound);
}

void TDataSet::Open() {
    if (state_ != dsInactive) return;
    try {
        columns_.clear();
        rows_.clear();
        LoadRows(columns_, rows_);
        BindFields();
        keyColumns_ = ResolveKey();
        ParseFilter();
    } catch (...) {
        columns_.clear();
        rows_.clear();
        for (auto& f : fields_)
            f->column_ = -1;
        ReleaseConnection();
        throw;
    }
    state_ = dsBrowse;
    RebuildVisible(nullptr, 0);
    First();
}

void TDataSet::ReleaseConnection() {
    Disconnect();
    if (database_) database_->Detach(this);
    database_ = nullptr;
}

void TDataSet::Close() {
    if (state_ == dsInactive) return ReleaseConnection();
    state_ = dsInactive;
    rowsGeneration_ = ++gRowsGeneration;
    buffer_.clear();
    modified_ = false;
    visible_.clear();
    rows_.clear();
    cursor_ = 0;
    bof_ = eof_ = true;
    for (auto& f : fields_)
        f->column_ = -1;
    ReleaseConnection();
}

void TDataSet::Refresh() {
    CheckActive();
    CheckBrowseMode();
    if (!RowsMayHaveChanged()) return;
    int64_t keepId = visible_.empty() ? -1 : visible_[cursor_]->RowId;
    std::vector<TFieldDef> columns;
    std::vector<std::unique_ptr<TRecordRow>> rows;
    LoadRows(columns, rows);
    if (columns.size() != columns_.size()) Fail("The table's fields changed while it was open");
    rows_ = std::move(rows);
    const TRecordRow* keep = nullptr;
    for (const auto& r : rows_)
        if (r->RowId == keepId) keep = r.get();
    RebuildVisible(keep, cursor_);
    if (visible_.empty()) bof_ = eof_ = true;
}

int TDataSet::RecordCount() const {
    CheckActive();
    return int(visible_.size());
}

const TFieldValue& TDataSet::CurrentValue(int column) const {
    if (state_ == dsEdit || state_ == dsInsert) return buffer_[column];
    static const TFieldValue kEmpty;
    if (visible_.empty()) return kEmpty;
    return visible_[cursor_]->Values[column];
}

TField* TDataSet::FindField(std::string_view name) {
    // Reports look fields up by name many times a page: the names' lengths and an exact match
    // settle most candidates before the case-blind comparison.
    for (auto& f : fields_) {
        const std::string& own = f->name_;
        if (own.size() != name.size()) continue;
        if (own == name || SameText(own, name)) return f.get();
    }
    return nullptr;
}

TField* TDataSet::FieldByName(std::string_view name) {
    TField* f = FindField(name);
    if (!f) Fail("Field '" + std::string(name) + "' not found");
    return f;
}

TField* TDataSet::Fields(int index) {
    if (index < 0 || index >= int(fields_.size())) Fail("Field index " + IntToStr(index) + " out of range");
    return fields_[index].get();
}

TField* TDataSet::DefineField(const std::string& name) {
    if (TField* f = FindField(name)) return f;
    CheckInactive();
    fields_.push_back(std::make_unique<TField>(this, name));
    fields_.back()->declared_ = true;
    return fields_.back().get();
}

// ---- order and filter ----

bool TDataSet::PassesFilter(const TRecordRow& row) const {
    if (filterColumn_ < 0) return true;
    const TFieldValue& v = row.Values[filterColumn_];
    const TFieldDef& def = columns_[filterColumn_];
    std::string text = v.Null                                                  ? ""
                       : def.DataType == ftString || def.DataType == ftUnknown ? v.Str
                       : def.DataType == ftBoolean                             ? (v.Int ? "True" : "False")
                                                                               : IntToStr(v.Int);
    return text == filterValue_;
}

void TDataSet::ParseFilter() {
    filterColumn_ = -1;
    filterValue_.clear();
    std::string f = Trim(filter_);
    if (!filtered_ || f.empty()) return;
    // FIELD = 'literal' (or "literal"); a doubled quote inside the literal stands for one.
    size_t eq = f.find('=');
    std::string field = eq == std::string::npos ? "" : Trim(f.substr(0, eq));
    std::string rest = eq == std::string::npos ? "" : Trim(f.substr(eq + 1));
    if (field.empty() || rest.size() < 2 || (rest[0] != '\'' && rest[0] != '"') || rest.back() != rest[0])
        Fail("Filter expression not supported: " + filter_);
    const char quote = rest[0];
    std::string literal;
    for (size_t i = 1; i + 1 < rest.size(); ++i) {
        if (rest[i] == quote) {
            if (i + 2 < rest.size() && rest[i + 1] == quote)
                ++i;
            else
                Fail("Filter expression not supported: " + filter_);
        }
        literal += rest[i];
    }
    int column = ColumnOf(field);
    if (column < 0) Fail("Field '" + field + "' not found");
    filterColumn_ = column;
    while (!literal.empty() && literal.back() == ' ')
        literal.pop_back();
    filterValue_ = literal;
}

void TDataSet::RebuildVisible(const TRecordRow* keep, int fallbackIndex) {
    rowsGeneration_ = ++gRowsGeneration;
    visible_.clear();
    visible_.reserve(rows_.size());
    for (const auto& r : rows_)
        if (PassesFilter(*r)) visible_.push_back(r.get());
    const auto before = [this](const TRecordRow* a, const TRecordRow* b) {
        for (int c : keyColumns_)
            if (int d = CompareValues(a->Values[c], b->Values[c])) return d < 0;
        return a->RowId < b->RowId;
    };
    // Tables are mostly stored in key order already: one pass finds that out.
    if (!std::is_sorted(visible_.begin(), visible_.end(), before)) std::sort(visible_.begin(), visible_.end(), before);
    int index = fallbackIndex;
    if (keep) {
        auto it = std::find(visible_.begin(), visible_.end(), keep);
        if (it != visible_.end()) index = int(it - visible_.begin());
    }
    cursor_ = visible_.empty() ? 0 : std::clamp(index, 0, int(visible_.size()) - 1);
}

void TDataSet::ApplyKey(std::vector<int> keyColumns) {
    keyColumns_ = std::move(keyColumns);
    if (state_ == dsInactive) return;
    CheckBrowseMode();
    RebuildVisible(visible_.empty() ? nullptr : visible_[cursor_], cursor_);
}

void TDataSet::SetFilter(const std::string& filter) {
    if (filter == filter_) return;
    std::string old = filter_;
    filter_ = filter;
    if (state_ == dsInactive || !filtered_) return;
    CheckBrowseMode();
    try {
        ParseFilter();
    } catch (...) {
        filter_ = old;
        ParseFilter();
        throw;
    }
    RebuildVisible(nullptr, 0);
    First();
}

void TDataSet::SetFiltered(bool value) {
    if (value == filtered_) return;
    filtered_ = value;
    if (state_ == dsInactive) return;
    CheckBrowseMode();
    try {
        ParseFilter();
    } catch (...) {
        filtered_ = !value;
        ParseFilter();
        throw;
    }
    RebuildVisible(nullptr, 0);
    First();
}

// ---- moving ----

void TDataSet::MoveTo(int index) {
    cursor_ = index;
    bof_ = eof_ = false;
    FireEvent(AfterScroll);
}

int TDataSet::RecNo() const {
    if (state_ == dsInactive || visible_.empty()) return 0;
    return cursor_ + 1;
}

void TDataSet::SetRecNo(int value) {
    CheckActive();
    CheckBrowseMode();
    if (value < 1 || value > int(visible_.size())) Fail("Record number " + IntToStr(value) + " out of range");
    MoveTo(value - 1);
}

void TDataSet::First() {
    CheckActive();
    CheckBrowseMode();
    cursor_ = 0;
    bof_ = true;
    eof_ = visible_.empty();
    FireEvent(AfterScroll);
}

void TDataSet::Last() {
    CheckActive();
    CheckBrowseMode();
    cursor_ = visible_.empty() ? 0 : int(visible_.size()) - 1;
    eof_ = true;
    bof_ = visible_.empty();
    FireEvent(AfterScroll);
}

void TDataSet::Next() {
    CheckActive();
    CheckBrowseMode();
    if (eof_) return;
    if (cursor_ + 1 < int(visible_.size())) return MoveTo(cursor_ + 1);
    eof_ = true; // reaching the end counts as a scroll, staying there does not
    FireEvent(AfterScroll);
}

void TDataSet::Prior() {
    CheckActive();
    CheckBrowseMode();
    if (bof_) return;
    if (cursor_ > 0) return MoveTo(cursor_ - 1);
    bof_ = true;
    FireEvent(AfterScroll);
}

// ---- editing ----

int64_t TDataSet::InsertRow(const std::vector<TFieldValue>&) {
    Fail("Cannot modify a read-only dataset");
}
void TDataSet::UpdateRow(int64_t, const std::vector<TFieldValue>&, const std::vector<bool>&) {
    Fail("Cannot modify a read-only dataset");
}
void TDataSet::DeleteRow(int64_t) {
    Fail("Cannot modify a read-only dataset");
}

void TDataSet::CheckBrowseMode() {
    if (state_ != dsEdit && state_ != dsInsert) return;
    if (modified_)
        Post();
    else
        Cancel();
}

void TDataSet::Edit() {
    CheckActive();
    if (state_ == dsEdit || state_ == dsInsert) return;
    if (visible_.empty()) return Insert();
    if (!CanModify()) Fail("Cannot modify a read-only dataset");
    FireEvent(BeforeEdit);
    buffer_ = visible_[cursor_]->Values;
    changed_.assign(buffer_.size(), false);
    modified_ = false;
    state_ = dsEdit;
}

void TDataSet::Insert() {
    CheckActive();
    CheckBrowseMode();
    if (!CanModify()) Fail("Cannot modify a read-only dataset");
    buffer_.assign(columns_.size(), TFieldValue{});
    changed_.assign(columns_.size(), false);
    modified_ = false;
    state_ = dsInsert;
    try {
        FireEvent(OnNewRecord);
    } catch (...) {
        buffer_.clear();
        state_ = dsBrowse;
        throw;
    }
    modified_ = false; // defaults set by OnNewRecord alone are no change worth posting
    FireEvent(AfterScroll);
}

void TDataSet::Append() {
    Insert();
}

void TDataSet::Post() {
    CheckActive();
    if (state_ != dsEdit && state_ != dsInsert) return;
    FireEvent(BeforePost);
    for (const auto& f : fields_)
        if (f->required_ && buffer_[f->column_].Null) Fail("Field '" + f->name_ + "' must have a value");
    if (state_ == dsInsert) {
        auto row = std::make_unique<TRecordRow>();
        row->Values = buffer_;
        row->RowId = InsertRow(buffer_);
        TRecordRow* added = row.get();
        rows_.push_back(std::move(row));
        state_ = dsBrowse;
        RebuildVisible(added, cursor_);
    } else {
        TRecordRow* row = visible_[cursor_];
        UpdateRow(row->RowId, buffer_, changed_);
        row->Values = buffer_;
        state_ = dsBrowse;
        RebuildVisible(row, cursor_);
    }
    buffer_.clear();
    modified_ = false;
    if (!visible_.empty()) bof_ = eof_ = false;
    FireEvent(AfterPost);
}

void TDataSet::Cancel() {
    if (state_ != dsEdit && state_ != dsInsert) return;
    const bool wasInsert = state_ == dsInsert;
    buffer_.clear();
    modified_ = false;
    state_ = dsBrowse;
    if (wasInsert) FireEvent(AfterScroll); // back on the row that was current
}

void TDataSet::Delete() {
    CheckActive();
    if (state_ == dsInsert) return Cancel();
    if (visible_.empty()) Fail("Cannot perform this operation on an empty dataset");
    if (!CanModify()) Fail("Cannot modify a read-only dataset");
    Cancel();
    FireEvent(BeforeDelete);
    TRecordRow* row = visible_[cursor_];
    DeleteRow(row->RowId);
    rowsGeneration_ = ++gRowsGeneration;
    int at = cursor_;
    visible_.erase(visible_.begin() + at);
    rows_.erase(std::find_if(rows_.begin(), rows_.end(), [row](const auto& r) { return r.get() == row; }));
    cursor_ = visible_.empty() ? 0 : std::min(at, int(visible_.size()) - 1);
    bof_ = eof_ = visible_.empty();
    FireEvent(AfterDelete);
    FireEvent(AfterScroll);
}
