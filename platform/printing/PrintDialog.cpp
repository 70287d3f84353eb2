// Print dialog: the forms layer's hook, or the headless script of answers.
#include "PrintDialog.h"

#include "Printers.h"

namespace {
TPrintDialog::ExecuteHook& Hook() {
    static TPrintDialog::ExecuteHook hook;
    return hook;
}
std::deque<bool>& Script() {
    static std::deque<bool> script;
    return script;
}
int gExecuteCount = 0;
}  // namespace

bool TPrintDialog::Execute() {
    ++gExecuteCount;
    bool ok = true;
    if (Hook()) {
        ok = Hook()(*this);
    } else if (!Script().empty()) {
        ok = Script().front();
        Script().pop_front();
    }
    if (ok) Printer()->SetCopies(Copies);
    return ok;
}

void TPrintDialog::SetExecuteHook(ExecuteHook hook) { Hook() = std::move(hook); }
void TPrintDialog::ScriptAnswer(bool ok) { Script().push_back(ok); }
void TPrintDialog::ClearScript() { Script().clear(); }
int TPrintDialog::ExecuteCount() { return gExecuteCount; }
