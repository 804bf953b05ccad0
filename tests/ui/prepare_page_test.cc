// The Prepare page on the device: its opening state, Cancel, Next with and without data, and the
// reporting of a failed preparation.
#include "ui/prepare_page.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <vector>

#include "page_fixture.h"
#include "res/resource.h"
#include "ui/page_result.h"

namespace kepla_test {
namespace {

// Records the progress-bar positions the device reports.
class ProgressRecorder : public wce::AutomationObserver {
 public:
  void OnProgress(std::uint64_t, int control_id, int pos) override {
    std::lock_guard<std::mutex> lock(mu_);
    if (control_id == IDC_PROGRESS) positions_.push_back(pos);
  }
  std::vector<int> positions() {
    std::lock_guard<std::mutex> lock(mu_);
    return positions_;
  }

 private:
  std::mutex mu_;
  std::vector<int> positions_;
};

class PreparePageTest : public PageFixture {
 protected:
  bool ImageExists() const { return std::filesystem::exists(HostPath(kImagePath)); }

  // Outlives the device, which reports to it.
  ProgressRecorder progress_;
};

TEST_F(PreparePageTest, OpensWithPromptEmptyBarAndBothKeys) {
  BootWithPackage(wce::DeviceProfile{});
  StartPage<PreparePage>();
  wce::ScreenSnapshot screen = WaitForTemplate(IDD_PREPARE);
  EXPECT_EQ(screen.title, u"ZQV");
  EXPECT_EQ(ControlText(screen, IDC_PREPARE_TEXT), u"Click Next to continue or Cancel to exit.");
  const wce::ControlSnapshot* bar = Control(screen, IDC_PROGRESS);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->progress_min, 0);
  EXPECT_EQ(bar->progress_max, 100);
  EXPECT_EQ(bar->progress_pos, 0);
  ASSERT_EQ(screen.soft_keys.size(), 2u);
  EXPECT_EQ(screen.soft_keys[0].label, u"Next");
  EXPECT_EQ(screen.soft_keys[1].label, u"Cancel");
  EXPECT_TRUE(screen.soft_keys[0].enabled && screen.soft_keys[1].enabled);

  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), Cancelled);
  EXPECT_FALSE(ImageExists());
}

TEST_F(PreparePageTest, NextWithoutDataObjectIsIgnored) {
  BootWithPackage(wce::DeviceProfile{});
  StartPage<PreparePage>(/*withData=*/false);
  WaitForTemplate(IDD_PREPARE);
  ASSERT_TRUE(Press(0));
  // Still open, prompt unchanged, both keys usable.
  wce::ScreenSnapshot screen = WaitForTemplate(IDD_PREPARE);
  EXPECT_EQ(ControlText(screen, IDC_PREPARE_TEXT), u"Click Next to continue or Cancel to exit.");
  ASSERT_EQ(screen.soft_keys.size(), 2u);
  EXPECT_TRUE(screen.soft_keys[0].enabled && screen.soft_keys[1].enabled);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), Cancelled);
}

TEST_F(PreparePageTest, NextPreparesTheImageWithKeysDisabledAndTheWaitText) {
  BootWithPackage(wce::DeviceProfile{}, MatchingFields(), 200000);
  automation().SetObserver(&progress_);
  StartPage<PreparePage>();
  WaitForTemplate(IDD_PREPARE);
  ASSERT_TRUE(Press(0));

  // Every screen of the preparation shows the wait text and offers no key.
  wce::ScreenSnapshot screen = WaitForScreen([](const wce::ScreenSnapshot& s) {
    return s.template_id == IDD_PREPARE && ControlText(s, IDC_PREPARE_TEXT) !=
                                               u"Click Next to "
                                               u"continue or "
                                               u"Cancel to exit.";
  });
  EXPECT_EQ(ControlText(screen, IDC_PREPARE_TEXT), u"Preparing data, please wait\u2026");
  ASSERT_EQ(screen.soft_keys.size(), 2u);
  EXPECT_FALSE(screen.soft_keys[0].enabled);
  EXPECT_FALSE(screen.soft_keys[1].enabled);
  EXPECT_FALSE(automation().Offered(wce::PressSoftKey{0}));
  EXPECT_FALSE(automation().Offered(wce::PressSoftKey{1}));

  EXPECT_EQ(FinishProgram(), DataPrepared);
  EXPECT_TRUE(ImageExists());
  std::vector<int> positions = progress_.positions();
  ASSERT_FALSE(positions.empty());
  EXPECT_EQ(positions.back(), 100);
}

TEST_F(PreparePageTest, FailedPreparationIsReportedWhileThePageIsOpen) {
  // No package in the program's folder: the copy cannot open it.
  BootWithPackage(wce::DeviceProfile{}, std::nullopt);
  StartPage<PreparePage>();
  WaitForTemplate(IDD_PREPARE);
  ASSERT_TRUE(Press(0));

  wce::ScreenSnapshot screen =
      WaitForScreen([](const wce::ScreenSnapshot& s) { return s.message_box.has_value(); });
  ASSERT_TRUE(screen.message_box.has_value());
  EXPECT_EQ(screen.message_box->text,
            u"Data preparation failed. Format your storage card then try again.");
  EXPECT_EQ(screen.message_box->caption, u"Error");
  EXPECT_EQ(screen.message_box->owner_title, u"ZQV");
  EXPECT_EQ(screen.template_id, IDD_PREPARE);  // the page is still there under the box
  ASSERT_TRUE(DismissMessageBox().has_value());
  EXPECT_EQ(FinishProgram(), PreparationFailed);
  EXPECT_FALSE(ImageExists());
}

}  // namespace
}  // namespace kepla_test
