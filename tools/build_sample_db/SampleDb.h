// Builds the service database file from its text sources: the schema script and
// one '|'-separated text file per table. Called by the builder's main program.
#pragma once

#include <stdexcept>
#include <string>

namespace sampledb {

/// A fault in a source file; the message names the file and, where there is one, the line.
class SourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Creates `outputFile` from `sourceDir`/schema.sql and `sourceDir`/tables/<table>.txt.
/// The file is written under a temporary name and renamed when complete, so a fault
/// (SourceError, or std::runtime_error for a database fault) never leaves a partial file
/// under the output name.
void BuildSampleDatabase(const std::string& sourceDir, const std::string& outputFile);

}  // namespace sampledb
