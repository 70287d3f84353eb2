// Hands a finished document to a CUPS queue and reports what the print system answered. The
// CUPS client library is loaded when the first job is sent, so that a run that never prints
// never loads it (the toolkit's CUPS plug-in, which lists the printers, has loaded it by then).
#pragma once

#include <string>

namespace cupsjobs {

/// One job for a queue: a PDF document with the options a print dialog sets.
struct TJob {
    std::string Queue;
    std::string Title;     ///< UTF-8
    std::string Media;     ///< the paper's name ("A4", "Letter"); empty: the queue's default
    int Copies = 1;
    bool Landscape = false;  ///< the document's pages are already turned; the queue leaves them so
};

/// Sends `pdf` as one job. Empty when the server accepted the whole document; otherwise what
/// the print system answered (the queue stopped or gone, jobs refused, the server unreachable),
/// and nothing of the job is left in the queue. A stopped queue is not sent the job: it would
/// hold it until someone starts the queue again.
std::string Submit(const TJob& job, const std::string& pdf);

}  // namespace cupsjobs
