#include "tools/pkg_cli.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/utf.h"
#include "tools/package_file.h"
#include "tools/progress_bar.h"

namespace kepla::pkg {
namespace {

struct Options {
  std::string package;
  std::string image;
  std::string output;
  bool json = false;
  std::string language, code, model, rom, ext_rom;
};

int Fail(std::ostream& err, const std::string& message) {
  err << "kepla-pkg: " << message << '\n';
  return kExitError;
}

int RunInfo(const Options& options, std::ostream& out, std::ostream& err) {
  PackageInfo info;
  std::string error;
  if (!ReadPackageInfo(options.package, &info, &error)) return Fail(err, error);
  const PackageFields& f = info.fields;
  if (options.json) {
    nlohmann::json j = {
        {"file", options.package},
        {"language", wce::Utf16ToUtf8(f.language)},
        {"code", wce::Utf16ToUtf8(f.code)},
        {"model", wce::Utf16ToUtf8(f.model)},
        {"romVersion", wce::Utf16ToUtf8(f.romVersion)},
        {"extRomVersion", wce::Utf16ToUtf8(f.extRomVersion)},
        {"packageBytes", info.package_bytes},
        {"imageBytes", info.image_bytes},
        {"preparable", info.preparable},
    };
    out << j.dump(2) << '\n';
    return kExitOk;
  }
  std::string preparable = "yes";
  if (!info.preparable) {
    preparable = info.package_bytes < kSmallestPreparable ? "no (smaller than 2560 bytes)"
                                                          : "no (4 GiB - 1 bytes or more)";
  }
  out << "file             " << options.package << '\n'
      << "language         " << wce::Utf16ToUtf8(f.language) << '\n'
      << "code             " << wce::Utf16ToUtf8(f.code) << '\n'
      << "model            " << wce::Utf16ToUtf8(f.model) << '\n'
      << "ROM version      " << wce::Utf16ToUtf8(f.romVersion) << '\n'
      << "ext ROM version  " << wce::Utf16ToUtf8(f.extRomVersion) << '\n'
      << "package size     " << info.package_bytes << " bytes\n"
      << "image size       " << info.image_bytes << " bytes\n"
      << "preparable       " << preparable << '\n';
  return kExitOk;
}

bool ConvertField(const char* option, const std::string& text, std::u16string* field,
                  std::string* error) {
  if (!wce::Utf8ToUtf16(text, field)) {
    *error = std::string(option) + ": not valid UTF-8";
    return false;
  }
  return true;
}

int RunBuild(const Options& options, std::ostream& out, std::ostream& err, bool terminal) {
  PackageFields fields;
  std::string error;
  if (!ConvertField("--language", options.language, &fields.language, &error) ||
      !ConvertField("--code", options.code, &fields.code, &error) ||
      !ConvertField("--model", options.model, &fields.model, &error) ||
      !ConvertField("--rom", options.rom, &fields.romVersion, &error) ||
      !ConvertField("--ext-rom", options.ext_rom, &fields.extRomVersion, &error)) {
    return Fail(err, error);
  }
  bool built;
  {
    ProgressBar bar(err, "building", terminal);
    built =
        BuildPackage(options.image, fields, options.output, &error,
                     [&bar](std::uint64_t done, std::uint64_t total) { bar.Update(done, total); });
  }
  if (!built) return Fail(err, error);
  out << "wrote " << options.output << '\n';
  return kExitOk;
}

int RunExtract(const Options& options, std::ostream& out, std::ostream& err, bool terminal) {
  std::string error;
  bool extracted;
  {
    ProgressBar bar(err, "extracting", terminal);
    extracted =
        ExtractImage(options.package, options.output, &error,
                     [&bar](std::uint64_t done, std::uint64_t total) { bar.Update(done, total); });
  }
  if (!extracted) return Fail(err, error);
  out << "wrote " << options.output << '\n';
  return kExitOk;
}

int RunVerify(const Options& options, std::ostream& out, std::ostream& err) {
  std::string error;
  std::uint64_t offset = 0;
  switch (VerifyImage(options.package, options.image, &offset, &error)) {
    case Verdict::kSame:
      out << options.image << ": the image of " << options.package << '\n';
      return kExitOk;
    case Verdict::kDifferent: {
      char hex[32];
      std::snprintf(hex, sizeof(hex), "0x%llx", static_cast<unsigned long long>(offset));
      out << options.image << ": differs from the image of " << options.package << " at offset "
          << offset << " (" << hex << ")\n";
      return kExitDifferent;
    }
    case Verdict::kError:
      break;
  }
  return Fail(err, error);
}

}  // namespace

int RunPkgCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
              bool err_is_terminal) {
  CLI::App app{"Firmware packages off the device: inspect, build, extract and verify.",
               "kepla-pkg"};
  app.require_subcommand(1);
  Options options;

  CLI::App* info = app.add_subcommand("info", "Show the header and sizes of a package.");
  info->add_option("PKG", options.package, "the package")->required();
  info->add_flag("--json", options.json, "print one JSON object");

  CLI::App* build = app.add_subcommand(
      "build",
      "Make a package from an image: scramble its first 2048 bytes and append the header.");
  build->add_option("--language", options.language, "language, at most 31 characters")->required();
  build->add_option("--code", options.code, "region codes, at most 127 characters")->required();
  build->add_option("--model", options.model, "device model, at most 31 characters")->required();
  build->add_option("--rom", options.rom, "ROM version, at most 31 characters")->required();
  build->add_option("--ext-rom", options.ext_rom, "extended ROM version, at most 31 characters")
      ->required();
  build->add_option("IMAGE", options.image, "the image (at least 2048 bytes)")->required();
  build->add_option("-o,--output", options.output, "the package to write")->required();

  CLI::App* extract =
      app.add_subcommand("extract", "Write the image the device prepares from a package.");
  extract->add_option("PKG", options.package, "the package")->required();
  extract->add_option("-o,--output", options.output, "the image to write")->required();

  CLI::App* verify = app.add_subcommand(
      "verify",
      "Exit 0 when IMAGE is exactly the image of PKG, 1 (with the first differing "
      "offset) when not.");
  verify->add_option("PKG", options.package, "the package")->required();
  verify->add_option("IMAGE", options.image, "the image to check")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    app.exit(e, out, err);
    return kExitError;
  }

  if (info->parsed()) return RunInfo(options, out, err);
  if (build->parsed()) return RunBuild(options, out, err, err_is_terminal);
  if (extract->parsed()) return RunExtract(options, out, err, err_is_terminal);
  return RunVerify(options, out, err);
}

}  // namespace kepla::pkg
