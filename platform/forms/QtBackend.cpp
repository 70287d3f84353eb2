// The back end with a display: every control is mirrored by a Qt widget. Widgets only show the
// control's state and report user input back to the control; the control decides everything.
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QAbstractTextDocumentLayout>
#include <QTextDocument>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <QWindow>
#include <QIcon>
#include <QPixmap>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "Backend.h"
#include "Canvas.h"
#include "FormsScript.h"
#include "PrintDialog.h"
#include "Printers.h"
#include "internal/FontEngine.h"
#include "internal/QtCanvas.h"
#include "Buttons.h"
#include "ComCtrls.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "QtSupport.h"
#include "StdCtrls.h"

namespace {

/// How many events are being handled right now, nested loops included. A modal loop looks at
/// its form's ModalResult only at the depth it was started from, so a result set by a click
/// counts only once the click's handler has returned, whatever loops the handler ran meanwhile
/// (a message box, another modal form).
int gHandlingDepth = 0;

struct Handling {
    Handling() { ++gHandlingDepth; }
    ~Handling() { --gHandlingDepth; }
    Handling(const Handling&) = delete;
    Handling& operator=(const Handling&) = delete;
};

/// Runs a handler the way the message loop does: exceptions go to the default handler.
void Guard(const std::function<void()>& f) {
    const Handling handling;
    try {
        f();
    } catch (const std::exception& e) {
        Application->HandleException(e);
    }
}

QColor ToQColor(TColor c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

/// Draws a graphic-layer canvas onto a widget with a painter, at the screen's resolution.
template <class Draw>
void PaintWithCanvas(QWidget& widget, Draw draw) {
    QPainter painter(&widget);
    auto backend = CreatePainterBackend(&painter);
    TDeviceCaps caps;
    caps.PhysicalWidth = caps.HorzRes = widget.width();
    caps.PhysicalHeight = caps.VertRes = widget.height();
    TCanvas canvas(backend.get(), caps);
    Guard([&] { draw(canvas); });
}

/// A peer: the widget that mirrors one control.
class QtPeer : public ControlPeer {
public:
    QtPeer(TControl& control, QWidget* widget) : FControl(control), FWidget(widget) {}
    ~QtPeer() override {
        if (FWidget) delete FWidget.data();
    }
    QWidget* Widget() const { return FWidget; }
    /// Where children of this control are put.
    virtual QWidget* Container() const { return FWidget; }
    /// Offset of children caused by scrolling.
    virtual QPoint ChildOffset() const { return {}; }

    void Sync() override {
        if (!FWidget) return;
        FSyncing = true;
        SyncGeometry();
        FWidget->setEnabled(FControl.Enabled());
        if (FControl.Color() >= 0) {
            QPalette pal = FWidget->palette();
            pal.setColor(QPalette::Window, ToQColor(FControl.Color()));
            FWidget->setPalette(pal);
            FWidget->setAutoFillBackground(true);
        }
        if (!(FControl.Font == TFont{})) {
            QFont font(QString::fromStdString(FamilyFor(FControl.Font.Name)));
            font.setPixelSize(std::max(1, std::abs(FControl.Font.Height)));
            font.setBold(HasStyle(FControl.Font.Style, fsBold));
            font.setItalic(HasStyle(FControl.Font.Style, fsItalic));
            font.setUnderline(HasStyle(FControl.Font.Style, fsUnderline));
            FWidget->setFont(font);
            // The font colour is that of enabled text; disabled text keeps the greyed colour.
            QPalette pal = FWidget->palette();
            for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
                pal.setColor(group, QPalette::WindowText, ToQColor(FControl.Font.Color));
                pal.setColor(group, QPalette::Text, ToQColor(FControl.Font.Color));
            }
            FWidget->setPalette(pal);
        }
        SyncOwn();
        FWidget->setVisible(FControl.Visible());
        FSyncing = false;
    }
    void SetFocus() override {
        if (FWidget) FWidget->setFocus(Qt::OtherFocusReason);
    }
    void Invalidate(bool) override {
        if (FWidget) FWidget->update();
    }

protected:
    virtual void SyncGeometry() {
        QPoint offset;
        if (TWinControl* parent = FControl.Parent())
            if (auto* pp = dynamic_cast<QtPeer*>(parent->Peer())) offset = pp->ChildOffset();
        FWidget->setGeometry(FControl.Left() - offset.x(), FControl.Top() - offset.y(), FControl.Width(),
                             FControl.Height());
    }
    virtual void SyncOwn() {}
    bool Syncing() const { return FSyncing; }

    TControl& FControl;
    QPointer<QWidget> FWidget;

private:
    bool FSyncing = false;
};

/// Reports focus changes made by the user to the form.
class FocusFilter : public QObject {
public:
    FocusFilter(TWinControl& control, QObject* parent) : QObject(parent), FControl(control) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::FocusIn)
            Guard([&] {
                if (TForm* form = FControl.ParentForm()) form->SetActiveControl(&FControl);
            });
        return false;
    }

private:
    TWinControl& FControl;
};

