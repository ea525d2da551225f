#include "protocol/VersionReply.h"

#include "core/AppState.h"
#include "core/Log.h"
#include "protocol/Reply.h"

#include <QTimer>

namespace kr90x {

void VersionReply::handle(const QString& reply) {
    versionTimer_.stop();
    state_.DeviceFirmwareVersion = ReplyField(reply, 12, 3);
    if (state_.ServerFirmwareVersion > state_.DeviceFirmwareVersion) {
        log_.add(QStringLiteral("Actualizar KR90X !!!!"));
        launchOrvoFlash_();
    }
}

} // namespace kr90x
