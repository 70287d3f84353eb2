// The training sheets' wait window: captioned from LANGTEXT when shown.
#include "TRPrint.h"

#include "DocPrint.h"
#include "TolmLib.h"

TfrmTrainingSheet* frmTrainingSheet = nullptr;

TfrmTrainingSheet::TfrmTrainingSheet(TComponent* AOwner) : TForm(AOwner) {
    Name = "frmTrainingSheet";
    SetCaption("Training Checksheet");
    SetBounds(0, 0, 360, 150);
    Position = TPosition::poScreenCenter;
    BorderStyle = TFormBorderStyle::bsSingle;
    BorderIcons = 0;
    Font.Name = "Arial";
    Font.SetSize(9);

    Image1 = new TImage(this);
    Image1->Name = "Image1";
    Image1->SetParent(this);
    Image1->SetBounds(12, 12, 120, 40);
    Image1->SetStretch(true);
    Image1->SetTransparent(true);
    LoadArtwork(*Image1, "imTolmLogo.bmp");
    lblTitle = new TLabel(this);
    lblTitle->Name = "lblTitle";
    lblTitle->SetParent(this);
    lblTitle->SetBounds(12, 72, 336, 24);
    lblTitle->Alignment = TAlignment::taCenter;
    lblTitle->Font.Name = "Arial";
    lblTitle->Font.SetSize(12);
    lblTitle->Font.Style = fsBold;
    lblTitle->SetCaption("lblTitle");
    Label1 = new TLabel(this);
    Label1->Name = "Label1";
    Label1->SetParent(this);
    Label1->SetBounds(12, 104, 336, 18);
    Label1->Alignment = TAlignment::taCenter;
    Label1->SetCaption("Training Checksheet");
    Label1->Hide();
    OnShow = [this](TObject* s) { FormShow(s); };
    DoCreate();
    frmTrainingSheet = this;
}

TfrmTrainingSheet::~TfrmTrainingSheet() {
    if (frmTrainingSheet == this) frmTrainingSheet = nullptr;
}

void TfrmTrainingSheet::FormShow(TObject*) {
    const std::string title = WithoutAccelerator(LText(135));
    SetCaption(title);
    lblTitle->SetCaption(title);
}
