// Prints the checksheet of one request, given as the program takes it on its command line
// ("GB,en,107,4,Y,Y,Y,Y"), on the built-in PDF printer, without a user: the way to get a printed
// sheet from a script. The PDF goes to VETRA_PDF_FOLDER (default: the current folder).
// Usage: print_checksheet <request>
#include <iostream>
#include <memory>
#include <vector>

#include "Chksheet.h"
#include "CsReport.h"
#include "ExtPer.h"
#include "FirstIns.h"
#include "ImageReaders.h"
#include "Printers.h"
#include "SpecInst.h"
#include "Tables.h"
#include "TolmLib.h"
#include "vetrav3.h"
#include "vetramain.h"
#include "XMLGen.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        // A call without its one request is a fault of the run, not a request file not found.
        std::cerr << "usage: print_checksheet <market>,<language>,<model range>,<interval>,<S>,<P>,<E>,<B>\n";
        return kExitFault;
    }
    struct RunEnd {
        ~RunEnd() { FreeRunObjects(); }
    } runEnd;
    RegisterImageReaders();
    Application->Initialize();
    Application->CreateForm(frmMain);
    frmTables = new TfrmTables();
    Application->CreateForm(frmSpecInst);
    Application->CreateForm(frmExtPer);
    modReporting = new TmodReporting(nullptr);
    BatchMode = true;
    XMLMode = HandOffMode = false;
    // The exit codes are the program's: a missing database is a fault at start-up, a PDF file
    // that cannot be written whole a file not written.
    if (const std::string fault = ServiceDataFault(); !fault.empty()) {
        std::cerr << fault << "\n";
        return kExitStartFailed;
    }
    try {
        RequestLine = argv[1];
        if (!ParseXMLRequest('C')) return kExitRequestRefused;
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        if (!form->PrepareRequest(ReqModelRange, ReqInterval, ReqService, ReqPreTest, ReqEmission, ReqBrake))
            return kExitRequestRefused;
        // The footer carries the data version, as on a sheet printed from the main menu.
        DataVersion = ReadDataVersion();
        TfrmChecksheet::NamePreparedRequest();
        TPrinter& printer = *Printer();
        const std::vector<std::string> names = printer.Printers();
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == "PDF") printer.SetPrinterIndex(int(i));
        modReporting->prnReport->Print();
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return IsFileNotWritten(e) ? kExitNotWritten : kExitFault;
    }
    return kExitOk;
}
