// The back end without a display: no windows. Modal and main loops fire timers and run the
// script's actions; message boxes write their text to standard error and take their default
// button. A loop with nothing left that could ever close its form ends it with Cancel.
#include <cmath>
#include <iostream>
#include <memory>
#include <thread>

#include "Backend.h"
#include "Forms.h"

namespace {

const char* ButtonName(TModalResult r) {
    switch (r) {
        case mrOk: return "OK";
        case mrCancel: return "Cancel";
        case mrAbort: return "Abort";
        case mrRetry: return "Retry";
        case mrIgnore: return "Ignore";
        case mrYes: return "Yes";
        case mrNo: return "No";
        default: return "?";
    }
}

/// A message's CR LF line ends as the one line end of a terminal or log file.
std::string PlainLineEnds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out.push_back(text[i]);
    }
    return out;
}

class HeadlessBackend final : public FormsBackend {
public:
    bool IsHeadless() const override { return true; }
    void FormShown(TForm&) override {}
    void FormHidden(TForm&) override {}
    void ControlAdded(TControl&) override {}
    void ModalResultChanged(TForm&) override {}
    void CursorChanged(TCursor) override {}
    bool GrabForm(TForm&, const std::string&) override { return false; }

    void RunModal(TForm& form) override {
        RunUntil(form, [&] { return form.ModalResult() != mrNone || !form.Visible(); });
    }

    void RunMain(TForm& form) override {
        RunUntil(form, [&] { return !form.Visible(); });
    }

    void ProcessMessages() override {
        Application->FireDueTimers();
        if (!Application->ModalForms().empty()) Application->Idle(*Application->ModalForms().back());
    }

    TModalResult ShowMessageBox(const MessageBoxRequest& request) override {
        if (request.Scripted != mrNone) return request.Scripted;
        std::cerr << (request.Caption.empty() ? std::string() : request.Caption + ": ") << PlainLineEnds(request.Text)
                  << " [" << ButtonName(request.Default) << "]\n";
        return request.Default;
    }


private:
    template <class Done>
    void RunUntil(TForm& form, Done done) {
        while (!done() && !Application->Terminated()) {
            if (Application->Idle(form)) continue;
            const auto wait = Application->TimeToNextTimer();
            if (wait == std::chrono::steady_clock::duration::max()) {
                // No timer and no scripted input: nothing can close the form any more.
                std::cerr << "headless: form " << form.Name << " waits for input that no script gives; closed\n";
                if (form.Modal()) form.SetModalResult(mrCancel);
                else form.Close();
                if (!done()) form.Hide();
                return;
            }
            std::this_thread::sleep_for(std::min(wait, std::chrono::steady_clock::duration(std::chrono::milliseconds(50))));
        }
    }
};

}  // namespace

std::unique_ptr<FormsBackend> MakeHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }
