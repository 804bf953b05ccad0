#include "tools/pkg_cli.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <string>

#include <wince/utf.h>
#include "sim/cli_errors.h"
#include "tools/package_file.h"
#include "tools/progress_bar.h"
#include "tools/terminal_text.h"

namespace kepla::pkg {
namespace {

struct Options {
  std::string package;
  std::string image;
  std::string output;
  bool json = false;
  std::string language, code, model, rom, ext_rom;
};

std::string Hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0xF];
  }
  return hex;
}

// Errors name paths as typed, escaped for the terminal.
int Fail(std::ostream& err, const std::string& message) {
  err << "kepla-pkg: " << ForTerminal(message) << '\n';
  return kExitError;
}

int RunInfo(const Options& options, std::ostream& out, std::ostream& err) {
  PackageInfo info;
  std::string error;
  if (!ReadPackageInfo(options.package, &info, &error)) return Fail(err, error);
  const PackageFields& f = info.fields;
  if (options.json) {
    // JSON texts are UTF-8. A file name that is not keeps its exact bytes in fileHex, and "file"
    // shows it with U+FFFD in place of the bytes that are not UTF-8.
    std::u16string unused;
    nlohmann::json j = {{"file", options.package}};
    if (!wce::Utf8ToUtf16(options.package, &unused)) j["fileHex"] = Hex(options.package);
    j.update({
        {"language", wce::Utf16ToUtf8(f.language)},
        {"code", wce::Utf16ToUtf8(f.code)},
        {"model", wce::Utf16ToUtf8(f.model)},
        {"romVersion", wce::Utf16ToUtf8(f.romVersion)},
        {"extRomVersion", wce::Utf16ToUtf8(f.extRomVersion)},
        {"packageBytes", info.package_bytes},
        {"imageBytes", info.image_bytes},
        {"preparable", info.preparable},
    });
    out << j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    return kExitOk;
  }
  std::string preparable = "yes";
  if (!info.preparable) {
    preparable = info.package_bytes < kSmallestPreparable ? "no (smaller than 2560 bytes)"
                                                          : "no (4 GiB - 1 bytes or more)";
  }
  auto shown = [](const std::u16string& text) { return ForTerminal(wce::Utf16ToUtf8(text)); };
  out << "file             " << ForTerminal(options.package) << '\n'
      << "language         " << shown(f.language) << '\n'
      << "code             " << shown(f.code) << '\n'
      << "model            " << shown(f.model) << '\n'
      << "ROM version      " << shown(f.romVersion) << '\n'
      << "ext ROM version  " << shown(f.extRomVersion) << '\n'
      << "package size     " << info.package_bytes << " bytes\n"
      << "image size       " << info.image_bytes << " bytes\n"
      << "preparable       " << preparable << '\n';
  return kExitOk;
}

// Converts the text given to `option` and checks that it fits a room of `max` UTF-16 units.
bool ConvertField(const char* option, const std::string& text, std::size_t max,
                  std::u16string* field, std::string* error) {
  if (!wce::Utf8ToUtf16(text, field)) {
    *error = std::string(option) + ": not valid UTF-8";
    return false;
  }
  return CheckFieldText(option, *field, max, error);
}

int RunBuild(const Options& options, std::ostream& out, std::ostream& err, bool terminal) {
  PackageFields fields;
  std::string error;
  if (!ConvertField("--language", options.language, kShortFieldMax, &fields.language, &error) ||
      !ConvertField("--code", options.code, kCodeFieldMax, &fields.code, &error) ||
      !ConvertField("--model", options.model, kShortFieldMax, &fields.model, &error) ||
      !ConvertField("--rom", options.rom, kShortFieldMax, &fields.romVersion, &error) ||
      !ConvertField("--ext-rom", options.ext_rom, kShortFieldMax, &fields.extRomVersion, &error)) {
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
  out << "wrote " << ForTerminal(options.output) << '\n';
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
  out << "wrote " << ForTerminal(options.output) << '\n';
  return kExitOk;
}

int RunVerify(const Options& options, std::ostream& out, std::ostream& err) {
  std::string error;
  std::uint64_t offset = 0;
  switch (VerifyImage(options.package, options.image, &offset, &error)) {
    case Verdict::kSame:
      out << ForTerminal(options.image) << ": the image of " << ForTerminal(options.package)
          << '\n';
      return kExitOk;
    case Verdict::kDifferent: {
      char hex[32];
      std::snprintf(hex, sizeof(hex), "0x%llx", static_cast<unsigned long long>(offset));
      out << ForTerminal(options.image) << ": differs from the image of "
          << ForTerminal(options.package) << " at offset " << offset << " (" << hex << ")\n";
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

  // An empty path would only be reported as an unnamed file that does not exist.
  const CLI::Validator path(
      [](const std::string& text) { return std::string(text.empty() ? "an empty path" : ""); },
      "PATH");

  CLI::App* info = app.add_subcommand("info", "Show the header and sizes of a package.");
  info->add_option("PKG", options.package, "the package")->required()->check(path);
  info->add_flag("--json", options.json, "print one JSON object");

  CLI::App* build = app.add_subcommand(
      "build",
      "Make a package from an image: scramble its first 2048 bytes and append the header.");
  build->add_option("--language", options.language, "language, at most 31 UTF-16 units")
      ->required();
  build->add_option("--code", options.code, "region codes, at most 127 UTF-16 units")->required();
  build->add_option("--model", options.model, "device model, at most 31 UTF-16 units")->required();
  build->add_option("--rom", options.rom, "ROM version, at most 31 UTF-16 units")->required();
  build->add_option("--ext-rom", options.ext_rom, "extended ROM version, at most 31 UTF-16 units")
      ->required();
  build->add_option("IMAGE", options.image, "the image (at least 2048 bytes)")
      ->required()
      ->check(path);
  build->add_option("-o,--output", options.output, "the package to write")->required()->check(path);

  CLI::App* extract =
      app.add_subcommand("extract", "Write the image the device prepares from a package.");
  extract->add_option("PKG", options.package, "the package")->required()->check(path);
  extract->add_option("-o,--output", options.output, "the image to write")->required()->check(path);

  CLI::App* verify = app.add_subcommand(
      "verify",
      "Exit 0 when IMAGE is exactly the image of PKG, 1 (with the first differing "
      "offset) when not.");
  verify->add_option("PKG", options.package, "the package")->required()->check(path);
  verify->add_option("IMAGE", options.image, "the image to check")->required()->check(path);

  if (int status = ParseCommandLine(app, argc, argv, out, err); status >= 0) return status;

  if (info->parsed()) return RunInfo(options, out, err);
  if (build->parsed()) return RunBuild(options, out, err, err_is_terminal);
  if (extract->parsed()) return RunExtract(options, out, err, err_is_terminal);
  return RunVerify(options, out, err);
}

}  // namespace kepla::pkg
