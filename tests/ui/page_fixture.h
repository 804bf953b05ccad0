// Running one wizard page as the device's program, for the page tests.
#ifndef KEPLA_TESTS_UI_PAGE_FIXTURE_H_
#define KEPLA_TESTS_UI_PAGE_FIXTURE_H_

#include <windows.h>

#include "package/data_unpacker.h"
#include "support/program_fixture.h"

namespace kepla_test {

// Runs `Page` attached to a fresh, loaded DataUnpacker (none when `withData` is false) and no
// owner, and returns what its Run returned.
template <class Page>
int RunPage(HINSTANCE instance, bool withData) {
  DataUnpacker* data = NULL;
  if (withData) {
    data = new DataUnpacker;
    data->Load();
  }
  int result;
  {
    Page page;
    page.Attach(instance, NULL, data);
    result = static_cast<int>(page.Run());
  }
  delete data;
  return result;
}

class PageFixture : public ProgramFixture {
 protected:
  // Writes a package with `fields` (none when empty) and boots `profile`.
  void BootWithPackage(wce::DeviceProfile profile,
                       std::optional<kepla::pkg::PackageFields> fields = MatchingFields(),
                       std::size_t imageBytes = 4096) {
    if (fields) WritePackage(*fields, imageBytes);
    Boot(std::move(profile));
  }

  template <class Page>
  void StartPage(bool withData = true) {
    StartBody([withData](HINSTANCE instance) { return RunPage<Page>(instance, withData); });
  }
};

}  // namespace kepla_test

#endif  // KEPLA_TESTS_UI_PAGE_FIXTURE_H_
