// Ownership and the event semantics of the controls, driven without a display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Buttons.h"
#include "ComCtrls.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "FormsScript.h"
#include "StdCtrls.h"

namespace {

struct Counted : TComponent {
    Counted(TComponent* owner, int& alive) : TComponent(owner), Alive(alive) { ++Alive; }
    ~Counted() override { --Alive; }
    int& Alive;
};

class Components : public ::testing::Test {
protected:
    void SetUp() override {
        FormsScript::Reset();
        form = new TForm(nullptr);
        form->Name = "frmTest";
    }
    void TearDown() override { delete form; }
    TForm* form = nullptr;
};

}  // namespace

TEST(Ownership, OwnerFreesWhatItOwnsAndEarlyFreeLeavesTheList) {
    int alive = 0;
    auto* owner = new TComponent(nullptr);
    auto* a = new Counted(owner, alive);
    new Counted(owner, alive);
    new Counted(a, alive);
    EXPECT_EQ(alive, 3);
    EXPECT_EQ(owner->ComponentCount(), 2);
    delete a;  // frees its own child too
    EXPECT_EQ(alive, 1);
    EXPECT_EQ(owner->ComponentCount(), 1);
    delete owner;
    EXPECT_EQ(alive, 0);
}

TEST_F(Components, ControlsFreedBeforeTheirParentLeaveItsList) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    auto* label = new TLabel(form);
    label->SetParent(panel);
    auto* edit = new TEdit(form);
    edit->SetParent(panel);
    EXPECT_EQ(panel->ControlCount(), 2);
    EXPECT_EQ(panel->Controls(1), edit);
    delete label;
    EXPECT_EQ(panel->ControlCount(), 1);
    EXPECT_EQ(panel->Controls(0), edit);
    EXPECT_EQ(panel->Controls(5), nullptr);
    EXPECT_EQ(form->FindComponent("nothing"), nullptr);
}

TEST_F(Components, CheckedSetInCodeFiresOnClickOnlyOnChange) {
    auto* cb = new TCheckBox(form);
    cb->SetParent(form);
    int clicks = 0;
    cb->OnClick = [&](TObject*) { ++clicks; };
    cb->SetChecked(true);
    cb->SetChecked(true);
    EXPECT_EQ(clicks, 1);
    form->Show();
    EXPECT_TRUE(FormsScript::Click(*cb));
    EXPECT_FALSE(cb->Checked());
    EXPECT_EQ(clicks, 2);
    form->Hide();
}

TEST_F(Components, RadioButtonsAreExclusivePerParentAndUncheckingFiresNothing) {
    auto* g1 = new TGroupBox(form);
    g1->SetParent(form);
    auto* g2 = new TGroupBox(form);
    g2->SetParent(form);
    auto* a = new TRadioButton(form);
    a->SetParent(g1);
    auto* b = new TRadioButton(form);
    b->SetParent(g1);
    auto* c = new TRadioButton(form);
    c->SetParent(g2);
    std::vector<std::string> clicks;
    a->OnClick = [&](TObject*) { clicks.push_back("a"); };
    b->OnClick = [&](TObject*) { clicks.push_back("b"); };
    c->OnClick = [&](TObject*) { clicks.push_back("c"); };
    a->SetChecked(true);
    c->SetChecked(true);
    b->SetChecked(true);
    EXPECT_FALSE(a->Checked());
    EXPECT_TRUE(b->Checked());
    EXPECT_TRUE(c->Checked());
    EXPECT_EQ(clicks, (std::vector<std::string>{"a", "c", "b"}));
}

