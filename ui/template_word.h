// Substitution of a marker word in a text, used to put the package's model name into messages.
#ifndef KEPLA_UI_TEMPLATE_WORD_H_
#define KEPLA_UI_TEMPLATE_WORD_H_

#include <windows.h>

// The marker that the welcome line and the wrong-model message carry in place of the model name.
#define TEMPLATE_WORD_MARKER TEXT("ZARN_WORD_TEMPLATE")

// Replaces the first occurrence of `marker` in `text` by `replacement`, in place. `text` is a
// buffer of kTextBufferChars (260) characters. Returns true when it replaced something; returns
// false, leaving `text` unchanged, when any argument is null, the marker does not occur, the
// result would not fit the buffer, or no working memory could be had.
bool ReplaceTemplateWord(LPWSTR text, LPCWSTR marker, LPCWSTR replacement);

#endif  // KEPLA_UI_TEMPLATE_WORD_H_
