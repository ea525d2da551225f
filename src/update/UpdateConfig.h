#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include "ftp/FtpTypes.h"

#include <optional>

namespace kr90x {

struct UpdateSettings;

// The settings files of the update server, an INI layout:
//
//   [Server]
//   Host=updates.example.com
//   Port=21
//   User=workshop
//   Password=secret
//   HostDirectory=updates.example.com
//   PublicKey=<base64 of the publisher's Ed25519 public key>
//   Tls=off | try | required
//   CaFile=/etc/orvo-kr90x/ca.pem
//
// Each key given overrides the layer below; unknown sections and keys are passed over,
// so that later settings can join the same file.

// "off", "try" or "required", in any case; nullopt for anything else.
std::optional<FtpTls> parseFtpTls(QStringView text);

// The files read, lowest first: /etc/orvo-kr90x/update.conf, then
// $XDG_CONFIG_HOME/orvo-kr90x/update.conf (~/.config when unset).
QStringList updateConfigFiles();

// The keys of one file's text over `settings`. Returns whether it holds a password.
bool applyUpdateConfig(UpdateSettings& settings, QByteArrayView text);

// A file that is missing or cannot be read changes nothing. One that holds a password
// and that other users may read adds a warning to the settings.
void applyUpdateConfigFile(UpdateSettings& settings, const QString& path);

} // namespace kr90x
