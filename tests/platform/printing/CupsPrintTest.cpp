// Printing through a real CUPS queue: the test starts a private print server (its own folder,
// configuration and socket) with one queue whose back end keeps every job in a folder, prints a
// job through the printer object as the program does, and reads the job's text back.
#include "Printers.h"
#include "PrintServer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

using printserver::Command;
using printserver::kQueue;
using printserver::PrintServer;

class CupsPrinting : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Server = new PrintServer();
        Why = Server->Start();
    }
    static void TearDownTestSuite() {
        SetPrinter(nullptr);
        Server->Stop();
        delete Server;
        Server = nullptr;
    }
    void SetUp() override {
        if (Why.empty()) return;
        // A machine set up by the project's own script has the server; there it must run.
        if (std::getenv("CI")) FAIL() << "no private print server: " << Why;
        GTEST_SKIP() << Why;
    }

    /// Waits for the job file the queue's back end writes.
    static fs::path WaitForJob(std::chrono::seconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            std::error_code ec;
            for (const auto& entry : fs::directory_iterator(Server->Jobs(), ec))
                if (entry.path().extension() == ".prn") return entry.path();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return {};
    }

    static inline PrintServer* Server = nullptr;
    static inline std::string Why;
};

TEST_F(CupsPrinting, AJobReachesTheQueueWithItsText) {
    TPrinter* printer = Printer();
    const std::vector<std::string> names = printer->Printers();
    int index = -1;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == kQueue) index = int(i);
    ASSERT_GE(index, 0) << "the queue is not among the printers";
    // The server's default printer is the printer object's default; the PDF printer comes last.
    EXPECT_EQ(printer->PrinterIndex(), index);
    EXPECT_EQ(names.back(), "PDF");

    printer->SetPrinterIndex(index);
    EXPECT_GT(printer->PageWidth(), 0);
    EXPECT_GT(printer->PageHeight(), printer->PageWidth());
    printer->Title = "Checksheet through the queue";
    printer->BeginDoc();
    TCanvas& canvas = printer->Canvas();
    canvas.Font.Name = "Arial";
    canvas.Font.SetSize(14);
    canvas.TextOut(300, 300, "Service checksheet page one");
    printer->NewPage();
    canvas.TextOut(300, 300, "Brake test page two");
    printer->EndDoc();

    const fs::path job = WaitForJob(std::chrono::seconds(30));
    ASSERT_FALSE(job.empty()) << Server->Log();
    std::string text;
    ASSERT_EQ(Command("pdftotext '" + job.string() + "' -", &text), 0) << text;
    const std::size_t first = text.find("Service checksheet page one");
    const std::size_t second = text.find("Brake test page two");
    EXPECT_NE(first, std::string::npos) << text;
    EXPECT_NE(second, std::string::npos) << text;
    // Two pages, in order: pdftotext ends each page with a form feed.
    EXPECT_LT(first, text.find('\f'));
    EXPECT_GT(second, text.find('\f'));
}


/// Prints one page on the queue `name` of the printer object; the fault it raises, if any.
std::string PrintOn(const std::string& name) {
    TPrinter* printer = Printer();
    const std::vector<std::string> names = printer->Printers();
    const auto at = std::find(names.begin(), names.end(), name);
    if (at == names.end()) return "no printer " + name;
    printer->SetPrinterIndex(int(at - names.begin()));
    printer->Title = "Refused job";
    printer->BeginDoc();
    printer->Canvas().TextOut(300, 300, "Never printed");
    try {
        printer->EndDoc();
    } catch (const EPrintJobRefused& e) {
        return e.Message;
    }
    return "";
}

TEST_F(CupsPrinting, AJobThePrintSystemDoesNotTakeIsReportedAndLeavesNothingQueued) {
    // A queue that refuses jobs, a stopped one, and one deleted after the printer list was made
    // (between the print dialog and the job): each job fails with the print system's answer,
    // and no job waits in a queue or reaches a back end.
    std::string output;
    for (const char* queue : {"vetra-refusing", "vetra-stopped", "vetra-deleted"})
        ASSERT_EQ(Command(std::string("lpadmin -p ") + queue + " -E -v capture:" + Server->Jobs().string() + " -m raw", &output), 0)
            << output;
    ASSERT_EQ(Command("cupsreject -r 'Closed for the night' vetra-refusing", &output), 0) << output;
    ASSERT_EQ(Command("cupsdisable -r 'Out of paper' vetra-stopped", &output), 0) << output;
    SetPrinter(nullptr);  // a printer object made afresh lists the new queues
    Printer();
    ASSERT_EQ(Command("lpadmin -x vetra-deleted", &output), 0) << output;

    const std::string refused = PrintOn("vetra-refusing");
    EXPECT_NE(refused.find("Printer \"vetra-refusing\" did not take the job: "), std::string::npos) << refused;
    EXPECT_NE(refused.find("not accepting jobs"), std::string::npos) << refused;
    const std::string stopped = PrintOn("vetra-stopped");
    EXPECT_NE(stopped.find("Printer \"vetra-stopped\" did not take the job: The printer is stopped"), std::string::npos)
        << stopped;
    const std::string deleted = PrintOn("vetra-deleted");
    EXPECT_NE(deleted.find("Printer \"vetra-deleted\" did not take the job: "), std::string::npos) << deleted;
    EXPECT_NE(deleted.find("does not exist"), std::string::npos) << deleted;
    EXPECT_FALSE(Printer()->Printing());

    ASSERT_EQ(Command("lpstat -o", &output), 0) << output;
    EXPECT_EQ(output, "") << "jobs left in a queue";
    // The queue that takes jobs still prints.
    EXPECT_EQ(PrintOn(kQueue), "");
    EXPECT_FALSE(WaitForJob(std::chrono::seconds(30)).empty()) << Server->Log();
}

TEST_F(CupsPrinting, AServerThatCannotBeReachedIsReported) {
    Printer();  // the list is made while the server runs
    Server->Stop();
    const std::string unreachable = PrintOn(kQueue);
    EXPECT_NE(unreachable.find("Printer \"" + std::string(kQueue) + "\" did not take the job: The print server "),
              std::string::npos)
        << unreachable;
    EXPECT_NE(unreachable.find("cannot be reached"), std::string::npos) << unreachable;
    EXPECT_FALSE(Printer()->Printing());
}

}  // namespace
