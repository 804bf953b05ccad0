// Scripts on any text, given inline (--script) and as a file (--script-file): parsing never
// crashes, a refusal says why, and the steps of an accepted script, written back as the transcript
// writes them, parse again into the same steps.
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "sim/script.h"

namespace {

std::string Joined(const std::vector<kepla::ScriptStep>& steps) {
  std::string text;
  for (const kepla::ScriptStep& step : steps) {
    if (!text.empty()) text += ',';
    text += step.Text();
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  for (bool file : {false, true}) {
    auto steps =
        file ? kepla::ParseScriptFile(text, "fuzz.txt", &error) : kepla::ParseScript(text, &error);
    if (!steps) {
      FUZZ_CHECK(!error.empty());
      continue;
    }
    const std::string written = Joined(*steps);
    auto again = kepla::ParseScript(written, &error);
    FUZZ_CHECK(again);
    FUZZ_CHECK(Joined(*again) == written);
    FUZZ_CHECK(again->size() == steps->size());
  }
  return 0;
}
