// The program's own words. Every text a user reads or hears comes from the string tables in
// the resources, through here, as UTF-16, so that no text depends on the ANSI code page.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>

// The text of string resource `id`, or the empty text when there is none.
std::wstring LoadUiText(UINT id);

// The text of string resource `id` with "%1" ... "%9" replaced by args[0] ... args[8] (each
// placeholder may stand anywhere, any number of times, so a translation can reorder them) and
// "%%" by "%". A placeholder without an argument, or a lone "%", stays as it stands.
std::wstring FormatUiText(UINT id, std::initializer_list<std::wstring> args);
