#include "sim/screen_text.h"

#include <gtest/gtest.h>

namespace kepla {
namespace {

TEST(ScreenTextTest, ShowsWhatAPersonWouldSee) {
  wce::ScreenSnapshot snap;
  snap.program_running = true;
  snap.waiting_for_input = true;
  snap.has_window = true;
  snap.title = u"Upgrade";
  snap.template_id = 102;
  wce::ControlSnapshot label;
  label.class_name = u"Static";
  label.text = u"Preparing data,\nplease wait\u2026";
  snap.controls.push_back(label);
  wce::ControlSnapshot hidden = label;
  hidden.text = u"secret";
  hidden.visible = false;
  snap.controls.push_back(hidden);
  wce::ControlSnapshot bar;
  bar.class_name = u"msctls_progress32";
  bar.progress_pos = 40;
  snap.controls.push_back(bar);
  snap.soft_keys = {{u"Next", false, 1}, {u"Cancel", true, 2}};
  snap.message_box = wce::MessageBoxSnapshot{u"Upgrade", u"Out of space", u"Error", 0};

  EXPECT_EQ(DescribeScreen(snap),
            "  window \"Upgrade\" (dialog 102), 240x320, rotation 0\n"
            "    \"Preparing data,\\nplease wait\xE2\x80\xA6\"\n"
            "    progress 40 of 0..100\n"
            "  soft keys: left \"Next\" (disabled), right \"Cancel\"\n"
            "  message box \"Error\": \"Out of space\"\n");
}

TEST(ScreenTextTest, SaysWhenNothingIsShown) {
  wce::ScreenSnapshot snap;
  snap.program_running = true;
  EXPECT_EQ(DescribeScreen(snap, ""), "no window\nsoft keys: none\n");
  snap.program_running = false;
  EXPECT_EQ(DescribeScreen(snap, ""), "(the program is not running)\nno window\nsoft keys: none\n");
}

}  // namespace
}  // namespace kepla
