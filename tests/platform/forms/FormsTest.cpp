// Modal runs, closing, timers, message boxes, the default exception handler and the
// application's main loop, all without a display.
#include <gtest/gtest.h>

#include <stdexcept>

#include "Buttons.h"
#include "Dialogs.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "FormsScript.h"
#include "StdCtrls.h"

namespace {

class TfrmDialog : public TForm {
public:
    explicit TfrmDialog(TComponent* owner) : TForm(owner) {
        Name = "frmDialog";
        btnOK = new TBitBtn(this);
        btnOK->SetParent(this);
        btnOK->SetKind(TBitBtnKind::bkOK);
        btnCancel = new TBitBtn(this);
        btnCancel->SetParent(this);
        btnCancel->SetKind(TBitBtnKind::bkCancel);
        btnCancel->SetEnabled(false);
        btnExit = new TButton(this);
        btnExit->SetParent(this);
        btnExit->Cancel = true;
        btnExit->ModalResult = mrCancel;
        Timer1 = new TTimer(this);
        Timer1->SetEnabled(false);
        Timer1->SetInterval(1);
        Timer1->OnTimer = [this](TObject*) { Close(); };
    }
    TBitBtn* btnOK;
    TBitBtn* btnCancel;
    TButton* btnExit;
    TTimer* Timer1;
};

class Forms : public ::testing::Test {
protected:
    void SetUp() override {
        FormsScript::Reset();
        Application->ResetRun();
        dlg = new TfrmDialog(nullptr);
    }
    void TearDown() override {
        delete dlg;
        EXPECT_EQ(FormsScript::PendingActions(), 0);
    }
    TfrmDialog* dlg = nullptr;
};

}  // namespace

// The application object answers whether forms have windows: headless here, without a display.
TEST_F(Forms, TheApplicationKnowsWhetherFormsHaveWindows) {
    EXPECT_FALSE(Application->HasWindows());
    // Closed as a window manager would close it, a modal form ends with Cancel.
    FormsScript::OnForm("frmDialog", [](TForm& f) { FormsScript::RequestWindowClose(f); });
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
}

TEST_F(Forms, OkButtonEndsTheModalRunWithItsResult) {
    int shown = 0;
    dlg->OnShow = [&](TObject*) { ++shown; };
    FormsScript::OnForm("frmDialog", [](TForm& f) { FormsScript::Click(*static_cast<TfrmDialog&>(f).btnOK); });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(dlg->Visible());
}

TEST_F(Forms, HandlerMayKeepTheDialogOpenByClearingModalResult) {
    int tries = 0;
    dlg->btnOK->OnClick = [&](TObject*) {
        if (++tries == 1) dlg->SetModalResult(mrNone);
    };
    FormsScript::OnForm("frmDialog", [](TForm& f) { FormsScript::PressEnter(f); });
    FormsScript::OnForm("frmDialog", [](TForm& f) { FormsScript::PressEnter(f); });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_EQ(tries, 2);
}

TEST_F(Forms, EscapeClicksTheFirstUsableCancelButton) {
    FormsScript::OnForm("frmDialog", [this](TForm& f) {
        EXPECT_EQ(f.CancelButton(), dlg->btnExit);
        EXPECT_TRUE(FormsScript::PressEscape(f));
    });
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
}

TEST_F(Forms, OneMillisecondTimerClosesTheFormRightAfterItIsShown) {
    dlg->OnShow = [&](TObject*) { dlg->Timer1->SetEnabled(true); };
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
    EXPECT_TRUE(FormsScript::Messages().empty());
}

TEST_F(Forms, OnCloseWithCaNoneKeepsTheFormOpen) {
    int closes = 0;
    dlg->OnClose = [&](TObject*, TCloseAction& action) {
        if (++closes == 1) action = TCloseAction::caNone;
    };
    FormsScript::OnForm("frmDialog", [](TForm& f) { f.Close(); });
    FormsScript::OnForm("frmDialog", [](TForm& f) { FormsScript::Click(*static_cast<TfrmDialog&>(f).btnOK); });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_EQ(closes, 2);
}

TEST_F(Forms, FormWithoutAnyInputClosesWithCancelInsteadOfHanging) {
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
}

TEST_F(Forms, ShowModalOfAVisibleFormIsRefused) {
    dlg->Show();
    EXPECT_THROW(dlg->ShowModal(), EInvalidOperation);
    dlg->Hide();
}

TEST_F(Forms, ActionsForAnotherFormWaitForIt) {
    TfrmDialog* inner = nullptr;
    FormsScript::OnForm("frmDialog", [&](TForm&) {
        inner = new TfrmDialog(dlg);
        inner->Name = "frmInner";
        EXPECT_EQ(inner->ShowModal(), mrOk);
    });
    FormsScript::OnForm("frmInner", [](TForm& f) { FormsScript::PressEnter(f); });
    FormsScript::OnForm("frmDialog", [](TForm& f) { FormsScript::PressEscape(f); });
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(Application->ModalForms().size(), 0u);
}

