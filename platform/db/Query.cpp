// TQuery over SQLite: parameters bound by name, result columns typed from their declared types
// (or, for computed columns, from the first value), duplicate column names made unique.
#include "Query.h"

#include "Exceptions.h"
#include "SqliteConnection.h"
#include "SysUtils.h"

#include <algorithm>

void TParam::SetAsString(std::string_view value) {
    DataType = ftString;
    Value = TFieldValue{false, 0, std::string(value)};
}

int TParam::AsInteger() const {
    return Value.Null ? 0 : DataType == ftString ? StrToInt(Value.Str) : int(Value.Int);
}

void TParam::SetAsInteger(int64_t value) {
    DataType = ftInteger;
    Value = TFieldValue{false, value, {}};
}

TQuery::~TQuery() {
    Close();
}

namespace {
bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}
} // namespace

void TQuery::SetSQL(const std::string& sql) {
    Close();
    sql_ = sql;
    std::vector<std::unique_ptr<TParam>> found;
    char quote = 0;
    for (size_t i = 0; i < sql.size(); ++i) {
        char c = sql[i];
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            continue;
        }
        if (c != ':' || i + 1 >= sql.size() || !IsNameChar(sql[i + 1]) || (i > 0 && sql[i - 1] == ':'))
            continue;
        size_t end = i + 1;
        while (end < sql.size() && IsNameChar(sql[end]))
            ++end;
        std::string name = sql.substr(i + 1, end - i - 1);
        i = end - 1;
        if (std::any_of(found.begin(), found.end(), [&](const auto& p) { return SameText(p->Name, name); }))
            continue;
        auto kept = std::find_if(params_.begin(), params_.end(),
                                 [&](const auto& p) { return p && SameText(p->Name, name); });
        found.push_back(kept != params_.end() ? std::move(*kept) : std::make_unique<TParam>(name));
    }
    params_ = std::move(found);
}

TParam* TQuery::Params(int index) {
    if (index < 0 || index >= int(params_.size()))
        Fail("Parameter index " + IntToStr(index) + " out of range");
    return params_[index].get();
}

TParam* TQuery::ParamByName(std::string_view name) {
    for (auto& p : params_)
        if (SameText(p->Name, name)) return p.get();
    Fail("Parameter '" + std::string(name) + "' not found");
}

void TQuery::LoadRows(std::vector<TFieldDef>& columns, std::vector<std::unique_ptr<TRecordRow>>& rows) {
    if (Trim(sql_).empty()) Fail("No SQL statement available");
    if (!connection_) connection_ = Connect();
    sqlite3* db = connection_->Handle(Label());
    SqliteStatement st(db, sql_, Label());
    for (int i = 1; i <= sqlite3_bind_parameter_count(st.Get()); ++i) {
        const char* name = sqlite3_bind_parameter_name(st.Get(), i);
        if (!name || !name[0]) Fail("Unnamed parameters are not supported");
        TParam* p = ParamByName(name + 1);
        st.Bind(i, p->Value, p->DataType == ftUnknown ? ftString : p->DataType);
    }
    const int count = sqlite3_column_count(st.Get());
    columns.clear();
    for (int c = 0; c < count; ++c) {
        const char* name = sqlite3_column_name(st.Get(), c);
        TFieldDef def = FieldDefFromDeclType(name ? name : "", sqlite3_column_decltype(st.Get(), c));
        if (!sqlite3_column_decltype(st.Get(), c)) def.DataType = ftUnknown; // typed by the first row
        std::string unique = def.Name;
        for (int n = 1; std::any_of(columns.begin(), columns.end(),
                                    [&](const TFieldDef& d) { return SameText(d.Name, unique); });
             ++n)
            unique = def.Name + "_" + IntToStr(n);
        def.Name = unique;
        columns.push_back(def);
    }
    rows.clear();
    int64_t ordinal = 0;
    while (st.Step()) {
        if (ordinal == 0)
            for (int c = 0; c < count; ++c)
                if (columns[c].DataType == ftUnknown)
                    columns[c].DataType =
                        sqlite3_column_type(st.Get(), c) == SQLITE_INTEGER ? ftInteger : ftString;
        auto row = std::make_unique<TRecordRow>();
        row->RowId = ++ordinal;
        for (int c = 0; c < count; ++c)
            row->Values.push_back(st.Column(c, columns[c].DataType, columns[c].Size));
        rows.push_back(std::move(row));
    }
    for (TFieldDef& d : columns)
        if (d.DataType == ftUnknown) d.DataType = ftString;
}
