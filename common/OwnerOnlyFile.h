#pragma once

#include <QString>

namespace fd {

// Makes a file that will hold secrets (a remembered password, enciphered settings) readable and
// writable by its owner only: creates it empty with those rights when it does not exist, so that it
// is never readable by others even for a moment, and narrows the rights of an existing one.
// Call it before writing the file and again after (a writer that replaces the file may have made a
// new one). Returns false when the rights could not be set.
bool makeOwnerOnly(const QString& path);

// Whether users other than the file's owner may read it (its group or everyone has the read
// right). False for a file that does not exist.
bool othersMayRead(const QString& path);

} // namespace fd