void WatchFocus(TControl& control, QWidget* w) {
    if (auto* win = dynamic_cast<TWinControl*>(&control)) {
        w->installEventFilter(new FocusFilter(*win, w));
        w->setFocusPolicy(win->TabStop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

// --- the form window ------------------------------------------------------------------------

class FormWindow : public QWidget {
public:
    explicit FormWindow(TForm& form) : FForm(form) {}

protected:
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        Guard([&] { FForm.CloseRequested(); });
    }
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        // Maximised, restored or dragged larger: the form follows its window.
        if (isVisible()) Guard([&] { FForm.WindowResized(e->size().width(), e->size().height()); });
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            if (TControl* b = FForm.DefaultButton()) {
                Guard([&] { b->Click(); });
                return;
            }
        } else if (e->key() == Qt::Key_Escape) {
            if (TControl* b = FForm.CancelButton()) {
                Guard([&] { b->Click(); });
                return;
            }
        }
        QWidget::keyPressEvent(e);
    }

private:
    TForm& FForm;
};

class FormPeer : public QtPeer {
public:
    explicit FormPeer(TForm& form) : QtPeer(form, new FormWindow(form)), FForm(form) {}

protected:
    void SyncGeometry() override {
        FWidget->resize(FForm.Width(), FForm.Height());
        if (FForm.BorderStyle != TFormBorderStyle::bsSizeable) FWidget->setFixedSize(FForm.Width(), FForm.Height());
    }
    void SyncOwn() override {
        FWidget->setWindowTitle(WindowTitle(FForm.Caption()));
        Qt::WindowFlags flags = Qt::Window | Qt::WindowTitleHint;
        if (FForm.BorderStyle == TFormBorderStyle::bsDialog) flags = Qt::Dialog | Qt::WindowTitleHint;
        if (FForm.BorderIcons & biSystemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (FForm.BorderIcons & biMinimize) flags |= Qt::WindowMinimizeButtonHint;
        if (FForm.BorderIcons & biMaximize) flags |= Qt::WindowMaximizeButtonHint;
        if (FWidget->windowFlags() != flags) FWidget->setWindowFlags(flags);
    }

private:
    TForm& FForm;
};

// --- simple controls ------------------------------------------------------------------------

class LabelPeer : public QtPeer {
public:
    explicit LabelPeer(TLabel& label, QWidget* parent) : QtPeer(label, new QLabel(parent)), FLabel(label) {}

protected:
    void SyncOwn() override {
        auto* w = static_cast<QLabel*>(FWidget.data());
        QString text = ToQt(FLabel.Caption());
        text.replace("&&", "\x01").remove('&').replace("\x01", "&");
        w->setText(text);
        w->setWordWrap(FLabel.WordWrap);
        Qt::Alignment a = Qt::AlignTop;
        if (FLabel.Alignment == TAlignment::taCenter) a |= Qt::AlignHCenter;
        else if (FLabel.Alignment == TAlignment::taRightJustify) a |= Qt::AlignRight;
        else a |= Qt::AlignLeft;
        w->setAlignment(a);
        w->setAutoFillBackground(!FLabel.Transparent);
    }

private:
    TLabel& FLabel;
};

class EditPeer : public QtPeer {
public:
    EditPeer(TEdit& edit, QWidget* parent) : QtPeer(edit, new QLineEdit(parent)), FEdit(edit) {
        auto* w = static_cast<QLineEdit*>(FWidget.data());
        w->setValidator(new CodePageValidator(w));
        QObject::connect(w, &QLineEdit::textEdited, w, [this, w](const QString& t) {
            const int cursor = w->cursorPosition();
            Guard([&] { FEdit.UserSetText(FromQt(t)); });
            Sync();
            w->setCursorPosition(cursor);
        });
        WatchFocus(edit, w);
    }

protected:
    void SyncOwn() override {
        auto* w = static_cast<QLineEdit*>(FWidget.data());
        // The widget's limit never cuts what code set: it is at least the held text's length
        // (typing past MaxLength is refused by the edit itself).
        const QString text = ToQt(FEdit.Text());
        w->setMaxLength(FEdit.MaxLength() > 0 ? std::max<int>(FEdit.MaxLength(), text.size()) : 32767);
        if (w->text() != text) w->setText(text);
        w->setReadOnly(FEdit.ReadOnly());
    }

private:
    TEdit& FEdit;
};

/// A memo's widget. A memo shows no scroll bars, so the wheel is not its own: it goes to the
/// parent (a scroll box under the memo scrolls), and the memo's first line stays in view.
class MemoBox : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void wheelEvent(QWheelEvent* e) override { e->ignore(); }
};

class MemoPeer : public QtPeer {
public:
    MemoPeer(TMemo& memo, QWidget* parent) : QtPeer(memo, new MemoBox(parent)), FMemo(memo) {
        auto* w = static_cast<QPlainTextEdit*>(FWidget.data());
        // A memo has no scroll bars and its lines start at its border, as the class library draws it.
        w->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        w->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        w->document()->setDocumentMargin(1);
        // What the user types becomes the memo's lines at once.
        QObject::connect(w, &QPlainTextEdit::textChanged, w, [this, w] {
            if (Syncing()) return;
            const std::optional<std::string> bytes = FromQtExact(w->toPlainText());
            if (!bytes) {
                // A character the ANSI code page cannot hold is refused, as an edit refuses it:
                // the memo's own text comes back.
                const int cursor = w->textCursor().position();
                QApplication::beep();
                Sync();
                QTextCursor back = w->textCursor();
                back.setPosition(std::clamp(cursor - 1, 0, static_cast<int>(w->document()->characterCount()) - 1));
                w->setTextCursor(back);
                return;
            }
            Guard([&] { FMemo.UserSetText(*bytes); });
        });
        WatchFocus(memo, FWidget);
    }

protected:
    void SyncOwn() override {
        auto* w = static_cast<QPlainTextEdit*>(FWidget.data());
        QString text;
        for (int i = 0; i < FMemo.Lines.Count(); ++i) {
            if (i) text += '\n';
            text += ToQt(FMemo.Lines[i]);
        }
        if (w->toPlainText() != text) w->setPlainText(text);
        w->setReadOnly(FMemo.ReadOnly());
    }

private:
    TMemo& FMemo;
};

