// The publisher's tool: makes the key pair of the update server and signs its manifest.
//
//   kr90x_update_sign keygen SECRET_KEY_FILE
//   kr90x_update_sign sign [--valid-days N] SECRET_KEY_FILE FOLDER
//   kr90x_update_sign verify PUBLIC_KEY FOLDER
//
// keygen writes the secret key (base64, readable by its owner only) and prints the public
// key, the text for KR90X_UPDATE_PUBLIC_KEY or the settings files' PublicKey; it is also
// written beside the secret one, with ".pub" added.
//
// sign works in FOLDER, the server's "KR90X" folder: it writes into "version.ini" the
// SHA256 keys of the files there ("Orvo_KR90X.exe" under [PC_Version], "OrvoKR90X.hex"
// under [KR90X_Version], "OrvoFlash.exe" under [OrvoFlash]) and under [Freshness] a
// Sequence one above the one the manifest had (1 for the first) and an Expires N days
// from now in UTC (90 unless given), then signs the result into "version.ini.sig" (the 64
// bytes of the Ed25519 signature). Run it after every change of the folder's files, and
// before the manifest expires: a program with the public key installs nothing whose hash
// differs, and takes no manifest that has expired or is older than one it has taken.
//
// verify checks FOLDER as the program would: the signature, the freshness and every
// file's hash.
//
// Exit status: 0 done, 1 failed (or, for verify, refused), 2 bad arguments.
#include "core/IniText.h"
#include "update/Manifest.h"
#include "update/Sha256.h"
#include "update/UpdateFiles.h"
#include "update/UpdateSignature.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>
#include <optional>

using namespace kr90x;

namespace {

struct HashedFile {
    QString name;
    const char* section;
};

const HashedFile kHashedFiles[] = {
    {files::Program, kProgramSection},
    {files::Firmware, kFirmwareSection},
    {files::Flasher, kFlasherSection},
};

int fail(const QString& text) {
    std::fprintf(stderr, "kr90x_update_sign: %s\n", qPrintable(text));
    return 1;
}

std::optional<QByteArray> readSmall(const QString& path, qint64 maxBytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes) {
        return std::nullopt;
    }
    return bytes;
}

// Replaces the file in one step: a server never offers half a manifest.
bool writeWhole(const QString& path, const QByteArray& bytes, QFileDevice::Permissions perms = {}) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (perms) {
        file.setPermissions(perms);
    }
    file.write(bytes);
    return file.commit();
}

int keygen(const QString& secretPath) {
    if (QFile::exists(secretPath)) {
        return fail(secretPath + " exists already; a new key would lock out every installed "
                                 "program that holds the old one");
    }
    const auto [publicKey, secretKey] = makeKeyPair();
    if (!writeWhole(secretPath, keyText(secretKey) + '\n',
                    QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        !writeWhole(secretPath + ".pub", keyText(publicKey) + '\n')) {
        return fail("cannot write " + secretPath);
    }
    std::printf("%s\n", keyText(publicKey).constData());
    return 0;
}

constexpr int kDefaultValidDays = 90;
// Far enough for any release cycle, near enough that the date stays a date.
constexpr int kMaxValidDays = 3660;

int sign(const QString& secretPath, const QDir& folder, int validDays) {
    const std::optional<QByteArray> secretText = readSmall(secretPath, 4096);
    const std::optional<QByteArray> secretKey =
        secretText ? parseSecretKey(*secretText) : std::nullopt;
    if (!secretKey) {
        return fail(secretPath + " holds no secret key");
    }
    if (QFile(secretPath).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther)) {
        std::fprintf(stderr, "kr90x_update_sign: warning: others may read %s (chmod 600)\n",
                     qPrintable(secretPath));
    }
    const QString manifestPath = folder.filePath(files::Manifest);
    std::optional<QByteArray> manifest = readSmall(manifestPath, kMaxManifestBytes);
    if (!manifest) {
        return fail(manifestPath + " is missing or larger than a program reads");
    }
    for (const HashedFile& f : kHashedFiles) {
        if (!folder.exists(f.name)) {
            continue;
        }
        const std::optional<Sha256Digest> hash = fileSha256(folder.filePath(f.name));
        if (!hash) {
            return fail("cannot read " + folder.filePath(f.name));
        }
        manifest = iniWithValue(*manifest, f.section, kHashKey, sha256Hex(*hash));
        std::printf("%s %s\n", sha256Hex(*hash).constData(), qPrintable(f.name));
    }
    const std::optional<QByteArray> lastText = iniValue(*manifest, kFreshnessSection, kSequenceKey);
    const std::optional<std::uint64_t> last = parseManifest(*manifest).Sequence;
    if (lastText && !last) {
        return fail("the Sequence of " + manifestPath + " is no number; set it by hand");
    }
    const std::uint64_t sequence = last.value_or(0) + 1;
    const QByteArray expires = expiryText(QDateTime::currentDateTimeUtc().addDays(validDays));
    manifest = iniWithValue(*manifest, kFreshnessSection, kSequenceKey,
                            QByteArray::number(static_cast<qulonglong>(sequence)));
    manifest = iniWithValue(*manifest, kFreshnessSection, kExpiresKey, expires);
    std::printf("sequence %llu, expires %s\n", static_cast<unsigned long long>(sequence),
                expires.constData());
    if (manifest->size() > kMaxManifestBytes) {
        return fail("version.ini would be larger than a program reads");
    }
    if (!writeWhole(manifestPath, *manifest) ||
        !writeWhole(folder.filePath(files::Signature), signDetached(*manifest, *secretKey))) {
        return fail("cannot write into " + folder.path());
    }
    std::printf("signed %s\n", qPrintable(manifestPath));
    return 0;
}

