// The penwick program as a user runs it: exit codes, one-line errors, no
// partial output, and an SVG that a real renderer draws.
#include <gtest/gtest.h>
#include <png.h>

#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../trust/signing_support.h"
#include "../trust/tiny_image.h"

namespace fs = std::filesystem;

namespace {

class PenwickCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("penwick_command_test_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) { return (dir_ / name).string(); }

    void Write(const std::string& name, const std::string& content) {
        std::ofstream(Path(name), std::ios::binary) << content;
    }

    static std::string Read(const std::string& path) {
        std::ostringstream content;
        content << std::ifstream(path, std::ios::binary).rdbuf();
        return content.str();
    }

    // Runs penwick with these arguments; its exit code, stdout and stderr.
    int Run(const std::string& arguments) {
        std::string command = std::string(PENWICK_BINARY) + " " + arguments + " >" +
                              Path("stdout") + " 2>" + Path("stderr");
        int status = system(command.c_str());
        out_ = Read(Path("stdout"));
        err_ = Read(Path("stderr"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path dir_;
    std::string out_, err_;
};

const char kTrace[] = "flags,x,y\n0x07,100,100\n0x0F,101,101\n0x0D,101,101\n";

TEST_F(PenwickCommandTest, bad_input_gives_one_line_naming_the_place_and_leaves_no_output) {
    Write("bad.csv", "flags,x,y\n0x07,1,2\n0x0F,1\n0x0D,1,2\n");
    Write("good.csv", kTrace);
    Write("empty.csv", "# nothing but comments\nflags,x,y\n");
    Write("broken.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\n\"LowSpeed\"=dword:xyz\n");
    Write("kept.csv", "kept");
    Write("labelled.csv", "0x07,1,1,ok\n0x0F,2,2,fault\n0x0D,2,2,ok\n");
    Write("self.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH]\n"
                      "\"DriverName\"=\"Penwick.dll\"\n"
                      "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\n"
                      "\"OrigDriverName\"=\"Penwick.dll\"\n");
    std::string good = Path("good.csv"), kept = Path("kept.csv");
    struct Case {
        std::string arguments;
        std::string error;
        int status = 1;  // 2 for a mistake on the command line
    } cases[] = {
        {"replay " + Path("bad.csv") + " --out " + Path("out.csv"), Path("bad.csv") + ":3: expected flags,x,y"},
        {"replay " + good + " --settings " + Path("broken.reg") + " --out " + kept,
         Path("broken.reg") + ":3: dword: wants"},
        {"replay " + good + " --set LowSpeed=0x100000000 --svg " + Path("out.svg"), "--set: ", 2},
        {"replay " + good + " --screen 320x0 --out " + Path("out.csv"), "--screen: '320x0'", 2},
        {"replay " + Path("missing.csv") + " --out " + Path("out.csv"), Path("missing.csv") + ": cannot open"},
        // Outputs that cannot be written are refused before any work, with the reason.
        {"replay " + good + " --out " + Path("no/such/dir/out.csv"),
         "--out: '" + Path("no/such/dir/out.csv") + "': cannot write in the folder '" + Path("no/such/dir") +
             "': No such file or directory"},
        {"tune " + Path("labelled.csv") + " --out " + dir_.string(), "--out: '" + dir_.string() + "' is a folder"},
        {"label " + good + " --out " + kept + "/x.csv", "Not a directory"},
        {"replay " + Path("empty.csv") + " --out " + Path("out.csv"), Path("empty.csv") + ": no samples"},
        // An output may not replace an input, nor another output.
        {"replay " + kept + " --out " + kept, "--out: '" + kept + "' is the trace '" + kept + "'"},
        {"replay " + good + " --settings " + kept + " --svg " + kept, "is --settings '" + kept + "'"},
        {"replay " + good + " --out " + Path("out.csv") + " --svg " + Path("out.csv"),
         "--svg: '" + Path("out.csv") + "' is also --out '" + Path("out.csv") + "'"},
        {"replay " + good + " --from 3 --out " + Path("out.csv"), "--from/--to: ", 2},
        {"replay " + good + " --svg " + Path("out.svg") + " --from 5 --to 4", "--to: line 4 is before", 2},
        // tune learns only from labels, and writes only what check accepts.
        {"tune " + good + " --out " + Path("out.csv"), good + ": has no labels (ok or fault): run penwick label"},
        {"tune " + Path("labelled.csv") + " --settings " + Path("self.reg") + " --out " + Path("out.csv"),
         "OrigDriverName names Penwick itself"},
        // Mistakes on the command line point to the command's own help.
        {"replay " + good + " --frobnicate", "(see penwick replay --help)", 2},
        {"synth --jitter nan --out " + Path("out.csv"), "(see penwick synth --help)", 2},
        {"help nothing", "there is no command 'nothing'", 2},
        {"nothing", "there is no command 'nothing'", 2},
        {"replay " + dir_.string(), dir_.string() + ": is a folder, not a file"},
        // Standard input redirected from the file an output names.
        {"replay - --out " + kept + " < " + kept, "--out: '" + kept + "' is the trace '-'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        EXPECT_EQ(Run(c.arguments), c.status);
        EXPECT_NE(err_.find(c.error), std::string::npos) << err_;
        EXPECT_EQ(err_.find('\n'), err_.size() - 1) << "one line: " << err_;
        EXPECT_FALSE(fs::exists(Path("out.csv")));
        EXPECT_FALSE(fs::exists(Path("out.svg")));
        EXPECT_EQ(Read(kept), "kept");
    }
    for (const auto& entry : fs::directory_iterator(dir_)) {
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    }
}

TEST_F(PenwickCommandTest, what_a_user_asks_for_is_what_they_get) {
    Write("trace.csv", kTrace);
    Write("raw.csv", "0x03,100,100\n0x0B,900,100\n0x09,900,100\n");
    Write("capture.csv", "# penwick boot 2026-12-08 09:00:00\n# penwick settings as read\n"
                         "# penwick enable-screen 240x320\n0x07,1,1\n# penwick dropped 7\n0x0D,1,1\n");
    Write("seven.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\n"
                       "\"LowSpeed\"=dword:5\n\"MinDirSpeed\"=dword:5\n\"HighSpeed\"=dword:5\n"
                       "\"MaxSpeedDiff\"=dword:5\n\"MaxSpeedDiff2\"=dword:5\n\"ErrorDelay\"=dword:5\n"
                       "\"MaxErrorDelay\"=\"55\"\n");
    // A capture with ticks, which wrap after 10 ms; a sample cut short with
    // the next boot written straight after it, whose ticks start afresh; a
    // tick that goes back, and a last line cut short.
    Write("ticked.csv", "# penwick boot 1\nflags,x,y,tick\n0x07,100,100,4294967280\n0x0F,104,100,4294967290\n"
                        "0x0F,108,100,4\n0x0F,112,100,14\n0x0D,112,100,24\n0x07,200,200,5000\n"
                        "0x0F,2# penwick boot 2\n0x07,100,100,10\n0x0F,104,100,20\n0x0D,104,100,3\n0x07,1");
    Write("cut-clean.csv", "0x07,1,1,ok\n0x0F,2,2,ok\n0x0D,2,2,ok\n0x07,3");
    std::string trace = Path("trace.csv"), ticked = Path("ticked.csv");
    struct Case {
        std::string arguments;
        std::string out;  // found on standard output
        std::string err;  // found on standard error
    } cases[] = {
        {"replay " + ticked + " --out -", "line,tick,flags_in,x_in,y_in,truth,rule,squared_step,speed_change,"
         "direction_change,error_delay,verdict,flags_out,x_out,y_out,stroke\n3,4294967280,0x07",
         "ticks: 9 samples carry one; with the pen down 100.0 samples a second (median interval 10 ms, "
         "5 intervals over 0.1 s); 1 intervals left out"},
        {"replay " + ticked, "", "penwick: warning: " + ticked + ":9: a sample cut short, as a power loss "
         "leaves one, skipped: '0x0F,2'\n"},
        {"replay " + ticked, "", "capture: boots 2;"},  // the boot after the cut sample is kept
        {"replay " + ticked, "", "cut short: 2 lines skipped"},
        {"label " + ticked, "\n0x0D,104,100,ok,3\n", ticked + ":13: a sample cut short"},
        {"tune " + Path("cut-clean.csv"), "", "cut-clean.csv:4: a sample cut short"},
        // dword: is hex, whatever it looks like.
        {"check " + std::string(PENWICK_ROOT) + "/samples/install.reg", "MaxDirDiff dword:0000002d = 45,", ""},
        {"--version", "penwick 0.1.0", ""},
        {"help", "replay", ""},
        {"help replay", "Usage: penwick replay [OPTIONS] TRACE", ""},
        {"replay --help", "LowSpeed, MinDirSpeed, HighSpeed", ""},  // the names --set takes
        {"replay --help", "h direction jumps: error", ""},
        {"synth --help", "=400", ""},                               // defaults are shown
        {"replay " + trace + " --out -", "line,flags_in,x_in,y_in,truth,rule", ""},
        {"replay " + trace + " --set LowSpeed=5 --enable-screen 240X320", "\n3,0x0F,101,101,,a,2,,,0,delivered", ""},
        // A capture as it comes from the device, with samples it lost.
        {"replay " + Path("capture.csv"), "", "capture: boots 1; the device dropped 7 samples"},
        // Raw samples pass the filter by, and the summary says so.
        {"replay " + Path("raw.csv"), "", "note: 3 samples lack the calibrated bit 0x04"},
        // Filtering off names what turned it off.
        {"replay " + trace + " --settings " + Path("seven.reg"),
         "", "filtering off, every sample passes through: MaxDirDiff is missing: filtering is off; "
             "MaxErrorDelay has 6 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        EXPECT_EQ(Run(c.arguments), 0) << err_;
        EXPECT_NE(out_.find(c.out), std::string::npos) << out_;
        EXPECT_NE(err_.find(c.err), std::string::npos) << err_;
    }
}

TEST_F(PenwickCommandTest, replay_reads_standard_input_and_writes_the_table_to_standard_output) {
    Write("trace.csv", kTrace);
    ASSERT_EQ(Run("replay - --set LowSpeed=5 --summary-json " + Path("s.json") + " --out - < " +
                  Path("trace.csv")), 0) << err_;
    EXPECT_NE(out_.find("\n3,0x0F,101,101,,a,2,,,0,delivered,0x07,101,101,\n"), std::string::npos) << out_;
    EXPECT_NE(err_.find("samples 3: reached the host at their own place 2"), std::string::npos) << err_;
    EXPECT_NE(err_.find("LowSpeed 5,"), std::string::npos) << err_;
    std::string json = Read(Path("s.json"));
    EXPECT_NE(json.find("\"samples\": 3,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"LowSpeed\": 5,"), std::string::npos) << json;
}

TEST_F(PenwickCommandTest, tune_makes_the_same_file_from_the_same_traces_and_keeps_a_faultless_base) {
    ASSERT_EQ(Run("synth --samples 600 --seed 4 --out " + Path("t.csv")), 0);
    // The recommended settings lose 12.9% of this trace's good samples.
    std::string tune = "SOURCE_DATE_EPOCH=86400 " + std::string(PENWICK_BINARY) + " tune " +
                       Path("t.csv") + " --max-loss 13";
    ASSERT_EQ(system((tune + " --out " + Path("a.reg") + " >/dev/null").c_str()), 0);
    ASSERT_EQ(system((tune + " --out " + Path("b.reg") + " >/dev/null").c_str()), 0);
    std::string tuned = Read(Path("a.reg"));
    EXPECT_EQ(tuned, Read(Path("b.reg")));
    EXPECT_NE(tuned.find("penwick tune on 1970-01-02"), std::string::npos) << tuned;
    EXPECT_EQ(Run("check " + Path("a.reg")), 0) << out_;
    EXPECT_EQ(Run("check " + std::string(PENWICK_ROOT) + "/samples/uninstall.reg"), 1);
    EXPECT_NE(out_.find("uninstall.reg: error: DriverName does not name Penwick.dll"), std::string::npos)
        << out_;
    // Without a single fault there is nothing to learn: the base is kept.
    Write("clean.csv", "0x07,1,1,ok\n0x0F,2,2,ok\n0x0D,2,2,ok\n");
    ASSERT_EQ(Run("tune " + Path("clean.csv") + " --out " + Path("c.reg")), 0) << err_;
    EXPECT_NE(err_.find("nothing to learn"), std::string::npos) << err_;
    EXPECT_NE(Read(Path("c.reg")).find("\"MaxDirDiff\"=dword:0000002d"), std::string::npos);
}

TEST_F(PenwickCommandTest, tune_shows_base_and_tuned_and_keeps_to_what_the_rules_allow) {
    // 18 strokes, 9 of them taps, 3 of those a single pen-down sample; the
    // recommended settings keep all 34 faults and lose 12.9% of the good
    // samples, so within 5% the tuned settings keep fewer.
    ASSERT_EQ(Run("synth --samples 600 --seed 4 --out " + Path("t.csv")), 0);
    EXPECT_EQ(Run("tune " + Path("t.csv") + " --out " + Path("a.reg")), 1);
    EXPECT_NE(out_.find("faults kept          34 of 34 (100.0%)"), std::string::npos) << out_;
    EXPECT_NE(out_.find("strokes lost         3 of 18 (16.7%)"), std::string::npos) << out_;
    EXPECT_NE(err_.find("fewer than the base settings' 34: not written (--allow-fewer-faults-kept"),
              std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(Path("a.reg")));
    EXPECT_EQ(Run("tune " + Path("t.csv") + " --allow-fewer-faults-kept --out " + Path("a.reg")), 0) << err_;
    EXPECT_TRUE(fs::exists(Path("a.reg")));
    EXPECT_EQ(Run("tune " + Path("t.csv") + " --max-lost-strokes 2"), 2);
    EXPECT_NE(err_.find("--max-lost-strokes: 2 is fewer than the filter's rules allow: 3 strokes"),
              std::string::npos) << err_;
    EXPECT_NE(err_.find("the least possible value is 3"), std::string::npos) << err_;
}

TEST_F(PenwickCommandTest, devices_are_written_to_not_replaced) {
    Write("trace.csv", kTrace);
    ASSERT_TRUE(fs::is_character_file("/dev/null"));
    ASSERT_EQ(Run("replay " + Path("trace.csv") + " --out /dev/null --svg /dev/stdout"), 0) << err_;
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_TRUE(fs::is_symlink("/dev/stdout"));
    EXPECT_NE(out_.find("<svg"), std::string::npos);
}

TEST_F(PenwickCommandTest, synth_then_replay_a_labelled_trace) {
    ASSERT_EQ(Run("synth --shape zigzag --samples 300 --spikes 0.03 --seed 7 --out " + Path("z.csv")), 0);
    ASSERT_EQ(Run("replay " + Path("z.csv") + " --out " + Path("z.out.csv")), 0) << err_;
    EXPECT_NE(err_.find("faults kept from the host"), std::string::npos);
    EXPECT_EQ(std::count(out_.begin(), out_.end(), '\n'), 0);  // the table went to the file
    std::string table = Read(Path("z.out.csv"));
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 301);
    EXPECT_NE(Run("synth --samples 2"), 0);
    EXPECT_NE(Run("synth --shape spiral"), 0);
}

TEST_F(PenwickCommandTest, verify_names_the_signer_and_refuses_what_a_device_would_not_load) {
    const std::string certificates = PENWICK_TEST_CERTIFICATES;
    Bytes image = VersionedImage();
    WriteFile(Path("unsigned.dll"), image);
    WriteFile(Path("plain.dll"), PlainImage());
    for (const char* hash : {"sha1", "sha256"}) {
        std::string output;
        Bytes signedImage = SignedImage(image, hash, certificates + "/chain.p12", "penwick-test",
                                        dir_.string(), "", &output);
        ASSERT_FALSE(signedImage.empty()) << output;
        WriteFile(Path(std::string(hash) + ".dll"), signedImage);
    }
    ASSERT_EQ(Run("verify " + Path("sha1.dll")), 0) << err_;
    EXPECT_NE(out_.find("digest algorithm:  SHA-1\n"), std::string::npos) << out_;
    EXPECT_NE(out_.find(": signed\n  version:           0.1.0\n"), std::string::npos) << out_;
    EXPECT_NE(out_.find(" (the signer's):\n    thumbprint: "), std::string::npos) << out_;
    EXPECT_NE(out_.find("    subject:    CN=Penwick test developer, OU=Testing, O=Penwick, C=GB\n"),
              std::string::npos) << out_;
    EXPECT_NE(out_.find("    subject:    CN=Penwick test privileged root, O=Penwick, C=GB\n"),
              std::string::npos) << out_;
    EXPECT_EQ(err_, "");
    struct Case {
        std::string module;
        std::string reason;  // the line starts with the module's name and this
    } cases[] = {
        {Path("sha256.dll"), "it is signed with a digest other than SHA-1"},
        {Path("unsigned.dll"), "it is not signed"},
        {std::string(PENWICK_ROOT) + "/samples/install.reg", "it is not a module the device could load"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.module);
        EXPECT_EQ(Run("verify " + c.module), 1);
        EXPECT_EQ(err_.find(c.module + ": " + c.reason), 0u) << err_;
        EXPECT_EQ(err_.find('\n'), err_.size() - 1) << "one line: " << err_;
    }
    Run("verify " + Path("plain.dll"));
    EXPECT_NE(out_.find(": not signed\n  version:           no version resource\n"), std::string::npos)
        << out_;
    EXPECT_EQ(Run("verify " + Path("missing.dll")), 1);
    EXPECT_EQ(err_, "penwick: " + Path("missing.dll") + ": cannot open\n");
}

// Counts the pixels of a PNG that are not white.
long InkedPixels(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return -1;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        return -1;
    }
    long inked = 0;
    for (size_t i = 0; i < pixels.size(); i += 3) {
        inked += pixels[i] < 200 || pixels[i + 1] < 200 || pixels[i + 2] < 200;
    }
    return inked;
}

TEST_F(PenwickCommandTest, svg_renders_to_a_picture_of_the_part_asked_for) {
    ASSERT_EQ(Run("synth --shape circle --samples 400 --seed 3 --out " + Path("c.csv")), 0);
    auto picture = [&](const std::string& options) {
        EXPECT_EQ(Run("replay " + Path("c.csv") + " --svg " + Path("c.svg") + " " + options), 0) << err_;
        EXPECT_EQ(system(("rsvg-convert " + Path("c.svg") + " -o " + Path("c.png")).c_str()), 0);
        return InkedPixels(Path("c.png"));
    };
    long whole = picture("");
    EXPECT_GT(whole, 5000);  // strokes, marks and text, not a blank page
    // A part of the trace has less to draw; two settings side by side more.
    EXPECT_LT(picture("--from 100 --to 140"), whole);
    EXPECT_GT(picture("--compare " + std::string(PENWICK_ROOT) + "/samples/worked-stroke.reg"), whole);

    // A trace too long to draw sample by sample is an overview with
    // close-ups, a file that stays small whatever the length; --from and
    // --to still draw every sample.
    ASSERT_EQ(Run("synth --samples 30000 --seed 3 --out " + Path("c.csv")), 0);
    EXPECT_GT(picture(""), whole);
    std::string overview = Read(Path("c.svg"));
    EXPECT_LT(overview.size(), 600000u);
    EXPECT_NE(overview.find(">Close-ups of what matters most"), std::string::npos);
    EXPECT_NE(err_.find("note: 30000 samples are too many to draw one by one"), std::string::npos) << err_;
    picture("--from 1 --to 30003");
    EXPECT_GT(Read(Path("c.svg")).size(), 2 * overview.size());
}

}  // namespace
