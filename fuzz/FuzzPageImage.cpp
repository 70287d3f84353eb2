// Fuzz target of the page-image road of the pre-printed forms: the input is written as a page
// file, loaded by name into the data module's page image and printed as one job on a recording
// printer. Whatever the bytes, no job may be left open. Pictures are held to 16 megapixels.
#include "Database.h"
#include "DocPrint.h"
#include "Graphics.h"
#include "ImageReaders.h"
#include "Printers.h"
#include "RecordingPrinter.h"
#include "Tables.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace {

struct Session {
    Session() {
        SetPixelBudget(int64_t(16) << 20);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Folder = (std::filesystem::temp_directory_path() / ("vetra-fuzz-page-" + std::to_string(getpid()))).string() + "/";
        std::filesystem::create_directories(Folder);
        Db.DatabaseName = "KLV3Data";
        Db.Params = {"PATH=" + Folder};
        frmTables = new TfrmTables();
        RegisterImageReaders();
        auto printer = std::make_unique<TPrinter>();
        std::vector<std::unique_ptr<TPrinterDevice>> devices;
        devices.push_back(std::make_unique<TRecordingPrinter>());
        printer->SetDevices(std::move(devices), 0);
        SetPrinter(std::move(printer));
    }
    ~Session() {
        UnregisterImageReaders();
        delete frmTables;
        frmTables = nullptr;
        std::error_code ec;
        std::filesystem::remove_all(Folder, ec);
    }
    std::string Folder;
    TDatabase Db;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Session session;
    {
        std::ofstream page(session.Folder + "ENPDI1.TIF", std::ios::binary | std::ios::trunc);
        page.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    // A fresh printer every run keeps the recorded jobs from piling up.
    auto printer = std::make_unique<TPrinter>();
    std::vector<std::unique_ptr<TPrinterDevice>> devices;
    devices.push_back(std::make_unique<TRecordingPrinter>());
    printer->SetDevices(std::move(devices), 0);
    SetPrinter(std::move(printer));
    try {
        PrintPageImage("enpdi1.tif");
    } catch (const std::exception&) {
    }
    if (Printer()->Printing()) std::abort();
    return 0;
}
