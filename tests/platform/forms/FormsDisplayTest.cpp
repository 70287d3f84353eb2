// Forms drawn by real widgets on an X server of the test's own: a refused OK keeps a modal
// dialog open whatever loops its handler ran, typed characters follow the ANSI code page, a
// disabled label is drawn greyed and a speed button shows its glyph. Pictures of the windows
// are written beside the test program.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "../../support/XvfbServer.h"
#include "Bitmap.h"
#include "Buttons.h"
#include "CodePages.h"
#include "Dialogs.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "FormsScript.h"
#include "Picture.h"
#include "StdCtrls.h"

namespace {

testsupport::XvfbServer gServer;

/// A dialog of the kind the program has: its OK checks the input and refuses it with a
/// message, optionally after running a nested modal form and a three-button question.
class TfrmEntry : public TForm {
public:
    explicit TfrmEntry(TComponent* owner) : TForm(owner) {
        Name = "frmEntry";
        SetCaption("Entry");
        SetBounds(0, 0, 360, 160);
        BorderStyle = TFormBorderStyle::bsDialog;
        edtName = Add<TEdit>("edtName", 16, 16, 320, 24);
        edtNumber = Add<TEdit>("edtNumber", 16, 52, 60, 24);
        btnOK = Add<TBitBtn>("btnOK", 160, 110, 80, 28);
        btnOK->SetKind(TBitBtnKind::bkOK);
        btnOK->SetCaption("OK");
        btnOK->OnClick = [this](TObject*) { btnOKClick(); };
        btnCancel = Add<TBitBtn>("btnCancel", 256, 110, 80, 28);
        btnCancel->SetKind(TBitBtnKind::bkCancel);
        btnCancel->SetCaption("Cancel");
        DoCreate();
    }

    TEdit* edtName;
    TEdit* edtNumber;
    TBitBtn* btnOK;
    TBitBtn* btnCancel;
    bool AskNested = false;    ///< the handler first runs a nested modal form
    bool AskQuestion = false;  ///< the handler asks Abort/Retry/Ignore; Retry refuses

private:
    template <class T>
    T* Add(const char* name, int x, int y, int w, int h) {
        T* c = new T(this);
        c->Name = name;
        c->SetParent(this);
        c->SetBounds(x, y, w, h);
        return c;
    }

    void btnOKClick() {
        if (AskNested) {
            TForm nested(nullptr);
            nested.Name = "frmNested";
            nested.SetBounds(0, 0, 200, 100);
            nested.ShowModal();
        }
        if (AskQuestion && Application->MessageBox("No address given", "", MB_ABORTRETRYIGNORE) == IDRETRY) {
            edtName->SetFocus();
            SetModalResult(mrNone);
            return;
        }
        const std::string n = edtNumber->Text();
        if (n.size() != 1 || n[0] < '0' || n[0] > '5') {
            MessageDlg("The number must be 0 to 5", TMsgDlgType::mtError, {mrOk});
            edtNumber->SetFocus();
            SetModalResult(mrNone);
        }
    }
};

class FormsDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        FormsScript::Reset();
        Application->ResetRun();
        ASSERT_TRUE(FormsScript::HasWindows());
        ASSERT_TRUE(Application->HasWindows());
        dlg = std::make_unique<TfrmEntry>(nullptr);
    }
    void TearDown() override {
        dlg.reset();
        SetACP(1252);
        EXPECT_EQ(FormsScript::PendingActions(), 0);
    }

    /// Types a refused number and clicks OK; the next action finds the dialog still waiting.
    void RefuseOnce() {
        FormsScript::OnForm("frmEntry", [this](TForm&) {
            FormsScript::Type(*dlg->edtName, "Dealer Ltd");
            FormsScript::Type(*dlg->edtNumber, "7");
            FormsScript::AnswerMessage(mrOk);
            EXPECT_TRUE(FormsScript::ClickByMouse(*dlg->btnOK));
        });
        FormsScript::OnForm("frmEntry", [this](TForm& f) {
            stillOpen = f.Visible() && f.Modal() && f.ModalResult() == mrNone;
            typedName = FormsScript::ShownText(*dlg->edtName);
            FormsScript::SaveImage(f, "entry-refused.png");
            FormsScript::Type(*dlg->edtNumber, "3");
            FormsScript::Click(*dlg->btnOK);
        });
    }

    std::unique_ptr<TfrmEntry> dlg;
    bool stillOpen = false;
    std::u16string typedName;
};

