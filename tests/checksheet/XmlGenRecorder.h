// A recording stand-in for the XML checksheet unit: every call the report makes is kept as one
// line of text, in order, so tests can check the sequence of XML calls of a run.
#pragma once

#include <string>
#include <vector>

namespace XmlGenRecorder {

/// The calls since the last Reset, e.g. "AddSection(VEHICLE INTERIOR)".
std::vector<std::string>& Calls();
void Reset();
/// Calls whose text begins with `prefix`.
std::vector<std::string> CallsStartingWith(const std::string& prefix);

}  // namespace XmlGenRecorder