class DropDownBox : public QComboBox {
public:
    DropDownBox(TComboBox& combo, QWidget* parent) : QComboBox(parent), FCombo(combo) {}
    void showPopup() override {
        Guard([&] { FCombo.UserDropDown(); });
        QComboBox::showPopup();
    }

private:
    TComboBox& FCombo;
};

class ComboPeer : public QtPeer {
public:
    ComboPeer(TComboBox& combo, QWidget* parent) : QtPeer(combo, new DropDownBox(combo, parent)), FCombo(combo) {
        auto* w = static_cast<QComboBox*>(FWidget.data());
        w->setInsertPolicy(QComboBox::NoInsert);
        // The open list is a list of DropDownCount rows that scrolls, in both styles (the
        // widget style would show every item of a fixed list at once).
        w->setStyleSheet("QComboBox { combobox-popup: 0; }");
        QObject::connect(w, QOverload<int>::of(&QComboBox::activated), w, [this](int index) {
            Guard([&] { FCombo.UserSelect(index); });
            Sync();
        });
        WatchFocus(combo, w);
    }

protected:
    void SyncOwn() override {
        auto* w = static_cast<QComboBox*>(FWidget.data());
        const QSignalBlocker block(w);
        const bool editable = FCombo.Style() == TComboBoxStyle::csDropDown;
        if (w->isEditable() != editable) {
            w->setEditable(editable);
            if (editable && w->lineEdit()) w->lineEdit()->setValidator(new CodePageValidator(w->lineEdit()));
            if (editable && w->lineEdit())
                QObject::connect(w->lineEdit(), &QLineEdit::textEdited, w, [this](const QString& t) {
                    Guard([&] { FCombo.UserSetText(FromQt(t)); });
                });
        }
        QStringList items;
        for (int i = 0; i < FCombo.Items.Count(); ++i) items << ToQt(VisiblePart(FCombo.Items[i]));
        QStringList shown;
        for (int i = 0; i < w->count(); ++i) shown << w->itemText(i);
        if (shown != items) {
            w->clear();
            w->addItems(items);
        }
        w->setMaxVisibleItems(std::max(1, FCombo.DropDownCount));
        w->setCurrentIndex(FCombo.ItemIndex());
        if (editable && w->lineEdit()) {
            const QString text = ToQt(FCombo.Text());
            w->lineEdit()->setMaxLength(FCombo.MaxLength() > 0 ? std::max<int>(FCombo.MaxLength(), text.size()) : 32767);
            if (w->lineEdit()->text() != text) w->lineEdit()->setText(text);
        }
    }

private:
    /// An item may carry a code after a long run of blanks, which a list as wide as the control
    /// never brings into view; the widget, whose list may grow to its widest item, is given only
    /// the part before that run.
    static std::string VisiblePart(const std::string& item) {
        const std::size_t run = item.find(std::string(16, ' '));
        return run == std::string::npos ? item : item.substr(0, run);
    }
    TComboBox& FCombo;
};

class ButtonPeer : public QtPeer {
public:
    ButtonPeer(TButton& button, QWidget* parent) : QtPeer(button, new QPushButton(parent)), FButton(button) {
        auto* w = static_cast<QPushButton*>(FWidget.data());
        QObject::connect(w, &QPushButton::clicked, w, [this] { Guard([&] { FButton.Click(); }); });
        WatchFocus(button, w);
    }

protected:
    void SyncOwn() override {
        auto* w = static_cast<QPushButton*>(FWidget.data());
        w->setText(ToQt(FButton.Caption()));
        w->setDefault(FButton.Default);
    }

private:
    TButton& FButton;
};

class CheckPeer : public QtPeer {
public:
    CheckPeer(TCheckBox& box, QWidget* parent) : QtPeer(box, new QCheckBox(parent)), FBox(box) {
        auto* w = static_cast<QCheckBox*>(FWidget.data());
        QObject::connect(w, &QCheckBox::clicked, w, [this] {
            Guard([&] { FBox.Click(); });
            Sync();
        });
        WatchFocus(box, w);
    }

protected:
    void SyncOwn() override {
        auto* w = static_cast<QCheckBox*>(FWidget.data());
        w->setText(ToQt(FBox.Caption()));
        w->setChecked(FBox.Checked());
    }

private:
    TCheckBox& FBox;
};

class RadioPeer : public QtPeer {
public:
    RadioPeer(TRadioButton& radio, QWidget* parent) : QtPeer(radio, new QRadioButton(parent)), FRadio(radio) {
        auto* w = static_cast<QRadioButton*>(FWidget.data());
        w->setAutoExclusive(false);
        QObject::connect(w, &QRadioButton::clicked, w, [this] {
            Guard([&] { FRadio.Click(); });
            Sync();
        });
        WatchFocus(radio, w);
    }

protected:
    void SyncOwn() override {
        auto* w = static_cast<QRadioButton*>(FWidget.data());
        w->setText(ToQt(FRadio.Caption()));
        w->setChecked(FRadio.Checked());
    }

private:
    TRadioButton& FRadio;
};

