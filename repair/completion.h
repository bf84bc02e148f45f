// Completion of a successful run: the marker request, the launcher shortcut and the
// success notification.
#pragma once

#include <string>

namespace krdn {

class Run;

inline constexpr char16_t kCompletionMarkerPath[] = u"/krdn/repair/Repair_Done.txt";
inline constexpr char16_t kLauncherName[] = u"VoLauncher.exe";
inline constexpr char16_t kShortcutName[] = u"Velmora3";

// Where the shortcut goes: the desktop directory joined with the launcher file name;
// empty when no desktop directory is known.
std::u16string ShortcutPath();

void Complete(Run& run);

}  // namespace krdn
