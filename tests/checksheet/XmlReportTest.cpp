// A report run in XML mode with the real XML checksheet unit: the file written for the sample
// database, its name and folder, its shape and its well-formedness, and that it is rewritten
// whole after every page.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ReportFixture.h"
#include "XMLGen.h"
#include "XmlDom.h"
#include "XmlParsers.h"

// The report fixture resets the recording stand-in; with the real unit there is nothing to record.
namespace XmlGenRecorder {
std::vector<std::string>& Calls() {
    static std::vector<std::string> none;
    return none;
}
void Reset() {}
std::vector<std::string> CallsStartingWith(const std::string&) { return {}; }
} // namespace XmlGenRecorder

namespace {

class XmlReport : public ReportFixture {
protected:
    void SetUp() override {
        ReportFixture::SetUp();
        out = folder / "xml";
        std::filesystem::create_directories(out);
        OutputFolder = out.string() + "/";
        DocTypeId.clear();
    }
    void TearDown() override {
        FreeChecksheetDocument();
        OutputFolder.clear();
        DocTypeId.clear();
        ReportFixture::TearDown();
    }

    std::string Read(const std::string& name) {
        std::ifstream in(out / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    /// The current document written again under the strict well-formedness checks.
    bool WellFormed() {
        xmldom::TDomToXmlParser writer;
        writer.SetDOMImpl(XMLImpl);
        writer.SetStrictErrorChecking(true);
        std::string text;
        return writer.writeToString(XMLDoc, u"", text);
    }

    std::filesystem::path out;
};

} // namespace

TEST_F(XmlReport, WholeChecksheetIsWrittenToItsFile) {
    RunChoices c;
    c.Emission = c.Brake = true;
    Choose(c);
    XMLMode = BatchMode = true;
    XMLEmissionFlag = true;
    DocTypeId = "checksheet.dtd";
    Print();
    const std::string name = "GB_en_101_2_Y_N_Y_Y.XML";
    ASSERT_TRUE(std::filesystem::exists(out / name));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), std::filesystem::directory_iterator()), 1);
    const std::string file = Read(name);
    EXPECT_EQ(file.rfind("<?xml version=\"1.0\"?>\n<!DOCTYPE checksheet  SYSTEM \"checksheet.dtd\" >"
                         "<checksheet locale=\"en_GB\"><main-body><section><main-heading>VEHICLE INTERIOR"
                         "</main-heading><operation type=\"both\" level=\"1\" id=\"20\"><sub-heading>Instruments and "
                         "controls</sub-heading><statement>Check operation of all warning lamps, gauges and the "
                         "instrument illumination</statement>",
                         0),
              0u)
        << file.substr(0, 400);
    // The trailing "$" of a stored heading is cleaned, the optional section marked.
    EXPECT_NE(file.find("<main-heading>VEHICLE RAISED - UNDERSIDE</main-heading>"), std::string::npos);
    EXPECT_NE(file.find("optional=\"true\""), std::string::npos);
    // The tests follow "main-body" as children of the root, emission test first.
    EXPECT_NE(file.find("</main-body><emission-test oiltemp=\"60\" fueltype=\"petrol\" catalyst=\"true\">"
                        "<fast-idle><rpm>2500-3000</rpm><co>0.3</co><hc>200</hc><lambda>0.97-1.03</lambda>"
                        "</fast-idle><idle><rpm>750-850</rpm><co>0.5</co><hc>200</hc></idle></emission-test>"
                        "<brake-test weight=\"1150\"></brake-test></checksheet>"),
              std::string::npos)
        << file.substr(file.size() > 600 ? file.size() - 600 : 0);
    EXPECT_EQ(file.find('\n'), file.find("?>") + 2); // one line feed, after the declaration
    EXPECT_EQ(file.find('\n', file.find('\n') + 1), std::string::npos);
    EXPECT_EQ(file.find("/>"), std::string::npos); // never an empty-element tag
    EXPECT_TRUE(WellFormed());
}

TEST_F(XmlReport, WithoutDocumentTypeAndWithARequestFile) {
    Choose(RunChoices{});
    XMLMode = BatchMode = true;
    XMLEmissionFlag = false;
    OutputFolder = (out / "requests.v1.txt").string();
    Print();
    const std::string file = Read("requests.v1GB_en_101_2_Y_N_N_N.XML");
    EXPECT_EQ(file.rfind("<?xml version=\"1.0\"?>\n<checksheet locale=\"en_GB\"><main-body><section>", 0), 0u);
    EXPECT_TRUE(WellFormed());
}

TEST_F(XmlReport, NoXmlWithoutXmlMode) {
    Print();
    EXPECT_TRUE(std::filesystem::is_empty(out));
    EXPECT_EQ(XMLDoc, nullptr);
}
