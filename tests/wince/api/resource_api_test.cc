// FindResourceW, LoadResource, SizeofResource, LoadStringW and the Modules lookups behind them, on
// a booted device whose program resources are the tests' own image.
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "system/device.h"
#include "res/embedded.h"
#include "resource/modules.h"
#include "support/scratch_dir.h"
#include "support/test_resources.h"
#include "wince/testdata/test_resource.h"

namespace {

class ResourceApi : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_ / "fs" / "Storage Card");
    wce::DeviceOptions options;
    options.folder = dir_.path();
    options.profile = wce::DeviceProfile{};
    options.clock = wce::ClockSpec{wce::ClockMode::kVirtual, 1.0};
    options.program_resources = kepla::TestResources();
    options.publish = false;
    std::string error;
    device_ = wce::Device::Boot(options, &error);
    ASSERT_TRUE(device_) << error;
    module_ = device_->program_instance();
    ASSERT_NE(module_, nullptr);
  }

  wce::Modules& modules() { return device_->modules(); }

  kepla_test::ScratchDir dir_;
  std::unique_ptr<wce::Device> device_;
  HINSTANCE module_ = nullptr;
};

std::u16string TextAt(INT_PTR pointer) { return reinterpret_cast<const WCHAR*>(pointer); }

TEST_F(ResourceApi, FindsByOrdinalNameAndNumberText) {
  HRSRC dialog = FindResourceW(module_, MAKEINTRESOURCE(IDD_T_PAGE), RT_DIALOG);
  ASSERT_NE(dialog, nullptr);
  auto* data = static_cast<const std::uint8_t*>(LoadResource(module_, dialog));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data[0], 0x48) << "the template's style comes first";
  EXPECT_EQ(SizeofResource(module_, dialog), 0xBAu);

  // Names compare without regard to case; "#100" names ordinal 100.
  HRSRC blob = FindResourceW(module_, TEXT("blob"), TEXT("Payload"));
  ASSERT_NE(blob, nullptr);
  EXPECT_EQ(SizeofResource(module_, blob), 3u);
  EXPECT_EQ(std::string(static_cast<const char*>(LoadResource(module_, blob)), 3), "abc");
  EXPECT_EQ(FindResourceW(module_, TEXT("#100"), TEXT("#5")), dialog);

  // A null module is the program's own.
  EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCE(IDD_T_PAGE), RT_DIALOG), dialog);
  EXPECT_EQ(LoadResource(nullptr, dialog), LoadResource(module_, dialog));
}

