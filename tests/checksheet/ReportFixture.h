// A checksheet run on the recording printer: the sample database, the report module, and the
// application state set as the checksheet form sets it before printing or previewing. Tests read
// the recorded pages back in the report's logical coordinates (0.1 mm, y up).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ChecksheetFixture.h"
#include "CodePages.h"
#include "CsReport.h"
#include "RecordingPrinter.h"
#include "SysUtils.h"
#include "XmlGenRecorder.h"

/// The choices of one checksheet.
struct RunChoices {
    std::string Market = "GB", Language = "EN";
    int ModelRange = 101;
    int IntervalNo = 3;
    bool Service = true, PreTest = false, Emission = false, Brake = false;
};

/// The page geometry the report derives from the printer's printable area.
struct Geometry {
    int Left = 0, Right = 0, Top = 0, Bottom = 0;
};

class ReportFixture : public ChecksheetFixture {
protected:
    void SetUp() override {
        ChecksheetFixture::SetUp();
        XmlGenRecorder::Reset();
        UsePrinter(std::make_unique<TRecordingPrinter>());
        modReporting = new TmodReporting(nullptr);
        for (TTable* t : {frmTables->tblStructure.get(), frmTables->tblSubHead.get(), frmTables->tblServOps.get(),
                          frmTables->tblMainHead.get(), frmTables->tblCSLinks.get(), frmTables->tblParams.get(),
                          frmTables->tblLangText.get(), frmTables->tblMarket.get(), frmTables->tblInterval.get(),
                          frmTables->tblMRanges.get(), frmTables->tblEngines.get(), frmTables->tblModels.get()})
            t->Open();
        XMLMode = BatchMode = HandOffMode = false;
        DataVersion = "11/2026";
        AsAtDate = "15/03/2026";
        CustName = CustCompany = CustAddr1 = CustAddr2 = CustAddr3 = CustAddr4 = CustPhone = "";
        RepairNo = RegNo = RegDate = Mileage = RadioCode = "";
        DoVOREX = DoPaintBodyWith = DoPaintBodyWithout = false;
        for (auto& e : ExtPerOps) e.clear();
        for (auto& s : SpecInstr) s.clear();
        Choose(RunChoices{});
    }

    void TearDown() override {
        delete modReporting;
        modReporting = nullptr;
        SetPrinter(std::move(savedPrinter));
        XMLMode = BatchMode = HandOffMode = false;
        SetACP(1252);
        SetCanvasTextDecoder(nullptr);
        ChecksheetFixture::TearDown();
    }

    /// Makes `device` the only printer of the program.
    void UsePrinter(std::unique_ptr<TPrinterDevice> device) {
        recorder = dynamic_cast<TRecordingPrinter*>(device.get());
        auto printer = std::make_unique<TPrinter>();
        std::vector<std::unique_ptr<TPrinterDevice>> devices;
        devices.push_back(std::move(device));
        printer->SetDevices(std::move(devices), 0);
        auto former = SetPrinter(std::move(printer));
        if (!savedPrinter) savedPrinter = std::move(former);
    }

    /// Sets the application state as the checksheet form does before a run.
    void Choose(const RunChoices& c) {
        Market = c.Market;
        Language = c.Language;
        ModelRange = c.ModelRange;
        IntervalNo = c.IntervalNo;
        DoService = c.Service;
        DoPreTest = c.PreTest;
        DoEmissionTest = c.Emission;
        DoBrakeTest = c.Brake;
        XMLMarket = c.Market;
        XMLLanguage = LowerCase(c.Language);
        TTable& ranges = *frmTables->tblMRanges;
        for (ranges.First(); !ranges.Eof(); ranges.Next())
            if (ranges.FieldByName("MODEL_RANGE_CODE")->AsInteger() == c.ModelRange) break;
        const int engine = ranges.FieldByName("ENGINE_CODE")->AsInteger();
        frmTables->tblEngines->FindKey({"EN", engine});
        ModelText = "ARDEN";
        VariantText = frmTables->tblEngines->FieldByName("DESCRIPTION")->AsString() + ":" +
                      ranges.FieldByName("BUILD_DATE_FROM")->AsString() + " -" + std::string(120, ' ') + "\xB6" +
                      std::to_string(c.ModelRange);
        IntervalText = std::to_string(c.IntervalNo - 1) + ". service" + std::string(120, ' ') + "\xB6" + "1";
        Restart();
    }

    /// The walk's start, as the form sets it before each run.
    void Restart() {
        frmTables->tblStructure->First();
        CurSeqNo = frmTables->tblStructure->FieldByName("SEQUENCE_NO")->AsInteger();
        PendingMHCode = 0;
        StructureLeft = true;
        EmissionPending = DoEmissionTest;
        BrakePending = DoBrakeTest;
        SpecInstPending = EndBlockPending = NextServicePending = true;
    }

    /// Prints the checksheet on the current printer; the recorded pages of the job.
    const std::vector<std::unique_ptr<TMetafile>>& Print() {
        modReporting->prnReport->Print();
        return recorder->Jobs().back().Pages;
    }

    Geometry Page() {
        tPrintInformation info;
        modReporting->prnReport->ComputePrintInformation(info);
        return Geometry{info.PrintableArea.Left + 50, info.PrintableArea.Right - 50, info.PrintableArea.Top - 50,
                        info.PrintableArea.Bottom + 50};
    }

public:
    static const TCanvasRecord* FindText(const TMetafile& page, const std::string& text) {
        for (const TCanvasRecord& r : page.Records())
            if (r.Kind == TRecordKind::Text && r.Text == text) return &r;
        return nullptr;
    }
    static const TCanvasRecord* FindTextStarting(const TMetafile& page, const std::string& text) {
        for (const TCanvasRecord& r : page.Records())
            if (r.Kind == TRecordKind::Text && r.Text.rfind(text, 0) == 0) return &r;
        return nullptr;
    }
    static std::vector<std::string> Texts(const TMetafile& page) {
        std::vector<std::string> texts;
        for (const TCanvasRecord& r : page.Records())
            if (r.Kind == TRecordKind::Text) texts.push_back(r.Text);
        return texts;
    }
    static int CountText(const TMetafile& page, const std::string& text) {
        int n = 0;
        for (const TCanvasRecord& r : page.Records()) n += r.Kind == TRecordKind::Text && r.Text == text;
        return n;
    }
    static std::string AllText(const std::vector<std::unique_ptr<TMetafile>>& pages) {
        std::string all;
        for (const auto& p : pages) all += p->TextDump();
        return all;
    }

protected:
    TRecordingPrinter* recorder = nullptr;
    std::unique_ptr<TPrinter> savedPrinter;
};