class GroupPeer : public QtPeer {
public:
    GroupPeer(TGroupBox& group, QWidget* parent) : QtPeer(group, new QGroupBox(parent)), FGroup(group) {}

protected:
    void SyncOwn() override { static_cast<QGroupBox*>(FWidget.data())->setTitle(ToQt(FGroup.Caption())); }

private:
    TGroupBox& FGroup;
};

class PanelPeer : public QtPeer {
public:
    PanelPeer(TPanel& panel, QWidget* parent) : QtPeer(panel, new QFrame(parent)), FPanel(panel) {}

protected:
    void SyncOwn() override {
        auto* w = static_cast<QFrame*>(FWidget.data());
        w->setFrameShape(FPanel.BevelOuter == TPanelBevel::bvNone ? QFrame::NoFrame : QFrame::Panel);
        w->setFrameShadow(FPanel.BevelOuter == TPanelBevel::bvLowered ? QFrame::Sunken : QFrame::Raised);
    }

private:
    TPanel& FPanel;
};

class SpeedButtonPeer : public QtPeer {
public:
    SpeedButtonPeer(TSpeedButton& button, QWidget* parent) : QtPeer(button, new QToolButton(parent)), FButton(button) {
        auto* w = static_cast<QToolButton*>(FWidget.data());
        w->setFocusPolicy(Qt::NoFocus);
        QObject::connect(w, &QToolButton::clicked, w, [this] {
            Guard([&] { FButton.Click(); });
            Sync();
        });
    }

protected:
    void SyncOwn() override {
        auto* w = static_cast<QToolButton*>(FWidget.data());
        w->setText(ToQt(FButton.Caption()));
        const void* glyph = FButton.Glyph().Empty() ? nullptr : FButton.Glyph().DataIdentity();
        if (glyph != FGlyphShown) {
            FGlyphShown = glyph;
            w->setIcon(glyph ? GlyphIcon(FButton.Glyph()) : QIcon());
            if (glyph) w->setIconSize(QSize(FButton.Glyph().Width(), FButton.Glyph().Height()));
        }
        w->setToolButtonStyle(glyph && FButton.Caption().empty() ? Qt::ToolButtonIconOnly
                              : glyph                            ? Qt::ToolButtonTextUnderIcon
                                                                 : Qt::ToolButtonTextOnly);
        w->setCheckable(FButton.GroupIndex() != 0);
        w->setChecked(FButton.Down());
        w->setAutoRaise(FButton.Flat);
    }

private:
    /// The glyph with its bottom-left colour made transparent; the icon greys it when disabled.
    static QIcon GlyphIcon(const TBitmap& bitmap) {
        QImage image = ToQImage(bitmap).convertToFormat(QImage::Format_ARGB32);
        const QRgb clear = image.pixel(0, image.height() - 1);
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if ((row[x] & 0xFFFFFF) == (clear & 0xFFFFFF)) row[x] = 0;
        }
        return QIcon(QPixmap::fromImage(image));
    }

    TSpeedButton& FButton;
    const void* FGlyphShown = nullptr;
};

class ImageWidget : public QWidget {
public:
    ImageWidget(TImage& image, QWidget* parent) : QWidget(parent), FImage(image) {}

protected:
    void paintEvent(QPaintEvent*) override {
        const TGraphic* graphic = FImage.Picture().Graphic();
        if (!graphic || graphic->Empty()) return;
        const TRect rect = FImage.Stretch() ? TRect{0, 0, width(), height()}
                                            : TRect{0, 0, graphic->Width(), graphic->Height()};
        PaintWithCanvas(*this, [&](TCanvas& canvas) { canvas.StretchDraw(rect, *graphic); });
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) Guard([&] { FImage.Click(); });
    }

private:
    TImage& FImage;
};

class ImagePeer : public QtPeer {
public:
    ImagePeer(TImage& image, QWidget* parent) : QtPeer(image, new ImageWidget(image, parent)) {}
};

class CalendarPeer : public QtPeer {
public:
    CalendarPeer(TMonthCalendar& cal, QWidget* parent) : QtPeer(cal, new QCalendarWidget(parent)), FCal(cal) {
        auto* w = static_cast<QCalendarWidget*>(FWidget.data());
        w->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        QObject::connect(w, &QCalendarWidget::clicked, w, [this](QDate d) {
            Guard([&] {
                FCal.SetDate(std::chrono::year_month_day{std::chrono::year{d.year()},
                                                         std::chrono::month{static_cast<unsigned>(d.month())},
                                                         std::chrono::day{static_cast<unsigned>(d.day())}});
                FCal.Click();
            });
        });
        WatchFocus(cal, w);
    }

protected:
    void SyncOwn() override {
        auto* w = static_cast<QCalendarWidget*>(FWidget.data());
        const auto d = FCal.Date();
        const QSignalBlocker block(w);
        w->setSelectedDate(QDate(int(d.year()), int(unsigned(d.month())), int(unsigned(d.day()))));
    }

private:
    TMonthCalendar& FCal;
};

// --- scroll box -----------------------------------------------------------------------------

