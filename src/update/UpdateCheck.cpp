#include "update/UpdateCheck.h"

#include "core/AppState.h"
#include "core/DialogService.h"
#include "core/Log.h"
#include "core/Texts.h"
#include "ftp/FtpReplyText.h"
#include "ftp/TFtpClient.h"
#include "update/FtpStatusLog.h"
#include "update/UpdateFiles.h"
#include "update/UpdateSignature.h"
#include "update/UpdateTrust.h"

#include <QFile>

namespace kr90x {
namespace {

using SC = TFtpStatusCode;

// The running program's version as the manifest writes versions (1.04 is 104).
constexpr int kRunningProgramVersion = static_cast<int>(kProgramVersion * 100 + 0.5);
static_assert(kRunningProgramVersion == 104);

// The file's bytes, when it has no more than `maxBytes`.
std::optional<QByteArray> readBounded(const QString& path, qint64 maxBytes) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace

UpdateCheck::UpdateCheck(AppState& state, Log& log, DialogService& dialogs, UpdateTrust& trust,
                         TFtpClient* client, UpdateSettings settings, Actions actions)
    : state_(state), log_(log), dialogs_(dialogs), trust_(trust), client_(client),
      settings_(std::move(settings)), actions_(std::move(actions)),
      failures_(settings_, files::Manifest),
      errorBox_(log, dialogs, QStringLiteral("Error de transmisión 1 !")),
      sequence_(settings_.SequenceFile) {}

void UpdateCheck::activated() {
    if (automatic_) {
        start();
    }
}

void UpdateCheck::start() {
    // A check that resets what is being fetched in the middle of the program's download
    // would take the program for the manifest and throw it away.
    if (client_ && client_->ProcessState() == TFtpProcessState::psGet) {
        return;
    }
    log_.clear();
    for (const QString& warning : settings_.Warnings) {
        log_.add(warning);
    }
    kind_ = DownloadKind::Version;
    loggedIn_ = client_ && client_->UserLoggedIn();
    if (client_ && loginOrLog(*client_, log_)) {
        manifestPending_ = true;
    } else {
        settle();
    }
}

void UpdateCheck::logout() {
    if (client_) {
        client_->Logout();
    }
}

void UpdateCheck::currentDir() {
    if (client_) {
        client_->CurrentDir();
    }
}

void UpdateCheck::onError(int code, const QByteArray& text) {
    // What arrived of a failed download goes, and the session with it.
    const bool failedTransfer = client_ && failures_.error(*client_);
    // A signature that does not come is as good as a wrong one.
    if (kind_ == DownloadKind::Signature) {
        const QByteArray reply = oneLogLine(text);
        refuseManifest(QStringLiteral("version.ini.sig no llegó (") +
                       (reply.isEmpty() ? QString::number(code) : QString::fromLatin1(reply)) +
                       QLatin1Char(')'));
        return;
    }
    // Refused before logging in: asking again at the next activation gets the same answer.
    // Before the box, whose closing activates the window.
    // So is a transfer that failed: the box's closing would otherwise fetch it again.
    if (!loggedIn_ || failedTransfer) {
        automatic_ = false;
    }
    errorBox_.show(code, text);
    if (readingManifest()) {
        settle();
    }
}

UpdateCheck::ExpectedHash UpdateCheck::expectedHash(const QString& file) const {
    NamedHash hash;
    if (manifest_) {
        hash = file == files::Firmware  ? manifest_->Firmware
               : file == files::Flasher ? manifest_->Flasher
                                        : manifest_->Program;
    }
    return {manifestPending_ && !manifest_, hash};
}

void UpdateCheck::settle() {
    if (std::exchange(manifestPending_, false) && actions_.manifestSettled) {
        actions_.manifestSettled();
    }
}

void UpdateCheck::onStatus(TFtpStatusCode code, const QByteArray& info) {
    if (!client_) {
        return;
    }
    // A transfer cut off leaves nothing behind, nor a manifest whose signature it was.
    if (failures_.status(*client_, code)) {
        if (code == SC::scTimeout) {
            automatic_ = false;
        }
        if (kind_ == DownloadKind::Signature) {
            deleteFile(partPath(settings_.localPath(files::Manifest)));
        }
    }
    if (!client_) {
        return;
    }
    switch (code) {
    case SC::scClose: {
        logFtpStatus(log_, dialogs_, *client_, code, info);
        if (readingManifest()) {
            settle();
        }
        const QString flasher = settings_.localPath(files::Flasher);
        if (!flasher.isEmpty() && !fileExists(flasher)) {
            actions_.downloadUpdater();
        }
        break;
    }
    case SC::scLogin:
        loggedIn_ = true;
        // Signed, a manifest is read whole into memory to be checked: it gets the same
        // bound as its reading.
        if (fetch(files::Manifest, files::Manifest,
                  trust_.required() ? kMaxManifestBytes : TFtpClient::DefaultMaxTransferBytes)) {
            log_.add(QStringLiteral("OK version.ini"));
        } else if (readingManifest()) {
            settle();
        }
        break;
    case SC::scTransferOK:
        transferComplete();
        break;
    case SC::scTimeout:
    case SC::scLogout:
        if (readingManifest()) {
            settle();
        }
        if (client_) {
            logFtpStatus(log_, dialogs_, *client_, code, info);
        }
        break;
    default:
        logFtpStatus(log_, dialogs_, *client_, code, info);
        break;
    }
}

bool UpdateCheck::fetch(const QString& remoteName, const QString& localName, qint64 maxBytes) {
    client_->MaxTransferBytes = maxBytes;
    if (!client_->Retrieve(settings_.remotePath(remoteName),
                           partPath(settings_.localPath(localName)), TFtpRetrieveMode::rmReplace)) {
        return false;
    }
    failures_.started(localName);
    return true;
}

void UpdateCheck::transferComplete() {
    switch (kind_) {
    case DownloadKind::Exe:
        programArrived();
        break;
    case DownloadKind::Version:
        if (trust_.required()) {
            fetchSignature();
        } else {
            plainManifestArrived();
        }
        break;
    case DownloadKind::Signature:
        signatureArrived();
        break;
    case DownloadKind::None:
        break;
    }
}

void UpdateCheck::programArrived() {
    // The new program gets its own name only now that it is whole; the close puts it in
    // place of the running one.
    const InstallOutcome installed =
        installDownload(settings_.localPath(files::NewProgram),
                        trust_.rules(expectedHash(files::Program).hash, true, false));
    logInstall(log_, files::Program, files::NewProgram, installed);
    client_->Logout();
    trust_.refuseIfForged(files::NewProgram, installed);
}

void UpdateCheck::plainManifestArrived() {
    const InstallOutcome got =
        installDownload(settings_.localPath(files::Manifest), {{}, false, true, false, {}});
    if (!logInstall(log_, files::Manifest, files::Manifest, got)) {
        settle();
        client_->Logout();
        return;
    }
    manifestArrived(readManifestFile(settings_.localPath(files::Manifest)));
    settle();
}

void UpdateCheck::fetchSignature() {
    kind_ = DownloadKind::Signature;
    if (fetch(files::Signature, files::Signature, kMaxSignatureFileBytes)) {
        log_.add(QStringLiteral("OK version.ini.sig"));
    } else {
        refuseManifest(QStringLiteral("version.ini.sig no se pudo pedir"));
    }
}

// The manifest is taken from the very bytes the signature was checked against, never
// read again from its file.
void UpdateCheck::signatureArrived() {
    const QString manifestPart = partPath(settings_.localPath(files::Manifest));
    const QString signaturePart = partPath(settings_.localPath(files::Signature));
    const std::optional<QByteArray> text = readBounded(manifestPart, kMaxManifestBytes);
    const std::optional<QByteArray> signature = readBounded(signaturePart, kMaxSignatureFileBytes);
    deleteFile(signaturePart);
    if (!text || !signature) {
        refuseManifest(QStringLiteral("version.ini o su firma no se pudo leer"));
        return;
    }
    const SignatureVerdict verdict =
        verifyManifestSignature(*text, *signature, trust_.publicKeyText());
    if (verdict != SignatureVerdict::Valid) {
        refuseManifest(signatureProblem(verdict));
        return;
    }
    const Manifest manifest = parseManifest(*text);
    if (!freshManifest(manifest)) {
        return;
    }
    kind_ = DownloadKind::Version;
    const InstallOutcome got =
        installDownload(settings_.localPath(files::Manifest), {{}, false, true, false, {}});
    log_.add(QStringLiteral("Firma de version.ini correcta"));
    if (!logInstall(log_, files::Manifest, files::Manifest, got)) {
        settle();
        client_->Logout();
        return;
    }
    manifestArrived(manifest);
    settle();
}

// A genuine manifest counts only while it is the newest this program has seen and has not
// expired. A lower sequence is somebody passing an old one off as current: refused like a
// forgery. An expired one (or one from before manifests said how long they count) is the
// publisher's to sign again: its log line is all there is.
bool UpdateCheck::freshManifest(const Manifest& manifest) {
    const std::uint64_t highest = sequence_.highest();
    if (const std::optional<QString> why =
            freshnessProblem(manifest, QDateTime::currentDateTimeUtc(), highest)) {
        refuseManifest(*why, manifest.Sequence && *manifest.Sequence < highest);
        return false;
    }
    if (!sequence_.raise(*manifest.Sequence)) {
        log_.add(QStringLiteral("No se pudo guardar la secuencia de version.ini en ") +
                 settings_.SequenceFile);
    }
    return true;
}

// Nothing of an unverified manifest is used: no version, no download, no hand-off.
void UpdateCheck::refuseManifest(const QString& why, bool tellUser) {
    deleteFile(partPath(settings_.localPath(files::Manifest)));
    deleteFile(partPath(settings_.localPath(files::Signature)));
    kind_ = DownloadKind::Version;
    settle();
    if (client_) {
        client_->Logout();
    }
    if (tellUser) {
        trust_.refuse(QStringLiteral("version.ini no es auténtico: ") + why);
    } else {
        log_.add(QStringLiteral("Actualización rechazada: ") + why);
    }
}

void UpdateCheck::manifestArrived(const Manifest& manifest) {
    manifest_ = manifest;
    state_.ServerProgramVersion = manifest.ProgramVersion;
    state_.ServerFirmwareVersion = manifest.FirmwareVersion;
    log_.add(QStringLiteral("Version firmware KR90X servidor: ") +
             QString::number(state_.ServerFirmwareVersion));
    if (state_.ServerProgramVersion <= kRunningProgramVersion) {
        log_.add(QStringLiteral("No es necesario actualizar"));
        // Runs the event loop until closed: the close's own events, and anything else
        // that is pending, are handled in here.
        client_->Logout();
    } else if (settings_.SelfUpdateBlocked) {
        log_.add(QStringLiteral("Programa nuevo no instalado: ") + *settings_.SelfUpdateBlocked);
        client_->Logout();
    } else {
        fetchProgram(manifest);
    }
    if (state_.ServerFirmwareVersion > state_.DeviceFirmwareVersion) {
        log_.add(QStringLiteral("Actualizar KR90X !!!!"));
        actions_.launchOrvoFlash();
    }
}

void UpdateCheck::fetchProgram(const Manifest& manifest) {
    // A signed manifest that does not vouch for the program would only have it fetched
    // to be thrown away.
    if (!canBeVouchedFor(trust_.rules(manifest.Program, true, false))) {
        client_->Logout();
        trust_.refuse(QStringLiteral("version.ini no da el SHA256 de ") + files::Program);
        return;
    }
    log_.add(QStringLiteral("Actualizar programa."));
    kind_ = DownloadKind::Exe;
    if (fetch(files::Program, files::NewProgram, TFtpClient::DefaultMaxTransferBytes)) {
        log_.add(QStringLiteral("OK Orvo_KR90X.exe"));
    }
}

} // namespace kr90x
