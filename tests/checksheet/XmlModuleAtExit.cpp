// A program that builds and writes a checksheet document and then simply returns from main,
// leaving the module's document to be freed at process exit. Run under the sanitizer build,
// it must end with exit code 0 and nothing on standard error.

#include <stdlib.h>

#include <filesystem>
#include <iostream>
#include <string>

#include "TolmLib.h"
#include "XMLGen.h"

int main() {
    char folder[] = "/tmp/vetra-xml-at-exit-XXXXXX";
    if (!::mkdtemp(folder)) {
        std::cerr << "no scratch folder\n";
        return 2;
    }
    XMLMarket = "GB";
    XMLLanguage = "en";
    ModelRange = 12;
    IntervalNo = 4;
    DoService = true;
    OutputFolder = std::string(folder) + "/";
    DocTypeId = "checksheet.dtd";

    // An earlier run's document is replaced by the next one; the last stays with the module.
    for (int run = 0; run < 2; ++run) {
        CreateChecksheetDocument("en_GB");
        AddSection("Engine");
        AddOperation("1", "C", "Y", "", "", "42");
        AddSubHeading("Oil");
        AddStatement(false, false, "Level ____ mm");
        AddBrakeTest("1500");
        SaveChecksheetXml();
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
