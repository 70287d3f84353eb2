// Text of the forms in the ANSI code page without a display: what a control shows is its bytes
// read in the code page in use, and typed characters the code page cannot hold are refused.
#include <gtest/gtest.h>

#include "Buttons.h"
#include "Canvas.h"
#include "CodePages.h"
#include "Dialogs.h"
#include "Forms.h"
#include "FormsScript.h"
#include "StdCtrls.h"
#include "ExtCtrls.h"

namespace {

class FormsText : public ::testing::Test {
protected:
    void SetUp() override {
        FormsScript::Reset();
        Application->ResetRun();
        form = std::make_unique<TForm>(nullptr);
        form->Name = "frmText";
        edit = new TEdit(form.get());
        edit->SetParent(form.get());
        label = new TLabel(form.get());
        label->SetParent(form.get());
    }
    void TearDown() override {
        form.reset();
        SetACP(1252);
    }
    /// Runs the form modally with one action, so that its controls are showing.
    void WithFormShown(std::function<void()> action) {
        FormsScript::OnForm("frmText", [action](TForm& f) {
            action();
            f.SetModalResult(mrOk);
        });
        form->ShowModal();
        EXPECT_EQ(FormsScript::PendingActions(), 0);
    }
    std::unique_ptr<TForm> form;
    TEdit* edit = nullptr;
    TLabel* label = nullptr;
};

}  // namespace

TEST_F(FormsText, ShownTextIsTheBytesReadInTheAnsiCodePage) {
    label->SetCaption("&Ustawienia \xA3\xF3" "d\x9F && more");
    SetACP(1250);
    EXPECT_EQ(FormsScript::ShownText(*label), u"Ustawienia Łódź & more");
    SetACP(1253);
    label->SetCaption("\xD3\xFD\xF3\xF4\xE7\xEC\xE1");
    EXPECT_EQ(FormsScript::ShownText(*label), u"Σύστημα");
    SetACP(1252);
    EXPECT_EQ(FormsScript::ShownText(*label), u"Óýóôçìá");  // the garble the wrong code page gives
}

TEST_F(FormsText, TypedCharactersOutsideTheCodePageAreRefused) {
    WithFormShown([this] {
        SetACP(1250);
        EXPECT_TRUE(FormsScript::TypeKeys(*edit, u"Łódź?"));
        EXPECT_EQ(edit->Text(), "\xA3\xF3" "d\x9F?");
        FormsScript::Type(*edit, "");
        SetACP(1252);
        FormsScript::TypeKeys(*edit, u"Łódź €");
        EXPECT_EQ(edit->Text(), "\xF3" "d \x80");
        FormsScript::Type(*edit, "");
        SetACP(1251);
        FormsScript::TypeKeys(*edit, u"Київ");
        EXPECT_EQ(edit->Text(), "\xCA\xE8\xBF\xE2");
    });
}

TEST_F(FormsText, MemoTakesTypedLettersOfItsCodePageOnly) {
    auto* memo = new TMemo(form.get());
    memo->SetParent(form.get());
    WithFormShown([memo] {
        SetACP(1250);
        FormsScript::TypeMemo(*memo, "Olej\r\nWymiana");
        FormsScript::TypeKeys(*memo, u" świec Σ");  // typed at the end of the last line
        ASSERT_EQ(memo->Lines.Count(), 2);
        EXPECT_EQ(memo->Lines[1], "Wymiana \x9C" "wiec ");
    });
}

TEST_F(FormsText, TypingKeepsTheEditsLimits) {
    edit->SetMaxLength(3);
    WithFormShown([this] {
        SetACP(1253);
        FormsScript::TypeKeys(*edit, u"Αθήνα");
        EXPECT_EQ(edit->Text(), "\xC1\xE8\xDE");
        edit->SetReadOnly(true);
        EXPECT_FALSE(FormsScript::TypeKeys(*edit, u"x"));
    });
}

TEST_F(FormsText, CanvasWidthsFollowTheCodePage) {
    TCanvas& canvas = form->Canvas();
    canvas.Font.Name = "Arial";
    canvas.Font.SetSize(20);
    SetACP(1252);
    const int latin = canvas.TextWidth("\xE9\xE9\xE9\xE9");  // é
    SetACP(1253);
    const int greek = canvas.TextWidth("\xE9\xE9\xE9\xE9");  // ι, much narrower
    EXPECT_LT(greek, latin);
    SetACP(1252);
    EXPECT_EQ(canvas.TextWidth("\xE9\xE9\xE9\xE9"), latin);
}

TEST_F(FormsText, RefusalAfterANestedModalFormKeepsTheDialogOpen) {
    auto* ok = new TBitBtn(form.get());
    ok->SetParent(form.get());
    ok->SetKind(TBitBtnKind::bkOK);
    int clicks = 0;
    ok->OnClick = [&](TObject*) {
        TForm nested(nullptr);
        nested.Name = "frmNested";
        nested.ShowModal();
        if (++clicks == 1) {
            MessageDlg("Refused", TMsgDlgType::mtError, {mrOk});
            form->SetModalResult(mrNone);
        }
    };
    bool stillOpen = false;
    FormsScript::OnForm("frmText", [ok](TForm&) { FormsScript::Click(*ok); });
    FormsScript::OnForm("frmNested", [](TForm& f) { f.SetModalResult(mrOk); });
    FormsScript::OnForm("frmText", [&](TForm& f) {
        stillOpen = f.Visible() && f.ModalResult() == mrNone;
        FormsScript::Click(*ok);
    });
    FormsScript::OnForm("frmNested", [](TForm& f) { f.SetModalResult(mrOk); });
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(FormsScript::PendingActions(), 0);
}
