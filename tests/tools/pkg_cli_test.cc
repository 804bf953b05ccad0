#include "tools/pkg_cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "support/scratch_dir.h"
#include "tools/package_file.h"

namespace kepla::pkg {
namespace {

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

CliRun Cli(std::initializer_list<std::string> args, bool terminal = false) {
  std::vector<std::string> words{"kepla-pkg"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<const char*> argv;
  for (const auto& w : words) argv.push_back(w.c_str());
  std::ostringstream out, err;
  int code = RunPkgCli(static_cast<int>(argv.size()), argv.data(), out, err, terminal);
  return {code, out.str(), err.str()};
}

class PkgCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string image(300'000, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + i / 251);
    dir_.Write("image.nb0", image);
  }

  std::string Path(const char* name) const { return (dir_ / name).string(); }

  CliRun Build(const char* out, bool terminal = false) {
    return Cli({"build", "--language", "ENG", "--code", "WWE", "--model", "QMR407", "--rom",
                "1.13.407.3", "--ext-rom", "1.13.407 ENG WWE", Path("image.nb0"), "-o", Path(out)},
               terminal);
  }

  kepla_test::ScratchDir dir_;
};

TEST_F(PkgCliTest, BuildInfoExtractVerify) {
  CliRun built = Build("fw.bin");
  ASSERT_EQ(built.code, kExitOk) << built.err;
  EXPECT_EQ(built.err, "");  // no terminal: no progress bar

  CliRun info = Cli({"info", Path("fw.bin"), "--json"});
  ASSERT_EQ(info.code, kExitOk) << info.err;
  auto j = nlohmann::json::parse(info.out);
  EXPECT_EQ(j["language"], "ENG");
  EXPECT_EQ(j["code"], "WWE");
  EXPECT_EQ(j["model"], "QMR407");
  EXPECT_EQ(j["romVersion"], "1.13.407.3");
  EXPECT_EQ(j["extRomVersion"], "1.13.407 ENG WWE");
  EXPECT_EQ(j["packageBytes"], 300'512);
  EXPECT_EQ(j["imageBytes"], 300'000);
  EXPECT_EQ(j["preparable"], true);

  CliRun text = Cli({"info", Path("fw.bin")});
  ASSERT_EQ(text.code, kExitOk);
  EXPECT_NE(text.out.find("QMR407"), std::string::npos);
  EXPECT_NE(text.out.find("yes"), std::string::npos);

  CliRun extracted = Cli({"extract", Path("fw.bin"), "-o", Path("out.img")});
  ASSERT_EQ(extracted.code, kExitOk) << extracted.err;
  EXPECT_EQ(dir_.Read("out.img"), dir_.Read("image.nb0"));
  EXPECT_EQ(Cli({"verify", Path("fw.bin"), Path("out.img")}).code, kExitOk);
  EXPECT_EQ(Cli({"verify", Path("fw.bin"), Path("image.nb0")}).code, kExitOk);

  std::string changed = dir_.Read("out.img");
  changed[123'456] ^= 0x40;
  dir_.Write("changed.img", changed);
  CliRun differs = Cli({"verify", Path("fw.bin"), Path("changed.img")});
  EXPECT_EQ(differs.code, kExitDifferent);
  EXPECT_NE(differs.out.find("123456"), std::string::npos) << differs.out;
}

TEST_F(PkgCliTest, ProgressGoesToATerminalOnly) {
  CliRun built = Build("fw.bin", /*terminal=*/true);
  ASSERT_EQ(built.code, kExitOk) << built.err;
  EXPECT_NE(built.err.find("100%"), std::string::npos) << built.err;
  EXPECT_EQ(built.err.back(), '\n');
  CliRun extracted = Cli({"extract", Path("fw.bin"), "-o", Path("out.img")}, true);
  EXPECT_NE(extracted.err.find("100%"), std::string::npos);
  EXPECT_EQ(Cli({"extract", Path("fw.bin"), "-o", Path("out2.img")}, false).err, "");
}

TEST_F(PkgCliTest, BadInputsExitWith2AndWriteNothing) {
  dir_.Write("tiny.bin", std::string(600, 'x'));
  dir_.Write("old.bin", "old");
  auto count = [this] {
    return std::distance(std::filesystem::directory_iterator(dir_.path()),
                         std::filesystem::directory_iterator{});
  };
  auto before = count();

  CliRun too_long =
      Cli({"build", "--language", "ENG", "--code", "WWE", "--model", std::string(32, 'M'), "--rom",
           "1", "--ext-rom", "1", Path("image.nb0"), "-o", Path("old.bin")});
  EXPECT_EQ(too_long.code, kExitError);
  EXPECT_EQ(too_long.err, "kepla-pkg: --model: 32 UTF-16 units, at most 31 fit\n");
  CliRun bad_utf8 = Cli({"build", "--language", "\xC3", "--code", "W", "--model", "M", "--rom", "1",
                         "--ext-rom", "1", Path("image.nb0"), "-o", Path("new.bin")});
  EXPECT_EQ(bad_utf8.code, kExitError);
  EXPECT_NE(bad_utf8.err.find("--language"), std::string::npos) << bad_utf8.err;

  CliRun missing = Cli({"info", Path("missing.bin")});
  EXPECT_EQ(missing.code, kExitError);
  EXPECT_NE(missing.err.find("missing.bin"), std::string::npos) << missing.err;
  EXPECT_EQ(Cli({"info", Path("tiny.bin")}).code, kExitOk);  // has a trailer, not preparable
  CliRun tiny = Cli({"extract", Path("tiny.bin"), "-o", Path("old.bin")});
  EXPECT_EQ(tiny.code, kExitError);
  EXPECT_NE(tiny.err.find("tiny.bin"), std::string::npos);
  EXPECT_EQ(Cli({"verify", Path("tiny.bin"), Path("old.bin")}).code, kExitError);
  EXPECT_EQ(Cli({"verify", Path("missing.bin"), Path("old.bin")}).code, kExitError);

  EXPECT_EQ(Cli({}).code, kExitError);  // no command
  CliRun unknown = Cli({"frobnicate"});
  EXPECT_EQ(unknown.code, kExitError);
  EXPECT_EQ(unknown.err, "kepla-pkg: unknown command 'frobnicate' (see kepla-pkg --help)\n");
  EXPECT_EQ(Cli({"info"}).err, "kepla-pkg: PKG is required (see kepla-pkg --help)\n");
  EXPECT_EQ(Cli({"extract", Path("tiny.bin"), "-o", ""}).err,
            "kepla-pkg: --output: an empty path (see kepla-pkg --help)\n");
  EXPECT_EQ(Cli({"info"}).code, kExitError);                                 // missing PKG
  EXPECT_EQ(Cli({"extract", Path("tiny.bin")}).code, kExitError);            // missing -o
  EXPECT_EQ(Cli({"build", Path("image.nb0"), "-o", "x"}).code, kExitError);  // missing texts
  EXPECT_EQ(Cli({"info", Path("tiny.bin"), "--bogus"}).code, kExitError);

  EXPECT_EQ(count(), before);
  EXPECT_EQ(dir_.Read("old.bin"), "old");
}

// Only a regular file is read, and only a regular file (or nothing) is replaced: a FIFO is
// refused at once instead of waiting for a writer, and a node or folder in the output's place is
// left as it is. A link to a regular file is written through.
TEST_F(PkgCliTest, NonRegularInputsAndOutputsAreRefusedWithoutWaiting) {
  ASSERT_EQ(Build("fw.bin").code, kExitOk);
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(dir_ / "folder");
  std::filesystem::create_symlink("missing", dir_ / "dangling");
  std::filesystem::create_symlink("fifo", dir_ / "to-fifo");
  const std::string fifo = Path("fifo");

  auto refused = [](const CliRun& run, const std::string& line) {
    EXPECT_EQ(run.code, kExitError);
    EXPECT_EQ(run.err, "kepla-pkg: " + line + "\n");
  };
  const std::string not_regular = fifo + ": is a FIFO, not a regular file";
  refused(Cli({"info", fifo}), not_regular);
  refused(Cli({"extract", fifo, "-o", Path("out.img")}), not_regular);
  refused(Cli({"verify", fifo, Path("image.nb0")}), not_regular);
  refused(Cli({"verify", Path("fw.bin"), fifo}), not_regular);
  refused(Cli({"build", "--language", "E", "--code", "W", "--model", "M", "--rom", "1", "--ext-rom",
               "1", fifo, "-o", Path("out.bin")}),
          not_regular);

  for (const char* out : {"fifo", "to-fifo", "folder"}) {
    const std::string kind = std::string(out) == "folder" ? "a folder" : "a FIFO";
    refused(Cli({"extract", Path("fw.bin"), "-o", Path(out)}),
            Path(out) + ": is " + kind + ", not a regular file; not replaced");
    refused(Build(out), Path(out) + ": is " + kind + ", not a regular file; not replaced");
  }
  refused(Cli({"extract", Path("fw.bin"), "-o", Path("dangling")}),
          Path("dangling") + ": a dangling symbolic link; not written");
  struct stat info;
  ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "missing"));

  dir_.Write("target.img", "old");
  std::filesystem::create_symlink("target.img", dir_ / "link.img");
  ASSERT_EQ(Cli({"extract", Path("fw.bin"), "-o", Path("link.img")}).code, kExitOk);
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "link.img"));
  EXPECT_EQ(dir_.Read("target.img"), dir_.Read("image.nb0"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 8);
}

// Texts from paths and package fields reach neither the terminal's control sequences nor a
// JSON writer's UTF-8 check as they are.
TEST_F(PkgCliTest, HostileNamesAndFieldsAreEscaped) {
  ASSERT_EQ(Build("fw.bin").code, kExitOk);
  const std::string name = "bad\xff\x1b[2J\n.bin";
  ASSERT_EQ(Cli({"build", "--language", "E\x1b]0;owned\a", "--code", "W\r", "--model", "M", "--rom",
                 "\xc2\x9b", "--ext-rom", "1", Path("image.nb0"), "-o", Path(name.c_str())})
                .code,
            kExitOk);

  CliRun json = Cli({"info", Path(name.c_str()), "--json"});
  ASSERT_EQ(json.code, kExitOk) << json.err;
  auto j = nlohmann::json::parse(json.out);
  std::string bytes;
  const std::string hex = j["fileHex"];
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  EXPECT_EQ(bytes, Path(name.c_str()));
  EXPECT_EQ(j["language"], "E\x1b]0;owned\a");
  EXPECT_EQ(Cli({"info", Path("fw.bin"), "--json"}).out.find("fileHex"), std::string::npos);

  CliRun text = Cli({"info", Path(name.c_str())});
  ASSERT_EQ(text.code, kExitOk);
  EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), 9) << text.out;
  EXPECT_EQ(text.out.find_first_of("\x1b\a\r"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("bad\\xff\\x1b[2J\\n.bin"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("E\\x1b]0;owned\\x07"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("W\\r"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("\\u009b"), std::string::npos) << text.out;
  CliRun missing = Cli({"info", Path("no\x1b[2J.bin")});
  EXPECT_EQ(missing.err.find('\x1b'), std::string::npos) << missing.err;
}

TEST_F(PkgCliTest, HelpOnEveryCommand) {
  for (auto args : {std::initializer_list<std::string>{"--help"},
                    {"info", "--help"},
                    {"build", "--help"},
                    {"extract", "--help"},
                    {"verify", "--help"}}) {
    CliRun help = Cli(args);
    EXPECT_EQ(help.code, kExitOk) << *args.begin();
    EXPECT_NE(help.out.find("Usage"), std::string::npos) << help.out;
  }
}

}  // namespace
}  // namespace kepla::pkg
