// Windows only: the Application log's source "Horalux", under which the windowless runs report
// where they have no console, and its registration with the program whose message table words
// their events, without which Event Viewer shows "description not found" before each text.
#pragma once

#include <string>

namespace horalux {

inline constexpr wchar_t kEventSourceName[] = L"Horalux";

// Registers the source with `program` (a full path) as its message file, replacing an earlier
// registration. Needs administrator rights; raises horalux::Error (ErrorKind::kSystem), naming the
// registry's refusal.
void RegisterEventMessages(const std::wstring& program);

}  // namespace horalux