/// The darkest grey level (0 black .. 255 white) inside a rectangle of a picture.
int DarkestIn(const TBitmap& bitmap, const TRect& r) {
    int darkest = 255;
    for (int y = std::max(0, r.Top); y < std::min(bitmap.Height(), r.Bottom); ++y)
        for (int x = std::max(0, r.Left); x < std::min(bitmap.Width(), r.Right); ++x) {
            const TColor c = bitmap.Pixel(x, y);
            darkest = std::min(darkest, std::max({int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)}));
        }
    return darkest;
}

int CountColour(const TBitmap& bitmap, const TRect& r, TColor colour) {
    int n = 0;
    for (int y = std::max(0, r.Top); y < std::min(bitmap.Height(), r.Bottom); ++y)
        for (int x = std::max(0, r.Left); x < std::min(bitmap.Width(), r.Right); ++x)
            if (bitmap.Pixel(x, y) == colour) ++n;
    return n;
}

}  // namespace

TEST_F(FormsDisplay, RefusedOkKeepsTheDialogOpenWithWhatWasTyped) {
    RefuseOnce();
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(typedName, u"Dealer Ltd");
    EXPECT_EQ(dlg->edtNumber->Text(), "3");
    ASSERT_EQ(FormsScript::Messages().size(), 1u);
    EXPECT_EQ(FormsScript::Messages()[0].Text, "The number must be 0 to 5");
}

TEST_F(FormsDisplay, RefusalAfterANestedModalFormKeepsTheDialogOpen) {
    dlg->AskNested = true;
    FormsScript::OnForm("frmEntry", [this](TForm&) {
        FormsScript::Type(*dlg->edtNumber, "9");
        FormsScript::AnswerMessage(mrOk);
        FormsScript::ClickByMouse(*dlg->btnOK);  // runs the nested form, then refuses
    });
    FormsScript::OnForm("frmNested", [](TForm& f) { f.SetModalResult(mrOk); });
    FormsScript::OnForm("frmEntry", [this](TForm& f) {
        stillOpen = f.Visible() && f.ModalResult() == mrNone;
        FormsScript::Type(*dlg->edtNumber, "0");
        FormsScript::Click(*dlg->btnOK);
    });
    FormsScript::OnForm("frmNested", [](TForm& f) { f.SetModalResult(mrCancel); });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(FormsScript::Messages().size(), 1u);
}

TEST_F(FormsDisplay, RetryInAThreeButtonQuestionKeepsTheDialogOpen) {
    dlg->AskQuestion = true;
    FormsScript::OnForm("frmEntry", [this](TForm&) {
        FormsScript::Type(*dlg->edtNumber, "2");
        FormsScript::AnswerMessage(mrRetry);
        FormsScript::ClickByMouse(*dlg->btnOK);
    });
    FormsScript::OnForm("frmEntry", [this](TForm& f) {
        stillOpen = f.Visible() && f.ModalResult() == mrNone;
        FormsScript::AnswerMessage(mrIgnore);
        FormsScript::Click(*dlg->btnOK);
    });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(FormsScript::Messages().size(), 2u);
    EXPECT_EQ(FormsScript::Messages()[0].Caption, "");
    EXPECT_EQ(FormsScript::Messages()[0].Answer, mrRetry);
    EXPECT_EQ(FormsScript::Messages()[1].Answer, mrIgnore);
}

