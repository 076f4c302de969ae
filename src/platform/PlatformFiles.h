#ifndef PLATFORMFILES_H
#define PLATFORMFILES_H

// File-system calls that differ between platforms.

#include <QString>

namespace LarkPlatform {

// Windows: sets the attributes of path to exactly FILE_ATTRIBUTE_HIDDEN (every other attribute is
// cleared). Elsewhere a no-op: hidden files are those whose name starts with a dot.
void setFileHidden(const QString& path);

// Renames from to to, replacing an existing file at to in one step (rename(2), MoveFileExW).
// False when the rename fails; to is then untouched.
bool renameReplacing(const QString& from, const QString& to);

} // namespace LarkPlatform

#endif // PLATFORMFILES_H
