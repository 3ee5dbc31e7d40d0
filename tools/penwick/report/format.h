// Text helpers shared by the reports.
#ifndef PENWICK_TOOLS_REPORT_FORMAT_H
#define PENWICK_TOOLS_REPORT_FORMAT_H

#include <string>

// printf into a string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Text made safe for XML: & < > " escaped.
std::string XmlEscaped(const std::string& text);

// A UTF-16 name as printable ASCII; anything else becomes '?'.
std::string PrintableName(const std::u16string& name);

#endif