TEST_F(FormsDisplay, TypedCharactersAreStoredInTheAnsiCodePageOrRefused) {
    FormsScript::OnForm("frmEntry", [this](TForm& f) {
        SetACP(1250);
        FormsScript::TypeKeys(*dlg->edtName, u"Łódź");
        EXPECT_EQ(dlg->edtName->Text(), "\xA3\xF3" "d\x9F");
        EXPECT_EQ(FormsScript::ShownText(*dlg->edtName), u"Łódź");
        FormsScript::SaveImage(f, "entry-polish.png");

        // Code page 1252 holds "ó" but neither "Ł" nor "ź": those keys are refused.
        SetACP(1252);
        FormsScript::Type(*dlg->edtName, "");
        FormsScript::TypeKeys(*dlg->edtName, u"Łódź");
        EXPECT_EQ(dlg->edtName->Text(), "\xF3" "d");
        EXPECT_EQ(FormsScript::ShownText(*dlg->edtName), u"ód");

        SetACP(1253);
        FormsScript::Type(*dlg->edtName, "");
        FormsScript::TypeKeys(*dlg->edtName, u"Σέρβις");
        EXPECT_EQ(dlg->edtName->Text(), "\xD3\xDD\xF1\xE2\xE9\xF2");
        EXPECT_EQ(FormsScript::ShownText(*dlg->edtName), u"Σέρβις");
        FormsScript::Click(*dlg->btnCancel);
    });
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
}

// An upper-case field upper-cases every letter of the code page in use, as the user types.
TEST_F(FormsDisplay, UpperCaseFieldsUpperCaseEveryLetterOfTheCodePage) {
    FormsScript::OnForm("frmEntry", [this](TForm& f) {
        dlg->edtName->SetCharCase(TEditCharCase::ecUpperCase);
        SetACP(1253);
        FormsScript::TypeKeys(*dlg->edtName, u"ικα 1234 abγδ σέρβις");
        EXPECT_EQ(FormsScript::ShownText(*dlg->edtName), u"ΙΚΑ 1234 ABΓΔ ΣΈΡΒΙΣ");
        FormsScript::SaveImage(f, "entry-upper-greek.png");
        SetACP(1250);
        FormsScript::Type(*dlg->edtName, "");
        FormsScript::TypeKeys(*dlg->edtName, u"wł żółć");
        EXPECT_EQ(FormsScript::ShownText(*dlg->edtName), u"WŁ ŻÓŁĆ");
        SetACP(1252);
        FormsScript::Click(*dlg->btnCancel);
    });
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
}

TEST_F(FormsDisplay, MemoRefusesCharactersOutsideTheCodePage) {
    auto* memo = new TMemo(dlg.get());
    memo->SetParent(dlg.get());
    memo->SetBounds(100, 52, 236, 50);
    FormsScript::OnForm("frmEntry", [this, memo](TForm&) {
        SetACP(1253);
        FormsScript::TypeKeys(*memo, u"Λάδι Łódź");
        EXPECT_EQ(memo->Lines.Count(), 1);
        EXPECT_EQ(memo->Lines[0], "\xCB\xDC\xE4\xE9 d");
        FormsScript::Click(*dlg->btnCancel);
    });
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
}