TEST_F(Components, ComboItemIndexInCodeFiresNoOnChangeButUserSelectionDoes) {
    auto* cmb = new TComboBox(form);
    cmb->SetParent(form);
    cmb->SetStyle(TComboBoxStyle::csDropDownList);
    std::vector<std::string> events;
    cmb->OnChange = [&](TObject*) { events.push_back("change"); };
    cmb->OnDropDown = [&](TObject*) { events.push_back("drop"); };
    cmb->Items.Add("Beta");
    cmb->Items.Add("Alpha");
    cmb->SetItemIndex(1);
    EXPECT_EQ(cmb->Text(), "Alpha");
    EXPECT_TRUE(events.empty());
    cmb->SetItemIndex(7);
    EXPECT_EQ(cmb->ItemIndex(), -1);
    EXPECT_EQ(cmb->Text(), "");
    form->Show();
    EXPECT_TRUE(FormsScript::Select(*cmb, 0));
    EXPECT_EQ(events, (std::vector<std::string>{"drop", "change"}));
    EXPECT_EQ(cmb->Text(), "Beta");
    // A drop-down list takes only its items as text; typing is refused.
    cmb->SetText("gamma");
    EXPECT_EQ(cmb->ItemIndex(), -1);
    EXPECT_FALSE(FormsScript::TypeCombo(*cmb, "free"));
    // Switched to free text at run time it keeps what is typed.
    cmb->SetStyle(TComboBoxStyle::csDropDown);
    EXPECT_TRUE(FormsScript::TypeCombo(*cmb, "free"));
    EXPECT_EQ(cmb->Text(), "free");
    cmb->SetText("alpha");
    EXPECT_EQ(cmb->ItemIndex(), 1);
    form->Hide();
}

TEST_F(Components, SortedComboKeepsItemsInOrder) {
    auto* cmb = new TComboBox(form);
    cmb->Items.Add("pear");
    cmb->SetSorted(true);
    cmb->Items.Add("Apple");
    EXPECT_EQ(cmb->Items.Add("banana"), 1);
    EXPECT_EQ(cmb->Items[0], "Apple");
    EXPECT_EQ(cmb->Items[2], "pear");
    cmb->Items.Clear();
    EXPECT_EQ(cmb->ItemIndex(), -1);
}

TEST_F(Components, EditTakesUserTextWithinItsLimitsAndFocusEventsRunInOrder) {
    auto* a = new TEdit(form);
    a->SetParent(form);
    auto* b = new TEdit(form);
    b->SetParent(form);
    std::vector<std::string> events;
    a->OnEnter = [&](TObject*) { events.push_back("enter a"); };
    a->OnExit = [&](TObject*) { events.push_back("exit a"); };
    b->OnEnter = [&](TObject*) { events.push_back("enter b"); };
    a->SetMaxLength(3);
    a->SetCharCase(TEditCharCase::ecUpperCase);
    form->Show();
    EXPECT_TRUE(FormsScript::Type(*a, "abcdef"));
    EXPECT_EQ(a->Text(), "ABC");
    // Text set in code is kept whole; typing may shorten it but not lengthen it.
    a->SetText("long text in code");
    EXPECT_EQ(a->Text(), "LONG TEXT IN CODE");
    EXPECT_TRUE(FormsScript::Type(*a, "long text in code and more"));
    EXPECT_EQ(a->Text(), "LONG TEXT IN CODE");
    EXPECT_TRUE(FormsScript::Type(*a, "long text in cod"));
    EXPECT_EQ(a->Text(), "LONG TEXT IN COD");
    a->SetText("");
    EXPECT_TRUE(FormsScript::Type(*a, "abcdef"));
    EXPECT_EQ(a->Text(), "ABC");
    b->SetFocus();
    EXPECT_EQ(events, (std::vector<std::string>{"enter a", "exit a", "enter b"}));
    b->SetReadOnly(true);
    EXPECT_FALSE(FormsScript::Type(*b, "x"));
    EXPECT_EQ(b->Text(), "");
    form->Hide();
}

TEST_F(Components, ExitHandlerThatRefocusesItsFieldWins) {
    auto* a = new TEdit(form);
    a->SetParent(form);
    auto* b = new TEdit(form);
    b->SetParent(form);
    std::vector<std::string> events;
    a->OnEnter = [&](TObject*) { events.push_back("enter a"); };
    a->OnExit = [&](TObject*) {
        events.push_back("exit a");
        a->SetFocus();  // a refused value keeps the focus
    };
    b->OnEnter = [&](TObject*) { events.push_back("enter b"); };
    b->OnExit = [&](TObject*) { events.push_back("exit b"); };
    form->Show();
    a->SetFocus();
    b->SetFocus();
    EXPECT_EQ(form->ActiveControl(), a);
    // b was never entered, so it is not exited either; a is entered again.
    EXPECT_EQ(events, (std::vector<std::string>{"enter a", "exit a", "enter a"}));
    form->Hide();
}

