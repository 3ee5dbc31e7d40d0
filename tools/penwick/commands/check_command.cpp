// penwick check: what the driver will do with a settings file on a device,
// and whether it would leave the device without touch input or without
// filtering (exit status 1).
#include <string.h>

#include <iostream>
#include <memory>

#include "commands/commands.h"
#include "engine/replay.h"
#include "engine/settings_check.h"
#include "files/input.h"
#include "files/reg_file.h"
#include "proxy/configuration.h"
#include "registry/configuration_check.h"
#include "report/findings.h"
#include "report/format.h"
#include "report/summary.h"
#include "platform/system_services.h"
#include "setup/settings_file.h"

namespace {

void RunCheck(const std::string& path, bool installer) {
    std::string bytes = ReadInputFile(path);
    RegFile file = ParseRegFile(bytes, path);
    ReplayStart start;
    std::vector<ConfigurationFinding> findings = CheckRegFile(file, &start);
    if (installer) {
        // PenwickSetup switches DriverName itself and takes OrigDriverName
        // from the device, whatever the file says of them: judged as it
        // judges the file, with touch.dll for the device's own driver, and
        // shown so.
        std::cout << path << ": as PenwickSetup installs it: DriverName and OrigDriverName "
                     "come from the device, not from the file\n";
        findings = CheckAsInstalled(bytes);
        RegKeyRemove(file.penwick, kOriginalDriverValue);
        CheckRegFile(file, &start);
    }
    int errors = 0, warnings = 0;
    if (file.deletionLine != 0) {
        // The installer refuses the file: check says so, and goes on to say
        // what importing it by hand would do.
        std::cout << path << ":" << file.deletionLine << ": error: " << kSettingsDeletionRefused
                  << "\n";
        errors++;
    }
    for (const ConfigurationFinding& finding : findings) {
        std::cout << path << ": " << (finding.error ? "error: " : "warning: ")
                  << FormatFinding(finding) << "\n";
        (finding.error ? errors : warnings)++;
    }
    bool loaded = true;
    for (const ConfigurationFinding& finding : findings) {
        loaded = loaded && finding.kind != FindingTouchDriverNotPenwick;
    }
    // A dword: value is hex whatever it looks like (dword:90 is 144): each
    // as the file writes it and as the driver reads it.
    std::string values;
    for (const ConfigurationSetting& setting : kConfigurationSettings) {
        const RegValue* value = RegKeyFind(file.penwick, setting.name);
        if (value != nullptr && value->type == kSystemRegistryDword && value->data.size() == sizeof(int32_t)) {
            int32_t number;
            memcpy(&number, value->data.data(), sizeof number);
            values += Format("%s%s dword:%08x = %d", values.empty() ? "" : ", ",
                             PrintableName(setting.name).c_str(), static_cast<uint32_t>(number), number);
        }
    }
    if (!values.empty()) {
        std::cout << path << ": dword: values are hex: " << values << "\n";
    }
    std::string settings = FormatSettings(start);
    std::cout << path << ": at boot, " << (loaded ? "the host loads Penwick.dll: " : "if Penwick were loaded: ")
              << settings.substr(0, settings.find('\n')) << "\n";
    std::cout << path << ": "
              << (errors > 0 ? Format("%d errors, %d warnings: the device would be left without "
                                      "touch input or without filtering", errors, warnings)
                             : Format("no errors, %d warnings", warnings))
              << "\n";
    if (errors > 0) {
        throw CommandStatus{1};
    }
}

}  // namespace

void AddCheckCommand(CLI::App& app) {
    auto path = std::make_shared<std::string>();
    auto installer = std::make_shared<bool>(false);
    CLI::App* command = app.add_subcommand(
        "check", "say what the driver will do with a .reg file on a device; exit 1 if it would "
                 "leave the device without touch input or without filtering");
    command->add_option("FILE", *path, "the .reg file to import on the device")->required();
    command->add_flag("--installer", *installer,
                      "judge the file as PenwickSetup installs it, with DriverName and "
                      "OrigDriverName from the device");
    command->footer(R"(
The file is judged as the whole of the two keys it writes: the touch key's
DriverName, which must name Penwick.dll, and Penwick's own key with
OrigDriverName and the eight settings, each a REG_DWORD. Errors are what
would leave the device without touch input or without filtering; warnings
are settings that are legal but cannot do what they seem to. The file is
read as the installer reads it, and a file that deletes a value or a key,
which the installer refuses, is an error too.

With --installer the file is judged as PenwickSetup installs it: PenwickSetup
switches DriverName itself and takes OrigDriverName from the device, so the
file's are not judged (nor needed), and what check --installer accepts,
PenwickSetup installs, and the reverse.)");
    command->callback([path, installer] { RunCheck(*path, *installer); });
}
