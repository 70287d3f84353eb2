// Job submission through the CUPS client library (libcups.so.2, loaded on first use). Only the
// few calls used here are declared; their C interface has been stable since CUPS 1.4.
#include "CupsJobs.h"

#include <dlfcn.h>

#include <string>

namespace cupsjobs {

namespace {

struct TCupsOption {
    char* Name;
    char* Value;
};
struct TCupsDest {
    char* Name;
    char* Instance;
    int IsDefault;
    int NumOptions;
    TCupsOption* Options;
};

constexpr int kHttpContinue = 100;     // http_status_t: go on sending
constexpr int kIppLastSuccess = 0xFF;  // ipp_status_t: successful-ok-* end here
constexpr int kPrinterStopped = 5;     // printer-state: stopped
constexpr const char* kPdf = "application/pdf";

/// The library's entry points; a null `Handle` and `Why` when it cannot be loaded.
struct TApi {
    void* Handle = nullptr;
    std::string Why;
    TCupsDest* (*GetNamedDest)(void* http, const char* name, const char* instance) = nullptr;
    void (*FreeDests)(int count, TCupsDest* dests) = nullptr;
    const char* (*GetOption)(const char* name, int count, TCupsOption* options) = nullptr;
    int (*AddOption)(const char* name, const char* value, int count, TCupsOption** options) = nullptr;
    void (*FreeOptions)(int count, TCupsOption* options) = nullptr;
    int (*CreateJob)(void* http, const char* name, const char* title, int count, TCupsOption* options) = nullptr;
    int (*StartDocument)(void* http, const char* name, int job, const char* document, const char* format, int last) = nullptr;
    int (*WriteRequestData)(void* http, const char* buffer, size_t length) = nullptr;
    int (*FinishDocument)(void* http, const char* name) = nullptr;
    int (*CancelJob2)(void* http, const char* name, int job, int purge) = nullptr;
    int (*LastError)() = nullptr;
    const char* (*LastErrorString)() = nullptr;
    const char* (*Server)() = nullptr;
    int (*Port)() = nullptr;
    void* (*Connect)(const char* host, int port, void* addresses, int family, int encryption, int blocking, int msec,
                     int* cancel) = nullptr;
    void (*Close)(void* http) = nullptr;
};

template <typename F>
bool Resolve(TApi& api, F& function, const char* name) {
    function = reinterpret_cast<F>(dlsym(api.Handle, name));
    if (!function && api.Why.empty()) api.Why = std::string("no ") + name + " in libcups.so.2";
    return function != nullptr;
}

TApi Load() {
    TApi api;
    api.Handle = dlopen("libcups.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!api.Handle) {
        const char* why = dlerror();
        api.Why = why ? why : "libcups.so.2 cannot be loaded";
        return api;
    }
    bool ok = Resolve(api, api.GetNamedDest, "cupsGetNamedDest");
    ok = Resolve(api, api.FreeDests, "cupsFreeDests") && ok;
    ok = Resolve(api, api.GetOption, "cupsGetOption") && ok;
    ok = Resolve(api, api.AddOption, "cupsAddOption") && ok;
    ok = Resolve(api, api.FreeOptions, "cupsFreeOptions") && ok;
    ok = Resolve(api, api.CreateJob, "cupsCreateJob") && ok;
    ok = Resolve(api, api.StartDocument, "cupsStartDocument") && ok;
    ok = Resolve(api, api.WriteRequestData, "cupsWriteRequestData") && ok;
    ok = Resolve(api, api.FinishDocument, "cupsFinishDocument") && ok;
    ok = Resolve(api, api.CancelJob2, "cupsCancelJob2") && ok;
    ok = Resolve(api, api.LastError, "cupsLastError") && ok;
    ok = Resolve(api, api.LastErrorString, "cupsLastErrorString") && ok;
    ok = Resolve(api, api.Server, "cupsServer") && ok;
    ok = Resolve(api, api.Port, "ippPort") && ok;
    ok = Resolve(api, api.Connect, "httpConnect2") && ok;
    ok = Resolve(api, api.Close, "httpClose") && ok;
    if (!ok) api.Handle = nullptr;  // the library stays loaded; nothing of it is called
    return api;
}

const TApi& Api() {
    static const TApi api = Load();
    return api;
}

/// Whether the print server answers a connection at all.
bool ServerReachable(const TApi& api) {
    void* http = api.Connect(api.Server(), api.Port(), nullptr, 0, 0, 1, 5000, nullptr);
    if (!http) return false;
    api.Close(http);
    return true;
}

/// The print system's last answer, or `fallback` when it gave no text.
std::string LastAnswer(const TApi& api, const char* fallback) {
    const char* text = api.LastErrorString();
    return text && *text ? std::string(text) : std::string(fallback);
}

}  // namespace

std::string Submit(const TJob& job, const std::string& pdf) {
    const TApi& api = Api();
    if (!api.Handle) return "the print system's client library is missing (" + api.Why + ")";
    const char* queue = job.Queue.c_str();

    // The queue as the server has it now: gone, or stopped (a job would wait there unseen). The
    // look-up reports a server that cannot be reached as a queue not found: a connection tells.
    TCupsDest* dest = api.GetNamedDest(nullptr, queue, nullptr);
    if (!dest) {
        const std::string answer = LastAnswer(api, "The printer or class does not exist.");
        if (!ServerReachable(api)) return "The print server " + std::string(api.Server()) + " cannot be reached.";
        return answer;
    }
    std::string stopped;
    const char* state = api.GetOption("printer-state", dest->NumOptions, dest->Options);
    if (state && std::string(state) == std::to_string(kPrinterStopped)) {
        const char* message = api.GetOption("printer-state-message", dest->NumOptions, dest->Options);
        if (!message || !*message) message = api.GetOption("printer-state-reasons", dest->NumOptions, dest->Options);
        stopped = "The printer is stopped";
        stopped += message && *message ? std::string(" (") + message + ")." : std::string(".");
    }
    api.FreeDests(1, dest);
    if (!stopped.empty()) return stopped;

    // The document is whole and already laid out on its pages, in their orientation.
    int count = 0;
    TCupsOption* options = nullptr;
    count = api.AddOption("copies", std::to_string(job.Copies < 1 ? 1 : job.Copies).c_str(), count, &options);
    if (job.Copies > 1) count = api.AddOption("Collate", "true", count, &options);
    if (!job.Media.empty()) count = api.AddOption("media", job.Media.c_str(), count, &options);
    count = api.AddOption("sides", "one-sided", count, &options);
    if (job.Landscape) count = api.AddOption("landscape", "false", count, &options);
    const int id = api.CreateJob(nullptr, queue, job.Title.c_str(), count, options);
    api.FreeOptions(count, options);
    if (id <= 0) return LastAnswer(api, "The job was not accepted.");

    std::string answer;
    if (api.StartDocument(nullptr, queue, id, job.Title.c_str(), kPdf, 1) != kHttpContinue ||
        api.WriteRequestData(nullptr, pdf.data(), pdf.size()) != kHttpContinue) {
        answer = LastAnswer(api, "The document could not be sent.");
        api.FinishDocument(nullptr, queue);
    } else if (api.FinishDocument(nullptr, queue) > kIppLastSuccess) {
        answer = LastAnswer(api, "The document was not accepted.");
    }
    // A job the server did not take whole prints nothing.
    if (!answer.empty()) api.CancelJob2(nullptr, queue, id, 1);
    return answer;
}

}  // namespace cupsjobs
