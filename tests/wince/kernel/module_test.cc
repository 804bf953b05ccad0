// The program's own path, COREDLL.DLL and its KernelIoControl export.
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "model/oem.h"
#include "support/device_thread.h"

namespace {

using kepla_test::DeviceThreadTest;

class ModuleTest : public DeviceThreadTest {
 protected:
  void SetUp() override {
    profile().program = u"\\Storage Card\\Upgrade\\KEPLA.exe";
    profile().model = u"QMR407";
    profile().rom_version = u"1.13.407.2";
    profile().ext_rom_version = u"1.13.407 ENG WWE";
  }
  void BootWith(bool answers) {
    profile().identity_answers = answers;
    BootHere();
  }

  using IoControlProc = BOOL(WINAPI*)(DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD);

  IoControlProc LookUpIoControl() {
    HINSTANCE library = LoadLibraryW(TEXT("COREDLL.DLL"));
    if (library == nullptr) return nullptr;
    FARPROC proc = GetProcAddressW(library, TEXT("KernelIoControl"));
    return reinterpret_cast<IoControlProc>(reinterpret_cast<void (*)()>(proc));
  }
};

TEST_F(ModuleTest, ProgramPathIsCopiedWhole) {
  BootWith(true);
  WCHAR path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  EXPECT_EQ(n, profile().program.size());
  EXPECT_EQ(std::u16string(path), profile().program);
  EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(0x1234), path, MAX_PATH), 0u);
}

TEST_F(ModuleTest, ProgramPathIsCutToTheBuffer) {
  BootWith(true);
  WCHAR path[8];
  std::fill(std::begin(path), std::end(path), u'#');
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameW(nullptr, path, 5), 4u);
  EXPECT_EQ(std::u16string(path), u"\\Sto");
  EXPECT_EQ(path[5], u'#') << "nothing written past the buffer";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(GetModuleFileNameW(nullptr, path, 0), 0u);
}

TEST_F(ModuleTest, OnlyCoreDllLoadsAndItExportsOnlyKernelIoControl) {
  BootWith(true);
  HINSTANCE core = LoadLibraryW(TEXT("COREDLL.DLL"));
  ASSERT_NE(core, nullptr);
  EXPECT_EQ(LoadLibraryW(TEXT("coredll.dll")), core);
  EXPECT_EQ(LoadLibraryW(TEXT("CoreDll")), core);
  for (const WCHAR* other :
       {TEXT("kernel32.dll"), TEXT("COREDLL.DLLX"), TEXT("COREDL.DLL"), TEXT("")}) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(other), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  }

  EXPECT_NE(GetProcAddressW(core, TEXT("KernelIoControl")), nullptr);
  EXPECT_EQ(GetProcAddressW(core, TEXT("kernelIoControl")), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(GetProcAddressW(core, reinterpret_cast<LPCWSTR>(std::uintptr_t{1})), nullptr);
  EXPECT_EQ(GetProcAddressW(reinterpret_cast<HMODULE>(0x1234), TEXT("KernelIoControl")), nullptr);

  EXPECT_TRUE(FreeLibrary(core));
  EXPECT_FALSE(FreeLibrary(reinterpret_cast<HMODULE>(0x1234)));
}

TEST_F(ModuleTest, IdentityControlAnswersFromTheProfile) {
  BootWith(true);
  IoControlProc io = LookUpIoControl();
  ASSERT_NE(io, nullptr);
  std::array<std::uint8_t, 468> buffer{};
  DWORD returned = 0;
  ASSERT_TRUE(io(wce::kIoctlOemIdentity, buffer.data(), 468, buffer.data(), 468, &returned));
  EXPECT_EQ(returned, 468u);
  std::array<std::uint8_t, 468> expected{};
  wce::WriteIdentityAnswer(profile().model, profile().rom_version, profile().ext_rom_version,
                           expected);
  EXPECT_EQ(buffer, expected);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(buffer.data() + 404)),
            u"1.13.407 ENG WWE");
}

}  // namespace