class ScrollArea : public QAbstractScrollArea {
public:
    ScrollArea(TScrollBox& box, QWidget* parent) : QAbstractScrollArea(parent), FBox(box) {
        viewport()->setMouseTracking(false);
        connect(horizontalScrollBar(), &QScrollBar::valueChanged, this,
                [this](int v) { Guard([&] { FBox.HorzScrollBar.SetPosition(v); }); });
        connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
                [this](int v) { Guard([&] { FBox.VertScrollBar.SetPosition(v); }); });
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QWidget& view = *viewport();
        {
            QPainter background(&view);
            background.fillRect(view.rect(), FBox.Color() >= 0 ? ToQColor(FBox.Color()) : view.palette().window().color());
        }
        PaintWithCanvas(view, [&](TCanvas& canvas) { FBox.Paint(canvas); });
    }
    void resizeEvent(QResizeEvent* e) override {
        QAbstractScrollArea::resizeEvent(e);
        Guard([&] { FBox.SetClientSize(viewport()->width(), viewport()->height()); });
    }
    void mousePressEvent(QMouseEvent* e) override {
        Guard([&] { FBox.MouseDown(ButtonOf(e), int(e->position().x()), int(e->position().y())); });
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        Guard([&] { FBox.MouseMove(int(e->position().x()), int(e->position().y())); });
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        Guard([&] { FBox.MouseUp(ButtonOf(e), int(e->position().x()), int(e->position().y())); });
    }

private:
    static TMouseButton ButtonOf(QMouseEvent* e) {
        if (e->button() == Qt::RightButton) return TMouseButton::mbRight;
        if (e->button() == Qt::MiddleButton) return TMouseButton::mbMiddle;
        return TMouseButton::mbLeft;
    }
    TScrollBox& FBox;
};

class ScrollBoxPeer : public QtPeer {
public:
    ScrollBoxPeer(TScrollBox& box, QWidget* parent) : QtPeer(box, new ScrollArea(box, parent)), FBox(box) {}
    QWidget* Container() const override { return static_cast<QAbstractScrollArea*>(FWidget.data())->viewport(); }
    QPoint ChildOffset() const override { return {FBox.HorzScrollBar.Position(), FBox.VertScrollBar.Position()}; }
    /// The box draws its content on the viewport, so that is what is repainted.
    void Invalidate(bool) override {
        if (FWidget) static_cast<QAbstractScrollArea*>(FWidget.data())->viewport()->update();
    }

protected:
    void SyncOwn() override {
        auto* w = static_cast<QAbstractScrollArea*>(FWidget.data());
        const QSize view = w->viewport()->size();
        {
            const QSignalBlocker bh(w->horizontalScrollBar());
            const QSignalBlocker bv(w->verticalScrollBar());
            w->horizontalScrollBar()->setRange(0, std::max(0, FBox.HorzScrollBar.Range() - view.width()));
            w->horizontalScrollBar()->setPageStep(view.width());
            w->horizontalScrollBar()->setSingleStep(FBox.HorzScrollBar.Increment);
            w->horizontalScrollBar()->setValue(FBox.HorzScrollBar.Position());
            w->verticalScrollBar()->setRange(0, std::max(0, FBox.VertScrollBar.Range() - view.height()));
            w->verticalScrollBar()->setPageStep(view.height());
            w->verticalScrollBar()->setSingleStep(FBox.VertScrollBar.Increment);
            w->verticalScrollBar()->setValue(FBox.VertScrollBar.Position());
        }
        // The area shows or hides a bar when told its range changed (which the blockers kept
        // back, with the position changes): a range that now fits hides its bar.
        for (QScrollBar* bar : {w->horizontalScrollBar(), w->verticalScrollBar()})
            Q_EMIT bar->rangeChanged(bar->minimum(), bar->maximum());
        for (int i = 0; i < FBox.ControlCount(); ++i)
            if (ControlPeer* p = FBox.Controls(i)->Peer()) p->Sync();
        w->viewport()->update();
    }

private:
    TScrollBox& FBox;
};

std::unique_ptr<QtPeer> CreatePeer(TControl& c, QWidget* parent) {
    if (auto* x = dynamic_cast<TLabel*>(&c)) return std::make_unique<LabelPeer>(*x, parent);
    if (auto* x = dynamic_cast<TEdit*>(&c)) return std::make_unique<EditPeer>(*x, parent);
    if (auto* x = dynamic_cast<TMemo*>(&c)) return std::make_unique<MemoPeer>(*x, parent);
    if (auto* x = dynamic_cast<TComboBox*>(&c)) return std::make_unique<ComboPeer>(*x, parent);
    if (auto* x = dynamic_cast<TButton*>(&c)) return std::make_unique<ButtonPeer>(*x, parent);
    if (auto* x = dynamic_cast<TCheckBox*>(&c)) return std::make_unique<CheckPeer>(*x, parent);
    if (auto* x = dynamic_cast<TRadioButton*>(&c)) return std::make_unique<RadioPeer>(*x, parent);
    if (auto* x = dynamic_cast<TGroupBox*>(&c)) return std::make_unique<GroupPeer>(*x, parent);
    if (auto* x = dynamic_cast<TPanel*>(&c)) return std::make_unique<PanelPeer>(*x, parent);
    if (auto* x = dynamic_cast<TScrollBox*>(&c)) return std::make_unique<ScrollBoxPeer>(*x, parent);
    if (auto* x = dynamic_cast<TSpeedButton*>(&c)) return std::make_unique<SpeedButtonPeer>(*x, parent);
    if (auto* x = dynamic_cast<TImage*>(&c)) return std::make_unique<ImagePeer>(*x, parent);
    if (auto* x = dynamic_cast<TMonthCalendar*>(&c)) return std::make_unique<CalendarPeer>(*x, parent);
    return std::make_unique<QtPeer>(c, new QWidget(parent));
}