TEST_F(Forms, MessageBoxesTakeTheirDefaultOrTheScriptedAnswerAndAreRecordedInOrder) {
    EXPECT_EQ(MessageDlg("first", TMsgDlgType::mtError, {mrOk}), mrOk);
    EXPECT_EQ(MessageDlg("sure?", TMsgDlgType::mtConfirmation, {mrYes, mrNo}), mrYes);
    FormsScript::AnswerMessage(mrNo);
    EXPECT_EQ(MessageDlg("really?", TMsgDlgType::mtConfirmation, {mrYes, mrNo}), mrNo);
    EXPECT_EQ(Application->MessageBox("address", "", MB_ABORTRETRYIGNORE), IDABORT);
    FormsScript::AnswerMessage(mrRetry);
    EXPECT_EQ(Application->MessageBox("phone", "", MB_ABORTRETRYIGNORE), IDRETRY);
    FormsScript::AnswerMessage(mrYes);  // not a button of this box: its default is taken
    EXPECT_EQ(Application->MessageBox("odd", "", MB_ABORTRETRYIGNORE | MB_DEFBUTTON3), IDIGNORE);
    const auto& m = FormsScript::Messages();
    ASSERT_EQ(m.size(), 6u);
    EXPECT_EQ(m[0].Kind, "Error");
    EXPECT_EQ(m[0].Text, "first");
    EXPECT_EQ(m[1].Caption, "Confirm");
    EXPECT_EQ(m[3].Caption, "");
    EXPECT_EQ(m[4].Answer, mrRetry);
    EXPECT_EQ(FormsScript::MessageTexts()[5], "odd");
}

TEST_F(Forms, ExceptionInAnEventGoesToTheDefaultHandlerAndTheSilentAbortShowsNothing) {
    dlg->btnOK->ModalResult = mrNone;
    dlg->btnOK->OnClick = [](TObject*) { throw Exception("Table PARAMS is damaged"); };
    dlg->Timer1->OnTimer = [this](TObject*) {
        dlg->Timer1->SetEnabled(false);
        Abort();
    };
    dlg->OnShow = [&](TObject*) { dlg->Timer1->SetEnabled(true); };
    FormsScript::OnForm("frmDialog", [](TForm& f) { FormsScript::Click(*static_cast<TfrmDialog&>(f).btnOK); });
    FormsScript::OnForm("frmDialog", [](TForm& f) { FormsScript::Click(*static_cast<TfrmDialog&>(f).btnExit); });
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
    ASSERT_EQ(FormsScript::Messages().size(), 1u);
    EXPECT_EQ(FormsScript::Messages()[0].Text, "Table PARAMS is damaged");
    EXPECT_EQ(FormsScript::Messages()[0].Kind, "Error");
}

TEST_F(Forms, ExceptionInOnShowLeavesShowModalAndTheFormHidden) {
    dlg->OnShow = [](TObject*) { throw std::runtime_error("no data"); };
    EXPECT_THROW(dlg->ShowModal(), std::runtime_error);
    EXPECT_FALSE(dlg->Visible());
    EXPECT_FALSE(dlg->Modal());
    dlg->OnShow = nullptr;
    FormsScript::OnForm("frmDialog", [](TForm& f) { FormsScript::PressEnter(f); });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
}

TEST_F(Forms, TextWidthGrowsWithTheText) {
    const int one = dlg->TextWidth("Checksheets");
    const int two = dlg->TextWidth("Checksheets - Service");
    EXPECT_GT(one, 0);
    EXPECT_GT(two, one);
    EXPECT_EQ(dlg->TextWidth(""), 0);
}

TEST_F(Forms, ScreenCursorRemembersItsValue) {
    Screen->SetCursor(crHourGlass);
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    Screen->SetCursor(crDefault);
    EXPECT_EQ(Screen->Cursor(), crDefault);
}

namespace {

class TfrmMainTest;
TfrmMainTest* frmMainTest = nullptr;
bool referenceSetInCreate = false;

class TfrmMainTest : public TForm {
public:
    explicit TfrmMainTest(TComponent* owner) : TForm(owner) {
        Name = "frmMainTest";
        OnCreate = [](TObject* sender) { referenceSetInCreate = sender == frmMainTest; };
        Timer1 = new TTimer(this);
        Timer1->SetEnabled(false);
        Timer1->SetInterval(1);
        Timer1->OnTimer = [this](TObject*) { Close(); };
        OnShow = [this](TObject*) { Timer1->SetEnabled(true); };
    }
    TTimer* Timer1;
};

}  // namespace

TEST(Application, CreateFormSetsTheReferenceFirstAndRunEndsWhenTheMainFormCloses) {
    FormsScript::Reset();
    Application->ResetRun();
    Application->CreateForm(frmMainTest);
    EXPECT_TRUE(referenceSetInCreate);
    EXPECT_EQ(Application->MainForm(), frmMainTest);
    Application->Run();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_FALSE(frmMainTest->Visible());
}