int verify(const QByteArray& publicKey, const QDir& folder) {
    const std::optional<QByteArray> manifest =
        readSmall(folder.filePath(files::Manifest), kMaxManifestBytes);
    const std::optional<QByteArray> signature =
        readSmall(folder.filePath(files::Signature), kMaxSignatureFileBytes);
    if (!manifest || !signature) {
        return fail("version.ini or version.ini.sig is missing or too large");
    }
    const SignatureVerdict verdict = verifyManifestSignature(*manifest, *signature, publicKey);
    if (verdict != SignatureVerdict::Valid) {
        return fail(signatureProblem(verdict));
    }
    const Manifest parsed = parseManifest(*manifest);
    int result = 0;
    if (const std::optional<QString> why =
            freshnessProblem(parsed, QDateTime::currentDateTimeUtc(), 0)) {
        std::printf("BAD  freshness: %s\n", qPrintable(*why));
        result = 1;
    } else {
        std::printf("good sequence %llu, expires %s\n",
                    static_cast<unsigned long long>(*parsed.Sequence),
                    expiryText(*parsed.Expires).constData());
    }
    for (const HashedFile& f : kHashedFiles) {
        if (!folder.exists(f.name)) {
            continue;
        }
        const NamedHash named = NamedHash::fromText(iniValue(*manifest, f.section, kHashKey));
        const bool good = vouch({named, false, false, true, {}},
                                fileSha256(folder.filePath(f.name))) == InstallResult::Installed;
        std::printf("%s %s\n", good ? "good" : "BAD ", qPrintable(f.name));
        result = good ? result : 1;
    }
    return result;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString command = args.value(1);
    if (command == QLatin1String("keygen") && args.size() == 3) {
        return keygen(args[2]);
    }
    if (command == QLatin1String("sign") && args.size() == 4) {
        return sign(args[2], QDir(args[3]), kDefaultValidDays);
    }
    if (command == QLatin1String("sign") && args.size() == 6 &&
        args[2] == QLatin1String("--valid-days")) {
        bool ok = false;
        const int days = args[3].toInt(&ok);
        if (ok && days >= 1 && days <= kMaxValidDays) {
            return sign(args[4], QDir(args[5]), days);
        }
    }
    if (command == QLatin1String("verify") && args.size() == 4) {
        return verify(args[2].toLatin1(), QDir(args[3]));
    }
    std::fprintf(stderr, "usage: kr90x_update_sign keygen SECRET_KEY_FILE\n"
                         "       kr90x_update_sign sign [--valid-days N] SECRET_KEY_FILE FOLDER\n"
                         "                         (N from 1 to 3660, 90 when not given)\n"
                         "       kr90x_update_sign verify PUBLIC_KEY FOLDER\n");
    return 2;
}
