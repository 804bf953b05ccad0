#include "package/device_identity.h"

#include "package/text_bounds.h"

namespace {

const DWORD kFieldChars = 32;  // 31 characters and the terminator
const DWORD kLanguageChars = 3;

}  // namespace

void SplitExtRomVersion(LPCWSTR extRomVersion, DeviceIdentity* identity) {
  if (extRomVersion == NULL || identity == NULL) return;
  LPCWSTR first = wcschr(extRomVersion, TEXT(' '));
  if (first == NULL) return;
  LPCWSTR second = wcschr(first + 1, TEXT(' '));
  if (second == NULL) {
    CopyTextCut(identity->code, kFieldChars, first + 1);
    return;
  }
  // By position, not by token: the second blank may be one of the three characters.
  DWORD i = 0;
  for (; i < kLanguageChars && first[1 + i] != 0; i++) identity->language[i] = first[1 + i];
  identity->language[i] = 0;
  CopyTextCut(identity->code, kFieldChars, second + 1);
}

void DecodeIdentityAnswer(const BYTE* answer, DeviceIdentity* identity) {
  if (answer == NULL || identity == NULL) return;
  // The whole room, so that the split sees the text as the answer has it.
  WCHAR extRomVersion[kAnswerExtRomRoom / sizeof(WCHAR) + 1];
  ReadFieldText(answer + kAnswerExtRomOffset, kAnswerExtRomRoom, extRomVersion,
                sizeof(extRomVersion) / sizeof(WCHAR));
  SplitExtRomVersion(extRomVersion, identity);
  ReadFieldText(answer + kAnswerModelOffset, kAnswerModelRoom, identity->model, kFieldChars);
  ReadFieldText(answer + kAnswerRomOffset, kAnswerRomRoom, identity->romVersion, kFieldChars);
  CopyTextCut(identity->extRomVersion, kFieldChars, extRomVersion);
}