/// Creates the widgets of a control and of everything it holds.
void BuildPeers(TControl& c, QWidget* parent) {
    if (!c.Peer()) c.SetPeer(CreatePeer(c, parent));
    auto* peer = static_cast<QtPeer*>(c.Peer());
    if (auto* win = dynamic_cast<TWinControl*>(&c))
        for (int i = 0; i < win->ControlCount(); ++i) BuildPeers(*win->Controls(i), peer->Container());
}

// --- the back end ---------------------------------------------------------------------------

/// The print dialog: the printers of the printer object and the number of copies.
bool ExecutePrintDialog(TPrintDialog& dialog) {
    // The toolkit's own words for the dialog's title and fields, in the language in use.
    QDialog window;
    window.setWindowTitle(QCoreApplication::translate("QPrintDialog", "Print"));
    auto* layout = new QFormLayout(&window);
    auto* printers = new QComboBox(&window);
    for (const std::string& name : Printer()->Printers()) printers->addItem(ToQt(name));
    try {
        printers->setCurrentIndex(Printer()->PrinterIndex());
    } catch (const Exception&) {
    }
    auto* copies = new QSpinBox(&window);
    copies->setRange(1, 999);
    copies->setValue(std::max(1, dialog.Copies));
    layout->addRow(QCoreApplication::translate("QPrintWidget", "Printer"), printers);
    layout->addRow(QCoreApplication::translate("QPrintSettingsOutput", "Copies"), copies);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &window);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &window, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);
    layout->addRow(buttons);
    if (window.exec() != QDialog::Accepted) return false;
    if (printers->currentIndex() >= 0) Printer()->SetPrinterIndex(printers->currentIndex());
    dialog.Copies = copies->value();
    return true;
}

class QtBackend final : public FormsBackend {
public:
    QtBackend() {
        TPrintDialog::SetExecuteHook([](TPrintDialog& dialog) {
            bool confirm = true;
            if (FormsScript::detail::TakeDialogAnswer(confirm)) return confirm;
            return ExecutePrintDialog(dialog);
        });
    }
    ~QtBackend() override {
        TPrintDialog::SetExecuteHook(nullptr);
        QApplication::restoreOverrideCursor();
    }

    bool IsHeadless() const override { return false; }

    void FormShown(TForm& form) override {
        if (!form.Peer()) form.SetPeer(std::make_unique<FormPeer>(form));
        auto* peer = static_cast<QtPeer*>(form.Peer());
        for (int i = 0; i < form.ControlCount(); ++i) BuildPeers(*form.Controls(i), peer->Container());
        QWidget* w = peer->Widget();
        w->setWindowModality(form.Modal() ? Qt::ApplicationModal : Qt::NonModal);
        if (form.Position == TPosition::poScreenCenter) {
            const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
            w->move(screen.center() - QPoint(form.Width() / 2, form.Height() / 2));
        } else {
            w->move(form.Left(), form.Top());
        }
        w->show();
        w->raise();
        w->activateWindow();
        // The control the form made active while it was being shown takes the focus, not the
        // first one of the window.
        if (TWinControl* active = form.ActiveControl())
            if (active->Peer()) active->Peer()->SetFocus();
    }

    void FormHidden(TForm& form) override {
        if (auto* peer = dynamic_cast<QtPeer*>(form.Peer()))
            if (peer->Widget()) peer->Widget()->hide();
    }

    void ControlAdded(TControl& control) override {
        TWinControl* parent = control.Parent();
        auto* pp = parent ? dynamic_cast<QtPeer*>(parent->Peer()) : nullptr;
        if (pp) BuildPeers(control, pp->Container());
    }

    void RunModal(TForm& form) override {
        RunUntil(form, [&] { return form.ModalResult() != mrNone || !form.Visible(); });
    }
    void RunMain(TForm& form) override {
        RunUntil(form, [&] { return !form.Visible(); });
    }
    void ModalResultChanged(TForm&) override {}

    void ProcessMessages() override {
        QCoreApplication::processEvents();
        Application->FireDueTimers();
    }

    TModalResult ShowMessageBox(const MessageBoxRequest& r) override {
        QMessageBox box;
        box.setWindowTitle(WindowTitle(r.Caption));
        box.setText(ToQt(r.Text));
        if (r.Kind == "Error") box.setIcon(QMessageBox::Critical);
        else if (r.Kind == "Warning") box.setIcon(QMessageBox::Warning);
        else if (r.Kind == "Information") box.setIcon(QMessageBox::Information);
        else if (r.Kind == "Confirmation") box.setIcon(QMessageBox::Question);
        QPushButton* scripted = nullptr;
        for (TModalResult b : r.Buttons) {
            QPushButton* button = box.addButton(StandardButton(b));
            if (b == r.Default) box.setDefaultButton(button);
            if (b == r.Scripted) scripted = button;
        }
        // A scripted answer clicks its button once the box is up, as a user would.
        if (scripted) QTimer::singleShot(20, scripted, [scripted] { scripted->click(); });
        box.exec();
        QAbstractButton* clicked = box.clickedButton();
        if (!clicked) return r.Buttons.size() == 1 ? r.Buttons.front() : mrCancel;
        const auto std = box.standardButton(clicked);
        for (TModalResult b : r.Buttons)
            if (StandardButton(b) == std) return b;
        return r.Default;
    }

