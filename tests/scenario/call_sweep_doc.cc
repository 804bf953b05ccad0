// The call sweep's section of docs/reliability.md, from the counts of a sweep.
#include <cstdio>
#include <sstream>

#include "scenario/call_sweep.h"
#include "scenario/doc_section.h"

namespace kepla_test::sweep {
namespace {

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

}  // namespace

std::string RenderSweepSection(const SweepCounts& counts) {
  std::ostringstream out;
  out << kSweepSectionBegin << "\n\n"
      << "## Every platform call failed in turn, and cut by power-off\n\n"
      << "Each scenario runs `kepla --calls` on a fresh device (virtual clock), as a user who "
         "goes on (Next, OK, Close), with a package of an image of "
      << kImageBytes
      << " bytes. Then, for every call it recorded of a function that can fail, it runs again "
         "from a fresh device with a `callFails` fault on that call (and once more for each "
         "error code the program tells apart: only `GetModuleFileNameW`'s "
         "`ERROR_INSUFFICIENT_BUFFER`), and again with a `powerOff` fault just before it, "
         "followed by a clean run on the same device. Every run is a kepla process of its own. "
         "The rules checked after each: it ends within "
      << kTimeoutSeconds
      << " s of device time; its exit status is the program's own (0 or 16; 5 for a power "
         "cut), with no crash and no sanitizer report; the package is byte-identical to what it "
         "was; the Finish page is shown only when the card holds a hidden image byte-identical "
         "to `kepla-pkg extract` of the package; after any other end the card holds no image, "
         "but for the zero-length image a worker terminated by the watchdog leaves and an "
         "image that stays because the failed call was the `DeleteFileW` that would have "
         "removed it, the user having been told the preparation failed; after a power cut the "
         "clean run starts from what was left and keeps the same rules.\n\n"
      << "A rerun whose fault names a call that its run never made (the run went otherwise) "
         "counts as not reached; it is still checked. The counts vary by a few calls from one "
         "sweep to the next: how often the user-interface thread wakes while the worker copies "
         "depends on the two threads' timing, so the test checks the rules and that this "
         "section is here, not its numbers.\n\n"
      << "| Scenario | Calls recorded | Functions | Calls that can fail | callFails reruns | "
         "powerOff reruns | Not reached | Left on a page with no way on | Rules broken | kepla "
         "runs | "
         "Device time |\n"
      << "|---|---|---|---|---|---|---|---|---|---|---|\n";
  ScenarioCounts total;
  for (const ScenarioCounts& s : counts.scenarios) {
    out << "| " << s.name << " | " << s.calls << " | " << s.functions << " | " << s.can_fail
        << " | " << s.call_fails << " | " << s.power_offs << " | " << s.not_reached << " | "
        << s.stuck << " | " << s.broken << " | " << s.runs << " | " << Seconds(s.device_ms / 1000.0)
        << " |\n";
    total.calls += s.calls;
    total.can_fail += s.can_fail;
    total.call_fails += s.call_fails;
    total.power_offs += s.power_offs;
    total.not_reached += s.not_reached;
    total.stuck += s.stuck;
    total.broken += s.broken;
    total.runs += s.runs;
    total.device_ms += s.device_ms;
  }
  out << "| all | " << total.calls << " |  | " << total.can_fail << " | " << total.call_fails
      << " | " << total.power_offs << " | " << total.not_reached << " | " << total.stuck << " | "
      << total.broken << " | " << total.runs << " | " << Seconds(total.device_ms / 1000.0)
      << " |\n\n";
  out << "Rules broken: " << counts.failures.size() << " (the goal is 0).";
  for (const std::string& failure : counts.failures) out << "\n- " << failure;
  out << "\n\n### Ends the rules allow, and why\n\n"
      << "- **The Finish page cannot be made** (`FindResourceW`, `LoadResource` or "
         "`DialogBoxIndirectParamW` of its template fails after a preparation that succeeded): "
         "the page returns -1 and the wizard ends, as it ends on whatever the Finish page "
         "returns. The card keeps the verified, hidden image: nothing removes an image once it "
         "has been checked, and no message may be added. The user is left without the "
         "instructions; the image itself is the right one.\n"
      << "- **A page is left with no way on**: `SHCreateMenuBar` fails (the page has no soft "
         "keys: its steps ignore the result), `SetWindowLongW` of a page's own pointer fails in "
         "`WM_INITDIALOG` (the page's dialog procedure never finds the page again, and its keys "
         "do nothing: the pointer is stored without a check), or `EndDialog` fails (the page "
         "stays: its result is not checked; on the device it fails only for a dialog that is "
         "gone, whose loop ends by itself). The program waits for ever; kepla stops it at its "
         "time-out (exit 3), as the user would reset the device, and the next clean run on the "
         "same device must keep every rule. What the stopped run left is checked only through "
         "that next run: it may be a verified image (an `EndDialog` of the Prepare page), which "
         "the next run deletes at its start and prepares again.\n"
      << "- **`DeleteFileW` of the image fails** after a failed preparation: the image is cut to "
         "zero length instead, and the user has been told the preparation failed. A zero-length "
         "image is no image the bootloader takes.\n"
      << "- **The watchdog terminated the worker** while it held the image: the image is cut to "
         "zero length, as in the fault matrix above.\n"
      << "\n### Found by the sweep\n\n"
      << "- A failed `CloseHandle` of the image in the copy left the handle open: the image, "
         "shared with nobody, could then be neither verified nor removed, and a complete image "
         "stayed after the user was told the preparation failed. On the device a close fails "
         "only for a handle that is not open; the layer's `CloseHandle` now takes an open handle "
         "away even when a fault makes it report a failure.";
  out << "\n\nThe sweep took " << Seconds(counts.real_seconds)
      << " of real time on a 2-core machine (" << Seconds(total.device_ms / 1000.0)
      << " of device time), in the normal preset, where it runs whole. The address+undefined "
         "preset runs every "
      << kSanitizerStride
      << "th rerun of each scenario (counted in the order of the calls), under the same rules "
         "and with the sanitizers' reports counted as broken rules; the thread-sanitizer preset "
         "runs only the scenarios' clean runs.\n\n"
      << "The rules and the scenarios' reruns are in tests/scenario/call_sweep*.{h,cc}; "
         "`scripts/sweep.sh` runs the sweep with `KEPLA_WRITE_SWEEP=1`, which writes this "
         "section.\n\n"
      << kSweepSectionEnd << "\n";
  return out.str();
}

}  // namespace kepla_test::sweep
