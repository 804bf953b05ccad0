// Where the program, its storage card and the prepared image are.
#ifndef KEPLA_PACKAGE_CARD_PATHS_H_
#define KEPLA_PACKAGE_CARD_PATHS_H_

#include <windows.h>

// The image the bootloader takes from the root of the storage card.
#define PREPARED_IMAGE_NAME TEXT("407_QMR_SD.bin")

// Writes the full path of the running program into `path` (MAX_PATH characters). Returns FALSE
// with `path` empty when it cannot be had or does not fit.
BOOL GetProgramPath(LPWSTR path);

// The card root of a program path: the path cut just after its second backslash
// ("\Storage Card\Upgrade\KEPLA.exe" gives "\Storage Card\"). Writes it into `root`
// (MAX_PATH characters) and returns TRUE; with fewer than two backslashes `root` is left empty
// and FALSE returned. Pure.
BOOL CardRootOfPath(LPCWSTR programPath, LPWSTR root);

// The folder of a program path, with its trailing backslash ("\Storage Card\Upgrade\"); empty
// for a path without a backslash. Writes into `folder` (MAX_PATH characters). Pure.
void FolderOfPath(LPCWSTR programPath, LPWSTR folder);

// The storage-card root of the running program, into `path` (MAX_PATH characters). Nothing
// checks that the folder is a storage card: a program in \Windows\ gives "\Windows\". Returns
// FALSE with `path` empty when the program's path has fewer than two backslashes.
BOOL FindCardRoot(LPWSTR path);

// Writes the card root followed by the image name into `path` (MAX_PATH characters). An empty
// card root gives the bare image name. Returns FALSE with `path` empty when it does not fit.
BOOL PreparedImagePath(LPCWSTR cardRoot, LPWSTR path);

// Writes the name (without folder) of the first entry of `folder` (with its trailing backslash)
// whose name contains ".bin" (case-sensitive; folders count too) into `name` (MAX_PATH
// characters), in the file system's order. Returns TRUE when one was found; `name` is empty
// otherwise. Reads only the folder: any thread may call.
BOOL FindPackageIn(LPCWSTR folder, LPWSTR name);

// Deletes the prepared image at the card root; returns what DeleteFileW returned (FALSE also
// when the card root or the path cannot be had). A program in the card's root takes its package
// from there: when the package it would take is the file bearing the image's name, that file is
// the user's package, not a leftover image, and it is kept (FALSE).
BOOL DeletePreparedImage();

#endif  // KEPLA_PACKAGE_CARD_PATHS_H_
