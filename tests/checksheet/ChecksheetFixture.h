// A program folder for one test: a private copy of the sample database, the main form (which
// owns the database alias) and the data module, all freed afterwards. Tests change the copy
// with SQL and read back what the program wrote.
#pragma once

#include <unistd.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "Chksheet.h"
#include "CsReport.h"
#include "ExtPer.h"
#include "FormsScript.h"
#include "SpecInst.h"
#include "Tables.h"
#include "TolmLib.h"
#include "vetramain.h"

class ChecksheetFixture : public ::testing::Test {
protected:
    void SetUp() override {
        FormsScript::Reset();
        Application->ResetRun();
        folder = std::filesystem::temp_directory_path() /
                 ("vetra-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                  std::to_string(getpid()));  // test runs side by side (presets, worktrees) keep apart
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(std::string(VETRA_BIN_DIR) + "klv3data.sqlite", folder / "klv3data.sqlite");
        frmMain = new TfrmMain(nullptr);
        frmMain->DoCreate();
        frmMain->dbKLV3Data.Params[0] = "PATH=" + folder.string() + "/";
        frmTables = new TfrmTables();
        Market.clear();
        Language.clear();
        NeedCreateParams = false;
    }

    void TearDown() override {
        delete frmTables;
        frmTables = nullptr;
        delete frmMain;
        frmMain = nullptr;
        std::filesystem::remove_all(folder);
    }

    /// The forms a printed sheet needs besides the checksheet form (special instructions,
    /// extended-period operations) and the report module; freed by FreeSheetForms.
    void MakeSheetForms() {
        frmSpecInst = new TfrmSpecInst(nullptr);
        frmExtPer = new TfrmExtPer(nullptr);
        modReporting = new TmodReporting(nullptr);
        XMLMode = BatchMode = HandOffMode = false;
    }

    void FreeSheetForms() {
        delete modReporting;
        modReporting = nullptr;
        delete frmExtPer;
        frmExtPer = nullptr;
        delete frmSpecInst;
        frmSpecInst = nullptr;
    }

    /// Runs a click as the event loop does: a fault goes to the application's handler.
    static void ClickAsTheEventLoopDoes(const std::function<void()>& click) {
        try {
            click();
        } catch (const std::exception& e) {
            Application->HandleException(e);
        }
    }

    /// Chooses ARDEN, variant 101 and the first interval on the shown checksheet form and fills a
    /// customer, registration and mileage, as a user would before printing.
    static void FillSampleVehicle(TfrmChecksheet& c) {
        ASSERT_TRUE(FormsScript::Select(*c.cmbModels, c.cmbModels->Items.IndexOf("ARDEN")));
        for (int i = 0; i < c.cmbVariants->Items.Count(); ++i)
            if (ItemCode(c.cmbVariants->Items[i]) == 101) FormsScript::Select(*c.cmbVariants, i);
        ASSERT_TRUE(FormsScript::Select(*c.cmbInterval, 0));
        c.edtCustomerName->SetText("JANE SMITH");
        FormsScript::Type(*c.edtRegNo, "KM51 XYZ");
        c.edtRegDate->SetText("03/2001");
        FormsScript::Type(*c.edtMileage, "45000");
    }

    /// Runs SQL on the test's database file.
    void Exec(const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((folder / "klv3data.sqlite").c_str(), &db), SQLITE_OK);
        char* error = nullptr;
        const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
        EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "") << " in " << sql;
        sqlite3_free(error);
        sqlite3_close(db);
    }

    /// Nineteen further extended-period operations of model range 101 under two headings, so that
    /// the sample's eight become more than the dialog offers.
    void AddExtendedPeriodOperations() {
        std::string sql;
        auto row = [&](int seq, int heading, int operation) {
            sql += "INSERT INTO Csstruct VALUES (" + std::to_string(seq) + ", 'GB', 'EN', 0, " + std::to_string(heading) +
                   ", 0, " + std::to_string(operation) + ", 'Y','Y','N');";
            sql += "INSERT INTO CSLINKS VALUES (101, " + std::to_string(seq) + ", 'YYYYYYYYYYYYYYYYYYYYY');";
        };
        for (int seq = 1301; seq <= 1309; ++seq) row(seq, 12, 601);
        for (int seq : {1181, 1182, 1183, 1184, 1185, 1186, 1187, 1188, 1189, 1191}) row(seq, 8, 602);
        Exec(sql);
    }

    /// The first value of a query on the test's database, as text ("" for none or NULL).
    std::string Value(const std::string& sql) {
        sqlite3* db = nullptr;
        std::string result;
        if (sqlite3_open((folder / "klv3data.sqlite").c_str(), &db) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
                if (const unsigned char* text = sqlite3_column_text(st, 0)) result = reinterpret_cast<const char*>(text);
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return result;
    }

    std::filesystem::path folder;
};
