// The print dialog: lets the user confirm a print and choose printer and copies. The forms layer
// installs the dialog it shows (SetExecuteHook); headless runs answer from a script of queued
// answers, or take OK when none is queued.
#pragma once

#include <deque>
#include <functional>

class TPrintDialog {
public:
    int Copies = 1;

    /// Shows the dialog; true on OK. A confirmed dialog gives its copies to the printer.
    bool Execute();

    /// The dialog shown by the forms layer; returns OK and may change Copies and the printer.
    using ExecuteHook = std::function<bool(TPrintDialog& dialog)>;
    static void SetExecuteHook(ExecuteHook hook);
    /// Queues the answer of the next Execute when no hook is installed.
    static void ScriptAnswer(bool ok);
    static void ClearScript();
    /// Number of Execute calls since start (for tests).
    static int ExecuteCount();
};
