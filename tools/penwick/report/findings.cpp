#include "report/findings.h"

#include "report/format.h"

std::string FormatFinding(const ConfigurationFinding& finding) {
    std::string phrase = ConfigurationFindingPhrase(finding.kind);
    size_t number = phrase.find("%d");
    if (number != std::string::npos) {
        phrase.replace(number, 2, std::to_string(finding.number));
    }
    std::u16string value = finding.value;
    if (finding.kind == FindingPenwickKeyMissing) {
        value = u"the key HKEY_LOCAL_MACHINE\\" + value;
    }
    return PrintableName(value) + " " + phrase;
}
