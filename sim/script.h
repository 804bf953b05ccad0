// Script of a headless run: what the user presses, in order.
//
// A script is a list of actions separated by commas (and, in a script file, by line ends; a "#"
// starts a comment that runs to the end of its line). Blanks around an action are ignored and
// the action words are case-blind; event names are kept as written.
//   left, right       press the left or right soft key
//   ok                dismiss the open message box
//   rotate:DEG        turn the display to 0, 90, 180 or 270 degrees
//   signal:EVENT      set the named event EVENT, as another program on the device would
//   wait:MS           let MS device milliseconds pass
#ifndef KEPLA_SIM_SCRIPT_H_
#define KEPLA_SIM_SCRIPT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <wince/automation.h>

namespace kepla {

struct ScriptStep {
  enum class Kind { kLeft, kRight, kOk, kRotate, kSignal, kWait };
  Kind kind = Kind::kLeft;
  int degrees = 0;       // kRotate
  std::u16string event;  // kSignal
  std::uint32_t ms = 0;  // kWait

  // The step as a script writes it ("rotate:90"), for messages and the transcript.
  std::string Text() const;
  // The automation action of the step; nullopt for kWait, which is no action.
  std::optional<wce::Action> ToAction() const;
};

// Parses a script; a blank text is an empty script. On error returns nullopt and sets *error to one
// line naming the action and its place ("script: action 3, \"rotate:45\": the angle must be 0, 90,
// 180 or 270").
std::optional<std::vector<ScriptStep>> ParseScript(std::string_view text, std::string* error);

// Parses the text of a script file called `name`: lines, each a list of actions that may end in a
// comma, "#" comments. Errors name the file and the line ("NAME:3: action 1, ...").
std::optional<std::vector<ScriptStep>> ParseScriptFile(std::string_view text,
                                                       const std::string& name, std::string* error);

// Reads and parses a script file. Only a regular file of at most 1 MiB is read (a FIFO, a device
// or a larger file is refused without blocking). Errors name the file and the line.
std::optional<std::vector<ScriptStep>> LoadScriptFile(const std::string& path, std::string* error);

}  // namespace kepla

#endif  // KEPLA_SIM_SCRIPT_H_
