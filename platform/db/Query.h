// TQuery: an SQL statement on the alias's database with named parameters (":Name"); its result
// rows are read on Open and browsed like a table's. Results are read-only.
#pragma once

#include "DataSet.h"

/// One named parameter. An unassigned parameter is NULL.
class TParam {
public:
    explicit TParam(std::string name) : Name(std::move(name)) {}
    std::string Name;
    TFieldValue Value;
    TFieldType DataType = ftUnknown;

    std::string AsString() const {
        return Value.Null ? "" : DataType == ftString ? Value.Str : std::to_string(Value.Int);
    }
    void SetAsString(std::string_view value);
    int AsInteger() const;
    void SetAsInteger(int64_t value);
    void Clear() { Value = TFieldValue{}; }
};

class TQuery : public TDataSet {
public:
    TQuery() = default;
    ~TQuery() override;

    /// The statement text. Setting it closes the query and lists its parameters: each ":Name"
    /// outside quotes, once per name (in any letter case) however often it stands; values of
    /// names that stay are kept.
    const std::string& SQL() const { return sql_; }
    void SetSQL(const std::string& sql);
    int ParamCount() const { return int(params_.size()); }
    TParam* Params(int index);
    /// The parameter of that name in any letter case; EDatabaseError when the statement has none.
    TParam* ParamByName(std::string_view name);

    /// Accepted for compatibility; results stay read-only.
    bool RequestLive = false;

protected:
    /// Runs the statement. Output columns are named as the database names them; a name already
    /// used gets "_1", "_2", ... appended (the second "DESCRIPTION" becomes "DESCRIPTION_1").
    void LoadRows(std::vector<TFieldDef>& columns, std::vector<std::unique_ptr<TRecordRow>>& rows) override;
    void Disconnect() override { connection_.reset(); }

private:
    std::string sql_;
    std::vector<std::unique_ptr<TParam>> params_;
    std::shared_ptr<SqliteConnection> connection_;
};
