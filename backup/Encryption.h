#pragma once

#include <QByteArray>
#include <QString>

// Enciphered backup archives. The file starts with a mark and its version, the key derivation's
// costs and salt (Argon2id, from the passphrase) and the header of an XChaCha20-Poly1305 secret
// stream; the archive follows in chunks of 64 KiB, each with its own tag, the last one marked
// final. A changed byte anywhere, a wrong passphrase, a missing end or anything after it fails
// the whole file: nothing of it is written out then.
namespace fd::backup {

// True when the file starts with the mark of an enciphered archive (whatever its version).
bool isEnciphered(const QString& path);

// The passphrase in a key file: its text without the line end. False, with the reason in words
// for the administrator, when the file cannot be read or holds nothing.
bool readKeyFile(const QString& path, QByteArray* passphrase, QString* error);

// Writes plainPath enciphered to outPath (replaced; readable by its owner only).
bool encipherFile(const QString& plainPath, const QString& outPath, const QByteArray& passphrase, QString* error);

// Writes the archive in an enciphered file to plainPath (owner only). On any failure plainPath
// does not exist afterwards and error says why: a wrong passphrase and a damaged or cut file are
// told apart where the file allows it.
bool decipherFile(const QString& inPath, const QString& plainPath, const QByteArray& passphrase, QString* error);

} // namespace fd::backup