    void CursorChanged(TCursor cursor) override {
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
        if (cursor == crHourGlass) QApplication::setOverrideCursor(Qt::WaitCursor);
        else if (cursor == crHandPoint) QApplication::setOverrideCursor(Qt::PointingHandCursor);
    }

    void Beep() override { QApplication::beep(); }

    bool GrabScreen(TControl& control, const std::string& fileName) override {
        auto* peer = dynamic_cast<QtPeer*>(control.Peer());
        if (!peer || !peer->Widget()) return false;
        QCoreApplication::processEvents();
        QWidget* w = peer->Widget();
        QScreen* screen = w->screen();
        if (!screen) return false;
        const QPoint at = w->mapTo(w->window(), QPoint(0, 0));
        return screen->grabWindow(w->window()->winId(), at.x(), at.y(), w->width(), w->height())
            .save(QString::fromStdString(fileName), "PNG");
    }

    bool WindowHasFocus(TWinControl& control, bool& focused) override {
        auto* peer = dynamic_cast<QtPeer*>(control.Peer());
        if (!peer || !peer->Widget()) return false;
        QCoreApplication::processEvents();
        focused = peer->Widget()->window()->focusWidget() == peer->Widget();
        return true;
    }

    bool ShownScrollBar(TScrollBox& box, bool& shown, int& position, int& maximum) override {
        auto* peer = dynamic_cast<QtPeer*>(box.Peer());
        auto* area = peer ? qobject_cast<QAbstractScrollArea*>(peer->Widget()) : nullptr;
        if (!area) return false;
        QCoreApplication::processEvents();
        const QScrollBar* bar = area->verticalScrollBar();
        shown = bar->isVisible();
        position = bar->value();
        maximum = bar->maximum();
        return true;
    }

    bool Wheel(TControl& control, int notches) override {
        auto* peer = dynamic_cast<QtPeer*>(control.Peer());
        if (!peer || !peer->Widget()) return false;
        QWidget* w = peer->Widget();
        // The event goes to the widget under the mouse and, while a widget leaves it, on to its
        // parent, as the window system delivers a wheel turn (an event sent from code would stop
        // at the first widget).
        const QPoint global = w->mapToGlobal(w->rect().center());
        QWidget* target = w->childAt(w->rect().center());
        if (!target) target = w;
        const Handling handling;
        for (QWidget* at = target; at; at = at->isWindow() ? nullptr : at->parentWidget()) {
            QWheelEvent wheel(at->mapFromGlobal(QPointF(global)), QPointF(global), QPoint(), QPoint(0, 120 * notches),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            if (QCoreApplication::sendEvent(at, &wheel) && wheel.isAccepted()) break;
        }
        QCoreApplication::processEvents();
        return true;
    }

    bool DroppedRows(TComboBox& combo, int& rows) override {
        auto* peer = dynamic_cast<QtPeer*>(combo.Peer());
        auto* box = peer ? qobject_cast<QComboBox*>(peer->Widget()) : nullptr;
        if (!box) return false;
        box->showPopup();
        QCoreApplication::processEvents();
        QAbstractItemView* view = box->view();
        rows = 0;
        const QRect shown = view->viewport()->rect();
        for (int i = 0; i < box->count(); ++i)
            if (shown.contains(view->visualRect(box->model()->index(i, box->modelColumn())))) ++rows;
        box->hidePopup();
        QCoreApplication::processEvents();
        return true;
    }

    void ScreenSize(int& width, int& height) const override {
        FormsBackend::ScreenSize(width, height);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect all = screen->geometry();
            if (all.width() > 0 && all.height() > 0) width = all.width(), height = all.height();
        }
    }

