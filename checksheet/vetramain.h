// The main form: owns the database connection, reads the dealer's settings at start (running
// the first installation when there is no market), captions itself from LANGTEXT and starts the
// tasks of the menu.
#pragma once

#include <string>

#include "Buttons.h"
#include "Database.h"
#include "ExtCtrls.h"
#include "PrintDialog.h"
#include "Forms.h"
#include "StdCtrls.h"


class TfrmMain : public TForm {
public:
    explicit TfrmMain(TComponent* AOwner);
    ~TfrmMain() override;

    TImage* imSplash;
    TImage* imTolmLogo;
    TLabel* lblScreenTitle;
    TLabel* lblVersion;
    TLabel* lblTolmTitle;
    TLabel* lblDataVersion;
    TPanel* pnlMenu;
    TSpeedButton* btnChecksheet;
    TSpeedButton* btnPrePrinted;
    TSpeedButton* btnTraining;
    TSpeedButton* btnSetup;
    TSpeedButton* btnExit;
    TLabel* lblChecksheet1;
    TLabel* lblChecksheet2;
    TLabel* lblPrePrinted1;
    TLabel* lblPrePrinted2;
    TLabel* lblTraining;
    TLabel* lblTraining2;
    TLabel* lblSetup;
    TLabel* lblExit;
    TDatabase dbKLV3Data;
    TTimer* Timer1;
    TPrintDialog printDialog1;

    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void btnChecksheetClick(TObject* Sender);
    void btnPrePrintedClick(TObject* Sender);
    void btnTrainingClick(TObject* Sender);
    void btnSetupClick(TObject* Sender);
    void btnExitClick(TObject* Sender);
    void Timer1Timer(TObject* Sender);
    void Set_Captions();
    void Load_Settings();
    void First_Install();

    /// The program's exit code after an interactive run: non-zero when the settings could not
    /// be read at start.
    int ExitCode() const { return FExitCode; }

private:
    /// FormShow's work: reads the settings, runs the first installation when there are none,
    /// loads the settings and captions the form. Raises whatever fault it meets.
    void Start();
    int FExitCode = 0;
};

/// The program version shown on the main form.
inline constexpr const char* kProgramVersion = "3.0";

/// Internal market and language codes for older settings codes; other codes stay as they are.
std::string MapOldMarketCode(const std::string& code);
std::string MapOldLanguageCode(const std::string& code);

/// Splits a menu text that is too wide for its label: after the first "-", else after the first
/// blank. Returns false (and leaves the text whole) when it has neither.
bool SplitMenuText(const std::string& text, std::string& first, std::string& second);

extern TfrmMain* frmMain;