TEST_F(ResourceApi, FailuresSayWhatWasMissing) {
  SetLastError(0);
  EXPECT_EQ(FindResourceW(module_, MAKEINTRESOURCE(IDD_T_PAGE), MAKEINTRESOURCE(9)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
  EXPECT_EQ(FindResourceW(module_, MAKEINTRESOURCE(999), RT_DIALOG), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(FindResourceW(module_, TEXT("#12x"), TEXT("PAYLOAD")), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(
      FindResourceW(reinterpret_cast<HMODULE>(0x7771234), MAKEINTRESOURCE(IDD_T_PAGE), RT_DIALOG),
      nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));

  // Handles that no FindResourceW gave out, or that belong to another module.
  int not_a_resource = 0;
  HRSRC bogus = reinterpret_cast<HRSRC>(&not_a_resource);
  EXPECT_EQ(LoadResource(module_, bogus), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(SizeofResource(module_, bogus), 0u);
  HINSTANCE program = modules().Add(kepla::ProgramResources());
  ASSERT_NE(program, nullptr);
  ASSERT_NE(program, module_);
  HRSRC other = FindResourceW(program, MAKEINTRESOURCE(201), RT_DIALOG);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(LoadResource(module_, other), nullptr);
  EXPECT_NE(LoadResource(program, other), nullptr);
}

TEST_F(ResourceApi, LoadStringPointerFormReturnsTheStoredText) {
  INT_PTR hello = LoadStringW(module_, IDS_T_HELLO, nullptr, 0);
  ASSERT_NE(hello, 0);
  EXPECT_EQ(TextAt(hello), u"Hello");
  // The text in place: the same address every time, inside the string-table resource.
  EXPECT_EQ(LoadStringW(module_, IDS_T_HELLO, nullptr, 0), hello);
  auto located = modules().Locate(reinterpret_cast<const void*>(hello));
  ASSERT_TRUE(located);
  EXPECT_EQ(located->entry->type, wce::ResId::Ordinal(wce::kTypeString));
  EXPECT_EQ(located->entry->name, wce::ResId::Ordinal(1));

  EXPECT_EQ(TextAt(LoadStringW(module_, IDS_T_ACCENT, nullptr, 0)), u"Caf\u00e9 \u2013 5 \u20ac");
  INT_PTR empty = LoadStringW(module_, IDS_T_EMPTY, nullptr, 0);
  ASSERT_NE(empty, 0) << "an empty text is still a text";
  EXPECT_EQ(TextAt(empty), u"");

  SetLastError(0);
  EXPECT_EQ(LoadStringW(module_, 3, nullptr, 0), 0) << "an unused slot";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(LoadStringW(module_, 4000, nullptr, 0), 0) << "a block that does not exist";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(LoadStringW(module_, 0x10001, nullptr, 0), 0) << "ids are WORDs";
}

TEST_F(ResourceApi, LoadStringCopyFormCutsToTheBuffer) {
  // The terminator stored inside the count is copied and counted, as on Win32: "Hello" is
  // stored as 6 units.
  WCHAR buffer[260];
  EXPECT_EQ(LoadStringW(module_, IDS_T_HELLO, buffer, 260), 6);
  EXPECT_EQ(std::u16string(buffer), u"Hello");

  std::fill(std::begin(buffer), std::end(buffer), u'#');
  EXPECT_EQ(LoadStringW(module_, IDS_T_HELLO, buffer, 3), 2);
  EXPECT_EQ(std::u16string(buffer, 4), std::u16string(u"He\0#", 4)) << "nothing past the room";

  EXPECT_EQ(LoadStringW(module_, IDS_T_HELLO, buffer, 6), 5) << "exactly room for the text";
  EXPECT_EQ(std::u16string(buffer), u"Hello");

  buffer[0] = u'#';
  EXPECT_EQ(LoadStringW(module_, IDS_T_HELLO, buffer, 1), 0);
  EXPECT_EQ(buffer[0], 0) << "room only for the terminator";

  buffer[0] = u'#';
  EXPECT_EQ(LoadStringW(module_, IDS_T_EMPTY, buffer, 260), 1) << "its stored terminator";
  EXPECT_EQ(buffer[0], 0);

  buffer[0] = u'#';
  SetLastError(0);
  EXPECT_EQ(LoadStringW(module_, 3, buffer, 260), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(buffer[0], 0);

  EXPECT_EQ(LoadStringW(module_, IDS_T_HELLO, buffer, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ResourceApi, SpanContainingBoundsATemplateFromAnyAddressInside) {
  HRSRC dialog = FindResourceW(module_, MAKEINTRESOURCE(IDD_T_PAGE), RT_DIALOG);
  auto* data = static_cast<const std::uint8_t*>(LoadResource(module_, dialog));
  const DWORD size = SizeofResource(module_, dialog);
  auto whole = modules().SpanContaining(data);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->data(), data);
  EXPECT_EQ(whole->size(), size);
  auto tail = modules().SpanContaining(data + size - 1);
  ASSERT_TRUE(tail);
  EXPECT_EQ(tail->size(), 1u);
  auto located = modules().Locate(data + 10);
  ASSERT_TRUE(located);
  EXPECT_EQ(located->instance, module_);
  EXPECT_EQ(located->entry->name, wce::ResId::Ordinal(IDD_T_PAGE));

  // Padding after the data and memory outside every image belong to no resource.
  EXPECT_FALSE(modules().SpanContaining(data + size + 1));
  int local = 0;
  EXPECT_FALSE(modules().SpanContaining(&local));
}

TEST_F(ResourceApi, AddRefusesBytesThatAreNoResourceImage) {
  const std::uint8_t junk[] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(modules().Add(junk), nullptr);
  EXPECT_FALSE(modules().Contains(nullptr));
  EXPECT_TRUE(modules().Contains(module_));
}

// Lookups run on several threads while another module is being added.
TEST_F(ResourceApi, ConcurrentLookupsWhileAdding) {
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&] {
      WCHAR buffer[16];
      while (!stop.load()) {
        if (LoadStringW(module_, IDS_T_HELLO, buffer, 16) != 6) ++wrong;
        if (FindResourceW(module_, MAKEINTRESOURCE(IDD_T_PAGE), RT_DIALOG) == nullptr) ++wrong;
      }
    });
  }
  std::vector<HINSTANCE> added;
  for (int i = 0; i < 50; ++i) added.push_back(modules().Add(kepla::ProgramResources()));
  stop = true;
  for (auto& reader : readers) reader.join();
  EXPECT_EQ(wrong.load(), 0);
  for (HINSTANCE h : added) {
    EXPECT_NE(FindResourceW(h, MAKEINTRESOURCE(2001), RT_MENU), nullptr);
  }
}

}  // namespace