    bool GrabWholeScreen(const std::string& fileName) override {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen) return false;
        QCoreApplication::processEvents();
        return screen->grabWindow(0).save(QString::fromStdString(fileName), "PNG");
    }

    bool GrabForm(TForm& form, const std::string& fileName) override {
        auto* peer = dynamic_cast<QtPeer*>(form.Peer());
        if (!peer || !peer->Widget()) return false;
        QCoreApplication::processEvents();
        const bool bmp = fileName.size() >= 4 && QString::fromStdString(fileName).endsWith(".bmp", Qt::CaseInsensitive);
        return peer->Widget()->grab().save(QString::fromStdString(fileName), bmp ? "BMP" : "PNG");
    }

    bool ShownText(TControl& control, std::u16string& text) override {
        auto* peer = dynamic_cast<QtPeer*>(control.Peer());
        if (!peer || !peer->Widget()) return false;
        QWidget* w = peer->Widget();
        QString shown;
        if (auto* label = qobject_cast<QLabel*>(w)) shown = label->text();
        else if (auto* edit = qobject_cast<QLineEdit*>(w)) shown = edit->text();
        else if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) shown = memo->toPlainText();
        else if (auto* button = qobject_cast<QAbstractButton*>(w)) shown = button->text();
        else if (auto* group = qobject_cast<QGroupBox*>(w)) shown = group->title();
        else if (auto* combo = qobject_cast<QComboBox*>(w)) shown = combo->currentText();
        else if (qobject_cast<QCalendarWidget*>(w)) {
            // The heading: the month and the year the calendar shows.
            for (const char* part : {"qt_calendar_monthbutton", "qt_calendar_yearbutton"})
                if (auto* b = w->findChild<QAbstractButton*>(part)) shown += (shown.isEmpty() ? "" : " ") + b->text();
        }
        else if (w->isWindow()) shown = w->windowTitle();
        else return false;
        text.assign(reinterpret_cast<const char16_t*>(shown.utf16()), static_cast<std::size_t>(shown.size()));
        return true;
    }

    bool ContentFits(TControl& control, bool& fits) override {
        auto* peer = dynamic_cast<QtPeer*>(control.Peer());
        if (!peer || !peer->Widget()) return false;
        QCoreApplication::processEvents();
        QWidget* w = peer->Widget();
        if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) {
            // The plain-text layout counts its size in lines, wrapped lines included.
            const double lines = memo->document()->documentLayout()->documentSize().height();
            const double needed = lines * memo->fontMetrics().lineSpacing() + 2 * memo->document()->documentMargin();
            fits = needed <= memo->viewport()->height();
        } else if (auto* label = qobject_cast<QLabel*>(w); label && label->wordWrap()) {
            fits = label->heightForWidth(label->width()) <= label->height();
        } else {
            const QSize hint = w->sizeHint();
            fits = hint.width() <= w->width() && hint.height() <= w->height();
        }
        return true;
    }

    bool StandardButtonText(TModalResult button, std::u16string& text) override {
        QMessageBox box;
        const QString shown = box.addButton(StandardButton(button))->text();
        text.assign(reinterpret_cast<const char16_t*>(shown.utf16()), static_cast<std::size_t>(shown.size()));
        return true;
    }

    bool InsideParentFrame(TControl& control, bool& inside) override {
        auto* peer = dynamic_cast<QtPeer*>(control.Peer());
        if (!peer || !peer->Widget() || !peer->Widget()->parentWidget()) return false;
        QCoreApplication::processEvents();
        // A group box keeps its title and frame line outside its contents rectangle.
        inside = peer->Widget()->parentWidget()->contentsRect().contains(peer->Widget()->geometry());
        return true;
    }

    bool RequestWindowClose(TForm& form) override {
        auto* peer = dynamic_cast<QtPeer*>(form.Peer());
        QWindow* window = peer && peer->Widget() ? peer->Widget()->windowHandle() : nullptr;
        if (!window) return false;
        // What the platform makes of a window manager's WM_DELETE_WINDOW message (the title bar's
        // close button, Alt+F4): a close event for the window, handled by the event loop later.
        QCoreApplication::postEvent(window, new QCloseEvent());
        return true;
    }

    bool ResizeWindow(TForm& form, int width, int height) override {
        auto* peer = dynamic_cast<QtPeer*>(form.Peer());
        if (!peer || !peer->Widget()) return false;
        peer->Widget()->resize(width, height);
        QCoreApplication::processEvents();
        return true;
    }

    bool QueueClick(TControl& control) override {
        auto* peer = dynamic_cast<QtPeer*>(control.Peer());
        auto* button = peer ? qobject_cast<QAbstractButton*>(peer->Widget()) : nullptr;
        if (!button) return false;
        return QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
    }

    bool TypeKeys(TWinControl& control, std::u16string_view text) override {
        auto* peer = dynamic_cast<QtPeer*>(control.Peer());
        if (!peer || !peer->Widget()) return false;
        QWidget* w = peer->Widget();
        if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->lineEdit()) w = combo->lineEdit();
        w->setFocus(Qt::OtherFocusReason);
        if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) memo->moveCursor(QTextCursor::End);
        if (auto* line = qobject_cast<QLineEdit*>(w)) line->end(false);
        for (char16_t unit : text) {
            const QString key(QChar(static_cast<char16_t>(unit)));
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, key);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, key);
            const Handling handling;
            QCoreApplication::sendEvent(w, &press);
            QCoreApplication::sendEvent(w, &release);
        }
        return true;
    }

private:
    static QMessageBox::StandardButton StandardButton(TModalResult b) {
        switch (b) {
            case mrOk: return QMessageBox::Ok;
            case mrCancel: return QMessageBox::Cancel;
            case mrAbort: return QMessageBox::Abort;
            case mrRetry: return QMessageBox::Retry;
            case mrIgnore: return QMessageBox::Ignore;
            case mrYes: return QMessageBox::Yes;
            case mrNo: return QMessageBox::No;
            default: return QMessageBox::NoButton;
        }
    }

    template <class Done>
    void RunUntil(TForm& form, Done done) {
        QEventLoop loop;
        QTimer tick;
        tick.setInterval(2);
        const int depth = gHandlingDepth;
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            if (Application->Terminated()) {
                loop.quit();
                return;
            }
            // Inside a nested loop (a handler of this form still running) nothing is decided.
            if (gHandlingDepth != depth) return;
            if (done()) {
                loop.quit();
                return;
            }
            {
                const Handling handling;
                Application->Idle(form);
            }
            if (done() || Application->Terminated()) loop.quit();
        });
        tick.start();
        if (!done()) loop.exec();
    }
};

}  // namespace

std::unique_ptr<FormsBackend> MakeQtBackend() {
    if (!EnsureWidgetApplication()) {
        std::fprintf(stderr, "forms: Qt was started without widgets; forms run headless\n");
        return nullptr;
    }
    return std::make_unique<QtBackend>();
}
