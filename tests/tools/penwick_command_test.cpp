// The penwick program as a user runs it: exit codes, one-line errors, no
// partial output, and an SVG that a real renderer draws.
#include <gtest/gtest.h>
#include <png.h>

#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

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
    Write("bad.csv", "flags,x,y\n0x07,1,2\n0x0F,1\n");
    Write("good.csv", kTrace);
    Write("broken.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\n\"LowSpeed\"=dword:xyz\n");
    Write("kept.csv", "kept");
    struct Case {
        std::string arguments;
        std::string error;
    } cases[] = {
        {Path("bad.csv") + " --out " + Path("out.csv"), Path("bad.csv") + ":3: expected flags,x,y"},
        {Path("good.csv") + " --settings " + Path("broken.reg") + " --out " + Path("kept.csv"),
         Path("broken.reg") + ":3: dword: wants"},
        {Path("good.csv") + " --set LowSpeed=0x100000000 --svg " + Path("out.svg"), "--set: "},
        {Path("good.csv") + " --screen 320x0 --out " + Path("out.csv"), "--screen: '320x0'"},
        {Path("missing.csv") + " --out " + Path("out.csv"), Path("missing.csv") + ": cannot open"},
        {Path("good.csv") + " --out " + Path("no/such/dir/out.csv"), "cannot write"},
        {Path("good.csv") + " --frobnicate", "penwick: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        EXPECT_NE(Run("replay " + c.arguments), 0);
        EXPECT_NE(err_.find(c.error), std::string::npos) << err_;
        EXPECT_EQ(err_.find('\n'), err_.size() - 1) << "one line: " << err_;
        EXPECT_FALSE(fs::exists(Path("out.csv")));
        EXPECT_FALSE(fs::exists(Path("out.svg")));
        EXPECT_EQ(Read(Path("kept.csv")), "kept");
    }
    for (const auto& entry : fs::directory_iterator(dir_)) {
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    }
}

TEST_F(PenwickCommandTest, replay_reads_standard_input_and_writes_the_table_to_standard_output) {
    Write("trace.csv", kTrace);
    ASSERT_EQ(Run("replay - --set LowSpeed=5 < " + Path("trace.csv")), 0) << err_;
    EXPECT_EQ(out_.substr(0, out_.find('\n')),
              "index,flags_in,x_in,y_in,rule,error_delay,delivered,flags_out,x_out,y_out,result");
    EXPECT_NE(out_.find("1,0x0F,101,101,a,0,1,0x07,101,101,1"), std::string::npos) << out_;
    EXPECT_NE(err_.find("samples 3, delivered 2"), std::string::npos) << err_;
    EXPECT_NE(err_.find("LowSpeed 5,"), std::string::npos) << err_;
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
    EXPECT_NE(err_.find("faults withheld"), std::string::npos);
    EXPECT_EQ(std::count(out_.begin(), out_.end(), '\n'), 0);  // the table went to the file
    std::string table = Read(Path("z.out.csv"));
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 301);
    EXPECT_NE(Run("synth --samples 2"), 0);
    EXPECT_NE(Run("synth --shape spiral"), 0);
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

TEST_F(PenwickCommandTest, svg_renders_to_a_picture_with_the_trace_in_it) {
    ASSERT_EQ(Run("synth --shape circle --samples 400 --seed 3 --out " + Path("c.csv")), 0);
    ASSERT_EQ(Run("replay " + Path("c.csv") + " --svg " + Path("c.svg")), 0) << err_;
    ASSERT_EQ(system(("rsvg-convert " + Path("c.svg") + " -o " + Path("c.png")).c_str()), 0);
    long inked = InkedPixels(Path("c.png"));
    EXPECT_GT(inked, 5000);  // strokes, markers and text, not a blank page
    // The picture of a trace with no samples has no strokes: far less ink.
    Write("empty.csv", "flags,x,y\n");
    ASSERT_EQ(Run("replay " + Path("empty.csv") + " --svg " + Path("e.svg")), 0) << err_;
    ASSERT_EQ(system(("rsvg-convert " + Path("e.svg") + " -o " + Path("e.png")).c_str()), 0);
    EXPECT_LT(InkedPixels(Path("e.png")), inked);
}

}  // namespace