TEST_F(Components, MemoTakesTypedLinesUnlessReadOnly) {
    auto* memo = new TMemo(form);
    memo->SetParent(form);
    int changes = 0;
    memo->OnChange = [&](TObject*) { ++changes; };
    form->Show();
    EXPECT_TRUE(FormsScript::TypeMemo(*memo, "one\r\ntwo\nthree\r\n"));
    ASSERT_EQ(memo->Lines.Count(), 3);
    EXPECT_EQ(memo->Lines[2], "three");
    EXPECT_EQ(memo->Text(), "one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(FormsScript::TypeMemo(*memo, "one\ntwo\nthree"));
    EXPECT_EQ(changes, 1);  // the same lines: no change
    memo->Lines.SetText("\r\n\r\nx");
    EXPECT_EQ(memo->Lines.Count(), 3);
    EXPECT_EQ(memo->Lines[0], "");
    memo->SetReadOnly(true);
    EXPECT_FALSE(FormsScript::TypeMemo(*memo, "typed"));
    EXPECT_EQ(memo->Lines[2], "x");
    form->Hide();
}

TEST_F(Components, ComboTextIsCutToMaxLength) {
    auto* combo = new TComboBox(form);
    combo->SetParent(form);
    combo->Items.Add("01/02/2005");
    combo->SetMaxLength(10);
    form->Show();
    EXPECT_TRUE(FormsScript::TypeCombo(*combo, "01/02/2005 and more"));
    EXPECT_EQ(combo->Text(), "01/02/2005");
    EXPECT_EQ(combo->ItemIndex(), 0);
    combo->SetText("set in code, longer than ten");  // code is not limited
    EXPECT_EQ(combo->Text(), "set in code, longer than ten");
    EXPECT_TRUE(FormsScript::TypeCombo(*combo, "set in code, longer than ten!"));
    EXPECT_EQ(combo->Text(), "set in code, longer than ten");
    form->Hide();
}

TEST_F(Components, DisabledGroupBoxDisablesWhatItHolds) {
    auto* g = new TGroupBox(form);
    g->SetParent(form);
    auto* cb = new TCheckBox(form);
    cb->SetParent(g);
    form->Show();
    g->SetEnabled(false);
    EXPECT_TRUE(cb->Enabled());
    EXPECT_FALSE(cb->EffectivelyEnabled());
    EXPECT_FALSE(FormsScript::Click(*cb));
    EXPECT_FALSE(cb->Checked());
    g->SetEnabled(true);
    EXPECT_TRUE(FormsScript::Click(*cb));
    EXPECT_TRUE(cb->Checked());
    cb->Hide();
    EXPECT_FALSE(FormsScript::Click(*cb));
    form->Hide();
}

TEST_F(Components, SpeedButtonsOfOneGroupComeUpTogether) {
    auto* a = new TSpeedButton(form);
    a->SetParent(form);
    auto* b = new TSpeedButton(form);
    b->SetParent(form);
    a->SetGroupIndex(1);
    b->SetGroupIndex(1);
    a->AllowAllUp = true;
    form->Show();
    FormsScript::Click(*a);
    EXPECT_TRUE(a->Down());
    FormsScript::Click(*b);
    EXPECT_TRUE(b->Down());
    EXPECT_FALSE(a->Down());
    FormsScript::Click(*a);
    FormsScript::Click(*a);  // all up allowed
    EXPECT_FALSE(a->Down());
    EXPECT_FALSE(b->Down());
    form->Hide();
}

TEST_F(Components, ScrollBarPositionStaysWithinRange) {
    auto* box = new TScrollBox(form);
    box->SetBounds(0, 0, 100, 50);
    box->VertScrollBar.SetRange(300);
    box->VertScrollBar.SetPosition(1000);
    EXPECT_EQ(box->VertScrollBar.Position(), 250);
    box->VertScrollBar.SetRange(20);
    EXPECT_EQ(box->VertScrollBar.Position(), 0);
    box->HorzScrollBar.SetPosition(-5);
    EXPECT_EQ(box->HorzScrollBar.Position(), 0);
}

TEST_F(Components, CalendarRefusesInvalidDates) {
    using namespace std::chrono;
    auto* cal = new TMonthCalendar(form);
    cal->SetParent(form);
    cal->SetDate(2004y / February / 29d);
    cal->SetDate(2001y / February / 29d);
    EXPECT_EQ(cal->Date(), 2004y / February / 29d);
    EXPECT_TRUE(TMonthCalendar::Today().ok());
}
