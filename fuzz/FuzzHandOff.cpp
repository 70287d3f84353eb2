// Fuzz target of the hand-off file: the input is the file's bytes. They are split into lines as
// the program reads them and checked against the sample database (market, language, request
// code, the drive-type and build-date choices); the form is filled when every check passes.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

#include "Chksheet.h"
#include "FormsScript.h"
#include "Tables.h"
#include "TolmLib.h"
#include "vetramain.h"

namespace {

/// The main form (the database alias) over a private copy of the sample database, the data
/// module and one never-shown checksheet form, made once for the whole run.
struct Setting {
    Setting() {
        folder = std::filesystem::temp_directory_path() / ("fuzz-handoff-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(std::string(VETRA_BIN_DIR) + "klv3data.sqlite", folder / "klv3data.sqlite",
                                   std::filesystem::copy_options::overwrite_existing);
        frmMain = new TfrmMain(nullptr);
        frmMain->DoCreate();
        frmMain->dbKLV3Data.Params[0] = "PATH=" + folder.string() + "/";
        frmTables = new TfrmTables();
        frmTables->tblLangText->Open();
        Language = "EN";
        form = std::make_unique<TfrmChecksheet>(nullptr);
    }
    ~Setting() {
        form.reset();
        delete frmTables;
        frmTables = nullptr;
        delete frmMain;
        frmMain = nullptr;
        std::filesystem::remove_all(folder);
    }
    std::filesystem::path folder;
    std::unique_ptr<TfrmChecksheet> form;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Setting setting;
    std::size_t at = 0;
    const auto lines = ReadHandOffLines([&](char* buffer, std::size_t room) {
        const std::size_t n = std::min(room, size - at);
        if (n) std::memcpy(buffer, data + at, n);
        at += n;
        return n;
    });
    if (lines.size() > 17) __builtin_trap();
    for (const std::string& line : lines)
        if (line.size() > 4096 || line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
    HandOffMode = true;
    try {
        const std::string error = setting.form->ReadHandOffInput(lines);
        if (error.empty()) setting.form->FillFormFromHandOff();
    } catch (const std::exception&) {
        // Data-layer refusals of absurd keys are reported as exceptions, never as crashes.
    }
    HandOffMode = false;
    Language = "EN";
    FormsScript::Reset();
    return 0;
}
