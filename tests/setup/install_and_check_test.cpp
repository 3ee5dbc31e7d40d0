// What penwick check accepts the installer installs, and the reverse: each
// file of the table goes to `penwick check` and, as install.reg beside the
// installer, to an install on the fake platform; both accept it or both
// refuse it, and when they refuse they give the same reason.
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "setup_fixture.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

const fs::path kFolder = fs::temp_directory_path() / ("install_and_check_" + std::to_string(getpid()));

// Runs penwick; its exit status, and what it wrote to both outputs.
int Penwick(const std::string& arguments, std::string* output) {
    std::string command = std::string(PENWICK_BINARY) + " " + arguments + " >" +
                          (kFolder / "output").string() + " 2>&1";
    int status = system(command.c_str());
    *output = ReadFile(kFolder / "output");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A file from penwick tune, on a labelled trace whose name is not ASCII.
std::string TunedFile() {
    std::string output;
    fs::path trace = kFolder / "tr\xC3\xA4" "ce-\xE2\x82\xAC.csv";
    fs::path tuned = kFolder / "tuned.reg";
    EXPECT_EQ(Penwick("synth --samples 400 --seed 3 --out '" + trace.string() + "'", &output), 0)
        << output;
    EXPECT_EQ(Penwick("tune '" + trace.string() + "' --allow-fewer-faults-kept --out " +
                          tuned.string(),
                      &output),
              0)
        << output;
    return ReadFile(tuned);
}

const std::string kInstall = ReadFile(PENWICK_SAMPLES "/install.reg");

// install.reg with `text` put in before the line that holds `before`.
std::string Inserted(const std::string& before, const std::string& text) {
    std::string file = kInstall;
    return file.insert(file.find(before), text);
}

// The line of install.reg that holds `text`; past its last line when none.
int LineOf(const std::string& text) {
    size_t at = kInstall.find(text);
    return 1 + static_cast<int>(std::count(kInstall.begin(),
                                           at == std::string::npos ? kInstall.end()
                                                                   : kInstall.begin() + at,
                                           '\n'));
}

std::string Without(const std::string& line) {
    std::string file = kInstall;
    size_t at = file.find(line);
    return file.erase(at, file.find('\n', at) + 1 - at);
}

// As a registry editor exports it: version 5, UTF-16LE with its mark, CRLF.
std::string Exported(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : "Windows Registry Editor Version 5.00" + ascii.substr(ascii.find('\n'))) {
        if (c == '\n') {
            bytes += std::string("\r\0", 2);
        }
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

struct Agreement {
    const char* name;
    std::string file;
    const char* reason;  // what both say when they refuse; null when both accept
    int line = 0;        // and the line both name, if any
};

void PrintTo(const Agreement& a, std::ostream* out) { *out << a.name; }

class InstallAndCheckTest : public SetupTest, public ::testing::WithParamInterface<Agreement> {};

TEST_P(InstallAndCheckTest, check_and_the_installer_agree) {
    const Agreement& row = GetParam();
    fs::create_directories(kFolder);
    std::string bytes = row.file == "tuned" ? TunedFile() : row.file;
    fs::path file = kFolder / "settings.reg";
    std::ofstream(file, std::ios::binary) << bytes;
    std::string checked;
    int checkStatus = Penwick("check --installer " + file.string(), &checked);
    fs::remove_all(kFolder);

    g_hostSystem.files[kBeside + u"install.reg"] = bytes;
    int installed = Run(u"install /quiet");
    EXPECT_EQ(checkStatus == 0, installed == InstallationDone)
        << "check:\n" << checked << "installer: " << Outcome();
    if (row.reason == nullptr) {
        EXPECT_EQ(checkStatus, 0) << checked;
        EXPECT_NE(checked.find(": no errors"), std::string::npos) << checked;
    } else {
        EXPECT_NE(checkStatus, 0);
        std::string line = std::to_string(row.line);
        EXPECT_NE(checked.find(row.reason), std::string::npos) << checked;
        EXPECT_NE(Outcome().find(row.reason), std::string::npos) << Outcome();
        if (row.line != 0) {
            EXPECT_NE(checked.find(".reg:" + line + ": "), std::string::npos) << checked;
            EXPECT_NE(Outcome().find(", line " + line + ": "), std::string::npos) << Outcome();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, InstallAndCheckTest,
    ::testing::Values(
        Agreement{"the_recommended_settings", kInstall, nullptr},
        Agreement{"tuned_on_a_trace_whose_name_is_not_ascii", "tuned", nullptr},
        Agreement{"exported_in_utf16_with_the_touch_keys_other_values",
                  Exported(Inserted("\"DriverName\"",
                                    "\"CalibrationData\"=\"530,523 157,166 157,880 903,880 903,166\"\n"
                                    "\"Raw\"=hex:01,02,03,\\\n  04,05\n\"MaxCalError\"=dword:00000007\n")),
                  nullptr},
        Agreement{"a_capture_file_outside_ascii",
                  Inserted("\"LowSpeed\"", "\"CaptureFile\"=\"\\\\Storage Card\\\\donn\xC3\xA9" "es.csv\"\n"),
                  nullptr},
        Agreement{"a_comment_in_latin1", Inserted("[HKEY", "; caf\xE9\n"), "not UTF-8", LineOf("[HKEY")},
        Agreement{"a_deletion", Inserted("\"LowSpeed\"", "\"CaptureFile\"=-\n"),
                  "deletes a value or a key; a settings file for installing only writes values",
                  LineOf("\"LowSpeed\"")},
        Agreement{"another_key", kInstall + "[HKEY_CURRENT_USER\\Software\\Penwick]\n",
                  "only Penwick's key and the touch key above it are read here", LineOf("(none)")},
        Agreement{"a_setting_as_hex_data", Inserted("\"LowSpeed\"", "\"MaxDirDiff\"=hex(4):5a,00,00,00\n"),
                  "hex: data is not read in Penwick's key", LineOf("\"LowSpeed\"")},
        Agreement{"a_setting_as_a_string", kInstall + "\"MaxDirDiff\"=\"90\"\n",
                  "MaxDirDiff has 6 bytes, more than the 4 that are read"},
        Agreement{"a_setting_missing", Without("\"ErrorDelay\""), "ErrorDelay is missing"},
        // DriverName and OrigDriverName are the device's, whatever the file
        // says of them.
        Agreement{"only_the_eight_settings", ReadFile(PENWICK_SAMPLES "/worked-stroke.reg"),
                  nullptr},
        Agreement{"the_installers_own_value_from_an_export",
                  Inserted("\"LowSpeed\"", "\"InstalledUntrusted\"=dword:1\n"), nullptr},
        Agreement{"an_orig_driver_name_that_names_penwick",
                  [] {
                      std::string file = kInstall;
                      return file.replace(file.find("\"touch.dll\""), 11, "\"Penwick.dll\"");
                  }(),
                  nullptr},
        Agreement{"a_character_outside_the_plane", Inserted("[HKEY", "; \xF0\x9F\x98\x80\n"),
                  "character outside the Basic Multilingual Plane", LineOf("[HKEY")},
        Agreement{"seventeen_values",
                  [] {
                      std::string file = kInstall;
                      for (int i = 0; i < 8; i++) {
                          file += "\"Spare" + std::to_string(i) + "\"=dword:1\n";
                      }
                      return file;
                  }(),
                  "more than 16 values for Penwick's key", LineOf("(none)") + 7},
        Agreement{"larger_than_the_installer_reads", kInstall + std::string(16384, ';'),
                  "larger than 16384 bytes"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
