// Job submission through the CUPS client library (libcups.so.2, loaded on first use, so that a
// run that never prints never maps it). The library's own header gives the types and signatures.
#include "CupsJobs.h"

#include <cups/cups.h>
#include <dlfcn.h>

#include <string>

namespace cupsjobs {

namespace {

constexpr const char* kPdf = "application/pdf";
constexpr int kLastSuccessfulStatus = 0xFF;  // IPP keeps 0x0000-0x00FF for successful-ok-*

/// The library's entry points; a null `Handle` and `Why` when it cannot be loaded.
struct TApi {
    void* Handle = nullptr;
    std::string Why;
    decltype(&::cupsGetNamedDest) GetNamedDest = nullptr;
    decltype(&::cupsFreeDests) FreeDests = nullptr;
    decltype(&::cupsGetOption) GetOption = nullptr;
    decltype(&::cupsAddOption) AddOption = nullptr;
    decltype(&::cupsFreeOptions) FreeOptions = nullptr;
    decltype(&::cupsCreateJob) CreateJob = nullptr;
    decltype(&::cupsStartDocument) StartDocument = nullptr;
    decltype(&::cupsWriteRequestData) WriteRequestData = nullptr;
    decltype(&::cupsFinishDocument) FinishDocument = nullptr;
    decltype(&::cupsCancelJob2) CancelJob2 = nullptr;
    decltype(&::cupsLastError) LastError = nullptr;
    decltype(&::cupsLastErrorString) LastErrorString = nullptr;
    decltype(&::cupsServer) Server = nullptr;
    decltype(&::ippPort) Port = nullptr;
    decltype(&::httpConnect2) Connect = nullptr;
    decltype(&::httpClose) Close = nullptr;
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
    http_t* http = api.Connect(api.Server(), api.Port(), nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED, 1, 5000, nullptr);
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
    cups_dest_t* dest = api.GetNamedDest(nullptr, queue, nullptr);
    if (!dest) {
        const std::string answer = LastAnswer(api, "The printer or class does not exist.");
        if (!ServerReachable(api)) return "The print server " + std::string(api.Server()) + " cannot be reached.";
        return answer;
    }
    std::string stopped;
    const char* state = api.GetOption("printer-state", dest->num_options, dest->options);
    if (state && std::string(state) == std::to_string(IPP_PSTATE_STOPPED)) {
        const char* message = api.GetOption("printer-state-message", dest->num_options, dest->options);
        if (!message || !*message) message = api.GetOption("printer-state-reasons", dest->num_options, dest->options);
        stopped = "The printer is stopped";
        stopped += message && *message ? std::string(" (") + message + ")." : std::string(".");
    }
    api.FreeDests(1, dest);
    if (!stopped.empty()) return stopped;

    // The document is whole and already laid out on its pages, in their orientation.
    int count = 0;
    cups_option_t* options = nullptr;
    count = api.AddOption("copies", std::to_string(job.Copies < 1 ? 1 : job.Copies).c_str(), count, &options);
    if (job.Copies > 1) count = api.AddOption("Collate", "true", count, &options);
    if (!job.Media.empty()) count = api.AddOption("media", job.Media.c_str(), count, &options);
    count = api.AddOption("sides", "one-sided", count, &options);
    if (job.Landscape) count = api.AddOption("landscape", "false", count, &options);
    const int id = api.CreateJob(nullptr, queue, job.Title.c_str(), count, options);
    api.FreeOptions(count, options);
    if (id <= 0) return LastAnswer(api, "The job was not accepted.");

    std::string answer;
    if (api.StartDocument(nullptr, queue, id, job.Title.c_str(), kPdf, 1) != HTTP_STATUS_CONTINUE ||
        api.WriteRequestData(nullptr, pdf.data(), pdf.size()) != HTTP_STATUS_CONTINUE) {
        answer = LastAnswer(api, "The document could not be sent.");
        api.FinishDocument(nullptr, queue);
    } else if (api.FinishDocument(nullptr, queue) > kLastSuccessfulStatus) {
        answer = LastAnswer(api, "The document was not accepted.");
    }
    // A job the server did not take whole prints nothing.
    if (!answer.empty()) api.CancelJob2(nullptr, queue, id, 1);
    return answer;
}

}  // namespace cupsjobs
