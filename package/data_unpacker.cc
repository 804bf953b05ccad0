#include "package/data_unpacker.h"

#include <cstring>

#include "package/text_bounds.h"

DataUnpacker::DataUnpacker()
    : progressBar(NULL),
      watchdogTick(0),
      abandoned(FALSE),
      copyBuffer(NULL),
      openOutput(NULL),
      openInput(NULL),
      checkedOutput(NULL) {
  cardRoot[0] = 0;
  programDir[0] = 0;
  packagePath[0] = 0;
  outputPath[0] = 0;

  FindCardRoot(cardRoot);

  WCHAR program[MAX_PATH];
  if (GetProgramPath(program)) FolderOfPath(program, programDir);

  wcscpy(packagePath, programDir);
  WCHAR name[MAX_PATH];
  // A name that would make the path too long counts as no package.
  if (FindPackageName(name) && !JoinPath(packagePath, programDir, name)) {
    wcscpy(packagePath, programDir);
  }

  memset(&header, 0, sizeof(header));
  memset(&identity, 0, sizeof(identity));
}

void DataUnpacker::Load() {
  UnpackerBase::Load();
  ReadTrailer();
  QueryDeviceIdentity();
}

void DataUnpacker::Unload() { UnpackerBase::Unload(); }

void DataUnpacker::ReadTrailer() {
  if (packagePath[0] == 0) return;
  HANDLE file =
      CreateFileW(packagePath, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD high = 0;
  DWORD size = GetFileSize(file, &high);
  // A package of 4 GiB or more has no trailer that 32-bit sizes could find.
  if (size != INVALID_FILE_SIZE && high == 0) ReadPackageHeader(file, size, &header);
  CloseHandle(file);
}

BOOL DataUnpacker::FindPackageName(LPWSTR name) { return FindPackageIn(programDir, name); }