TEST_F(FormsDisplay, DisabledLabelIsDrawnGreyed) {
    TForm form(nullptr);
    form.Name = "frmLabels";
    form.SetBounds(0, 0, 300, 120);
    form.SetColor(clWhite);
    TLabel* labels[2];
    for (int i = 0; i < 2; ++i) {
        labels[i] = new TLabel(&form);
        labels[i]->SetParent(&form);
        labels[i]->SetBounds(10, 10 + 50 * i, 280, 30);
        labels[i]->Font.Name = "Arial";
        labels[i]->Font.SetSize(16);
        labels[i]->Font.Color = clBlack;
        labels[i]->SetCaption("Pre-printed forms");
    }
    labels[1]->SetEnabled(false);
    FormsScript::OnForm("frmLabels", [](TForm& f) {
        EXPECT_TRUE(FormsScript::SaveImage(f, "labels.png"));
        EXPECT_TRUE(FormsScript::SaveImage(f, "labels.bmp"));
        f.SetModalResult(mrOk);
    });
    form.ShowModal();
    TPicture picture;
    picture.LoadFromFile("labels.bmp");
    const TBitmap& shot = picture.Bitmap();
    ASSERT_GE(shot.Width(), 300);
    EXPECT_LT(DarkestIn(shot, {10, 10, 290, 40}), 60);   // black text
    EXPECT_GT(DarkestIn(shot, {10, 60, 290, 90}), 90);   // greyed text, no black
    EXPECT_LT(DarkestIn(shot, {10, 60, 290, 90}), 230);  // but text is drawn
}

TEST_F(FormsDisplay, SpeedButtonShowsItsGlyphWithTheCornerColourTransparent) {
    TBitmap glyph;
    glyph.SetPixelFormat(pf24bit);
    glyph.SetSize(16, 16);
    for (int y = 0; y < 16; ++y) {
        auto* row = static_cast<uint8_t*>(glyph.ScanLine(y));
        for (int x = 0; x < 16; ++x) {
            const bool mark = x >= 4 && x < 12 && y >= 4 && y < 12;
            row[3 * x] = 0;                     // blue
            row[3 * x + 1] = mark ? 0 : 255;    // green outside the mark: the transparent colour
            row[3 * x + 2] = mark ? 255 : 0;    // red mark
        }
    }
    TForm form(nullptr);
    form.Name = "frmButtons";
    form.SetBounds(0, 0, 200, 80);
    TSpeedButton* buttons[2];
    for (int i = 0; i < 2; ++i) {
        buttons[i] = new TSpeedButton(&form);
        buttons[i]->SetParent(&form);
        buttons[i]->SetBounds(10 + 60 * i, 10, 44, 44);
        buttons[i]->SetGlyph(glyph);
    }
    buttons[1]->SetEnabled(false);
    EXPECT_FALSE(buttons[0]->Glyph().Empty());
    FormsScript::OnForm("frmButtons", [](TForm& f) {
        EXPECT_TRUE(FormsScript::SaveImage(f, "speedbuttons.png"));
        EXPECT_TRUE(FormsScript::SaveImage(f, "speedbuttons.bmp"));
        f.SetModalResult(mrOk);
    });
    form.ShowModal();
    TPicture picture;
    picture.LoadFromFile("speedbuttons.bmp");
    const TBitmap& shot = picture.Bitmap();
    const TColor red = 0x0000FF, green = 0x00FF00;
    EXPECT_GT(CountColour(shot, {10, 10, 54, 54}, red), 40);
    EXPECT_EQ(CountColour(shot, {10, 10, 54, 54}, green), 0);
    EXPECT_EQ(CountColour(shot, {70, 10, 114, 54}, red), 0);  // greyed when disabled
    EXPECT_EQ(CountColour(shot, {70, 10, 114, 54}, green), 0);
}

TEST_F(FormsDisplay, AMessageTheScriptDidNotExpectIsAnsweredNotWaitedFor) {
    // No answer is queued: the box gets its default button and the run goes on to the next step.
    FormsScript::OnForm("frmEntry", [this](TForm&) {
        FormsScript::Type(*dlg->edtNumber, "9");
        FormsScript::Click(*dlg->btnOK);
    });
    FormsScript::OnForm("frmEntry", [](TForm& f) { FormsScript::PressEscape(f); });
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
    ASSERT_EQ(FormsScript::Messages().size(), 1u);
    EXPECT_EQ(FormsScript::Messages()[0].Text, "The number must be 0 to 5");
    EXPECT_EQ(FormsScript::Messages()[0].Answer, mrOk);
}
