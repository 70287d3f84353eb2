// Checks the sample XML request file: every line a well-formed request of existing
// codes, and all markets and languages of the code conversion table covered.
#include "TestDb.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace {

struct Request {
    int line = 0;
    std::vector<std::string> fields;
};

std::vector<Request> ReadRequests() {
    std::ifstream in(testdata::SampleSourceDir() + "/requests.txt", std::ios::binary);
    EXPECT_TRUE(in) << "requests.txt missing";
    std::vector<Request> requests;
    std::string line;
    for (int no = 1; std::getline(in, line); ++no) {
        Request r;
        r.line = no;
        std::stringstream s(line);
        std::string field;
        while (std::getline(s, field, ',')) r.fields.push_back(field);
        if (!line.empty() && line.back() == ',') r.fields.push_back("");
        requests.push_back(r);
    }
    return requests;
}

bool IsDecimal(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

TEST(SampleRequests, EveryLineIsAWellFormedRequest) {
    auto requests = ReadRequests();
    ASSERT_FALSE(requests.empty());
    for (const auto& r : requests) {
        ASSERT_EQ(r.fields.size(), 8u) << "line " << r.line;
        EXPECT_FALSE(r.fields[0].empty()) << "line " << r.line;
        EXPECT_FALSE(r.fields[1].empty()) << "line " << r.line;
        ASSERT_TRUE(IsDecimal(r.fields[2])) << "line " << r.line;
        ASSERT_TRUE(IsDecimal(r.fields[3])) << "line " << r.line;
        EXPECT_LE(std::stoi(r.fields[3]), 20) << "line " << r.line;
        bool anyYes = false;
        for (int i = 4; i < 8; ++i) {
            EXPECT_TRUE(r.fields[i] == "Y" || r.fields[i] == "N") << "line " << r.line << " field " << i + 1;
            anyYes = anyYes || r.fields[i] == "Y";
        }
        EXPECT_TRUE(anyYes) << "line " << r.line;
    }
}

TEST(SampleRequests, RequestsNameKnownCodesAndLinkedIntervals) {
    testdata::Db db(testdata::BuiltDatabasePath());
    for (const auto& r : ReadRequests()) {
        ASSERT_EQ(r.fields.size(), 8u);
        EXPECT_TRUE(db.Exists("SELECT 1 FROM XMLConv WHERE ISOMarket = ?", {r.fields[0]})) << "line " << r.line;
        EXPECT_TRUE(db.Exists("SELECT 1 FROM XMLConv WHERE ISOLanguage = ?", {r.fields[1]})) << "line " << r.line;
        EXPECT_TRUE(db.Exists("SELECT 1 FROM Mranges WHERE MODEL_RANGE_CODE = " + std::to_string(std::stoi(r.fields[2]))))
            << "line " << r.line;
        // The requested interval has operations on the checksheet.
        EXPECT_TRUE(db.Exists("SELECT 1 FROM CSLINKS WHERE MODEL_RANGE_CODE = ? AND substr(INTERVALS, ?, 1) = 'Y'",
                              {std::to_string(std::stoi(r.fields[2])), std::to_string(std::stoi(r.fields[3]) + 1)}))
            << "line " << r.line;
    }
}

TEST(SampleRequests, CoverEveryMarketAndLanguage) {
    testdata::Db db(testdata::BuiltDatabasePath());
    std::set<std::string> markets, languages, wantMarkets, wantLanguages;
    for (const auto& r : ReadRequests()) {
        if (r.fields.size() < 2) continue;
        markets.insert(r.fields[0]);
        languages.insert(r.fields[1]);
    }
    for (const auto& row : db.Query("SELECT ISOMarket, ISOLanguage FROM XMLConv")) {
        wantMarkets.insert(*row[0]);
        wantLanguages.insert(*row[1]);
    }
    EXPECT_EQ(markets, wantMarkets);
    EXPECT_EQ(languages, wantLanguages);
}

// Walks the structure for a request as the report does (market GB or the request's,
// language EN or the request's; operations by type, model-range link and interval;
// every extended-period operation taken, as in unattended runs) and counts what prints.
struct WalkResult {
    int operations = 0;
    int headings = 0;
    std::vector<std::string> faults;
};

WalkResult WalkChecksheet(const testdata::Db& db, const Request& r) {
    WalkResult w;
    std::string market = db.Scalar("SELECT VETRAMarket FROM XMLConv WHERE ISOMarket = ?", {r.fields[0]});
    std::string lang = db.Scalar("SELECT VETRALanguage FROM XMLConv WHERE ISOLanguage = ? ORDER BY rowid", {r.fields[1]});
    std::string range = std::to_string(std::stoi(r.fields[2]));
    size_t interval = static_cast<size_t>(std::stoi(r.fields[3]));  // 0-based position in INTERVALS
    bool service = r.fields[4] == "Y", preTest = r.fields[5] == "Y";
    std::string pending;
    for (const auto& row : db.Query("SELECT SEQUENCE_NO, MARKET_CODE, LANG_CODE, MH_CODE, OP_CODE FROM Csstruct "
                                    "WHERE MARKET_CODE IN ('GB', ?) AND LANG_CODE IN ('EN', ?) ORDER BY SEQUENCE_NO",
                                    {market, lang})) {
        if (*row[3] != "0") {
            pending = *row[3];
            continue;
        }
        std::string type = db.Scalar("SELECT OP_TYPE FROM SERVOPS WHERE LANG_CODE = ? AND OP_CODE = ?", {lang, *row[4]});
        if (type.empty()) continue;
        bool included;
        if (preTest && !service) {
            included = type != "S";
        } else if (preTest && service && (type == "P" || type == "B")) {
            included = true;
        } else if (service && !(type == "P" && !preTest)) {
            std::string links = db.Scalar("SELECT INTERVALS FROM CSLINKS WHERE MODEL_RANGE_CODE = ? AND CS_CODE = ?",
                                          {range, *row[0]});
            included = interval < links.size() && links[interval] == 'Y';
        } else {
            included = false;
        }
        if (!included) continue;
        ++w.operations;
        if (!pending.empty()) {
            if (!db.Exists("SELECT 1 FROM MAINHEAD WHERE LANG_CODE = ? AND MH_CODE = ?", {lang, pending}))
                w.faults.push_back("heading " + pending + " missing in " + lang);
            ++w.headings;
            pending.clear();
        }
    }
    return w;
}

TEST(SampleRequests, EveryRequestGivesAChecksheetWithHeadingsAndOperations) {
    testdata::Db db(testdata::BuiltDatabasePath());
    for (const auto& r : ReadRequests()) {
        ASSERT_EQ(r.fields.size(), 8u);
        if (r.fields[4] != "Y" && r.fields[5] != "Y") continue;  // emission or brake test alone prints no structure
        WalkResult w = WalkChecksheet(db, r);
        EXPECT_GE(w.operations, 10) << "line " << r.line;
        EXPECT_GE(w.headings, 3) << "line " << r.line;
        EXPECT_TRUE(w.faults.empty()) << "line " << r.line << ": " << w.faults.front();
    }
}

}  // namespace
